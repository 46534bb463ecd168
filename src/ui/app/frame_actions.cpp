// The frame's command table: actions with their identifiers, menus, toolbar, accelerators, the
// status bar, and the one function that sets every enabled state.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "ui/app/command_ids.h"
#include "ui/app/enable_rules.h"
#include "ui/app/frame_files.h"
#include "ui/app/frame_records.h"
#include "ui/app/frame_undo_find.h"
#include "ui/app/lock_indicators.h"
#include "ui/app/main_frame.h"
#include "ui/form/property_form.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"

namespace {

QIcon ToolIcon(const char* name) {
  return QIcon(QStringLiteral(":/kandrel/toolbar/%1.svg").arg(QLatin1String(name)));
}

struct ActionEntry {
  int id;
  const char* text;  // menu text; empty for the toolbar-only record commands
  const char* objectName;
  const char* icon;  // toolbar image, or null
  const char* statusTip;
};

// Record buttons show no tooltip and no status text; the file and edit commands do.
const ActionEntry kActions[] = {
    {cmd::kFileNew, QT_TRANSLATE_NOOP("CMainFrame", "Новый"), "actionFileNew", "new",
     QT_TRANSLATE_NOOP("CMainFrame", "Создать новый документ")},
    {cmd::kFileOpen, QT_TRANSLATE_NOOP("CMainFrame", "Открыть..."), "actionFileOpen", "open",
     QT_TRANSLATE_NOOP("CMainFrame", "Открыть существующий документ")},
    {cmd::kFileSave, QT_TRANSLATE_NOOP("CMainFrame", "Сохранить"), "actionFileSave", "save",
     QT_TRANSLATE_NOOP("CMainFrame", "Сохранить документ")},
    {cmd::kFileSaveAs, QT_TRANSLATE_NOOP("CMainFrame", "Сохранить как ..."), "actionFileSaveAs",
     nullptr, QT_TRANSLATE_NOOP("CMainFrame", "Сохранить документ под новым именем")},
    {cmd::kFilePrint, QT_TRANSLATE_NOOP("CMainFrame", "Печать"), "actionFilePrint", "print",
     nullptr},
    {cmd::kAppExit, QT_TRANSLATE_NOOP("CMainFrame", "Выход"), "actionAppExit", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Завершить работу программы")},
    {cmd::kEditCut, QT_TRANSLATE_NOOP("CMainFrame", "Вырезать"), "actionEditCut", "cut",
     QT_TRANSLATE_NOOP("CMainFrame", "Вырезать выделенное")},
    {cmd::kEditCopy, QT_TRANSLATE_NOOP("CMainFrame", "Копировать"), "actionEditCopy", "copy",
     QT_TRANSLATE_NOOP("CMainFrame", "Копировать выделенное")},
    {cmd::kEditPaste, QT_TRANSLATE_NOOP("CMainFrame", "Вставить"), "actionEditPaste", "paste",
     QT_TRANSLATE_NOOP("CMainFrame", "Вставить скопированное")},
    {cmd::kEditUndo, QT_TRANSLATE_NOOP("CMainFrame", "Отменить ввод"), "actionEditUndo", nullptr,
     nullptr},
    {cmd::kEditUndoChange, QT_TRANSLATE_NOOP("CMainFrame", "Отменить"), "actionEditUndoChange",
     "undo", QT_TRANSLATE_NOOP("CMainFrame", "Отменить последнее изменение документа")},
    {cmd::kEditRedo, QT_TRANSLATE_NOOP("CMainFrame", "Повторить"), "actionEditRedo", "redo",
     QT_TRANSLATE_NOOP("CMainFrame", "Повторить отменённое изменение")},
    {cmd::kEditFind, QT_TRANSLATE_NOOP("CMainFrame", "Найти..."), "actionEditFind", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Найти запись по имени, пути или идентификатору")},
    {cmd::kEditReferences, QT_TRANSLATE_NOOP("CMainFrame", "Ссылки на запись"),
     "actionEditReferences", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame",
                       "Свойства LINK_TO, которые ссылаются на выбранную запись или её ветвь")},
    {cmd::kEditDelete, QT_TRANSLATE_NOOP("CMainFrame", "Удалить"), "actionEditDelete", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Удалить выделенные записи с их ветвями")},
    {cmd::kEditRename, QT_TRANSLATE_NOOP("CMainFrame", "Переименовать"), "actionEditRename",
     nullptr, QT_TRANSLATE_NOOP("CMainFrame", "Переименовать запись прямо в дереве")},
    {cmd::kEditInsert, QT_TRANSLATE_NOOP("CMainFrame", "Добавить запись"), "actionEditInsert",
     nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Добавить запись того вида, который содержит выделенная")},
    {cmd::kMoveUp, QT_TRANSLATE_NOOP("CMainFrame", "Переместить вверх"), "actionMoveUp", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Поставить запись перед предыдущей соседней")},
    {cmd::kMoveDown, QT_TRANSLATE_NOOP("CMainFrame", "Переместить вниз"), "actionMoveDown", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Поставить запись после следующей соседней")},
    {cmd::kFindFromHere, QT_TRANSLATE_NOOP("CMainFrame", "Найти отсюда..."), "actionFindFromHere",
     nullptr, QT_TRANSLATE_NOOP("CMainFrame", "Найти запись в ветви выбранной записи")},
    {cmd::kCopyPath, QT_TRANSLATE_NOOP("CMainFrame", "Копировать путь"), "actionCopyPath", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Копировать путь записи в буфер обмена")},
    {cmd::kExpandBranch, QT_TRANSLATE_NOOP("CMainFrame", "Развернуть ветвь"), "actionExpandBranch",
     nullptr, nullptr},
    {cmd::kCollapseBranch, QT_TRANSLATE_NOOP("CMainFrame", "Свернуть ветвь"),
     "actionCollapseBranch", nullptr, nullptr},
    {cmd::kImport, QT_TRANSLATE_NOOP("CMainFrame", "Импорт структуры"), "actionImport", nullptr,
     nullptr},
    {cmd::kExport, QT_TRANSLATE_NOOP("CMainFrame", "Экспорт структуры"), "actionExport", nullptr,
     nullptr},
    {cmd::kViewToolbar, QT_TRANSLATE_NOOP("CMainFrame", "Панель инструментов"), "actionViewToolbar",
     nullptr, QT_TRANSLATE_NOOP("CMainFrame", "Показать или скрыть панель инструментов")},
    {cmd::kViewStatusBar, QT_TRANSLATE_NOOP("CMainFrame", "Статусная строка"),
     "actionViewStatusBar", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Показать или скрыть статусную строку")},
    {cmd::kConnect, QT_TRANSLATE_NOOP("CMainFrame", "Подключиться"), "actionConnect", nullptr,
     nullptr},
    {cmd::kDisconnect, QT_TRANSLATE_NOOP("CMainFrame", "Отключиться"), "actionDisconnect", nullptr,
     nullptr},
    {cmd::kGetBase, QT_TRANSLATE_NOOP("CMainFrame", "Получить базу"), "actionGetBase", nullptr,
     nullptr},
    {cmd::kAppAbout, QT_TRANSLATE_NOOP("CMainFrame", "О Kandrel"), "actionAppAbout", nullptr,
     QT_TRANSLATE_NOOP("CMainFrame", "Сведения о программе")},
    {cmd::kNextPane, "", "actionNextPane", nullptr, nullptr},
    {cmd::kPrevPane, "", "actionPrevPane", nullptr, nullptr},
    {cmd::kAddGroup, "", "actionAddGroup", "add-group", nullptr},
    {cmd::kDeleteGroup, "", "actionDeleteGroup", "delete-group", nullptr},
    {cmd::kAddObject, "", "actionAddObject", "add-object", nullptr},
    {cmd::kDeleteObject, "", "actionDeleteObject", "delete-object", nullptr},
    {cmd::kAddAtom, "", "actionAddAtom", "add-atom", nullptr},
    {cmd::kDeleteAtom, "", "actionDeleteAtom", "delete-atom", nullptr},
    {cmd::kAddProperty, "", "actionAddProperty", "add-property", nullptr},
    {cmd::kDeleteProperty, "", "actionDeleteProperty", "delete-property", nullptr},
};

const int kToolbarOrder[] = {cmd::kFileNew,
                             cmd::kFileOpen,
                             cmd::kFileSave,
                             0,
                             cmd::kEditCut,
                             cmd::kEditCopy,
                             cmd::kEditPaste,
                             0,
                             cmd::kEditUndoChange,
                             cmd::kEditRedo,
                             0,
                             cmd::kFilePrint,
                             0,
                             cmd::kAddGroup,
                             cmd::kDeleteGroup,
                             0,
                             cmd::kAddObject,
                             cmd::kDeleteObject,
                             0,
                             cmd::kAddAtom,
                             cmd::kDeleteAtom,
                             0,
                             cmd::kAddProperty,
                             cmd::kDeleteProperty};

QList<QKeySequence> Keys(std::initializer_list<const char*> keys) {
  QList<QKeySequence> list;
  for (const char* k : keys) list << QKeySequence(QString::fromLatin1(k));
  return list;
}

}  // namespace

QAction* CMainFrame::action(int commandId) const {
  auto it = actions_.find(commandId);
  return it == actions_.end() ? nullptr : it->second;
}

QAction* CMainFrame::AddAction(int id, const QString& text, const char* objectName) {
  auto* a = new QAction(text, this);
  a->setObjectName(QLatin1String(objectName));
  a->setData(id);
  actions_[id] = a;
  connect(a, &QAction::triggered, this, [this, id] { Execute(id); });
  return a;
}

void CMainFrame::CreateActions() {
  for (const ActionEntry& entry : kActions) {
    QAction* a = AddAction(entry.id, *entry.text ? tr(entry.text) : QString(), entry.objectName);
    if (entry.icon) a->setIcon(ToolIcon(entry.icon));
    if (entry.statusTip) a->setStatusTip(tr(entry.statusTip));
    addAction(a);  // accelerators work wherever the focus is in the window
  }
  action(cmd::kFileNew)->setShortcuts(Keys({"Ctrl+N"}));
  action(cmd::kFileOpen)->setShortcuts(Keys({"Ctrl+O"}));
  action(cmd::kFileSave)->setShortcuts(Keys({"Ctrl+S"}));
  action(cmd::kEditCopy)->setShortcuts(Keys({"Ctrl+C", "Ctrl+Ins"}));
  action(cmd::kEditCut)->setShortcuts(Keys({"Ctrl+X", "Shift+Del"}));
  action(cmd::kEditPaste)->setShortcuts(Keys({"Ctrl+V", "Shift+Ins", "Ctrl+T"}));
  action(cmd::kEditUndo)->setShortcuts(Keys({"Ctrl+Z", "Alt+Backspace"}));
  action(cmd::kEditRedo)->setShortcuts(Keys({"Ctrl+Y", "Ctrl+Shift+Z"}));
  // Ctrl+Z itself belongs to the focus-aware "Отменить ввод"; the menu item only shows it.
  action(cmd::kEditUndoChange)->setText(tr("Отменить\tCtrl+Z"));
  action(cmd::kEditUndoChange)->setToolTip(tr("Отменить (Ctrl+Z)"));
  action(cmd::kEditRedo)->setToolTip(tr("Повторить (Ctrl+Y)"));
  action(cmd::kEditFind)->setShortcuts(Keys({"Ctrl+F"}));
  action(cmd::kNextPane)->setShortcuts(Keys({"F6"}));
  action(cmd::kPrevPane)->setShortcuts(Keys({"Shift+F6"}));
  for (int id : {cmd::kViewToolbar, cmd::kViewStatusBar}) {
    action(id)->setCheckable(true);
    action(id)->setChecked(true);
  }
  action(cmd::kAppExit)->setMenuRole(QAction::QuitRole);
  for (int i = 0; i < cmd::kFileMruCount; ++i) {
    QAction* a = AddAction(cmd::kFileMru1 + i, QString(),
                           QStringLiteral("actionRecentFile%1").arg(i + 1).toLatin1().constData());
    a->setVisible(false);
  }
}

void CMainFrame::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(tr("Файл"));
  fileMenu_->setObjectName(QStringLiteral("menuFile"));
  for (int id : {cmd::kFileNew, cmd::kFileOpen, cmd::kFileSave, cmd::kFileSaveAs})
    fileMenu_->addAction(action(id));
  fileMenu_->addSeparator();
  recentPlaceholder_ = fileMenu_->addAction(tr("Последние файлы"));
  recentPlaceholder_->setObjectName(QStringLiteral("actionRecentPlaceholder"));
  recentPlaceholder_->setEnabled(false);
  for (int i = 0; i < cmd::kFileMruCount; ++i) fileMenu_->addAction(action(cmd::kFileMru1 + i));
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(action(cmd::kAppExit));

  QMenu* edit = menuBar()->addMenu(tr("Правка"));
  edit->setObjectName(QStringLiteral("menuEdit"));
  edit->addAction(action(cmd::kEditUndoChange));
  edit->addAction(action(cmd::kEditRedo));
  edit->addSeparator();
  for (int id : {cmd::kEditCut, cmd::kEditCopy, cmd::kEditPaste}) edit->addAction(action(id));
  edit->addSeparator();
  for (int id :
       {cmd::kEditDelete, cmd::kEditRename, cmd::kEditInsert, cmd::kMoveUp, cmd::kMoveDown})
    edit->addAction(action(id));
  edit->addSeparator();
  edit->addAction(action(cmd::kEditFind));
  edit->addAction(action(cmd::kEditReferences));
  edit->addSeparator();
  for (int id : {cmd::kImport, cmd::kExport}) edit->addAction(action(id));

  QMenu* view = menuBar()->addMenu(tr("Вид"));
  view->setObjectName(QStringLiteral("menuView"));
  view->addAction(action(cmd::kViewToolbar));
  view->addAction(action(cmd::kViewStatusBar));

  QMenu* net = menuBar()->addMenu(tr("Сеть"));
  net->setObjectName(QStringLiteral("menuNetwork"));
  for (int id : {cmd::kConnect, cmd::kDisconnect, cmd::kGetBase}) net->addAction(action(id));

  QMenu* about = menuBar()->addMenu(tr("О программе"));
  about->setObjectName(QStringLiteral("menuAbout"));
  about->addAction(action(cmd::kAppAbout));

  for (QMenu* m : {fileMenu_, edit, view, net, about})
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
}

void CMainFrame::CreateToolBar() {
  QToolBar* bar = addToolBar(tr("Стандартная"));
  bar->setObjectName(QStringLiteral("toolBar"));
  bar->setIconSize(QSize(32, 32));
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  bar->setFloatable(true);
  bar->setMovable(true);
  for (int id : kToolbarOrder) {
    if (id == 0)
      bar->addSeparator();
    else
      bar->addAction(action(id));
  }
  connect(action(cmd::kViewToolbar), &QAction::toggled, bar, &QToolBar::setVisible);
  connect(bar, &QToolBar::visibilityChanged, action(cmd::kViewToolbar), &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("statusBar"));
  bar->showMessage(tr("Ready"));
  connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& text) {
    if (text.isEmpty()) bar->showMessage(tr("Ready"));
  });
  connectionPane_ = new QLabel(bar);
  connectionPane_->setObjectName(QStringLiteral("connectionPane"));
  bar->addPermanentWidget(connectionPane_);
  lockIndicators_ = new LockIndicators(bar);
  bar->addPermanentWidget(lockIndicators_);
  connect(action(cmd::kViewStatusBar), &QAction::toggled, bar, &QStatusBar::setVisible);
}

CommandState CMainFrame::CurrentCommandState() const {
  CommandState state;
  state.shownKind = state_.shownKind;
  state.copiedKind = GetKind(copiedRecord());
  state.formEditFocused = formView_->EditFieldFocused();
  state.connected = network_ && network_->connected();
  state.canUndo = state_.history.CanUndo();
  state.canRedo = state_.history.CanRedo();
  if (treeEditing_) treeEditing_->FillState(&state);
  return state;
}

void CMainFrame::UpdateActions() {
  if (!treeView_ || !formView_) return;
  CommandState state = CurrentCommandState();
  for (auto& [id, a] : actions_) a->setEnabled(IsCommandEnabled(id, state));
  if (network_) connectionPane_->setText(network_->StatusText());
}

void CMainFrame::Execute(int id) {
  if (!IsCommandEnabled(id, CurrentCommandState())) return;  // a shortcut of a disabled command
  if (treeEditing_ && treeEditing_->Execute(id)) {
    UpdateActions();
    return;
  }
  switch (id) {
    case cmd::kFileNew:
      files_->NewDocument();
      break;
    case cmd::kFileOpen:
      files_->OpenDocument(QString());
      break;
    case cmd::kFileSave:
      files_->SaveDocument();
      break;
    case cmd::kFileSaveAs:
      files_->SaveDocumentAs();
      break;
    case cmd::kAppExit:
      close();
      break;
    case cmd::kEditCopy:
      if (!formView_->HandleEditCommand(id)) records_->OnCopy();
      break;
    case cmd::kEditPaste:
      if (!formView_->HandleEditCommand(id)) records_->OnPaste();
      break;
    case cmd::kEditCut:
      formView_->HandleEditCommand(id);  // the tree has nothing to cut
      break;
    case cmd::kEditUndo:
      // Ctrl+Z in a form field undoes typing; anywhere else, the last change of the document.
      if (!formView_->HandleEditCommand(id)) UndoChange();
      break;
    case cmd::kEditUndoChange:
      UndoChange();
      break;
    case cmd::kEditRedo:
      RedoChange();
      break;
    case cmd::kEditFind:
      undoFind_->OnFind();
      break;
    case cmd::kEditReferences:
      undoFind_->OnReferences();
      break;
    case cmd::kAddGroup:
    case cmd::kAddObject:
    case cmd::kAddAtom:
    case cmd::kAddProperty:
      records_->OnAdd(id);
      break;
    case cmd::kDeleteGroup:
    case cmd::kDeleteObject:
    case cmd::kDeleteAtom:
    case cmd::kDeleteProperty:
      records_->OnDelete();
      break;
    case cmd::kImport:
      records_->OnImport();
      break;
    case cmd::kExport:
      records_->OnExport();
      break;
    case cmd::kNextPane:
      OnSwitchPane(true);
      break;
    case cmd::kPrevPane:
      OnSwitchPane(false);
      break;
    case cmd::kConnect:
      network_->OnConnect();
      break;
    case cmd::kDisconnect:
      network_->OnDisconnect();
      break;
    case cmd::kGetBase:
      network_->OnGetBase();
      break;
    case cmd::kAppAbout:
      ShowAbout();
      break;
    default:
      if (id >= cmd::kFileMru1 && id < cmd::kFileMru1 + cmd::kFileMruCount)
        if (QString path = action(id)->property("path").toString(); !path.isEmpty())
          OpenDocument(path);
      break;
  }
  UpdateActions();
}
