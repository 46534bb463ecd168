#include "document_diff.h"

#include <unordered_map>

#include "document.h"

namespace {

constexpr size_t kKeys = 0x10000;

// The key of the list a record sits in: its parent's key, 0 for the list of groups.
uint16_t ListKeyOf(const DocumentState& s, size_t i) {
  int32_t p = s.records[i].parent;
  return p < 0 ? 0 : KeyOf(s.records[size_t(p)].id);
}

// Each record's position in its parent's list.
std::vector<int32_t> Positions(const DocumentState& s) {
  std::vector<int32_t> pos(s.records.size());
  std::vector<int32_t> counts(s.records.size(), 0);
  int32_t groups = 0;
  for (size_t i = 0; i < s.records.size(); ++i) {
    int32_t p = s.records[i].parent;
    pos[i] = p < 0 ? groups++ : counts[size_t(p)]++;
  }
  return pos;
}

std::vector<int32_t> IndexByKey(const DocumentState& s) {
  std::vector<int32_t> index(kKeys, -1);
  for (size_t i = 0; i < s.records.size(); ++i) index[KeyOf(s.records[i].id)] = int32_t(i);
  return index;
}

std::unique_ptr<CRecord> MakeRecord(uint8_t kind) {
  switch (kind) {
    case kKindGroup:
      return std::make_unique<CBase>();
    case kKindObject:
      return std::make_unique<CObj>();
    case kKindAtom:
      return std::make_unique<CAtom>();
    case kKindProperty:
      return std::make_unique<CPropertyItem>();
    default:
      return nullptr;
  }
}

// The record's own data; `post` sends a changed pattern through the value-changed
// notification, otherwise the pattern is set as stored state.
void SetContent(CRecord& r, const RecordData& d, bool post) {
  r.id = d.id;
  r.name = d.name;
  if (CAtom* a = AsAtom(&r)) a->type = d.atomType;
  if (CPropertyItem* p = AsProperty(&r)) {
    p->typeCode = d.typeCode;
    p->flags = d.flags;
    p->eoc = d.eoc;
    p->valueText = d.valueText;
    if (post)
      p->SetRawValue(d.rawValue);
    else
      p->InitRawValue(d.rawValue);
    p->incomingLinks.clear();
    p->incomingLinks.reserve(d.incoming.size());
    for (uint32_t source : d.incoming) p->incomingLinks.push_back({source});
  }
}

// Appends a record to a list; false (and the record is destroyed) when the kinds do not fit.
bool AttachTo(CTarnelDoc& doc, uint16_t containerKey, std::unique_ptr<CRecord> child) {
  if (containerKey == 0) {
    if (GetKind(child.get()) != kKindGroup) return false;
    doc.groups.emplace_back(static_cast<CBase*>(child.release()));
    return true;
  }
  CRecord* container = doc.LookupRecord(containerKey);
  if (CChildHolder* h = AsChildHolder(container)) {
    if (GetKind(child.get()) != kKindObject && GetKind(child.get()) != kKindAtom) return false;
    h->AddChild(std::move(child));
    return true;
  }
  if (CAtom* a = AsAtom(container)) {
    if (GetKind(child.get()) != kKindProperty) return false;
    a->AddProperty(std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(child.release())));
    return true;
  }
  return false;
}

std::vector<std::unique_ptr<CRecord>> TakeChildren(CTarnelDoc& doc, uint16_t containerKey) {
  std::vector<std::unique_ptr<CRecord>> out;
  if (containerKey == 0) {
    for (auto& g : doc.groups) out.emplace_back(g.release());
    doc.groups.clear();
    return out;
  }
  CRecord* container = doc.LookupRecord(containerKey);
  if (CChildHolder* h = AsChildHolder(container)) return h->children.TakeAll();
  if (CAtom* a = AsAtom(container))
    for (auto& p : a->properties.TakeAll()) out.emplace_back(p.release());
  return out;
}

void SetDecimalPoint(CTarnelDoc& doc, const RecordData& d) {
  if (d.kind != kKindProperty) return;
  if (CPropertyItem* p = AsProperty(doc.LookupRecord(d.id)))
    p->decimalPoint = d.decimalPointKey ? AsProperty(doc.LookupRecord(d.decimalPointKey)) : nullptr;
}

}  // namespace

size_t DocumentChange::MemoryBytes() const {
  size_t n = sizeof(*this);
  for (const RecordData& r : removed) n += r.MemoryBytes();
  for (const RecordData& r : added) n += r.MemoryBytes();
  for (const ContentChange& c : changed) n += c.before.MemoryBytes() + c.after.MemoryBytes();
  for (const ListChange& l : lists)
    n += sizeof(l) + (l.before.capacity() + l.after.capacity()) * sizeof(uint16_t);
  if (wholeBefore) n += wholeBefore->MemoryBytes();
  if (wholeAfter) n += wholeAfter->MemoryBytes();
  return n;
}

DocumentChange DiffStates(const DocumentState& before, const DocumentState& after) {
  DocumentChange c;
  c.lastIdBefore = before.lastId;
  c.lastIdAfter = after.lastId;
  if (!before.keyed || !after.keyed) {
    c.wholeBefore = std::make_unique<DocumentState>(before);
    c.wholeAfter = std::make_unique<DocumentState>(after);
    return c;
  }
  std::vector<int32_t> beforeIndex = IndexByKey(before);
  std::vector<int32_t> afterIndex = IndexByKey(after);
  std::vector<int32_t> beforePos = Positions(before);
  std::vector<int32_t> afterPos = Positions(after);
  std::vector<uint8_t> listChanged(kKeys, 0);

  for (size_t i = 0; i < after.records.size(); ++i) {
    const RecordData& a = after.records[i];
    int32_t j = beforeIndex[KeyOf(a.id)];
    if (j < 0 || before.records[size_t(j)].kind != a.kind) {
      c.added.push_back(a);
      listChanged[ListKeyOf(after, i)] = 1;
      continue;
    }
    const RecordData& b = before.records[size_t(j)];
    if (!b.SameContent(a)) c.changed.push_back({b, a});
    uint16_t listBefore = ListKeyOf(before, size_t(j));
    uint16_t listAfter = ListKeyOf(after, i);
    if (listBefore != listAfter || beforePos[size_t(j)] != afterPos[i]) {
      listChanged[listBefore] = 1;
      listChanged[listAfter] = 1;
    }
  }
  for (size_t j = 0; j < before.records.size(); ++j) {
    const RecordData& b = before.records[j];
    int32_t i = afterIndex[KeyOf(b.id)];
    if (i < 0 || after.records[size_t(i)].kind != b.kind) {
      c.removed.push_back(b);
      listChanged[ListKeyOf(before, j)] = 1;
    }
  }

  std::vector<int32_t> listIndex(kKeys, -1);
  auto listFor = [&](uint16_t key) -> ListChange& {
    if (listIndex[key] < 0) {
      listIndex[key] = int32_t(c.lists.size());
      c.lists.push_back({key, {}, {}});
    }
    return c.lists[size_t(listIndex[key])];
  };
  // A container whose list changed but that now has no children still needs its entry.
  for (size_t k = 0; k < kKeys; ++k)
    if (listChanged[k]) listFor(uint16_t(k));
  for (size_t j = 0; j < before.records.size(); ++j)
    if (uint16_t key = ListKeyOf(before, j); listChanged[key])
      listFor(key).before.push_back(KeyOf(before.records[j].id));
  for (size_t i = 0; i < after.records.size(); ++i)
    if (uint16_t key = ListKeyOf(after, i); listChanged[key])
      listFor(key).after.push_back(KeyOf(after.records[i].id));
  std::erase_if(c.lists, [](const ListChange& l) { return l.before == l.after; });
  for (ListChange& l : c.lists) {
    l.before.shrink_to_fit();
    l.after.shrink_to_fit();
  }
  return c;
}

void ApplyChange(CTarnelDoc& doc, const DocumentChange& change, bool forward) {
  if (change.wholeBefore) {
    RestoreState(doc, forward ? *change.wholeAfter : *change.wholeBefore);
    return;
  }
  const std::vector<RecordData>& leaving = forward ? change.removed : change.added;
  const std::vector<RecordData>& coming = forward ? change.added : change.removed;
  std::vector<uint8_t> leavingKey(kKeys, 0);
  for (const RecordData& d : leaving) leavingKey[KeyOf(d.id)] = 1;

  // Every list that changes gives up all its children: the records that stay wait in the pool
  // with their branches, the ones that go are destroyed once every list is emptied.
  std::unordered_map<uint16_t, std::unique_ptr<CRecord>> pool;
  std::vector<std::unique_ptr<CRecord>> leavingRecords;
  for (const ListChange& l : change.lists)
    for (auto& child : TakeChildren(doc, l.container)) {
      uint16_t key = KeyOf(child->id);
      if (leavingKey[key] || pool.count(key))
        leavingRecords.push_back(std::move(child));
      else
        pool[key] = std::move(child);
    }
  leavingRecords.clear();

  for (const RecordData& d : coming) {
    std::unique_ptr<CRecord> r = MakeRecord(d.kind);
    if (!r) continue;
    SetContent(*r, d, false);
    doc.idMap.SetAt(d.id, r.get());
    pool[KeyOf(d.id)] = std::move(r);
  }
  for (const ListChange& l : change.lists)
    for (uint16_t key : forward ? l.after : l.before) {
      auto it = pool.find(key);
      if (it == pool.end()) continue;
      std::unique_ptr<CRecord> child = std::move(it->second);
      pool.erase(it);
      AttachTo(doc, l.container, std::move(child));
    }
  pool.clear();  // nothing should be left; a record no list wants goes

  for (const ContentChange& c : change.changed) {
    const RecordData& d = forward ? c.after : c.before;
    CRecord* r = doc.LookupRecord(d.id);
    if (r && r->Kind() == d.kind) SetContent(*r, d, true);
  }
  for (const RecordData& d : coming) SetDecimalPoint(doc, d);
  for (const ContentChange& c : change.changed) SetDecimalPoint(doc, forward ? c.after : c.before);
  doc.idMap.SetLastId(forward ? change.lastIdAfter : change.lastIdBefore);
}

void RestoreState(CTarnelDoc& doc, const DocumentState& state) {
  doc.DeleteAllGroups();
  doc.idMap.Clear();
  std::vector<CRecord*> made(state.records.size(), nullptr);
  for (size_t i = 0; i < state.records.size(); ++i) {
    const RecordData& d = state.records[i];
    std::unique_ptr<CRecord> r = MakeRecord(d.kind);
    if (!r) continue;
    SetContent(*r, d, false);
    CRecord* raw = r.get();
    if (d.parent < 0) {
      if (d.kind != kKindGroup) continue;
      doc.groups.emplace_back(static_cast<CBase*>(r.release()));
    } else {
      CRecord* parent = made[size_t(d.parent)];
      if (CChildHolder* h = AsChildHolder(parent); h && d.kind != kKindProperty)
        h->AddChild(std::move(r));
      else if (CAtom* a = AsAtom(parent); a && d.kind == kKindProperty)
        a->AddProperty(std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(r.release())));
      else
        continue;
    }
    made[i] = raw;
    if (d.registered) doc.idMap.SetAt(d.id, raw);
  }
  // Decimal-point properties are found among the atom's own properties; identifiers need
  // not be unique here.
  for (size_t i = 0; i < state.records.size(); ++i) {
    const RecordData& d = state.records[i];
    CPropertyItem* p = AsProperty(made[i]);
    if (!p || !d.decimalPointKey) continue;
    if (CAtom* atom = AsAtom(p->parent))
      for (const auto& q : atom->properties)
        if (KeyOf(q->id) == d.decimalPointKey) {
          p->decimalPoint = q.get();
          break;
        }
  }
  doc.idMap.SetLastId(state.lastId);
}
