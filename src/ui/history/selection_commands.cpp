#include "ui/history/selection_commands.h"

#include <algorithm>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/document_events.h"
#include "ui/history/drop_commands.h"
#include "ui/history/record_commands.h"

bool RenameRecordCommand::Execute(EditContext& ctx) {
  return RenameRecord(ctx.doc, ctx.doc.LookupRecord(id_), name_).changed;
}

bool StepAmongSiblingsCommand::Execute(EditContext& ctx) {
  return StepAmongSiblings(ctx.doc, ctx.doc.LookupRecord(id_), delta_).changed;
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
