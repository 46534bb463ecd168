#include "ui/history/drop_commands.h"

#include <algorithm>

#include "model/archive_format.h"
#include "model/document.h"

namespace {

// Groups never move; an object goes into a group or an object, an atom into an object, a
// property into an atom.
bool CanDrop(int dragged, int target) {
  switch (dragged) {
    case kKindObject:
      return target == kKindGroup || target == kKindObject;
    case kKindAtom:
      return target == kKindObject;
    case kKindProperty:
      return target == kKindAtom;
    default:
      return false;
  }
}

// A Shift drop places the record after a sibling, or first when dropped on its parent.
bool CanPlaceAfter(int dragged, int target) {
  switch (dragged) {
    case kKindObject:
      return target == kKindGroup || target == kKindObject;
    case kKindAtom:
      return target == kKindObject || target == kKindAtom;
    case kKindProperty:
      return target == kKindAtom || target == kKindProperty;
    default:
      return false;
  }
}

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
  if (!record || !target || !CanDrop(GetKind(record), GetKind(target))) return false;
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
  if (!MayMoveUnder(record, target)) return false;
  // Onto the parent it already has: the record keeps its place in the list.
  if (record->parent == target) return false;
  return MoveRecordUnder(ctx.doc, record, target);
}

bool DropReorderCommand::Execute(EditContext& ctx) {
  CRecord* record = ctx.doc.LookupRecord(draggedId_);
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  if (!record || !target || !record->parent || IsInBranch(target, record)) return false;
  if (!CanPlaceAfter(GetKind(record), GetKind(target))) return false;
  CRecord* parent = record->parent;
  std::vector<uint32_t> order;
  ForEachChild(parent, [&](const CRecord* c) {
    if (c != record) order.push_back(c->id);
  });
  // First under its own parent, right after a sibling, and last after anything else.
  size_t at = order.size();
  if (target == parent)
    at = 0;
  else if (target->parent == parent)
    at = size_t(std::find(order.begin(), order.end(), target->id) - order.begin()) + 1;
  order.insert(order.begin() + long(std::min(at, order.size())), record->id);
  if (!RewriteChildOrder(parent, order)) return false;
  RefreshDecimalPoints(ctx.doc, parent);  // "DecPoint" scales the properties up to itself
  return true;
}
