#include "ui/tree/structure_tree.h"

#include <QFont>
#include <QHeaderView>
#include <QTimer>

#include "model/document.h"
#include "model/value_types.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/add_atom_dlg.h"
#include "ui/dialogs/add_base_dlg.h"
#include "ui/dialogs/property_item_dlg.h"
#include "ui/history/record_commands.h"
#include "ui/tree/tree_icons.h"
#include "xml/text_codec.h"

namespace {
constexpr int kIdRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;

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
    : QTreeWidget(parent), frame_(frame), doc_(doc), icons_(TreeIcons::Get()) {
  setObjectName(QStringLiteral("CLeftView"));
  setHeaderHidden(true);
  setColumnCount(1);
  setIconSize(QSize(24, 24));
  setUniformRowHeights(true);
  setRootIsDecorated(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  setFont(TreeFont());
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { OnSelChanged(item); });
}

CLeftView::~CLeftView() {
  CancelDrag();  // gives the mouse and the cursor back
  delete pendingRoot_;
  if (doc_ && doc_->treeView == this) doc_->treeView = nullptr;
}

uint32_t CLeftView::ItemId(const QTreeWidgetItem* item) {
  return item ? item->data(0, kIdRole).toUInt() : 0;
}

QPersistentModelIndex CLeftView::PersistentIndex(QTreeWidgetItem* item) {
  EnsureAttached();
  return item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

QTreeWidgetItem* CLeftView::ItemAt(const QPersistentModelIndex& index) {
  EnsureAttached();
  return index.isValid() ? itemFromIndex(index) : nullptr;
}

void CLeftView::DeleteAllItems() {
  clearing_ = true;
  clear();
  clearing_ = false;
  delete pendingRoot_;
  pendingRoot_ = nullptr;
  rootItem_ = nullptr;
  currentItem_ = nullptr;
  building_ = true;
}

TreeItemHandle CLeftView::InsertRoot() {
  QTreeWidgetItem* root = MakeItem("Root", kImageRoot, 0);
  if (building_) {
    // A rebuild fills the tree below a root that the widget does not know yet, so the tens of
    // thousands of inserts cost no model notifications; the branch joins the widget in one step.
    pendingRoot_ = root;
    QTimer::singleShot(0, this, &CLeftView::EnsureAttached);
  } else {
    addTopLevelItem(root);
  }
  rootItem_ = root;
  currentItem_ = root;
  return root;
}

void CLeftView::EnsureAttached() {
  building_ = false;
  if (!pendingRoot_) return;
  QTreeWidgetItem* root = pendingRoot_;
  pendingRoot_ = nullptr;
  clearing_ = true;
  addTopLevelItem(root);
  clearing_ = false;
}

QTreeWidgetItem* CLeftView::MakeItem(const std::string& label, int image, uint32_t id) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, FromCp1251(label));
  item->setData(0, kIdRole, id);
  SetImage(item, image);
  return item;
}

QTreeWidgetItem* CLeftView::NewItem(QTreeWidgetItem* parent, const std::string& label, int image,
                                    uint32_t id) {
  QTreeWidgetItem* item = MakeItem(label, image, id);
  if (parent)
    parent->addChild(item);
  else
    addTopLevelItem(item);
  return item;
}

TreeItemHandle CLeftView::InsertItem(TreeItemHandle parent, const std::string& label, int image,
                                     int, uint32_t id) {
  return NewItem(static_cast<QTreeWidgetItem*>(parent), label, image, id);
}

void CLeftView::SetImage(QTreeWidgetItem* item, int image) {
  // Only a real change touches the item: refreshing a branch must not repaint it all.
  QVariant old = item->data(0, kImageRole);
  if (old.isValid() && old.toInt() == image) return;
  item->setData(0, kImageRole, image);
  item->setIcon(0, icons_.ForImage(image));
}

void CLeftView::OnInitialUpdate() {
  doc_->treeView = this;
  clearing_ = true;
  doc_->RebuildTree();
  clearing_ = false;
  ResetSelection();
}

void CLeftView::ResetSelection() {
  EnsureAttached();
  clearing_ = true;
  if (!rootItem_) InsertRoot();
  setCurrentItem(nullptr);
  clearing_ = false;
  currentItem_ = nullptr;
  frame_->SelectRecord(0);
}

QTreeWidgetItem* CLeftView::AddGroupItem(const std::string& label, uint32_t id) {
  EnsureAttached();
  if (!rootItem_) InsertRoot();
  return NewItem(rootItem_, label, kImageGroup, id);
}

QTreeWidgetItem* CLeftView::AddObjectItem(const std::string& label, uint32_t id) {
  EnsureAttached();
  QTreeWidgetItem* item = NewItem(currentItem_, label, kImageObject, id);
  if (currentItem_) currentItem_->setExpanded(true);
  return item;
}

QTreeWidgetItem* CLeftView::AddAtomItem(const std::string& label, uint32_t id) {
  EnsureAttached();
  QTreeWidgetItem* item = NewItem(currentItem_, label, kImageAtom, id);
  if (currentItem_) currentItem_->setExpanded(true);
  return item;
}

QTreeWidgetItem* CLeftView::AddPropertyItem(const std::string& label, uint32_t id) {
  EnsureAttached();
  // The plain property icon even for LINK_TO, until the next icon refresh.
  return NewItem(currentItem_, label, kImageProperty, id);
}

void CLeftView::DeleteCurrentItem() {
  QTreeWidgetItem* item = currentItem_;
  if (!item) return;
  currentItem_ = nullptr;
  if (item == rootItem_) rootItem_ = nullptr;
  delete item;  // the tree selects another item and reports it
}

void CLeftView::SelectItem(QTreeWidgetItem* item) {
  if (!item) return;
  if (item == currentItem())
    OnSelChanged(item);
  else
    setCurrentItem(item);
}

void CLeftView::SetItemLabel(QTreeWidgetItem* item, const std::string& label) {
  if (item) item->setText(0, FromCp1251(label));
}

QTreeWidgetItem* CLeftView::FindItemByPath(const std::string& path, QTreeWidgetItem* start,
                                           size_t position) {
  EnsureAttached();
  size_t end = position + 1 <= path.size() ? path.find('/', position + 1) : std::string::npos;
  if (end == std::string::npos) end = path.size();
  std::string name = end > position && position < path.size()
                         ? path.substr(position, end - position)
                         : std::string();
  if (!name.empty() && name[0] == '/') name.erase(0, 1);
  QTreeWidgetItem* parent = start ? start : topLevelItem(0);
  if (!parent || parent->childCount() == 0) return start;
  QString label = FromCp1251(name);
  for (int i = 0; i < parent->childCount(); ++i) {
    QTreeWidgetItem* child = parent->child(i);
    if (child->text(0) == label) return FindItemByPath(path, child, end + 1);
  }
  return nullptr;
}

void CLeftView::RefreshItemIcon(QTreeWidgetItem* item) {
  if (!item) return;
  if (const CPropertyItem* p = AsProperty(doc_->LookupRecord(ItemId(item))))
    SetImage(item, p->typeCode == kTypeLinkTo ? kImageLink : kImageProperty);
}

void CLeftView::RefreshBranchIcons(QTreeWidgetItem* item) {
  if (!item) return;
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    RefreshItemIcon(child);
    RefreshBranchIcons(child);
  }
}

void CLeftView::OnSelChanged(QTreeWidgetItem* item) {
  if (clearing_ || !item) return;
  currentItem_ = item;
  RefreshItemIcon(item);
  frame_->SelectRecord(ItemId(item));
  RefreshBranchIcons(item);
}

bool CLeftView::DocumentIsFull() {
  if (doc_->idMap.Count() < 0xFFFF) return false;
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
  frame_->RunCommand(std::make_unique<AddChildCommand>(AddChildCommand::kObject, parentId, name));
}

void CLeftView::OnAddAtom(uint32_t parentId) {
  if (DocumentIsFull()) return;
  std::string name;
  uint8_t type = 0;
  CAddAtomDlg dlg(frame_);
  if (dlg.RunModal(&name, &type) != QDialog::Accepted) return;
  frame_->RunCommand(
      std::make_unique<AddChildCommand>(AddChildCommand::kAtom, parentId, name, type));
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
