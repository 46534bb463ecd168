#include "document_state.h"

#include "document.h"

namespace {

class Capture {
 public:
  Capture(const CTarnelDoc& doc, DocumentState& out) : doc_(doc), out_(out), seen_(0x10000, 0) {}

  size_t Count() const { return count_; }

  void Record(const CRecord* r, int32_t parent) {
    auto index = int32_t(count_);
    if (count_ == out_.records.size()) out_.records.emplace_back();
    RecordData& d = out_.records[count_++];
    d.id = r->id;
    d.kind = uint8_t(r->Kind());
    d.parent = parent;
    d.name = r->name;
    d.registered = doc_.Ids().Lookup(r->id) == r;
    uint16_t key = KeyOf(r->id);
    if (key == 0 || seen_[key] || !d.registered) out_.keyed = false;
    seen_[key] = 1;
    // A reused entry keeps what an earlier picture left in it: every field is written.
    d.atomType = 0;
    d.typeCode = 0;
    d.flags = 0;
    d.eoc = false;
    d.valueText.clear();
    d.rawValue = 0;
    d.incoming.clear();
    d.decimalPointKey = 0;
    if (const CAtom* atom = AsAtom(r)) {
      d.atomType = atom->type;
      for (CPropertyItem* p : atom->properties) Property(*atom, *p, index);
    } else {
      ForEachChild(r, [&](const CRecord* c) { Record(c, index); });
    }
  }

 private:
  void Property(const CAtom& atom, const CPropertyItem& p, int32_t parent) {
    size_t index = count_;
    Record(&p, parent);
    RecordData& d = out_.records[index];
    d.typeCode = p.typeCode;
    d.flags = p.flags;
    d.eoc = p.eoc;
    d.valueText = p.valueText;
    d.rawValue = p.GetRawValue();
    for (const CIncomingLink& l : p.incomingLinks) d.incoming.push_back(l.sourceId);
    // The pointer is only compared with the atom's own properties, never followed: a
    // property that was removed may have left it behind.
    if (p.decimalPoint)
      for (CPropertyItem* q : atom.properties)
        if (q == p.decimalPoint) d.decimalPointKey = KeyOf(q->id);
  }

  const CTarnelDoc& doc_;
  DocumentState& out_;
  std::vector<uint8_t> seen_;
  size_t count_ = 0;
};

}  // namespace

RecordData FieldsOf(const CRecord* r) {
  RecordData d;
  d.id = r->id;
  d.kind = uint8_t(r->Kind());
  d.name = r->name;
  if (const CAtom* a = AsAtom(const_cast<CRecord*>(r))) d.atomType = a->type;
  if (const CPropertyItem* p = AsProperty(r)) {
    d.typeCode = p->typeCode;
    d.flags = p->flags;
    d.eoc = p->eoc;
    d.valueText = p->valueText;
    d.rawValue = p->GetRawValue();
  }
  return d;
}

void DescribeRecord(const CTarnelDoc& doc, const CRecord* r, RecordData* out) {
  RecordData& d = *out;
  d = FieldsOf(r);
  d.parent = -1;
  d.registered = doc.Ids().Lookup(r->id) == r;
  if (const CPropertyItem* p = AsProperty(r)) {
    for (const CIncomingLink& l : p->incomingLinks) d.incoming.push_back(l.sourceId);
    if (p->decimalPoint)
      if (const CAtom* atom = AsAtom(p->parent))
        for (CPropertyItem* q : atom->properties)
          if (q == p->decimalPoint) d.decimalPointKey = KeyOf(q->id);
  }
}

size_t DocumentState::MemoryBytes() const {
  size_t n = sizeof(*this);
  for (const RecordData& r : records) n += r.MemoryBytes();
  return n;
}

DocumentState CaptureState(const CTarnelDoc& doc) {
  DocumentState s;
  CaptureState(doc, &s);
  return s;
}

void CaptureState(const CTarnelDoc& doc, DocumentState* into) {
  into->lastId = doc.Ids().GetLastId();
  into->keyed = true;
  into->records.reserve(size_t(doc.Ids().Count()) + 16);
  Capture capture(doc, *into);
  for (CBase* g : doc.Groups()) capture.Record(g, -1);
  into->records.resize(capture.Count());
}

std::unique_ptr<CRecord> MakeRecordFromData(RecordData d) {
  std::unique_ptr<CRecord> r = NewRecordOfKind(d.kind);
  if (!r) return nullptr;
  r->name = std::move(d.name);
  if (CAtom* a = AsAtom(r.get())) a->type = d.atomType;
  if (CPropertyItem* p = AsProperty(r.get())) {
    p->typeCode = d.typeCode;
    p->flags = d.flags;
    p->eoc = d.eoc;
    p->valueText = std::move(d.valueText);
    p->InitRawValue(d.rawValue);  // a new record's stored state, not an edit of a value
  }
  return r;
}
