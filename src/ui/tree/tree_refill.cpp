#include "ui/tree/tree_refill.h"

#include <unordered_set>
#include <vector>

#include "model/document.h"
#include "model/document_diff.h"
#include "model/value_types.h"
#include "ui/tree/structure_tree.h"

namespace {

int ImageOf(const CRecord* r) {
  switch (GetKind(r)) {
    case kKindGroup:
      return kImageGroup;
    case kKindObject:
      return kImageObject;
    case kKindAtom:
      return kImageAtom;
    default:
      return static_cast<const CPropertyItem*>(r)->typeCode == kTypeLinkTo ? kImageLink
                                                                           : kImageProperty;
  }
}

void Fill(CLeftView& view, const CRecord* r, TreeItemHandle parent) {
  int image = ImageOf(r);
  TreeItemHandle item = view.InsertItem(parent, r->name, image, image + 1, r->id);
  if (auto* h = dynamic_cast<const CChildHolder*>(r))
    for (const auto& c : h->children) Fill(view, c.get(), item);
  else if (auto* a = dynamic_cast<const CAtom*>(r))
    for (const auto& p : a->properties) Fill(view, p.get(), item);
}

// The record's items below `parent`, built off the widget and handed over in one step.
void FillChildren(CLeftView& tree, const CRecord* r, QTreeWidgetItem* item) {
  QTreeWidgetItem holder;
  if (auto* h = dynamic_cast<const CChildHolder*>(r))
    for (const auto& c : h->children) Fill(tree, c.get(), &holder);
  else if (auto* a = dynamic_cast<const CAtom*>(r))
    for (const auto& p : a->properties) Fill(tree, p.get(), &holder);
  item->addChildren(holder.takeChildren());
}

void CollectExpanded(QTreeWidgetItem* item, std::unordered_set<uint32_t>* out) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->childCount() == 0) continue;
    if (child->isExpanded()) out->insert(CLeftView::ItemId(child));
    CollectExpanded(child, out);
  }
}

// Opens the branches below `item` that were open, or that `remembered` (if any) lists.
void Expand(QTreeWidgetItem* item, const std::unordered_set<uint32_t>& ids,
            const std::unordered_set<uint32_t>* remembered = nullptr) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->childCount() == 0) continue;
    uint32_t id = CLeftView::ItemId(child);
    if (ids.count(id) || (remembered && remembered->count(id))) child->setExpanded(true);
    Expand(child, ids, remembered);
  }
}

QTreeWidgetItem* ChildWithId(QTreeWidgetItem* parent, uint32_t id) {
  for (int i = 0; i < parent->childCount(); ++i)
    if (CLeftView::ItemId(parent->child(i)) == id) return parent->child(i);
  return nullptr;
}

QTreeWidgetItem* SearchAll(QTreeWidgetItem* item, uint32_t id) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (CLeftView::ItemId(child) == id) return child;
    if (QTreeWidgetItem* found = SearchAll(child, id)) return found;
  }
  return nullptr;
}

// The open branches by identifier, kept up to date by the tree's signals. Items that are
// deleted leave their entry behind on purpose.
class OpenBranches : public QObject {
 public:
  explicit OpenBranches(CLeftView& tree) : QObject(&tree) {
    setObjectName(QStringLiteral("openBranches"));
    connect(&tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { ids.insert(CLeftView::ItemId(item)); });
    connect(&tree, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { ids.erase(CLeftView::ItemId(item)); });
  }
  std::unordered_set<uint32_t> ids;
};

const std::unordered_set<uint32_t>* Remembered(CLeftView& tree) {
  // The name is ours alone; the class has no meta-object of its own to cast by.
  QObject* memory =
      tree.findChild<QObject*>(QStringLiteral("openBranches"), Qt::FindDirectChildrenOnly);
  return memory ? &static_cast<OpenBranches*>(memory)->ids : nullptr;
}

}  // namespace

void RememberOpenBranches(CLeftView& tree) {
  if (!Remembered(tree)) new OpenBranches(tree);
}

void RefillTree(CLeftView& tree, const CTarnelDoc& doc) {
  tree.EnsureAttached();
  std::unordered_set<uint32_t> expanded;
  bool rootExpanded = true;
  if (QTreeWidgetItem* root = tree.rootItem()) {
    rootExpanded = root->isExpanded();
    CollectExpanded(root, &expanded);
  }
  tree.DeleteAllItems();
  TreeItemHandle root = tree.InsertRoot();
  for (const auto& g : doc.groups) Fill(tree, g.get(), root);
  tree.EnsureAttached();
  if (QTreeWidgetItem* r = tree.rootItem()) {
    r->setExpanded(rootExpanded);
    Expand(r, expanded);
  }
}

void RefreshChangedBranches(CLeftView& tree, const CTarnelDoc& doc, const DocumentChange& change) {
  tree.EnsureAttached();
  QTreeWidgetItem* root = tree.rootItem();
  bool groupsChanged = false;
  for (const ListChange& l : change.lists) groupsChanged |= l.container == 0;
  if (!root || change.wholeBefore || groupsChanged) {
    RefillTree(tree, doc);
    return;
  }
  for (const ListChange& l : change.lists) {
    // A container that is gone has no item; one that came is filled with its parent's list.
    const CRecord* container = doc.LookupRecord(l.container);
    QTreeWidgetItem* item = container ? FindRecordItem(tree, doc, l.container) : nullptr;
    if (!item) continue;
    std::unordered_set<uint32_t> expanded;
    CollectExpanded(item, &expanded);
    qDeleteAll(item->takeChildren());
    FillChildren(tree, container, item);
    Expand(item, expanded, Remembered(tree));
  }
  for (const ContentChange& c : change.changed) {
    const CRecord* r = doc.LookupRecord(c.after.id);
    if (!r) continue;
    if (QTreeWidgetItem* item = FindRecordItem(tree, doc, r->id)) {
      tree.SetItemLabel(item, r->name);
      tree.RefreshItemIcon(item);
    }
  }
}

QTreeWidgetItem* FindRecordItem(CLeftView& tree, const CTarnelDoc& doc, uint32_t id) {
  tree.EnsureAttached();
  QTreeWidgetItem* root = tree.rootItem();
  const CRecord* r = doc.LookupRecord(id);
  if (!root || !r) return nullptr;
  std::vector<uint32_t> chain;
  for (int guard = 0; r && guard < 100000; r = r->parent, ++guard) {
    chain.push_back(r->id);
    if (r->Kind() == kKindGroup) break;
  }
  QTreeWidgetItem* item = root;
  for (auto it = chain.rbegin(); it != chain.rend() && item; ++it) item = ChildWithId(item, *it);
  // Items that do not follow the records' order (or duplicated identifiers): look everywhere.
  return item ? item : SearchAll(root, id);
}
