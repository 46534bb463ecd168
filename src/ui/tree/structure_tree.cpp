#include "ui/tree/structure_tree.h"

#include <QFont>
#include <QHeaderView>

#include "model/document.h"
#include "model/value_types.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/add_atom_dlg.h"
#include "ui/dialogs/add_base_dlg.h"
#include "ui/dialogs/property_item_dlg.h"
#include "ui/history/record_commands.h"
#include "ui/tree/record_model.h"
#include "xml/text_codec.h"

namespace {

QFont TreeFont() {
  // "Arial Narrow" where it is installed, else the narrow faces that stand in for it.
  QFont font;
  font.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                    QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                    QStringLiteral("DejaVu Sans")});
  font.setPixelSize(17);  // a 20-pixel cell
  font.setWeight(QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace

CLeftView::CLeftView(CMainFrame* frame, CTarnelDoc* doc, QWidget* parent)
    : QTreeView(parent),
      frame_(frame),
      doc_(doc),
      model_(new CRecordModel(*doc, CRecordModel::Top::kRootRow, this)) {
  setObjectName(QStringLiteral("CLeftView"));
  setHeaderHidden(true);
  setIconSize(QSize(24, 24));
  setUniformRowHeights(true);
  setRootIsDecorated(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setModel(model_);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  setFont(TreeFont());
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
    if (model_->IsRootRow(index))
      rootOpen_ = true;
    else if (uint32_t id = model_->IdOf(index))
      open_[id] = PathOf(id);
  });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (model_->IsRootRow(index))
      rootOpen_ = false;
    else
      open_.erase(model_->IdOf(index));
  });
  // Across a reset the open branches and the current row are kept by identifier path.
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &CLeftView::SaveState);
  connect(model_, &QAbstractItemModel::modelReset, this, &CLeftView::RestoreState);
  // Rows that come back (an undone deletion) open as they were when they went.
  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex& parent, int first, int last) {
            for (int row = first; row <= last; ++row) ReopenBranch(model_->index(row, 0, parent));
          });
}

void CLeftView::ReopenBranch(const QModelIndex& index) {
  auto open = open_.find(model_->IdOf(index));
  if (open == open_.end() || IndexOfPath(open->second) != index) return;
  expand(index);
  for (int row = 0, n = model_->rowCount(index); row < n; ++row)
    ReopenBranch(model_->index(row, 0, index));
}

CLeftView::~CLeftView() {
  CancelDrag();  // gives the mouse and the cursor back
}

uint32_t CLeftView::IdOf(const QModelIndex& index) const {
  return model_->IdOf(index);
}

QModelIndex CLeftView::IndexOfId(uint32_t id) const {
  return id ? model_->IndexOfId(id) : model_->RootRow();
}

uint32_t CLeftView::currentId() const {
  return model_->IdOf(currentIndex());
}

CLeftView::IdPath CLeftView::PathOf(uint32_t id) const {
  IdPath path;
  for (const CRecord* r = doc_->LookupRecord(id); r; r = r->parent) path.push_back(r->id);
  return path;  // from the record up to its group
}

QModelIndex CLeftView::IndexOfPath(const IdPath& path) const {
  if (path.empty()) return {};
  const CRecord* r = doc_->LookupRecord(path.front());
  QModelIndex index = model_->IndexOf(r);
  for (uint32_t id : path) {
    if (!r || r->id != id) return {};
    r = r->parent;
  }
  return r ? QModelIndex() : index;
}

void CLeftView::SaveState() {
  if (forgetting_) {
    savedHadCurrent_ = savedRootCurrent_ = false;
    savedCurrent_.clear();
    savedSelection_.clear();
    return;
  }
  savedSelection_.clear();
  for (const QModelIndex& index : selectionModel()->selectedRows())
    if (uint32_t id = IdOf(index)) savedSelection_.push_back(PathOf(id));
  QModelIndex current = currentIndex();
  savedRootCurrent_ = model_->IsRootRow(current);
  savedHadCurrent_ = current.isValid();
  savedCurrent_ = savedHadCurrent_ && !savedRootCurrent_ ? PathOf(IdOf(current)) : IdPath();
}

void CLeftView::RestoreState() {
  // The view forgot everything with the reset; what stands where it stood opens again.
  restoring_ = true;
  clearing_ = true;
  std::vector<QModelIndex> reopen;
  for (const auto& [id, path] : open_)
    if (QModelIndex index = IndexOfPath(path); index.isValid()) reopen.push_back(index);
  for (const QModelIndex& index : reopen) expand(index);
  if (rootOpen_) expand(model_->RootRow());
  QModelIndex current = savedRootCurrent_ ? model_->RootRow() : IndexOfPath(savedCurrent_);
  if (current.isValid()) setCurrentIndex(current);
  if (savedSelection_.size() > 1)
    for (const IdPath& path : savedSelection_)
      if (QModelIndex index = IndexOfPath(path); index.isValid())
        selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  clearing_ = false;
  restoring_ = false;
}

void CLeftView::OnInitialUpdate() {
  // A new or opened document starts closed, as every record in it is new to the view.
  open_.clear();
  rootOpen_ = false;
  forgetting_ = true;
  model_->Reload();
  forgetting_ = false;
  ResetSelection();
}

void CLeftView::ResetSelection() {
  clearing_ = true;
  setCurrentIndex(QModelIndex());
  selectionModel()->clearSelection();
  clearing_ = false;
  frame_->SelectRecord(0);
}

void CLeftView::SelectIndex(const QModelIndex& index) {
  if (!index.isValid()) return;
  if (index == currentIndex())
    OnSelChanged(index);
  else
    setCurrentIndex(index);
}

// The names' column fits them while the tree is seen: behind another tab each change of the
// rows would measure a thousand of them for nothing.
void CLeftView::showEvent(QShowEvent* event) {
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  QTreeView::showEvent(event);
}

void CLeftView::hideEvent(QHideEvent* event) {
  QTreeView::hideEvent(event);
  header()->setSectionResizeMode(QHeaderView::Interactive);
}

void CLeftView::Reveal(uint32_t id) {
  QModelIndex index = IndexOfId(id);
  if (!index.isValid()) return;
  // Expanding a branch that is open already still searches the shown rows for it.
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
    if (!isExpanded(p)) expand(p);
  SelectIndex(index);
  scrollTo(index);
}

void CLeftView::SetExpanded(uint32_t id, bool open) {
  QModelIndex index = IndexOfId(id);
  if (index.isValid()) setExpanded(index, open);
}

void CLeftView::OpenRootAndGroups() {
  QModelIndex root = IndexOfId(0);
  if (!root.isValid()) return;
  expand(root);
  for (int row = 0; row < model_->rowCount(root); ++row) expand(model_->index(row, 0, root));
}

bool CLeftView::IsExpanded(uint32_t id) const {
  QModelIndex index = IndexOfId(id);
  return index.isValid() && isExpanded(index);
}

uint32_t CLeftView::NeighbourOf(uint32_t id) const {
  QModelIndex index = IndexOfId(id);
  if (!index.isValid() || !id) return 0;
  int rows = model_->rowCount(index.parent());
  if (index.row() + 1 < rows) return IdOf(index.siblingAtRow(index.row() + 1));
  if (index.row() > 0) return IdOf(index.siblingAtRow(index.row() - 1));
  return IdOf(index.parent());
}

void CLeftView::ClearCurrent() {
  clearing_ = true;
  setCurrentIndex(QModelIndex());
  clearing_ = false;
}

void CLeftView::CollapseBranch(uint32_t id) {
  QModelIndex index = IndexOfId(id);
  if (!index.isValid()) return;
  std::vector<QModelIndex> stack{index};
  while (!stack.empty()) {
    QModelIndex i = stack.back();
    stack.pop_back();
    if (!isExpanded(i)) continue;  // nothing below a closed branch is open in the view
    collapse(i);
    for (int r = 0, n = model_->rowCount(i); r < n; ++r) stack.push_back(model_->index(r, 0, i));
  }
}

QModelIndex CLeftView::IndexOfRecord(const CRecord* record) const {
  return model_->IndexOf(record);
}

void CLeftView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (clearing_ || !current.isValid()) return;
  // Moving between the name and the value of one row is not a new selection.
  if (previous.isValid() && current.siblingAtColumn(0) == previous.siblingAtColumn(0)) return;
  OnSelChanged(current);
}

void CLeftView::OnSelChanged(const QModelIndex& index) {
  frame_->SelectRecord(model_->IdOf(index));
}

bool CLeftView::DocumentIsFull() {
  if (doc_->Ids().Count() < 0xFFFF) return false;
  ShowError(frame_, QStringLiteral("Kandrel"), DocumentFullMessage());
  return true;
}

void CLeftView::OnAddGroup() {
  if (DocumentIsFull()) return;
  std::string name;
  CAddBaseDlg dlg(frame_);
  if (dlg.RunModal(&name, tr("Добавить базу")) != QDialog::Accepted) return;
  frame_->RunCommand(std::make_unique<AddGroupCommand>(name));
}

void CLeftView::OnAddObject(uint32_t parentId) {
  if (DocumentIsFull()) return;
  std::string name;
  CAddBaseDlg dlg(frame_);
  if (dlg.RunModal(&name, tr("Добавить объект")) != QDialog::Accepted) return;
  // A new object or atom shows at once: its parent opens.
  if (frame_->RunCommand(
          std::make_unique<AddChildCommand>(AddChildCommand::kObject, parentId, name)))
    SetExpanded(parentId, true);
}

void CLeftView::OnAddAtom(uint32_t parentId) {
  if (DocumentIsFull()) return;
  std::string name;
  uint8_t type = 0;
  CAddAtomDlg dlg(frame_);
  if (dlg.RunModal(&name, &type) != QDialog::Accepted) return;
  if (frame_->RunCommand(
          std::make_unique<AddChildCommand>(AddChildCommand::kAtom, parentId, name, type)))
    SetExpanded(parentId, true);
}

void CLeftView::OnAddProperty(uint32_t parentId) {
  if (DocumentIsFull()) return;
  // The dialog fills a property that is not in the document yet; only a confirmed one gets an
  // identifier.
  CPropertyItem draft;
  CPropertyItemDlg dlg(frame_);
  if (dlg.RunModal(&draft) != QDialog::Accepted) return;
  frame_->RunCommand(std::make_unique<AddPropertyCommand>(
      parentId, PropertyDraft{draft.name, draft.valueText, draft.typeCode, draft.flags}));
}
