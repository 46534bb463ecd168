#include "ui/tree/tree_context_menu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "model/document.h"
#include "model/document_edits.h"
#include "ui/app/command_ids.h"
#include "ui/app/enable_rules.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/form/property_form.h"
#include "ui/history/selection_commands.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_dock.h"
#include "xml/text_codec.h"

namespace {

// The add commands in menu order, with the kind of record each makes.
constexpr std::pair<int, int> kAddCommands[] = {{cmd::kAddGroup, kKindGroup},
                                                {cmd::kAddObject, kKindObject},
                                                {cmd::kAddAtom, kKindAtom},
                                                {cmd::kAddProperty, kKindProperty}};

const char* AddLabel(int commandId) {
  switch (commandId) {
    case cmd::kAddGroup:
      return QT_TRANSLATE_NOOP("CTreeEditing", "Добавить базу");
    case cmd::kAddObject:
      return QT_TRANSLATE_NOOP("CTreeEditing", "Добавить объект");
    case cmd::kAddAtom:
      return QT_TRANSLATE_NOOP("CTreeEditing", "Добавить атом");
    default:
      return QT_TRANSLATE_NOOP("CTreeEditing", "Добавить свойство");
  }
}

// Rows from the top down to the index, so that indexes compare in tree order.
std::vector<int> RowPath(QModelIndex index) {
  std::vector<int> rows;
  for (; index.isValid(); index = index.parent()) rows.insert(rows.begin(), index.row());
  return rows;
}

}  // namespace

CTreeEditing::CTreeEditing(CMainFrame* frame, CLeftView* tree)
    : QObject(tree), frame_(frame), tree_(tree) {
  setObjectName(QStringLiteral("treeEditing"));
  CRecordModel* model = tree_->recordModel();
  // The change waits until the editor has closed: the model is reset under it.
  model->SetRenameHandler([this](uint32_t id, const std::string& name) {
    QTimer::singleShot(0, this, [this, id, name] {
      frame_->RunCommand(std::make_unique<RenameRecordCommand>(id, name));
      frame_->AfterTreeChanged();
    });
  });
  connect(model, &CRecordModel::renameRefused, this, [this](const QString& message) {
    // An empty name just leaves the old one; a character the base cannot hold is explained.
    if (!message.isEmpty()) ShowError(frame_, QStringLiteral("Kandrel"), message);
  });
  // Ctrl and Shift clicks select several records; delete, copy, paste, drag and the form
  // act on all of them.
  tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // A press on a selected row keeps the selection, so that a drag takes all of it along; the
  // tree runs the drag itself, the model offers nothing to Qt's own.
  tree_->setDragEnabled(true);
  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CTreeEditing::UpdateBulk);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CTreeEditing::UpdateBulk);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tree_, &QWidget::customContextMenuRequested, this, &CTreeEditing::ShowContextMenu);
}

void CTreeEditing::AttachKeys() {
  const std::pair<int, const char*> keys[] = {{cmd::kEditDelete, "Del"},
                                              {cmd::kEditRename, "F2"},
                                              {cmd::kEditInsert, "Ins"},
                                              {cmd::kMoveUp, "Alt+Up"},
                                              {cmd::kMoveDown, "Alt+Down"}};
  for (const auto& [id, key] : keys) {
    QAction* a = frame_->action(id);
    a->setShortcut(QKeySequence(QString::fromLatin1(key)));
    a->setToolTip(
        QStringLiteral("%1 (%2)").arg(a->text(), a->shortcut().toString(QKeySequence::NativeText)));
    // Keys of the tree: in a form field Del and Ins keep their usual meaning.
    frame_->removeAction(a);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    tree_->addAction(a);
  }
}

std::vector<uint32_t> CTreeEditing::SelectedIds() const {
  QModelIndexList rows = tree_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return RowPath(a) < RowPath(b); });
  std::vector<uint32_t> ids;
  for (const QModelIndex& index : rows)
    if (uint32_t id = tree_->IdOf(index)) ids.push_back(id);
  if (ids.empty() && frame_->selectedRecord()) ids.push_back(frame_->selectedId());
  std::vector<uint32_t> outermost;
  for (CRecord* r : OutermostRecords(frame_->document(), ids)) outermost.push_back(r->id);
  return outermost;
}

void CTreeEditing::FillState(CommandState* state) const {
  state->selectedCount = frame_->linkPickMode() ? 0 : int(SelectedIds().size());
  CRecord* current = state->shownKind != kKindNone ? frame_->selectedRecord() : nullptr;
  state->canMoveUp = MayStepAmongSiblings(current, -1);
  state->canMoveDown = MayStepAmongSiblings(current, 1);
}

bool CTreeEditing::Execute(int commandId) {
  CRecord* current = frame_->selectedRecord();
  switch (commandId) {
    case cmd::kEditDelete:
      DeleteSelected();
      return true;
    case cmd::kEditRename:
      if (current) tree_->edit(tree_->IndexOfId(current->id));
      return true;
    case cmd::kEditInsert:
      InsertNatural();
      return true;
    case cmd::kMoveUp:
      Step(-1);
      return true;
    case cmd::kMoveDown:
      Step(1);
      return true;
    case cmd::kFindFromHere:
      frame_->GetFindBar()->OpenIn(current ? current->id : 0);
      return true;
    case cmd::kCopyPath:
      if (current) QGuiApplication::clipboard()->setText(FromCp1251(GetRecordPath(current)));
      return true;
    case cmd::kExpandBranch:
      tree_->expandRecursively(tree_->IndexOfId(current ? current->id : 0));
      return true;
    case cmd::kCollapseBranch:
      tree_->CollapseBranch(current ? current->id : 0);
      return true;
    default:
      return false;
  }
}

void CTreeEditing::DeleteSelected() {
  std::vector<uint32_t> ids = SelectedIds();
  if (ids.empty()) return;
  // Where the current row goes when its record is gone: the nearest row below, above or
  // above the branch that stays.
  std::vector<uint32_t> candidates;
  QModelIndex current = tree_->currentIndex();
  for (QModelIndex at = current; at.isValid(); at = at.parent()) {
    int rows = tree_->model()->rowCount(at.parent());
    for (int r = at.row() + 1; r < rows; ++r) candidates.push_back(tree_->IdOf(at.siblingAtRow(r)));
    for (int r = at.row() - 1; r >= 0; --r) candidates.push_back(tree_->IdOf(at.siblingAtRow(r)));
    candidates.push_back(tree_->IdOf(at.parent()));
  }
  uint32_t currentId = tree_->currentId();
  if (!frame_->RunCommand(std::make_unique<DeleteRecordsCommand>(ids))) return;
  if (currentId && !frame_->document().LookupRecord(currentId)) {
    auto next = std::find_if(candidates.begin(), candidates.end(), [this](uint32_t id) {
      return id == 0 || frame_->document().LookupRecord(id);
    });
    tree_->SelectIndex(tree_->IndexOfId(next == candidates.end() ? 0 : *next));
  }
  frame_->AfterTreeChanged();
}

void CTreeEditing::InsertNatural() {
  // Under a property, another property of its atom; under an object, the kind of its last
  // child (an atom when it has none); else the one kind the record may hold.
  CRecord* current = frame_->linkPickMode() ? nullptr : frame_->selectedRecord();
  switch (GetKind(current)) {
    case kKindGroup:
      tree_->OnAddObject(current->id);
      break;
    case kKindObject: {
      auto* object = static_cast<CObj*>(current);
      bool objects = object->GetChildCount() > 0 &&
                     GetKind(object->GetChild(object->GetChildCount() - 1)) == kKindObject;
      if (objects)
        tree_->OnAddObject(current->id);
      else
        tree_->OnAddAtom(current->id);
      break;
    }
    case kKindAtom:
      tree_->OnAddProperty(current->id);
      break;
    case kKindProperty:
      tree_->OnAddProperty(current->parent ? current->parent->id : 0);
      break;
    default:
      tree_->OnAddGroup();
      break;
  }
}

void CTreeEditing::Step(int delta) {
  CRecord* current = frame_->selectedRecord();
  if (!current) return;
  uint32_t id = current->id;
  if (frame_->RunCommand(std::make_unique<StepAmongSiblingsCommand>(id, delta))) {
    tree_->SelectIndex(tree_->IndexOfId(id));
    tree_->scrollTo(tree_->IndexOfId(id));
  }
}

void CTreeEditing::UpdateBulk() {
  if (frame_->linkPickMode() || frame_->linksEditorPicking()) return;
  std::vector<uint32_t> ids;
  for (const QModelIndex& index : tree_->selectionModel()->selectedRows()) {
    const CRecord* r = tree_->recordModel()->RecordOf(index);
    if (GetKind(r) != kKindProperty) {
      ids.clear();  // not all properties: the form shows the current record alone
      break;
    }
    ids.push_back(r->id);
  }
  if (ids.size() > 1) {
    std::sort(ids.begin(), ids.end(), [this](uint32_t a, uint32_t b) {
      return RowPath(tree_->IndexOfId(a)) < RowPath(tree_->IndexOfId(b));
    });
  }
  frame_->GetFormView()->ShowBulk(ids);
  frame_->UpdateActions();
}

QMenu* CTreeEditing::BuildContextMenu(QWidget* parent) {
  frame_->UpdateActions();
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("treeContextMenu"));
  CRecord* current = frame_->linkPickMode() ? nullptr : frame_->selectedRecord();
  // The toolbar's add buttons carry no text; the menu names them and follows their state.
  for (const auto& add : kAddCommands) {
    if (!CanHold(GetKind(current), add.second)) continue;
    const int id = add.first;
    QAction* a = menu->addAction(frame_->action(id)->icon(), tr(AddLabel(id)));
    a->setData(id);
    a->setEnabled(frame_->action(id)->isEnabled());
    connect(a, &QAction::triggered, frame_, [this, id] { frame_->Execute(id); });
  }
  if (!menu->isEmpty()) menu->addSeparator();
  const int groups[][4] = {{cmd::kEditDelete, cmd::kEditRename, 0, 0},
                           {cmd::kEditCopy, cmd::kEditPaste, 0, 0},
                           {cmd::kEditReferences, cmd::kFindFromHere, cmd::kCopyPath, 0},
                           {cmd::kExpandBranch, cmd::kCollapseBranch, 0, 0}};
  for (const auto& group : groups) {
    for (int id : group)
      if (id) menu->addAction(frame_->action(id));
    menu->addSeparator();
  }
  if (CWatchDock* watch = frame_->watchDock()) {
    watch->UpdateActions();
    menu->addAction(watch->watchAction());
  }
  return menu;
}

void CTreeEditing::ShowContextMenu(const QPoint& point) {
  // The right click made its row current; over empty space the menu is the current row's.
  QMenu* menu = BuildContextMenu(tree_);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(tree_->viewport()->mapToGlobal(point));
}
