#include "ui/history/drop_commands.h"

#include "model/document.h"
#include "model/document_edits.h"
#include "ui/history/record_commands.h"

bool DropMoveCommand::Execute(EditContext& ctx) {
  EditResult r =
      MoveUnder(ctx.doc, ctx.doc.LookupRecord(draggedId_), ctx.doc.LookupRecord(targetId_));
  Report(ctx, r);
  return r.changed;
}

bool DropReorderCommand::Execute(EditContext& ctx) {
  EditResult r =
      PlaceAfter(ctx.doc, ctx.doc.LookupRecord(draggedId_), ctx.doc.LookupRecord(targetId_));
  Report(ctx, r);
  return r.changed;
}
