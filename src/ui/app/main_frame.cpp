#include "ui/app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "model/record_lookup.h"
#include "net/base_session.h"
#include "ui/app/frame_files.h"
#include "ui/app/frame_layout.h"
#include "ui/app/frame_records.h"
#include "ui/app/frame_undo_find.h"
#include "ui/app/modal_runner.h"
#include "ui/app/recovery_keeper.h"
#include "ui/app/ui_resources.h"
#include "ui/compare/compare_owner.h"
#include "ui/compare/merge_owner.h"
#include "ui/dialogs/html_about.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/form/property_form.h"
#include "ui/history/record_commands.h"
#include "ui/links/links_dialog.h"
#include "ui/network/frame_network.h"
#include "ui/table/property_table_pane.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "ui/watch/value_highlight.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent),
      files_(std::make_unique<FrameFiles>(this, state_)),
      records_(std::make_unique<FrameRecords>(this, state_)),
      undoFind_(std::make_unique<FrameUndoFind>(this, state_, *records_)) {
  InitUiResources();
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowIcon(QIcon(QStringLiteral(":/kandrel/app/kandrel.svg")));
  setAcceptDrops(true);
  templateDirectories_ = CLinksDialog::TemplateDirectories(QCoreApplication::applicationDirPath());
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("splitter"));
  splitter_->setChildrenCollapsible(false);
  // The left pane: the find bar, hidden until it is asked for, over the structure tree.
  auto* leftPane = new QWidget(splitter_);
  leftPane->setObjectName(QStringLiteral("leftPane"));
  auto* leftLayout = new QVBoxLayout(leftPane);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);
  findBar_ = new CFindBar(this, leftPane);
  treeView_ = new CLeftView(this, &state_.doc, leftPane);
  // Beside each property its value, kept up to date cell by cell.
  treeView_->recordModel()->SetShowsValues(true);
  valueHighlight_ = new CValueHighlight(state_.doc, treeView_->recordModel(), this);
  // The property table is a tab beside the tree.
  auto* tabs = new QTabWidget(leftPane);
  tabs->setObjectName(QStringLiteral("leftTabs"));
  tabs->setDocumentMode(true);
  tabs->addTab(treeView_, tr("Структура"));
  tablePane_ = new CPropertyTablePane(this, tabs);
  tabs->addTab(tablePane_, tr("Таблица свойств"));
  leftLayout->addWidget(findBar_);
  leftLayout->addWidget(tabs, 1);
  formView_ = new CTarnelView(this, kFormEmpty, splitter_);
  splitter_->addWidget(leftPane);
  splitter_->addWidget(formView_);
  splitter_->setStretchFactor(0, 2);
  splitter_->setStretchFactor(1, 3);
  splitter_->setSizes({500, 700});
  setCentralWidget(splitter_);

  recovery_ = new CRecoveryKeeper(this);
  treeEditing_ = new CTreeEditing(this, treeView_);
  treeEditing_->AttachKeys();
  network_ = std::make_unique<FrameNetwork>(this);
  compare_ = std::make_unique<CCompareOwner>(this);
  merge_ = std::make_unique<CMergeOwner>(this);
  watchDock_ = new CWatchDock(this);
  addDockWidget(Qt::BottomDockWidgetArea, watchDock_);
  network_->AttachViews();
  if (auto* bar = findChild<QToolBar*>(QStringLiteral("toolBar")))
    bar->addAction(watchDock_->watchAction());
  // A closed list comes back from "Вид".
  if (auto* view = menuBar()->findChild<QMenu*>(QStringLiteral("menuView"))) {
    QAction* shown = watchDock_->toggleViewAction();
    shown->setObjectName(QStringLiteral("actionViewWatch"));
    view->addAction(shown);
  }
  // Values a reconnect brought back in step changed without an edit: they show as changed.
  connect(&network_->session(), &CBaseSession::valueResynced, this, [this](quint32 id) {
    valueHighlight_->Mark(id);
    watchDock_->model()->ValueTakenOver(id);
  });
  // The bottom docks share one area as tabs.
  layout_ = new FrameLayout(this);
  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
  // The window opens as large as the screen, maximised.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    setGeometry(screen->availableGeometry());
  else
    resize(1200, 800);
}

CMainFrame::~CMainFrame() {
  // Closing the window moves the focus; nothing may update the actions being destroyed.
  disconnect(qApp, nullptr, this, nullptr);
  // The comparison marks the tree and follows the session: it goes while both exist.
  compare_.reset();
  merge_.reset();
  // The links editor reports to the frame when it hides: it goes while the frame is whole.
  delete linksEditor_.data();
  // The connection goes first, with its close message, while the document still exists.
  network_.reset();
  // Views listen to the document: the central views and every dock go before the document
  // they show. The value highlight colours the tree's model: it goes first.
  delete valueHighlight_;
  valueHighlight_ = nullptr;
  delete takeCentralWidget();
  qDeleteAll(findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly));
}

CRecord* CMainFrame::copiedRecord() const {
  return records_->copiedRecord();
}

bool CMainFrame::NewDocument() {
  return files_->NewDocument();
}

bool CMainFrame::OpenDocument(const QString& path) {
  return files_->OpenDocument(path);
}

bool CMainFrame::SaveDocument() {
  return files_->SaveDocument();
}

bool CMainFrame::SaveDocumentAs() {
  return files_->SaveDocumentAs();
}

const QString& CMainFrame::filePath() const {
  return files_->filePath();
}

void CMainFrame::BindDocumentTo(const QString& path) {
  files_->BindTo(path);
}

bool CMainFrame::MaySwitchDocument() {
  return files_->MaySwitchDocument();
}

void CMainFrame::SetModified(bool modified) {
  files_->SetModified(modified);
}

void CMainFrame::LoadRecentFiles() {
  files_->LoadRecentFiles();
}

bool CMainFrame::RunImport(std::unique_ptr<CEditCommand> command, uint32_t targetId) {
  return records_->RunImport(std::move(command), targetId);
}

bool CMainFrame::UndoChange() {
  return undoFind_->UndoChange();
}

bool CMainFrame::RedoChange() {
  return undoFind_->RedoChange();
}

void CMainFrame::BeforeExternalChange() {
  undoFind_->BeforeExternalChange();
}

void CMainFrame::AfterExternalChange() {
  undoFind_->AfterExternalChange();
}

void CMainFrame::RevealRecord(uint32_t id) {
  undoFind_->RevealRecord(id);
}

void CMainFrame::SelectRecord(uint32_t id) {
  if (state_.changing) return;
  state_.selectedId = id;
  state_.shownKind = kKindNone;
  CRecord* selected = selectedRecord();
  if (state_.linkPickMode || linksEditorPicking_) {
    if (linksEditorPicking_ && linksEditor_)
      linksEditor_->OnPicked(id);
    else if (state_.linkPickMode)
      formView_->ShowPickedId(id);
    UpdateActions();
    return;
  }
  if (tablePane_) tablePane_->OnRecordSelected(id);
  state_.hasShown = selected != nullptr;
  state_.shownId = selected ? selected->id : 0;
  if (!selected) {
    UpdateActions();
    return;
  }
  state_.shownKind = GetKind(selected);
  int wanted = state_.shownKind == kKindProperty ? kFormProperty
               : state_.shownKind == kKindNone   ? kFormEmpty
                                                 : kFormRecord;
  if (formView_->formTemplate() != wanted) ReplaceFormView(wanted);
  formView_->RefreshForm();
  UpdateActions();
}

void CMainFrame::ReplaceFormView(int formTemplate) {
  CTarnelView* old = formView_;
  formView_ = new CTarnelView(this, formTemplate);
  splitter_->replaceWidget(1, formView_);  // the new view takes the old one's place and size
  old->hide();
  old->deleteLater();
  ++formReplacements_;
}

void CMainFrame::SetLinkPickMode(bool on) {
  state_.linkPickMode = on;
  UpdateActions();
}

CLinksDialog* CMainFrame::linksEditor() const {
  return linksEditor_;
}

void CMainFrame::OpenLinksEditor(uint32_t) {
  if (!linksEditor_) linksEditor_ = new CLinksDialog(this, templateDirectories_);
  CRecord* object = LinksObjectOf(state_.doc.LookupRecord(treeView_->currentId()));
  linksEditor_->SetObjectId(object ? object->id : 0);
}

void CMainFrame::ShowLinksEditor(const QString& text) {
  if (!linksEditor_) return;
  QRect form = formView_->geometry();
  QPoint topLeft = formView_->mapToGlobal(QPoint(0, 0));
  int h = form.height() / 3;
  linksEditor_->setGeometry(topLeft.x(), topLeft.y() + form.height() - h, form.width(), h);
  linksEditor_->show();
  if (!text.isEmpty()) linksEditor_->LoadTemplate(text);
}

void CMainFrame::HideLinksEditor() {
  if (linksEditor_) linksEditor_->hide();
}

bool CMainFrame::RunCommand(std::unique_ptr<CEditCommand> command, IProgress* progress) {
  EditContext ctx{state_.doc, {}, {}, {}, progress, false};
  bool changed = false;
  {
    FrameState::ChangeHold hold(state_);
    changed = state_.history.Run(std::move(command), ctx);
  }
  // The shown record went with the command: the form follows the row the tree stands on now.
  if (state_.selectedId && !selectedRecord()) SelectRecord(treeView_->currentId());
  if (changed) SetModified(true);
  if (ctx.refusal == EditRefusal::kDocumentFull)
    ShowError(this, QStringLiteral("Kandrel"), DocumentFullMessage());
  if (!ctx.error.empty())
    ShowError(this, QStringLiteral("Kandrel"), QString::fromStdString(ctx.error));
  if (!ctx.notice.empty())
    ShowInformation(this, QStringLiteral("Kandrel"), QString::fromStdString(ctx.notice));
  if (ctx.refusal != EditRefusal::kDone && ctx.refusal != EditRefusal::kDocumentFull)
    statusBar()->showMessage(RefusalMessage(ctx.refusal), 8000);
  UpdateActions();
  return changed;
}

void CMainFrame::AfterApply() {
  formView_->RefreshForm();
}

void CMainFrame::AfterTreeChanged() {
  // Deletes and pastes can change links anywhere; the icons and the form follow.
  records_->DropStaleCopy();
  formView_->RefreshForm();
  UpdateActions();
}

void CMainFrame::InitialUpdate() {
  state_.history.Clear();
  records_->ForgetCopy();
  state_.ForgetShown();
  treeView_->OnInitialUpdate();
  formView_->OnInitialUpdate();
  UpdateActions();
}

void CMainFrame::AfterTreeRebuilt() {
  records_->ForgetCopy();
  state_.ForgetShown();
  // The tree kept its open branches and its current row where the same records still stand;
  // the form shows that row's record again.
  uint32_t current = treeView_->currentId();
  if (current && state_.doc.LookupRecord(current)) {
    treeView_->SelectIndex(treeView_->IndexOfId(current));
  } else {
    treeView_->ResetSelection();
    formView_->OnInitialUpdate();
  }
  UpdateActions();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // An open, save or import is under way on this thread: the window stays until it ends (its
  // dialog offers "Отмена" where stopping loses nothing).
  if (CProgressDialog::Busy() || !MaySwitchDocument()) {
    event->ignore();
    return;
  }
  network_->Close();
  recovery_->Forget();  // a clean exit leaves no recovery copy
  layout_->Save();
  event->accept();
}

void CMainFrame::OnSwitchPane(bool) {
  // Two panes: forward and back both lead to the other one.
  if (formView_->isAncestorOf(focusWidget())) {
    treeView_->setFocus(Qt::ShortcutFocusReason);
  } else {
    // The form's first field, or the form itself when it has none (the empty form).
    QWidget* first = formView_->widget()->nextInFocusChain();
    if (first && formView_->isAncestorOf(first))
      first->setFocus(Qt::ShortcutFocusReason);
    else
      formView_->setFocus(Qt::ShortcutFocusReason);
  }
}

void CMainFrame::ShowAbout() {
  CHTMLAbout about(this);
  RunModal(about);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
      event->mimeData()->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  QString path = urls.first().toLocalFile();
  // Opened after the drop has finished, so the dialogs it may show do not run inside it.
  QMetaObject::invokeMethod(
      this, [this, path] { OpenDocument(path); }, Qt::QueuedConnection);
}

bool CMainFrame::OpenRecoveryCopy(const QString& copyPath, const QString& originalPath) {
  return files_->OpenRecoveryCopy(copyPath, originalPath);
}
