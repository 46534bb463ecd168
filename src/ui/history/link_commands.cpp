#include "ui/history/link_commands.h"

#include "model/document.h"
#include "model/value_types.h"

namespace {

CPropertyItem* TargetOf(CTarnelDoc& doc, const CPropertyItem* p) {
  return p->typeCode == kTypeLinkTo ? AsProperty(doc.LookupRecord(uint32_t(AtoI(p->valueText))))
                                    : nullptr;
}

}  // namespace

bool SetLinkTarget(CTarnelDoc& doc, CPropertyItem* property, const CRecord* target) {
  if (!property || !target) return false;
  std::string value = std::to_string(int32_t(target->id));
  if (property->typeCode == kTypeLinkTo && property->valueText == value) return false;
  if (CPropertyItem* old = TargetOf(doc, property)) old->RemoveIncomingLink(property->id);
  property->typeCode = kTypeLinkTo;
  property->valueText = value;
  if (CPropertyItem* now = AsProperty(doc.LookupRecord(target->id)))
    now->AddIncomingLink(property->id);
  return true;
}

bool LinkToAtomProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name,
                        CPropertyItem* property) {
  CAtom* a = AsAtom(atom);
  if (!a || !property) return false;
  for (const auto& p : a->properties)
    if (p->name == name) return SetLinkTarget(doc, property, p.get());
  return false;
}

bool UnlinkToShort(CTarnelDoc& doc, CPropertyItem* property) {
  if (!property || property->typeCode != kTypeLinkTo) return false;
  if (CPropertyItem* old = TargetOf(doc, property)) old->RemoveIncomingLink(property->id);
  property->typeCode = kTypeShort;
  return true;
}

bool MakeLinksCommand::Execute(EditContext& ctx) {
  CRecord* atom = ctx.doc.LookupRecord(atomId_);
  bool changed = false;
  for (const auto& [id, name] : links_)
    changed |= LinkToAtomProperty(ctx.doc, atom, name, AsProperty(ctx.doc.LookupRecord(id)));
  return changed;
}

bool UnlinkCommand::Execute(EditContext& ctx) {
  bool changed = false;
  for (uint32_t id : ids_) changed |= UnlinkToShort(ctx.doc, AsProperty(ctx.doc.LookupRecord(id)));
  return changed;
}

bool SetLinkTargetCommand::Execute(EditContext& ctx) {
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  if (!AsProperty(target)) return false;  // only a property is a link target here
  return SetLinkTarget(ctx.doc, AsProperty(ctx.doc.LookupRecord(propertyId_)), target);
}
