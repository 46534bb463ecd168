#include "ui/history/selection_commands.h"

#include <algorithm>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/document_events.h"
#include "ui/history/drop_commands.h"
#include "ui/history/record_commands.h"

std::vector<CRecord*> OutermostRecords(const CTarnelDoc& doc, const std::vector<uint32_t>& ids) {
  std::vector<CRecord*> records;
  for (uint32_t id : ids)
    if (CRecord* r = doc.LookupRecord(id);
        r && std::find(records.begin(), records.end(), r) == records.end())
      records.push_back(r);
  std::vector<CRecord*> outermost;
  for (CRecord* r : records) {
    bool inside = std::any_of(records.begin(), records.end(), [r](const CRecord* other) {
      return other != r && IsInBranch(r, other);
    });
    if (!inside) outermost.push_back(r);
  }
  return outermost;
}

bool RenameRecordCommand::Execute(EditContext& ctx) {
  CRecord* r = ctx.doc.LookupRecord(id_);
  if (!r || name_.empty() || r->name == name_) return false;
  RecordChange change(ctx.doc.events(), r);
  r->SetName(name_);
  return true;
}

namespace {

// The identifiers of the record's list, in order; empty for a group or a record without one.
std::vector<uint32_t> SiblingIds(const CRecord* record) {
  std::vector<uint32_t> ids;
  if (!record || !record->parent) return ids;
  ForEachChild(record->parent, [&](const CRecord* c) { ids.push_back(c->id); });
  return ids;
}

}  // namespace

bool MayStepAmongSiblings(const CRecord* record, int delta) {
  std::vector<uint32_t> ids = SiblingIds(record);
  auto it = std::find(ids.begin(), ids.end(), record ? record->id : 0);
  if (it == ids.end()) return false;
  long at = long(it - ids.begin()) + delta;
  return at >= 0 && at < long(ids.size());
}

bool StepAmongSiblingsCommand::Execute(EditContext& ctx) {
  CRecord* record = ctx.doc.LookupRecord(id_);
  if (!MayStepAmongSiblings(record, delta_)) return false;
  std::vector<uint32_t> order = SiblingIds(record);
  auto it = std::find(order.begin(), order.end(), record->id);
  std::iter_swap(it, it + delta_);
  // A drop onto the parent puts the record first, after a sibling right behind it: the same
  // operation places it here, with the "DecPoint" references set again.
  uint32_t after = it + delta_ == order.begin() ? record->parent->id : *(it + delta_ - 1);
  return DropReorderCommand(record->id, after).Execute(ctx);
}

bool DeleteRecordsCommand::Execute(EditContext& ctx) {
  std::vector<uint32_t> ids;
  for (CRecord* r : OutermostRecords(ctx.doc, ids_)) ids.push_back(r->id);
  bool changed = false;
  for (uint32_t id : ids) changed |= DeleteRecordCommand(id).Execute(ctx);
  return changed;
}

bool PasteRecordsCommand::Execute(EditContext& ctx) {
  std::vector<uint32_t> ids;
  for (CRecord* r : OutermostRecords(ctx.doc, sourceIds_)) ids.push_back(r->id);
  bool changed = false;
  for (uint32_t id : ids) {
    EditContext one{ctx.doc, {}, {}};
    changed |= PasteCommand(id, targetId_).Execute(one);
    if (one.refusal == EditRefusal::kDocumentFull) {
      ctx.refusal = one.refusal;  // the rest cannot follow
      break;
    }
  }
  return changed;
}

bool DropRecordsCommand::Execute(EditContext& ctx) {
  std::vector<uint32_t> ids;
  for (CRecord* r : OutermostRecords(ctx.doc, draggedIds_))
    if (r->id != targetId_) ids.push_back(r->id);
  bool changed = false;
  uint32_t after = targetId_;
  for (uint32_t id : ids) {
    if (reorder_) {
      if (DropReorderCommand(id, after).Execute(ctx)) {
        changed = true;
        after = id;  // the next one comes right behind it
      }
    } else {
      changed |= DropMoveCommand(id, targetId_).Execute(ctx);
    }
  }
  return changed;
}

bool BulkApplyCommand::Execute(EditContext& ctx) {
  bool changed = false;
  for (uint32_t id : ids_)
    if (CPropertyItem* p = AsProperty(ctx.doc.LookupRecord(id))) {
      RecordChange change(ctx.doc.events(), p);
      changed |= edit_.ApplyTo(ctx.doc.Ids(), *p);
    }
  return changed;
}
