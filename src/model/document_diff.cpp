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

// The record's own data; `post` sets a changed pattern as a change of the value (observers hear
// it), otherwise the pattern is set as stored state.
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

// Whether a stored record of `kind` may stand in `parent`'s list: groups and objects hold
// anything but properties (a file may hold atoms directly in a group), atoms hold properties.
bool StoredIn(const CRecord* parent, int kind) {
  if (!parent || !parent->Children() || kind == kKindGroup) return false;
  return (kind == kKindProperty) == (parent->Kind() == kKindAtom);
}

void SetDecimalPoint(CTarnelDoc& doc, CRecord* r, const RecordData& d) {
  if (CPropertyItem* p = AsProperty(r))
    p->decimalPoint = d.decimalPointKey ? AsProperty(doc.LookupRecord(d.decimalPointKey)) : nullptr;
}

std::vector<uint16_t> LiveKeys(const CTarnelDoc& doc, const CRecord* container) {
  std::vector<uint16_t> keys;
  if (const CRecordList* list = doc.ListFor(container))
    for (int i = 0; i < list->Count(); ++i) keys.push_back(KeyOf(list->At(i)->id));
  return keys;
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
  if (then) n += then->MemoryBytes();
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
  if (change.then) {
    if (!forward) ApplyChange(doc, *change.then, false);
    DocumentChange::ApplyOwn(doc, change, forward);
    if (forward) ApplyChange(doc, *change.then, true);
    return;
  }
  DocumentChange::ApplyOwn(doc, change, forward);
}

void DocumentChange::ApplyOwn(CTarnelDoc& doc, const DocumentChange& change, bool forward) {
  if (change.wholeBefore) {
    RestoreState(doc, forward ? *change.wholeAfter : *change.wholeBefore);
    return;
  }
  CDocumentEvents& events = doc.events();
  CDocumentRestore restore(doc);
  const std::vector<RecordData>& leaving = forward ? change.removed : change.added;
  const std::vector<RecordData>& coming = forward ? change.added : change.removed;
  std::vector<uint8_t> leavingKey(kKeys, 0);
  for (const RecordData& d : leaving) leavingKey[KeyOf(d.id)] = 1;

  // Each list that changes keeps the rows it shares with its new order at its start and end,
  // and gives up only the middle: the observers hear the narrowest removal and insertion.
  struct Plan {
    uint16_t key;
    CRecord* container;
    int first;
    int taken;
    const std::vector<uint16_t>* target;
    size_t from;
    size_t to;
    bool valid;
  };
  std::vector<Plan> plans;
  plans.reserve(change.lists.size());
  for (const ListChange& l : change.lists) {
    Plan plan{l.container, nullptr, 0, 0, forward ? &l.after : &l.before, 0, 0, true};
    if (l.container != 0) {
      plan.container = doc.LookupRecord(l.container);
      // A container that is yet to come has no rows now.
      if (!plan.container || GetKind(plan.container) == kKindProperty) {
        plan.container = nullptr;
        plan.valid = false;
      }
    }
    std::vector<uint16_t> live;
    if (plan.valid) live = LiveKeys(doc, plan.container);
    const std::vector<uint16_t>& target = *plan.target;
    size_t prefix = 0;
    while (prefix < live.size() && prefix < target.size() && live[prefix] == target[prefix] &&
           !leavingKey[live[prefix]])
      ++prefix;
    size_t suffix = 0;
    while (suffix + prefix < live.size() && suffix + prefix < target.size() &&
           live[live.size() - 1 - suffix] == target[target.size() - 1 - suffix] &&
           !leavingKey[live[live.size() - 1 - suffix]])
      ++suffix;
    plan.first = int(prefix);
    plan.taken = int(live.size() - prefix - suffix);
    plan.from = prefix;
    plan.to = target.size() - suffix;
    plans.push_back(plan);
  }

  // Records out of the tree for the moment; a list whose holder is among them (or below one)
  // changes unseen, since for the observers it went with its holder.
  std::unordered_map<const CRecord*, bool> aside;
  auto seen = [&](const CRecord* container) {
    for (const CRecord* r = container; r; r = r->Kind() == kKindGroup ? nullptr : r->parent)
      if (aside.count(r)) return false;
    return true;
  };

  std::unordered_map<uint16_t, std::unique_ptr<CRecord>> pool;
  std::vector<std::unique_ptr<CRecord>> leavingRecords;
  for (Plan& plan : plans) {
    if (plan.taken <= 0) continue;
    CRecord* list = plan.key == 0 ? nullptr : plan.container;
    if (plan.key != 0 && !plan.valid) continue;
    bool tell = seen(list);
    if (tell) events.RowsAboutToBeRemoved(list, plan.first, plan.taken);
    for (int i = 0; i < plan.taken; ++i) {
      // Decimal-point references are set again from the change once every list is done.
      std::unique_ptr<CRecord> child = restore.ListFor(list).TakeAt(plan.first);
      aside[child.get()] = true;
      uint16_t key = KeyOf(child->id);
      if (leavingKey[key] || pool.count(key))
        leavingRecords.push_back(std::move(child));
      else
        pool[key] = std::move(child);
    }
    if (tell) events.RowsRemoved(list, plan.first, plan.taken);
  }
  for (auto& r : leavingRecords) aside.erase(r.get());
  // A leaving branch may still hold records that stay elsewhere only if its list was changed,
  // and then they were taken out above.
  leavingRecords.clear();

  std::vector<CRecord*> made;
  made.reserve(coming.size());
  for (const RecordData& d : coming) {
    std::unique_ptr<CRecord> r = NewRecordOfKind(d.kind);
    if (!r) {
      made.push_back(nullptr);
      continue;
    }
    SetContent(*r, d, false);
    restore.Ids().SetAt(d.id, r.get());
    made.push_back(r.get());
    aside[r.get()] = true;
    pool[KeyOf(d.id)] = std::move(r);
  }
  for (Plan& plan : plans) {
    CRecord* list = plan.key == 0 ? nullptr : doc.LookupRecord(plan.key);
    if (plan.key != 0 && (!list || GetKind(list) == kKindProperty)) continue;
    std::vector<std::unique_ptr<CRecord>> rows;
    for (size_t i = plan.from; i < plan.to; ++i) {
      uint16_t key = (*plan.target)[i];
      auto it = pool.find(key);
      if (it == pool.end()) continue;
      // Only the kinds the list may hold; a record no list takes goes with the pool.
      if (!CanHold(list, it->second.get())) continue;
      rows.push_back(std::move(it->second));
      pool.erase(it);
    }
    if (rows.empty()) continue;
    int count = int(rows.size());
    bool tell = seen(list);
    if (tell) events.RowsAboutToBeInserted(list, plan.first, count);
    for (auto& r : rows) aside.erase(r.get());
    int row = plan.first;
    for (auto& r : rows) restore.ListFor(list).Insert(row++, std::move(r));
    if (tell) events.RowsInserted(list, plan.first, count);
  }
  pool.clear();  // nothing should be left; a record no list wants goes

  for (size_t i = 0; i < coming.size(); ++i)
    if (made[i] && doc.LookupRecord(coming[i].id) == made[i])
      SetDecimalPoint(doc, made[i], coming[i]);
  for (const ContentChange& c : change.changed) {
    const RecordData& d = forward ? c.after : c.before;
    CRecord* r = doc.LookupRecord(d.id);
    if (!r || r->Kind() != d.kind) continue;
    RecordChange told(events, r);
    SetContent(*r, d, true);
    SetDecimalPoint(doc, r, d);
  }
  restore.Ids().SetLastId(forward ? change.lastIdAfter : change.lastIdBefore);
}

void RestoreState(CTarnelDoc& doc, const DocumentState& state) {
  ResetScope reset(doc.events());
  CDocumentRestore restore(doc);
  restore.Clear();
  restore.Ids().Clear();
  std::vector<CRecord*> made(state.records.size(), nullptr);
  for (size_t i = 0; i < state.records.size(); ++i) {
    const RecordData& d = state.records[i];
    std::unique_ptr<CRecord> r = NewRecordOfKind(d.kind);
    if (!r) continue;
    SetContent(*r, d, false);
    CRecord* parent = d.parent < 0 ? nullptr : made[size_t(d.parent)];
    if (d.parent < 0 ? d.kind != kKindGroup : !StoredIn(parent, d.kind)) continue;
    CRecord* raw = restore.ListFor(parent).Append(std::move(r));
    made[i] = raw;
    if (d.registered) restore.Ids().SetAt(d.id, raw);
  }
  // Decimal-point properties are found among the atom's own properties; identifiers need
  // not be unique here.
  for (size_t i = 0; i < state.records.size(); ++i) {
    const RecordData& d = state.records[i];
    CPropertyItem* p = AsProperty(made[i]);
    if (!p || !d.decimalPointKey) continue;
    if (CAtom* atom = AsAtom(p->parent))
      for (CPropertyItem* q : atom->properties)
        if (KeyOf(q->id) == d.decimalPointKey) {
          p->decimalPoint = q;
          break;
        }
  }
  restore.Ids().SetLastId(state.lastId);
}
