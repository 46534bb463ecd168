#include "ui/history/link_commands.h"

#include "model/document.h"

bool MakeLinksCommand::Execute(EditContext& ctx) {
  return MakeLinks(ctx.doc, ctx.doc.LookupRecord(atomId_), links_);
}

bool UnlinkCommand::Execute(EditContext& ctx) {
  return Unlink(ctx.doc, ids_);
}

bool SetLinkTargetCommand::Execute(EditContext& ctx) {
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  if (!AsProperty(target)) return false;  // only a property is a link target here
  return SetLinkTarget(ctx.doc, AsProperty(ctx.doc.LookupRecord(propertyId_)), target);
}
