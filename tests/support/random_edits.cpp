#include "random_edits.h"

#include <functional>
#include <string>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/value_types.h"

std::vector<CRecord*> AllRecords(CTarnelDoc& doc) {
  std::vector<CRecord*> out;
  std::function<void(const CRecord*)> walk = [&](const CRecord* r) {
    out.push_back(const_cast<CRecord*>(r));
    ForEachChild(r, walk);
  };
  for (CBase* g : doc.Groups()) walk(g);
  return out;
}

bool RandomEdit(CTarnelDoc& doc, std::mt19937& rng, uint32_t within) {
  std::vector<CRecord*> all = AllRecords(doc);
  if (within) {
    const CRecord* root = doc.LookupRecord(within);
    if (!root) return false;
    std::erase_if(all, [&](const CRecord* r) { return !IsInBranch(r, root); });
  }
  auto pick = [&](int kind) -> CRecord* {  // a record of the kind, or of a container kind for 0
    std::vector<CRecord*> of;
    for (CRecord* r : all)
      if (kind ? r->Kind() == kind : r->Kind() != kKindProperty) of.push_back(r);
    return of.empty() ? nullptr : of[rng() % of.size()];
  };
  auto movable = [&] { return pick(rng() % 2 ? kKindObject : kKindAtom); };
  CPropertyItem* p = AsProperty(pick(kKindProperty));
  switch (rng() % 12) {
    case 0: {  // rename, and an atom's type
      CRecord* r = pick(0);
      return r && ApplyRecordEdit(doc, r, r->name + "\xC5\xB8", r->Kind() == kKindAtom,
                                  int8_t(rng() % 16 - 8))
                      .changed;
    }
    case 1:  // value, type, flags and end of chain through the form
      if (!p) return false;
      ApplyPropertyEdit(doc, *p,
                        {p->name, rng() % 4 == 0, std::to_string(int(rng() % 2000) - 1000),
                         rng() % 3 ? -1 : int(rng() % kTypeCount), uint8_t(rng() % 64)});
      return true;
    case 2:
      return AddObject(doc, pick(rng() % 2 ? kKindGroup : kKindObject), "new").changed;
    case 3: {  // an atom with a "DecPoint"
      CRecord* atom = AddAtom(doc, pick(kKindObject), "A", 5).record;
      return atom && AddProperty(doc, atom, {"DecPoint", "2", kTypeShort, 0}).changed;
    }
    case 4:  // a LINK_TO, booked at its target
      return p && AddProperty(doc, pick(kKindAtom), {"L", std::to_string(p->id), kTypeLinkTo, 0})
                      .changed;
    case 5:
    case 6: {
      CRecord* r = pick(rng() % 4 ? kKindProperty : 0);
      if (!r || (r->Kind() == kKindGroup && doc.Groups().Count() < 2)) return false;
      return DeleteRecord(doc, r).changed;
    }
    case 7:
      return MoveUnder(doc, movable(), pick(rng() % 2 ? kKindObject : kKindGroup)).changed;
    case 8:  // a Shift drop among siblings
      if (rng() % 2) return p && PlaceAfter(doc, p, pick(kKindProperty)).changed;
      return PlaceAfter(doc, movable(), pick(kKindObject)).changed;
    case 9:
      return !within && AddGroup(doc, "G").changed;
    case 10:  // relink or unlink
      if (!p) return false;
      return rng() % 3 ? SetLinkTarget(doc, p, pick(kKindProperty)) : UnlinkToShort(doc, p);
    default:  // paste a copy of a branch
      if (rng() % 2) return p && PasteRecord(doc, p, pick(kKindAtom)).changed;
      return PasteRecord(doc, movable(), pick(kKindObject)).changed;
  }
}
