#include "tree_refill.h"

#include <unordered_set>
#include <vector>

#include "left_view.h"
#include "model/document.h"
#include "model/value_types.h"

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

void Fill(ITreeView& view, const CRecord* r, TreeItemHandle parent) {
  int image = ImageOf(r);
  TreeItemHandle item = view.InsertItem(parent, r->name, image, image + 1, r->id);
  if (auto* h = dynamic_cast<const CChildHolder*>(r))
    for (const auto& c : h->children) Fill(view, c.get(), item);
  else if (auto* a = dynamic_cast<const CAtom*>(r))
    for (const auto& p : a->properties) Fill(view, p.get(), item);
}

void CollectExpanded(QTreeWidgetItem* item, std::unordered_set<uint32_t>* out) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->childCount() == 0) continue;
    if (child->isExpanded()) out->insert(CLeftView::ItemId(child));
    CollectExpanded(child, out);
  }
}

void Expand(QTreeWidgetItem* item, const std::unordered_set<uint32_t>& ids) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->childCount() == 0) continue;
    if (ids.count(CLeftView::ItemId(child))) child->setExpanded(true);
    Expand(child, ids);
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

}  // namespace

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
