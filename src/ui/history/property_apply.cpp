#include "ui/history/property_apply.h"

#include <unordered_set>

#include "model/id_map.h"
#include "model/records.h"
#include "model/value_types.h"

namespace {

CRecord* Target(const CIdMap& ids, const CPropertyItem& p) {
  return ids.Lookup(uint32_t(AtoI(p.valueText)));
}

}  // namespace

CPropertyItem* ResolveChain(const CIdMap& ids, CPropertyItem* p) {
  std::unordered_set<const CPropertyItem*> passed;
  while (p && p->typeCode == kTypeLinkTo) {
    if (!passed.insert(p).second) return nullptr;  // a loop
    p = AsProperty(Target(ids, *p));
  }
  return p;
}

ApplyOutcome ApplyPropertyEdit(const CIdMap& ids, CPropertyItem& p, const PropertyEdit& edit) {
  ApplyOutcome out;
  p.name = edit.name;
  p.eoc = edit.eoc;
  CPropertyItem* e = &p;
  if (p.eoc) {
    e = ResolveChain(ids, &p);
    if (!e) {
      out.linkError = true;
      e = &p;
    }
  }
  // The target the property pointed at before this edit keeps an incoming link from it; the
  // link has to go wherever the new value or type no longer points there.
  CPropertyItem* oldTarget = e->typeCode == kTypeLinkTo ? AsProperty(Target(ids, *e)) : nullptr;

  e->valueText = edit.valueText;
  e->SetNumericValue(AtoF(e->valueText));

  if (edit.typeIndex == kTypeLinkTo) {
    CRecord* target = Target(ids, *e);
    if (oldTarget && oldTarget != target) oldTarget->RemoveIncomingLink(e->id);
    if (!target) {
      out.typeKept = true;
      return out;
    }
    if (CPropertyItem* t = AsProperty(target)) t->AddIncomingLink(e->id);
  } else if (oldTarget && edit.typeIndex >= 0) {
    oldTarget->RemoveIncomingLink(e->id);
  }
  if (edit.typeIndex >= 0) e->typeCode = uint8_t(edit.typeIndex);
  for (int i = 0; i < 6; ++i) {
    e->ClearFlag(i);
    if (edit.flagBits >> i & 1) e->SetFlag(i);
  }
  return out;
}
