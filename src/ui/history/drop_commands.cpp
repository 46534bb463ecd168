#include "ui/history/drop_commands.h"

#include <algorithm>

#include "model/archive_format.h"
#include "model/document.h"
#include "ui/tree/structure_tree.h"

namespace {

// A group lies at depth 1, as the document file counts.
int DepthOf(const CRecord* r) {
  int depth = 0;
  for (; r; r = r->parent) ++depth;
  return depth;
}

int BranchHeight(const CRecord* r) {
  int below = 0;
  if (const CChildHolder* h = AsChildHolder(const_cast<CRecord*>(r)))
    for (const auto& c : h->children) below = std::max(below, BranchHeight(c.get()));
  else if (const CAtom* a = AsAtom(const_cast<CRecord*>(r)))
    below = a->properties.Empty() ? 0 : 1;
  return 1 + below;
}

// The decimal-point references of an atom's properties follow from the atom's own list, the
// way a rebuild sets them; a property that changes atoms must not keep its old atom's.
void RefreshDecimalPoints(CTarnelDoc& doc, CRecord* atom) {
  if (!AsAtom(atom)) return;
  ITreeView* view = doc.treeView;
  doc.treeView = nullptr;  // registration only, no tree items
  doc.RegisterSubtree(atom, nullptr);
  doc.treeView = view;
}

}  // namespace

bool IsInBranch(const CRecord* record, const CRecord* branch) {
  for (const CRecord* r = record; r; r = r->parent)
    if (r == branch) return true;
  return false;
}

bool MayMoveUnder(const CRecord* record, const CRecord* target) {
  if (!record || !target || !CLeftView::CanDrop(GetKind(record), GetKind(target))) return false;
  if (IsInBranch(target, record)) return false;
  return DepthOf(target) + BranchHeight(record) <= archive::kMaxDepth;
}

bool MoveRecordUnder(CTarnelDoc& doc, CRecord* record, CRecord* target) {
  if (!MayMoveUnder(record, target)) return false;
  if (CAtom* atom = AsAtom(target)) {
    CAtom* old = AsAtom(record->parent);
    if (!old) return false;
    std::unique_ptr<CPropertyItem> kept = old->DetachProperty(AsProperty(record));
    if (!kept) return false;
    atom->AddProperty(std::move(kept));
    RefreshDecimalPoints(doc, old);
    RefreshDecimalPoints(doc, atom);
    return true;
  }
  CChildHolder* holder = AsChildHolder(target);
  CChildHolder* old = AsChildHolder(record->parent);
  if (!holder || !old) return false;
  std::unique_ptr<CRecord> kept = old->DetachChild(record);
  if (!kept) return false;
  holder->AddChild(std::move(kept));
  return true;
}

namespace {

template <class T>
bool Reorder(OwningList<T>& list, const std::vector<uint32_t>& order) {
  if (int(order.size()) != list.Count()) return false;
  std::vector<T*> wanted;
  for (uint32_t id : order) {
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p->id == id; });
    if (it == list.end() || std::find(wanted.begin(), wanted.end(), it->get()) != wanted.end())
      return false;
    wanted.push_back(it->get());
  }
  bool changed = false;
  for (int i = 0; i < int(wanted.size()); ++i) changed |= list.At(i) != wanted[size_t(i)];
  if (!changed) return false;
  std::vector<std::unique_ptr<T>> taken;
  for (T* r : wanted) taken.push_back(list.Take(r));
  for (auto& r : taken) list.Append(std::move(r));
  return true;
}

}  // namespace

bool RewriteChildOrder(CRecord* parent, const std::vector<uint32_t>& order) {
  if (CAtom* atom = AsAtom(parent)) return Reorder(atom->properties, order);
  if (CChildHolder* holder = AsChildHolder(parent)) return Reorder(holder->children, order);
  return false;
}

bool DropMoveCommand::Execute(EditContext& ctx) {
  CRecord* record = ctx.doc.LookupRecord(draggedId_);
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  QTreeWidgetItem* item = ctx.tree.FindItemById(draggedId_);
  QTreeWidgetItem* targetItem = ctx.tree.FindItemById(targetId_);
  if (!item || !targetItem || !MayMoveUnder(record, target)) return false;
  // Onto itself, or onto the parent it already has: the record keeps its place in the list.
  if (targetItem == item || targetItem == item->parent() || record->parent == target) return false;
  if (!ctx.tree.MoveBranch(item, targetItem, CLeftView::MoveMode::kAsChild)) return false;
  return MoveRecordUnder(ctx.doc, record, target);
}

bool DropReorderCommand::Execute(EditContext& ctx) {
  CRecord* record = ctx.doc.LookupRecord(draggedId_);
  QTreeWidgetItem* item = ctx.tree.FindItemById(draggedId_);
  QTreeWidgetItem* targetItem = ctx.tree.FindItemById(targetId_);
  if (!record || !item || !targetItem) return false;
  QTreeWidgetItem* moved = ctx.tree.MoveBranch(item, targetItem, CLeftView::MoveMode::kAsSibling);
  if (!moved || !moved->parent()) return false;
  QTreeWidgetItem* parentItem = moved->parent();
  std::vector<uint32_t> order;
  for (int i = 0; i < parentItem->childCount(); ++i)
    order.push_back(CLeftView::ItemId(parentItem->child(i)));
  CRecord* parent = ctx.doc.LookupRecord(CLeftView::ItemId(parentItem));
  if (!RewriteChildOrder(parent, order)) return false;
  RefreshDecimalPoints(ctx.doc, parent);  // "DecPoint" scales the properties up to itself
  return true;
}
