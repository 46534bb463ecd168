#include "base_takeover.h"

#include <unordered_set>

#include "archive_format.h"
#include "document.h"
#include "document_edits.h"
#include "record_lookup.h"
#include "value_types.h"

namespace {

// Child lists of one side of a comparison: `firstChild` by parent index + 1 (0: the groups).
struct SideTree {
  std::vector<int32_t> firstChild, nextSibling, prevSibling;
  explicit SideTree(const std::vector<int32_t>& parents)
      : firstChild(parents.size() + 1, -1),
        nextSibling(parents.size(), -1),
        prevSibling(parents.size(), -1) {
    std::vector<int32_t> last(parents.size() + 1, -1);
    for (size_t i = 0; i < parents.size(); ++i) {
      size_t p = size_t(parents[i] + 1);
      prevSibling[i] = last[p];
      if (last[p] >= 0)
        nextSibling[size_t(last[p])] = int32_t(i);
      else
        firstChild[p] = int32_t(i);
      last[p] = int32_t(i);
    }
  }
};

// The document's records in the order a comparison numbers them.
void Walk(CRecord* r, std::vector<CRecord*>* out) {
  out->push_back(r);
  if (CChildHolder* h = AsChildHolder(r))
    for (CRecord* c : h->children) Walk(c, out);
  else if (CAtom* a = AsAtom(r))
    for (CPropertyItem* p : a->properties) out->push_back(p);
}

// The link bookkeeping of a branch that leaves the document, told as field changes.
int HeightOf(const CRecord* r) {
  int h = 0;
  ForEachChild(r, [&](const CRecord* c) { h = std::max(h, HeightOf(c)); });
  return h + 1;
}

class TakeOverRun {
 public:
  TakeOverRun(CTarnelDoc& doc, const CompareResult& r, std::vector<CRecord*> records,
              TakeOverOutcome& out)
      : doc_(doc),
        r_(r),
        a_(std::move(records)),
        out_(out),
        bTree_(r.secondParents),
        dead_(r.firstIds.size(), 0),
        created_(r.secondIds.size(), nullptr),
        staysMoved_(r.secondIds.size(), 0),
        addedAt_(r.secondIds.size(), nullptr) {}

  void Run(const std::vector<uint8_t>& sel) {
    std::vector<const Difference*> removed, changed;
    std::vector<uint8_t> addedHere(r_.secondIds.size(), 0);
    std::vector<uint8_t> movedHere(r_.secondIds.size(), 0);
    for (const Difference& d : r_.differences)
      if (d.kind == DifferenceKind::kAdded) addedAt_[size_t(d.second)] = &d;
    for (size_t k = 0; k < sel.size(); ++k) {
      if (!sel[k]) continue;
      const Difference& d = r_.differences[k];
      switch (d.kind) {
        case DifferenceKind::kRemoved:
          removed.push_back(&d);
          dead_[size_t(d.first)] = 1;
          break;
        case DifferenceKind::kAdded:
          addedHere[size_t(d.second)] = 1;
          break;
        case DifferenceKind::kChanged:
          changed.push_back(&d);
          break;
        case DifferenceKind::kMoved:
          movedHere[size_t(d.second)] = 1;
          break;
      }
    }
    for (size_t k = 0; k < sel.size(); ++k)
      if (!sel[k] && r_.differences[k].kind == DifferenceKind::kMoved)
        staysMoved_[size_t(r_.differences[k].second)] = 1;
    // Second-side order: a parent is in place before its children come, an earlier sibling
    // before a later one. Records made and moved first, so that no branch to be deleted still
    // holds a record that stays; then the deletions, which free the identifiers that records
    // made meanwhile are to have.
    std::vector<int32_t> linksToSet;
    for (size_t j = 0; j < addedHere.size(); ++j) {
      if (addedHere[j] && Add(int32_t(j)) && r_.Fields(*addedAt_[j], true).kind == kKindProperty &&
          r_.Fields(*addedAt_[j], true).typeCode == kTypeLinkTo)
        linksToSet.push_back(int32_t(j));
      if (movedHere[j]) Move(int32_t(j));
    }
    for (const Difference* d : removed) {
      int32_t parent = r_.firstParents[size_t(d->first)];
      if (parent >= 0 && dead_[size_t(parent)]) continue;  // goes with its parent
      CRecord* rec = a_[size_t(d->first)];
      Touch(rec->parent, parent);
      DeleteRecord(doc_, rec);
      ++out_.removed;
    }
    for (auto [rec, id] : waitingForId_)
      if (doc_.ChangeId(rec, id)) --out_.freshIds;  // its interim entry goes
    for (int32_t j : linksToSet)
      SetLink(AsProperty(created_[size_t(j)]), j, r_.DataOf(*addedAt_[size_t(j)], true));
    for (const Difference* d : changed) Change(*d);
    for (CAtom* atom : touchedAtoms_) doc_.RefreshDecimalPoints(atom);
  }

 private:
  // The first document's record for a record of the second, as far as the run has got.
  CRecord* InFirst(int32_t j) const {
    int32_t i = r_.secondToFirst[size_t(j)];
    if (i >= 0) return dead_[size_t(i)] ? nullptr : a_[size_t(i)];
    return created_[size_t(j)];
  }

  // Remembers an atom whose property list changes, unless it goes (the first side's index,
  // -1 for a record the run made).
  void Touch(CRecord* parent, int32_t index) {
    if (CAtom* atom = AsAtom(parent); atom && (index < 0 || !dead_[size_t(index)]))
      if (touchedSet_.insert(atom).second) touchedAtoms_.push_back(atom);
  }

  // Right after the nearest earlier sibling on the second side that is already in place; one
  // whose move is not taken over is out of place, and what lines up behind it would be too.
  // The position is counted as the list will be without `moving`.
  int InsertIndex(CRecord* parent, int32_t j, const CRecord* moving = nullptr) const {
    for (int32_t s = bTree_.prevSibling[size_t(j)]; s >= 0; s = bTree_.prevSibling[size_t(s)])
      if (CRecord* x = InFirst(s); x && CTarnelDoc::ListOf(x) == parent && !staysMoved_[size_t(s)])
        if (int at = doc_.RowOf(x); at >= 0) {
          int own = moving && CTarnelDoc::ListOf(moving) == parent ? doc_.RowOf(moving) : -1;
          return own >= 0 && own < at ? at : at + 1;
        }
    return 0;
  }

  // The new parent of a second-side record; false when it should have one and has none.
  bool ParentOf(int32_t j, CRecord** parent) const {
    int32_t pb = r_.secondParents[size_t(j)];
    *parent = pb < 0 ? nullptr : InFirst(pb);
    return pb < 0 || *parent;
  }

  bool Add(int32_t j) {
    const RecordData d = r_.DataOf(*addedAt_[size_t(j)], true);
    CRecord* parent = nullptr;
    if (!ParentOf(j, &parent) || (parent && DepthOf(parent) + 1 > archive::kMaxDepth)) {
      ++out_.notTaken;
      return false;
    }
    std::unique_ptr<CRecord> rec = MakeRecordFromData(d);
    if (!rec) return false;
    uint16_t key = KeyOf(d.id);
    uint16_t id = doc_.RegisterAside(rec.get(), d.id);
    if (id == 0) {
      ++out_.notTaken;
      return false;
    }
    if (id != key) {
      ++out_.freshIds;
      // A record about to be deleted may hold the identifier: it gets it once that is gone.
      if (key != 0) waitingForId_.push_back({rec.get(), d.id});
    }
    CRecord* raw = rec.get();
    if (!doc_.InsertRecord(parent, InsertIndex(parent, j), std::move(rec))) {
      ++out_.notTaken;
      return false;  // the record went, and with it its registry entry
    }
    created_[size_t(j)] = raw;
    Touch(raw, -1);
    Touch(parent, -1);
    ++out_.added;
    return true;
  }

  // A record that cannot go to its new place stays where it is (and goes with its old branch
  // when that is deleted).
  void Move(int32_t j) {
    size_t i = size_t(r_.secondToFirst[size_t(j)]);
    CRecord* rec = a_[i];
    CRecord* parent = nullptr;
    CRecord* oldParent = CTarnelDoc::ListOf(rec);
    // The document refuses a move into the record's own branch or under a parent of a kind
    // that may not hold it.
    if (!ParentOf(j, &parent) || (parent && DepthOf(parent) + HeightOf(rec) > archive::kMaxDepth) ||
        !doc_.MoveRecord(rec, parent, InsertIndex(parent, j, rec))) {
      ++out_.notTaken;
      return;
    }
    Touch(oldParent, r_.firstParents[i]);
    Touch(parent, -1);
    ++out_.moved;
  }

  // Points a property of the first document where the second side's property `j` points.
  void SetLink(CPropertyItem* p, int32_t j, const RecordData& b) {
    if (!p) return;
    int32_t t = r_.secondLinks[size_t(j)];
    CRecord* target = nullptr;
    if (t >= 0) {
      target = InFirst(t);
      if (!target) {
        // Its target could not be made: as an import does with a link that names nothing,
        // the property keeps the path as text and stops being a link.
        RecordChange change(doc_.events(), p);
        p->typeCode = kTypeBin;
        p->valueText = addedAt_[size_t(t)] ? r_.PathOf(true, t) : b.valueText;
        ++out_.unresolvedLinks;
        return;
      }
    } else {
      target = doc_.LookupRecord(uint32_t(AtoI(b.valueText)));
    }
    {
      RecordChange change(doc_.events(), p);
      // A link that names nothing on the other side either keeps its text.
      p->valueText = t >= 0 ? std::to_string(int32_t(target->id)) : b.valueText;
      p->typeCode = kTypeLinkTo;
    }
    if (CPropertyItem* tp = AsProperty(target)) {
      RecordChange change(doc_.events(), tp);
      tp->AddIncomingLink(p->id);
    }
  }

  void Change(const Difference& d) {
    if (dead_[size_t(d.first)]) return;
    CRecord* rec = a_[size_t(d.first)];
    const RecordData b = r_.DataOf(d, true);
    CPropertyItem* p = AsProperty(rec);
    if (p && (d.fields & (kFieldType | kFieldLink)))
      if (CPropertyItem* old = LinkTargetOf(doc_, p)) {
        RecordChange change(doc_.events(), old);
        old->RemoveIncomingLink(p->id);
      }
    bool setsValue = d.fields & (kFieldValue | kFieldRaw) ||
                     ((d.fields & kFieldLink) && b.typeCode != kTypeLinkTo);
    if (d.fields & ~kFieldRaw) {
      RecordChange change(doc_.events(), rec);
      if (d.fields & kFieldName) rec->name = b.name;
      if (CAtom* atom = AsAtom(rec); atom && (d.fields & kFieldType)) atom->type = b.atomType;
      if (p) {
        if (d.fields & kFieldFlags) p->flags = b.flags;
        if (d.fields & kFieldEoc) p->eoc = b.eoc;
        if (d.fields & kFieldType) p->typeCode = b.typeCode;
        if (setsValue && !(d.fields & kFieldRaw)) p->valueText = b.valueText;
      }
    }
    if (d.fields & kFieldName) Touch(rec->parent, -1);
    if (p && (d.fields & kFieldLink) && b.typeCode == kTypeLinkTo) SetLink(p, d.second, b);
    if (p && setsValue) p->SetRawValue(b.rawValue);  // told as a value change of its own
    ++out_.changed;
  }

  CTarnelDoc& doc_;
  const CompareResult& r_;
  std::vector<CRecord*> a_;
  TakeOverOutcome& out_;
  SideTree bTree_;
  std::vector<uint8_t> dead_;
  std::vector<CRecord*> created_;
  std::vector<uint8_t> staysMoved_;         // second-side records whose move is not taken over
  std::vector<const Difference*> addedAt_;  // by second-side record
  std::vector<std::pair<CRecord*, uint32_t>> waitingForId_;  // made with a stand-in identifier
  std::vector<CAtom*> touchedAtoms_;
  std::unordered_set<CAtom*> touchedSet_;
};

}  // namespace

std::vector<uint8_t> CloseSelection(const CompareResult& r, std::vector<uint8_t> sel) {
  const std::vector<Difference>& diffs = r.differences;
  sel.resize(diffs.size(), 0);
  size_t na = r.firstIds.size();
  std::vector<int32_t> removedAt(na, -1), movedAt(na, -1), changedAt(na, -1);
  std::vector<int32_t> addedAt(r.secondIds.size(), -1);
  for (size_t k = 0; k < diffs.size(); ++k) {
    const Difference& d = diffs[k];
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        removedAt[size_t(d.first)] = int32_t(k);
        break;
      case DifferenceKind::kAdded:
        addedAt[size_t(d.second)] = int32_t(k);
        break;
      case DifferenceKind::kChanged:
        changedAt[size_t(d.first)] = int32_t(k);
        break;
      case DifferenceKind::kMoved:
        movedAt[size_t(d.first)] = int32_t(k);
        break;
    }
  }
  SideTree aTree(r.firstParents);
  // The first side's links by target, as lists threaded through `nextLinker`.
  std::vector<int32_t> firstLinker(na, -1), nextLinker(na, -1);
  for (size_t i = 0; i < na; ++i)
    if (int32_t t = r.firstLinks[i]; t >= 0) {
      nextLinker[i] = firstLinker[size_t(t)];
      firstLinker[size_t(t)] = int32_t(i);
    }

  std::vector<size_t> work;
  for (size_t k = 0; k < sel.size(); ++k)
    if (sel[k]) work.push_back(k);
  auto take = [&](int32_t k) {
    if (k >= 0 && !sel[size_t(k)]) {
      sel[size_t(k)] = 1;
      work.push_back(size_t(k));
    }
  };
  auto takeAddedTarget = [&](int32_t j) {
    int32_t t = r.secondLinks[size_t(j)];
    if (t >= 0 && r.secondToFirst[size_t(t)] < 0) take(addedAt[size_t(t)]);
  };
  while (!work.empty()) {
    const Difference& d = diffs[work.back()];
    work.pop_back();
    switch (d.kind) {
      case DifferenceKind::kAdded: {
        int32_t p = r.secondParents[size_t(d.second)];
        if (p >= 0 && r.secondToFirst[size_t(p)] < 0) take(addedAt[size_t(p)]);
        takeAddedTarget(d.second);
        break;
      }
      case DifferenceKind::kChanged:
        if (d.fields & kFieldLink) takeAddedTarget(d.second);
        break;
      case DifferenceKind::kMoved:
        if (!d.acrossParents) break;
        for (int32_t p = r.secondParents[size_t(d.second)]; p >= 0;
             p = r.secondParents[size_t(p)]) {
          int32_t i = r.secondToFirst[size_t(p)];
          if (i < 0)
            take(addedAt[size_t(p)]);
          else if (int32_t m = movedAt[size_t(i)]; m >= 0 && diffs[size_t(m)].acrossParents)
            take(m);
        }
        break;
      case DifferenceKind::kRemoved:
        for (int32_t c = aTree.firstChild[size_t(d.first + 1)]; c >= 0;
             c = aTree.nextSibling[size_t(c)])
          take(r.firstToSecond[size_t(c)] < 0 ? removedAt[size_t(c)] : movedAt[size_t(c)]);
        for (int32_t s = firstLinker[size_t(d.first)]; s >= 0; s = nextLinker[size_t(s)])
          take(changedAt[size_t(s)]);
        break;
    }
  }
  return sel;
}

bool TakeOver(CTarnelDoc& doc, const CompareResult& result, const std::vector<uint8_t>& selected,
              TakeOverOutcome* outcome) {
  std::vector<CRecord*> records;
  records.reserve(result.firstIds.size());
  for (CBase* g : doc.Groups()) Walk(g, &records);
  if (records.size() != result.firstIds.size()) return false;
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i]->id != result.firstIds[i] || records[i]->Kind() != result.firstKinds[i])
      return false;
  TakeOverOutcome local;
  TakeOverRun run(doc, result, std::move(records), outcome ? *outcome : local);
  run.Run(CloseSelection(result, selected));
  return true;
}

bool TakeOverAll(CTarnelDoc& doc, const CompareResult& result, TakeOverOutcome* outcome) {
  return TakeOver(doc, result, std::vector<uint8_t>(result.differences.size(), 1), outcome);
}
