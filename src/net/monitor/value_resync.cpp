#include "net/monitor/value_resync.h"

#include "model/document.h"
#include "model/document_events.h"
#include "model/value_types.h"

namespace {

bool IsNumber(int type) {
  return type >= kTypeByte && type <= kTypeDouble;
}

// The same record path, compared name by name up the parent chains.
bool SamePlace(const CRecord* a, const CRecord* b) {
  for (; a && b; a = a->parent, b = b->parent)
    if (a->Kind() != b->Kind() || a->name != b->name) return false;
  return !a && !b;
}

struct Resync {
  CTarnelDoc& open;
  const CTarnelDoc& fresh;
  const std::function<void(const CPropertyItem&)>& changed;
  ValueResyncResult result;

  void Walk(CRecord* r);
};

void Resync::Walk(CRecord* r) {
  if (CChildHolder* h = AsChildHolder(r)) {
    for (CRecord* c : h->children) Walk(c);
    return;
  }
  if (CAtom* a = AsAtom(r)) {
    for (CPropertyItem* c : a->properties) Walk(c);
    return;
  }
  CPropertyItem* p = AsProperty(r);
  if (!p) return;
  const CPropertyItem* q = AsProperty(fresh.LookupRecord(p->id));
  if (!q || q->id != p->id || q->typeCode != p->typeCode || !SamePlace(p, q)) {
    ++result.unmatched;
    return;
  }
  if (p->typeCode == kTypeLinkTo) return;
  // The text of a number is made from its pattern (as for message 203); the same pattern
  // written differently, "1.5" against "1.500", is no change.
  bool number = IsNumber(p->typeCode);
  if (p->GetRawValue() == q->GetRawValue() && (number || p->valueText == q->valueText)) return;
  {
    // Observers see the record's fields change; ValueChanged, which would go out to the server
    // as message 203, is not told: the value came from there.
    RecordChange change(open.events(), p);
    p->InitRawValue(q->GetRawValue());
    if (number)
      p->UpdateTextFromRaw(p->valueText);
    else
      p->valueText = q->valueText;
  }
  ++result.changed;
  if (changed) changed(*p);
}

}  // namespace

ValueResyncResult ResyncValues(CTarnelDoc& open, const CTarnelDoc& fresh,
                               const std::function<void(const CPropertyItem&)>& changed) {
  Resync resync{open, fresh, changed, {}};
  for (CBase* g : open.Groups()) resync.Walk(g);
  return resync.result;
}
