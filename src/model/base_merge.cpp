#include "base_merge.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>

#include "base_compare.h"
#include "document.h"
#include "document_edits.h"
#include "value_types.h"

namespace {

constexpr size_t kKeys = 0x10000;
// The parts of a record the merge takes from one side or the other as a whole. The value, its
// pattern and a link's target are one part: a value text and a pattern from two sides would
// not belong together.
constexpr uint8_t kUnitValue = kFieldValue | kFieldRaw | kFieldLink;
constexpr uint8_t kUnits[] = {kFieldName, kFieldType, kFieldFlags, kFieldEoc, kUnitValue};

bool IsLink(const RecordData& d) {
  return d.kind == kKindProperty && d.typeCode == kTypeLinkTo;
}

// One document's records in the order a comparison numbers them, with its child lists. The
// comparison's arrays give identifiers, kinds, parents and link targets; a record is reached
// through the registry, without walking the tree again.
struct Tree {
  const CTarnelDoc* doc = nullptr;
  std::vector<int32_t> byKey;  // the record of each key, -1 for none
  const std::vector<uint32_t>* ids = nullptr;
  const std::vector<uint8_t>* kinds = nullptr;
  const std::vector<int32_t>* parents = nullptr;
  const std::vector<int32_t>* links = nullptr;
  std::vector<int32_t> firstChild, nextSibling, prevSibling;  // firstChild by parent + 1
  std::vector<int32_t> end;  // one past the last record of each record's branch

  Tree(const CTarnelDoc& doc, const std::vector<uint32_t>& idList,
       const std::vector<uint8_t>& kindList, const std::vector<int32_t>& parentList,
       const std::vector<int32_t>& linkList)
      : doc(&doc),
        byKey(kKeys, -1),
        ids(&idList),
        kinds(&kindList),
        parents(&parentList),
        links(&linkList) {
    size_t n = idList.size();
    for (size_t i = 0; i < n; ++i) byKey[KeyOf(idList[i])] = int32_t(i);
    firstChild.assign(n + 1, -1);
    nextSibling.assign(n, -1);
    prevSibling.assign(n, -1);
    end.resize(n);
    std::vector<int32_t> last(n + 1, -1);
    for (size_t i = 0; i < n; ++i) {
      size_t p = size_t(parentList[i] + 1);
      prevSibling[i] = last[p];
      (last[p] >= 0 ? nextSibling[size_t(last[p])] : firstChild[p]) = int32_t(i);
      last[p] = int32_t(i);
      end[i] = int32_t(i + 1);
    }
    for (size_t i = n; i-- > 0;)
      if (int32_t p = parentList[i]; p >= 0) end[size_t(p)] = std::max(end[size_t(p)], end[i]);
  }

  int32_t Parent(int32_t i) const { return (*parents)[size_t(i)]; }
  // The property a LINK_TO names in this document, -1 for none.
  int32_t LinkTarget(int32_t i) const {
    int32_t t = (*links)[size_t(i)];
    return t >= 0 && (*kinds)[size_t(t)] == kKindProperty ? t : -1;
  }
  uint32_t Id(int32_t i) const { return (*ids)[size_t(i)]; }
  size_t Size() const { return ids->size(); }
  const CRecord* Record(int32_t i) const { return doc->LookupRecord(Id(i)); }
  uint8_t Kind(int32_t i) const { return (*kinds)[size_t(i)]; }
  std::string PathOf(int32_t i) const { return i < 0 ? std::string() : GetRecordPath(Record(i)); }
};

// What one side did to the base, from a comparison of the base with it.
struct SideChanges {
  const CompareResult& cmp;
  Tree tree;
  std::vector<uint8_t> fields;  // changed fields by base record
  std::vector<uint8_t> moved;   // 1: to another place among its siblings, 2: to another parent
  std::vector<uint8_t> dirty;   // by side record: it or something in its branch is new or changed

  SideChanges(const CTarnelDoc& doc, const CompareResult& r)
      : cmp(r),
        tree(doc, r.secondIds, r.secondKinds, r.secondParents, r.secondLinks),
        fields(r.firstIds.size(), 0),
        moved(r.firstIds.size(), 0),
        dirty(r.secondIds.size(), 0) {
    for (const Difference& d : r.differences) {
      if (d.kind == DifferenceKind::kChanged) fields[size_t(d.first)] = d.fields;
      if (d.kind == DifferenceKind::kMoved) moved[size_t(d.first)] = d.acrossParents ? 2 : 1;
    }
    for (size_t j = dirty.size(); j-- > 0;) {
      int32_t i = r.secondToFirst[j];
      if (i < 0 || fields[size_t(i)] || moved[size_t(i)]) dirty[j] = 1;
      if (int32_t p = r.secondParents[j]; p >= 0 && dirty[j]) dirty[size_t(p)] = 1;
    }
  }
  int32_t Of(int32_t baseIndex) const { return cmp.firstToSecond[size_t(baseIndex)]; }
  int32_t BaseOf(int32_t j) const { return cmp.secondToFirst[size_t(j)]; }
};

// A merged record: its counterparts on the three sides (-1 where a side lacks it).
struct Node {
  int32_t b = -1, o = -1, t = -1;
};

struct PendingConflict {
  ConflictKind kind = ConflictKind::kField;
  int32_t node = -1;
  int fieldIndex = -1;  // for a field: the DifferenceField bit's index
  std::string base, ours, theirs;
  RecordData oursData, theirsData;
  int32_t oursLink = -1, theirsLink = -1;  // nodes a LINK_TO names on each side
  int32_t oursParent = -1, theirsParent = -1, oursAfter = -1, theirsAfter = -1;
  MergeSide deletedBy = MergeSide::kOurs;
};

int BitIndex(uint8_t bit) {
  int i = 0;
  while (bit > 1) bit >>= 1, ++i;
  return i;
}

class Merger {
 public:
  Merger(const CTarnelDoc& base, const CTarnelDoc& ours, const CTarnelDoc& theirs)
      : cmp_(CompareDocuments(base, ours, theirs)),
        base_(base, cmp_.first.firstIds, cmp_.first.firstKinds, cmp_.first.firstParents,
              cmp_.first.firstLinks),
        o_(ours, cmp_.first),
        t_(theirs, cmp_.second) {
    lastId_ = std::max({base.Ids().GetLastId(), ours.Ids().GetLastId(), theirs.Ids().GetLastId()});
  }

  MergeResult Run(CTarnelDoc& out) {
    MatchNodes();
    FindSurvivors();
    MergeFields();
    placeChecked_.assign(nodes_.size(), 0);
    // Placing records and keeping what links need can each bring back a deleted branch, whose
    // records need places and targets in turn.
    for (bool again = true; again;) {
      PlaceAll();
      again = KeepNeeded() || BreakCycles();
    }
    OrderSiblings();
    AssignIds();
    Build(out);
    return Report(out);
  }

 private:
  // ---- matching ---------------------------------------------------------------------------

  int32_t NodeOfO(int32_t j) const { return j < 0 ? -1 : oNode_[size_t(j)]; }
  int32_t NodeOfT(int32_t j) const { return j < 0 ? -1 : tNode_[size_t(j)]; }

  void MatchNodes() {
    size_t nb = base_.Size();
    nodes_.resize(nb);
    oNode_.assign(o_.tree.Size(), -1);
    tNode_.assign(t_.tree.Size(), -1);
    for (size_t i = 0; i < nb; ++i) {
      Node& n = nodes_[i];
      n.b = int32_t(i);
      n.o = o_.Of(int32_t(i));
      n.t = t_.Of(int32_t(i));
      if (n.o >= 0) oNode_[size_t(n.o)] = int32_t(i);
      if (n.t >= 0) tNode_[size_t(n.t)] = int32_t(i);
    }
    for (size_t j = 0; j < oNode_.size(); ++j)
      if (o_.BaseOf(int32_t(j)) < 0) {
        oNode_[j] = int32_t(nodes_.size());
        nodes_.push_back({-1, int32_t(j), -1});
      }
    // In tree order, so a new record's parent is matched before it.
    for (size_t j = 0; j < tNode_.size(); ++j) {
      if (t_.BaseOf(int32_t(j)) >= 0) continue;
      int32_t oj = o_.tree.byKey[KeyOf(t_.tree.Id(int32_t(j)))];
      if (oj >= 0 && o_.BaseOf(oj) < 0 && nodes_[size_t(oNode_[size_t(oj)])].t < 0 &&
          SameNewRecord(oj, int32_t(j))) {
        tNode_[j] = oNode_[size_t(oj)];
        nodes_[size_t(tNode_[j])].t = int32_t(j);
        continue;
      }
      tNode_[j] = int32_t(nodes_.size());
      nodes_.push_back({-1, -1, int32_t(j)});
    }
  }

  // Two records added under one identifier are one when kind, parent, name and fields agree.
  bool SameNewRecord(int32_t oj, int32_t tj) const {
    const CRecord* a = o_.tree.Record(oj);
    const CRecord* b = t_.tree.Record(tj);
    if (a->id != b->id || a->Kind() != b->Kind()) return false;
    if (NodeOfO(o_.tree.Parent(oj)) != NodeOfT(t_.tree.Parent(tj))) return false;
    RecordData x = FieldsOf(a), y = FieldsOf(b);
    return x.name == y.name && x.atomType == y.atomType && x.typeCode == y.typeCode &&
           x.flags == y.flags && x.eoc == y.eoc && x.valueText == y.valueText &&
           x.rawValue == y.rawValue;
  }

  // ---- deletions --------------------------------------------------------------------------

  // A base record `deleter` removed and the other side kept: the top of the removed branch as
  // the other side holds it, by that side's record.
  std::vector<int32_t> DeletionTops(const SideChanges& keeper, const SideChanges& deleter) {
    std::vector<int32_t> top(keeper.tree.Size(), -1);
    for (size_t j = 0; j < top.size(); ++j) {
      int32_t i = keeper.BaseOf(int32_t(j));
      if (i < 0 || deleter.Of(i) >= 0) continue;
      int32_t p = keeper.tree.Parent(int32_t(j));
      top[j] = p >= 0 && top[size_t(p)] >= 0 ? top[size_t(p)] : int32_t(j);
    }
    return top;
  }

  void FindSurvivors() {
    alive_.assign(nodes_.size(), 0);
    for (size_t n = 0; n < nodes_.size(); ++n)
      alive_[n] = nodes_[n].b < 0 || (nodes_[n].o >= 0 && nodes_[n].t >= 0);
    topO_ = DeletionTops(o_, t_);
    topT_ = DeletionTops(t_, o_);
    keptO_.assign(topO_.size(), 0);
    keptT_.assign(topT_.size(), 0);
    // Deleted on one side and untouched on the other: deleted. Changed on the other side, or
    // something added or moved into its branch there: kept whole, a conflict.
    for (size_t j = 0; j < topO_.size(); ++j)
      if (topO_[j] == int32_t(j) && o_.dirty[j]) Keep(MergeSide::kOurs, int32_t(j), "changed");
    for (size_t j = 0; j < topT_.size(); ++j)
      if (topT_[j] == int32_t(j) && t_.dirty[j]) Keep(MergeSide::kTheirs, int32_t(j), "changed");
  }

  // Keeps the branch whose top `j` is on side `keeper`, deleted on the other side.
  void Keep(MergeSide keeper, int32_t j, const char* why) {
    bool ours = keeper == MergeSide::kOurs;
    const SideChanges& k = ours ? o_ : t_;
    std::vector<uint8_t>& kept = ours ? keptO_ : keptT_;
    const std::vector<int32_t>& top = ours ? topO_ : topT_;
    if (kept[size_t(j)]) return;
    kept[size_t(j)] = 1;
    for (int32_t x = j; x < k.tree.end[size_t(j)]; ++x)
      if (top[size_t(x)] == j) alive_[size_t(ours ? oNode_[size_t(x)] : tNode_[size_t(x)])] = 1;
    PendingConflict& c = pending_.emplace_back();
    c.kind = ConflictKind::kRecord;
    c.node = ours ? oNode_[size_t(j)] : tNode_[size_t(j)];
    c.base = "present";
    c.ours = ours ? why : "deleted";
    c.theirs = ours ? "deleted" : why;
    c.deletedBy = ours ? MergeSide::kTheirs : MergeSide::kOurs;
  }

  // Brings back a deleted record something in the merge needs; false when it is there.
  bool Need(int32_t n) {
    if (n < 0 || alive_[size_t(n)]) return false;
    const Node& x = nodes_[size_t(n)];
    if (x.o >= 0)
      Keep(MergeSide::kOurs, topO_[size_t(x.o)], "present");
    else if (x.t >= 0)
      Keep(MergeSide::kTheirs, topT_[size_t(x.t)], "present");
    return true;
  }

  // ---- fields -----------------------------------------------------------------------------

  // Records changed on both sides get merged fields of their own; every other record is
  // copied from the side that has it when the document is built.
  void MergeFields() {
    merged_.assign(nodes_.size(), -1);
    link_.assign(nodes_.size(), -1);
    for (size_t n = 0; n < nodes_.size(); ++n) {
      const Node& x = nodes_[n];
      if (x.o >= 0)
        link_[n] = NodeOfO(o_.tree.LinkTarget(x.o));
      else if (x.t >= 0)
        link_[n] = NodeOfT(t_.tree.LinkTarget(x.t));
      if (x.b >= 0 && x.o >= 0 && x.t >= 0 && t_.fields[size_t(x.b)])
        MergeChangedFields(int32_t(n));
    }
  }

  const CRecord* Source(int32_t n) const {
    const Node& x = nodes_[size_t(n)];
    return x.o >= 0 ? o_.tree.Record(x.o) : t_.tree.Record(x.t);
  }
  uint8_t KindOf(int32_t n) const {
    const Node& x = nodes_[size_t(n)];
    return x.o >= 0 ? o_.tree.Kind(x.o) : t_.tree.Kind(x.t);
  }

  void MergeChangedFields(int32_t n) {
    const Node& x = nodes_[size_t(n)];
    uint8_t fo = o_.fields[size_t(x.b)], ft = t_.fields[size_t(x.b)];
    merged_[size_t(n)] = int32_t(mergedData_.size());
    RecordData& r = mergedData_.emplace_back(FieldsOf(Source(n)));
    const RecordData od = r;
    const RecordData td = FieldsOf(t_.tree.Record(x.t));
    int32_t oLink = link_[size_t(n)];
    int32_t tLink = NodeOfT(t_.tree.LinkTarget(x.t));
    bool valueFromT = false;
    for (uint8_t u : kUnits) {
      if (!(ft & u)) continue;
      if (!(fo & u)) {
        TakeUnit(u, td, &r);
        if (u == kUnitValue) {
          valueFromT = true;
          link_[size_t(n)] = tLink;
        }
      } else if (!SameUnit(u, od, td, oLink, tLink)) {
        AddFieldConflict(n, u, od, td, oLink, tLink);
      }
    }
    // A type from one side and a value from the other can make a LINK_TO that names nothing:
    // then both stay as OURS has them.
    if (IsLink(r) && (valueFromT ? !IsLink(td) : !IsLink(od))) {
      bool reported =
          (fo & kFieldType) && (ft & kFieldType) && !SameUnit(kFieldType, od, td, -1, -1);
      r.typeCode = od.typeCode;
      r.valueText = od.valueText;
      r.rawValue = od.rawValue;
      link_[size_t(n)] = oLink;
      if (!reported) AddFieldConflict(n, kFieldType, od, td, oLink, tLink);
    }
    if (!IsLink(r)) link_[size_t(n)] = -1;
  }

  static void TakeUnit(uint8_t u, const RecordData& from, RecordData* to) {
    switch (u) {
      case kFieldName:
        to->name = from.name;
        break;
      case kFieldType:
        to->atomType = from.atomType;
        to->typeCode = from.typeCode;
        break;
      case kFieldFlags:
        to->flags = from.flags;
        break;
      case kFieldEoc:
        to->eoc = from.eoc;
        break;
      default:
        to->valueText = from.valueText;
        to->rawValue = from.rawValue;
        break;
    }
  }

  static bool SameUnit(uint8_t u, const RecordData& a, const RecordData& b, int32_t linkA,
                       int32_t linkB) {
    switch (u) {
      case kFieldName:
        return a.name == b.name;
      case kFieldType:
        return a.atomType == b.atomType && a.typeCode == b.typeCode;
      case kFieldFlags:
        return a.flags == b.flags;
      case kFieldEoc:
        return a.eoc == b.eoc;
      default:
        if (IsLink(a) || IsLink(b)) return IsLink(a) && IsLink(b) && linkA == linkB && linkA >= 0;
        return a.valueText == b.valueText && a.rawValue == b.rawValue;
    }
  }

  std::string LinkPath(const SideChanges* side, int32_t j) const {
    const Tree& tree = side ? side->tree : base_;
    const CPropertyItem* p = AsProperty(tree.Record(j));
    if (!p || p->typeCode != kTypeLinkTo) return {};
    int32_t t = tree.LinkTarget(j);
    return t >= 0 ? tree.PathOf(t) : p->valueText;
  }

  void AddFieldConflict(int32_t n, uint8_t u, const RecordData& od, const RecordData& td,
                        int32_t oLink, int32_t tLink) {
    const Node& x = nodes_[size_t(n)];
    RecordData bd = FieldsOf(base_.Record(x.b));
    uint8_t bit = u;
    if (u == kUnitValue)
      bit = IsLink(bd) || IsLink(od) || IsLink(td) ? kFieldLink
            : od.valueText != td.valueText         ? kFieldValue
                                                   : kFieldRaw;
    int f = BitIndex(bit);
    PendingConflict& c = pending_.emplace_back();
    c.kind = ConflictKind::kField;
    c.node = n;
    c.fieldIndex = f;
    c.base = DifferenceFieldText(bd, f, LinkPath(nullptr, x.b));
    c.ours = DifferenceFieldText(od, f, LinkPath(&o_, x.o));
    c.theirs = DifferenceFieldText(td, f, LinkPath(&t_, x.t));
    c.oursData = od;
    c.theirsData = td;
    c.oursLink = oLink;
    c.theirsLink = tLink;
  }

  // ---- places -----------------------------------------------------------------------------

  int32_t ParentO(const Node& x) const { return NodeOfO(o_.tree.Parent(x.o)); }
  int32_t ParentT(const Node& x) const { return NodeOfT(t_.tree.Parent(x.t)); }
  int32_t ParentB(const Node& x) const { return base_.Parent(x.b); }

  // Each surviving record's parent: the side that moved it; OURS' where both moved it apart.
  void PlaceAll() {
    parent_.assign(nodes_.size(), -1);
    theirsPlaced_.assign(nodes_.size(), 0);
    for (size_t n = 0; n < nodes_.size(); ++n) {
      if (!alive_[n]) continue;
      const Node& x = nodes_[n];
      if (x.o < 0) {
        parent_[n] = ParentT(x);
        theirsPlaced_[n] = 1;
        continue;
      }
      parent_[n] = ParentO(x);
      if (x.t < 0 || x.b < 0 || reverted_.count(int32_t(n))) continue;
      int32_t po = parent_[n], pt = ParentT(x), pb = ParentB(x);
      if (po == pt) {
        // Both moved it among the same siblings: OURS' place, a conflict when they differ.
        if (o_.moved[size_t(x.b)] && t_.moved[size_t(x.b)] && !placeChecked_[n]++)
          CheckPlaces(int32_t(n));
        else if (t_.moved[size_t(x.b)] && !o_.moved[size_t(x.b)])
          theirsPlaced_[n] = 1;
      } else if (po == pb) {
        parent_[n] = pt;
        theirsPlaced_[n] = 1;
      } else if (pt != pb && !placeChecked_[n]++) {
        AddPlaceConflict(ConflictKind::kParent, int32_t(n), pb, po, pt);
      }
    }
  }

  int32_t PrevO(const Node& x) const { return NodeOfO(o_.tree.prevSibling[size_t(x.o)]); }
  int32_t PrevT(const Node& x) const { return NodeOfT(t_.tree.prevSibling[size_t(x.t)]); }

  void CheckPlaces(int32_t n) {
    const Node& x = nodes_[size_t(n)];
    if (PrevO(x) != PrevT(x))
      AddPlaceConflict(ConflictKind::kPlace, n, base_.prevSibling[size_t(x.b)], PrevO(x), PrevT(x));
  }

  std::string NodePath(int32_t n, int side) const {
    if (n < 0) return {};
    const Node& x = nodes_[size_t(n)];
    if (side == 0 || (side == 1 ? x.o < 0 : x.t < 0)) {
      if (x.b >= 0) return base_.PathOf(x.b);
      side = x.o >= 0 ? 1 : 2;
    }
    return side == 1 ? o_.tree.PathOf(x.o) : t_.tree.PathOf(x.t);
  }

  void AddPlaceConflict(ConflictKind kind, int32_t n, int32_t b, int32_t o, int32_t t) {
    PendingConflict& c = pending_.emplace_back();
    c.kind = kind;
    c.node = n;
    c.base = NodePath(b, 0);
    c.ours = NodePath(o, 1);
    c.theirs = NodePath(t, 2);
    const Node& x = nodes_[size_t(n)];
    c.oursParent = ParentO(x);
    c.theirsParent = ParentT(x);
    c.oursAfter = PrevO(x);
    c.theirsAfter = PrevT(x);
  }

  // Parents and link targets the merge deleted come back.
  bool KeepNeeded() {
    bool any = false;
    for (size_t n = 0; n < nodes_.size(); ++n)
      if (alive_[n]) {
        any |= Need(parent_[n]);
        any |= Need(link_[n]);
      }
    return any;
  }

  // A parent taken from THEIRS that puts a record into its own branch goes back to OURS'.
  bool BreakCycles() {
    std::vector<int32_t> seen(nodes_.size(), -1);
    bool any = false;
    for (size_t n = 0; n < nodes_.size(); ++n) {
      const Node& x = nodes_[n];
      if (!alive_[n] || x.o < 0 || parent_[n] == ParentO(x)) continue;
      int32_t p = parent_[n];
      while (p >= 0 && seen[size_t(p)] != int32_t(n) && p != int32_t(n)) {
        seen[size_t(p)] = int32_t(n);
        p = parent_[size_t(p)];
      }
      if (p != int32_t(n)) continue;
      reverted_.insert(int32_t(n));
      AddPlaceConflict(ConflictKind::kParent, int32_t(n), ParentB(x), ParentO(x), ParentT(x));
      parent_[n] = ParentO(x);  // the next round places it so
      any = true;
    }
    return any;
  }

  // OURS' order, with what THEIRS placed after its nearest preceding sibling there.
  void OrderSiblings() {
    size_t n = nodes_.size();
    head_.assign(n + 1, -1);
    next_.assign(n, -1);
    std::vector<uint8_t> listed(n, 0);
    std::vector<int32_t> tail(n + 1, -1);
    auto append = [&](int32_t c) {
      size_t p = size_t(parent_[size_t(c)] + 1);
      (tail[p] >= 0 ? next_[size_t(tail[p])] : head_[p]) = c;
      tail[p] = c;
      listed[size_t(c)] = 1;
    };
    for (size_t j = 0; j < oNode_.size(); ++j) {
      int32_t c = oNode_[j];
      if (alive_[size_t(c)] && !theirsPlaced_[size_t(c)]) append(c);
    }
    for (size_t j = 0; j < tNode_.size(); ++j) {
      int32_t c = tNode_[j];
      if (!alive_[size_t(c)] || !theirsPlaced_[size_t(c)] || listed[size_t(c)]) continue;
      size_t p = size_t(parent_[size_t(c)] + 1);
      int32_t after = -1;
      for (int32_t s = t_.tree.prevSibling[j]; s >= 0 && after < 0;
           s = t_.tree.prevSibling[size_t(s)])
        if (int32_t sn = tNode_[size_t(s)];
            listed[size_t(sn)] && parent_[size_t(sn)] == parent_[size_t(c)])
          after = sn;
      if (after < 0) {
        next_[size_t(c)] = head_[p];
        head_[p] = c;
      } else {
        next_[size_t(c)] = next_[size_t(after)];
        next_[size_t(after)] = c;
      }
      if (tail[p] == after) tail[p] = c;
      listed[size_t(c)] = 1;
    }
  }

  // ---- identifiers and the document -------------------------------------------------------

  void AssignIds() {
    ids_.assign(nodes_.size(), 0);
    std::vector<uint8_t> taken(kKeys, 0), used(kKeys, 0);
    used[0] = 1;
    for (const Tree* tree : {&base_, &o_.tree, &t_.tree})
      for (uint32_t id : *tree->ids) used[KeyOf(id)] = 1;
    auto idOf = [&](const Node& x) {
      return x.o >= 0 ? o_.tree.Id(x.o) : x.b >= 0 ? base_.Id(x.b) : t_.tree.Id(x.t);
    };
    for (size_t n = 0; n < nodes_.size(); ++n)
      if (alive_[n] && nodes_[n].o >= 0) {
        ids_[n] = idOf(nodes_[n]);
        taken[KeyOf(ids_[n])] = 1;
      }
    uint16_t next = lastId_;
    for (size_t n = 0; n < nodes_.size(); ++n) {
      if (!alive_[n] || nodes_[n].o >= 0) continue;
      uint32_t id = idOf(nodes_[n]);
      if (KeyOf(id) != 0 && !taken[KeyOf(id)]) {
        ids_[n] = id;
        taken[KeyOf(id)] = 1;
        continue;
      }
      // The next number no side uses; failing that, any the merged document leaves free.
      uint16_t fresh = 0;
      for (const std::vector<uint8_t>* busy : {&used, &taken}) {
        for (int tries = 0; tries < 0xFFFF && !fresh; ++tries) {
          next = next == 0xFFFF ? 1 : uint16_t(next + 1);
          if (!(*busy)[next] && !taken[next]) fresh = next;
        }
        if (fresh) break;
      }
      if (!fresh) {
        alive_[n] = 0;  // every identifier is taken: the record cannot be held
        continue;
      }
      ids_[n] = fresh;
      taken[fresh] = used[fresh] = 1;
      lastId_ = fresh;
    }
  }

  std::unique_ptr<CRecord> BuildNode(int32_t n) {
    int32_t m = merged_[size_t(n)];
    std::unique_ptr<CRecord> r =
        m >= 0 ? MakeRecordFromData(std::move(mergedData_[size_t(m)])) : CopyOwnFields(*Source(n));
    r->id = ids_[size_t(n)];
    if (auto* p = AsProperty(r.get()); p && p->typeCode == kTypeLinkTo) {
      int32_t t = link_[size_t(n)];
      if (t >= 0 && alive_[size_t(t)])
        p->valueText = std::to_string(ids_[size_t(t)]);
      else if (t >= 0)
        p->typeCode = kTypeBin;  // its target could not be held
    }
    for (int32_t c = head_[size_t(n + 1)]; c >= 0; c = next_[size_t(c)]) {
      if (!alive_[size_t(c)]) continue;
      std::unique_ptr<CRecord> child = BuildNode(c);
      if (auto* holder = AsChildHolder(r.get()))
        holder->AddChild(std::move(child));
      else if (auto* atom = AsAtom(r.get()); atom && child->Kind() == kKindProperty)
        atom->AddProperty(
            std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(child.release())));
    }
    return r;
  }

  void Build(CTarnelDoc& out) {
    DocumentContents contents;
    for (int32_t c = head_[0]; c >= 0; c = next_[size_t(c)])
      if (alive_[size_t(c)] && KindOf(c) == kKindGroup)
        contents.groups.emplace_back(static_cast<CBase*>(BuildNode(c).release()));
    contents.lastId = lastId_;
    out.TakeContents(std::move(contents));
  }

  uint32_t IdOfNode(int32_t n) const { return n >= 0 && alive_[size_t(n)] ? ids_[size_t(n)] : 0; }

  MergeResult Report(const CTarnelDoc& out) {
    MergeResult result;
    for (PendingConflict& p : pending_) {
      if (!alive_[size_t(p.node)]) continue;
      MergeConflict& c = result.conflicts.emplace_back();
      c.kind = p.kind;
      c.id = ids_[size_t(p.node)];
      c.path = GetRecordPath(out.LookupRecord(c.id));
      c.field = p.kind == ConflictKind::kField    ? DifferenceFieldName(p.fieldIndex)
                : p.kind == ConflictKind::kParent ? "parent"
                : p.kind == ConflictKind::kPlace  ? "place"
                                                  : "record";
      c.base = std::move(p.base);
      c.ours = std::move(p.ours);
      c.theirs = std::move(p.theirs);
      c.oursData = std::move(p.oursData);
      c.theirsData = std::move(p.theirsData);
      if (IsLink(c.oursData)) c.oursData.valueText = std::to_string(IdOfNode(p.oursLink));
      if (IsLink(c.theirsData)) c.theirsData.valueText = std::to_string(IdOfNode(p.theirsLink));
      c.oursParent = IdOfNode(p.oursParent);
      c.theirsParent = IdOfNode(p.theirsParent);
      c.oursAfter = IdOfNode(p.oursAfter);
      c.theirsAfter = IdOfNode(p.theirsAfter);
      c.deletedBy = p.deletedBy;
    }
    std::stable_sort(result.conflicts.begin(), result.conflicts.end(),
                     [](const MergeConflict& a, const MergeConflict& b) {
                       if (int c = a.path.compare(b.path)) return c < 0;
                       return a.field < b.field;
                     });
    for (size_t n = 0; n < nodes_.size(); ++n)
      if (alive_[n] && nodes_[n].t >= 0) {
        uint32_t from = t_.tree.Id(nodes_[n].t);
        if (from != ids_[n]) result.renumbered.push_back({from, ids_[n]});
      }
    std::sort(result.renumbered.begin(), result.renumbered.end(),
              [](const MergeRenumbering& a, const MergeRenumbering& b) { return a.from < b.from; });
    return result;
  }

  std::pair<CompareResult, CompareResult> cmp_;  // the base with OURS, and with THEIRS
  Tree base_;
  SideChanges o_, t_;
  uint16_t lastId_ = 0;

  std::vector<Node> nodes_;
  std::vector<int32_t> oNode_, tNode_;  // side record -> node
  std::vector<uint8_t> alive_;
  std::vector<int32_t> topO_, topT_;
  std::vector<uint8_t> keptO_, keptT_;
  std::vector<int32_t> merged_;  // index into mergedData_, -1: copied as a side holds it
  std::vector<RecordData> mergedData_;
  std::vector<int32_t> link_;  // the node a merged LINK_TO names
  std::vector<int32_t> parent_;
  std::vector<uint8_t> theirsPlaced_;
  std::vector<uint8_t> placeChecked_;
  std::unordered_set<int32_t> reverted_;
  std::vector<int32_t> head_, next_;
  std::vector<uint32_t> ids_;
  std::vector<PendingConflict> pending_;
};

}  // namespace

MergeResult MergeDocuments(const CTarnelDoc& base, const CTarnelDoc& ours, const CTarnelDoc& theirs,
                           CTarnelDoc& out) {
  Merger merger(base, ours, theirs);
  return merger.Run(out);
}

namespace {

// The row `rec` takes in `parent`'s list to stand right after `afterId` (0: first); after a
// record that is elsewhere now, it goes last.
int RowAfter(const CTarnelDoc& doc, const CRecord* rec, const CRecord* parent, uint32_t afterId) {
  if (!afterId) return 0;
  const CRecord* after = doc.LookupRecord(afterId);
  if (!after || after == rec || after->Kind() != rec->Kind() || CTarnelDoc::ListOf(after) != parent)
    return doc.RowCount(parent);
  int at = doc.RowOf(after);
  bool before = CTarnelDoc::ListOf(rec) == parent && doc.RowOf(rec) < at;
  return before ? at : at + 1;
}

// A property's type with its value (a link names its target by identifier), with the link
// bookkeeping of the old and the new target.
void SetTypeAndValue(CTarnelDoc& doc, CPropertyItem* p, const RecordData& d) {
  if (d.typeCode == kTypeLinkTo) {
    if (CRecord* target = AsProperty(doc.LookupRecord(uint32_t(AtoI(d.valueText)))))
      SetLinkTarget(doc, p, target);
    return;
  }
  if (p->typeCode == kTypeLinkTo) UnlinkToShort(doc, p);
  {
    RecordChange change(doc.events(), p);
    p->typeCode = d.typeCode;
    p->valueText = d.valueText;
  }
  p->SetRawValue(d.rawValue);
}

void SetField(CTarnelDoc& doc, CRecord* rec, uint8_t bit, const RecordData& d) {
  CPropertyItem* p = AsProperty(rec);
  switch (bit) {
    case kFieldName:
      if (!p) {
        ApplyRecordEdit(doc, rec, d.name, false, 0);
      } else {
        {
          RecordChange change(doc.events(), p);
          p->name = d.name;
        }
        doc.RefreshDecimalPoints(p->GetOwner());
      }
      break;
    case kFieldType:
      if (!p)
        ApplyRecordEdit(doc, rec, rec->name, true, d.atomType);
      else
        SetTypeAndValue(doc, p, d);
      break;
    case kFieldFlags:
      if (p) {
        RecordChange change(doc.events(), p);
        p->flags = d.flags;
      }
      break;
    case kFieldEoc:
      if (p) SetEndOfChain(doc, p, d.eoc);
      break;
    default:
      if (p) SetTypeAndValue(doc, p, d);
      break;
  }
}

}  // namespace

bool TakeConflictSide(CTarnelDoc& doc, const MergeConflict& c, MergeSide side) {
  CRecord* rec = doc.LookupRecord(c.id);
  if (!rec) return false;
  bool ours = side == MergeSide::kOurs;
  switch (c.kind) {
    case ConflictKind::kRecord:
      return c.deletedBy == side && DeleteRecord(doc, rec).changed;
    case ConflictKind::kParent:
    case ConflictKind::kPlace: {
      uint32_t parentId = ours ? c.oursParent : c.theirsParent;
      CRecord* parent = parentId ? doc.LookupRecord(parentId) : nullptr;
      if ((parentId && !parent) || (parent && IsInBranch(parent, rec))) return false;
      const CRecord* oldList = CTarnelDoc::ListOf(rec);
      int oldRow = doc.RowOf(rec);
      if (!doc.MoveRecord(rec, parent,
                          RowAfter(doc, rec, parent, ours ? c.oursAfter : c.theirsAfter)))
        return false;
      return CTarnelDoc::ListOf(rec) != oldList || doc.RowOf(rec) != oldRow;
    }
    case ConflictKind::kField: {
      int f = 0;
      while (f < kDifferenceFieldCount && c.field != DifferenceFieldName(f)) ++f;
      if (f == kDifferenceFieldCount) return false;
      RecordData before = FieldsOf(rec);
      SetField(doc, rec, uint8_t(1 << f), ours ? c.oursData : c.theirsData);
      return !before.SameContent(FieldsOf(rec));
    }
  }
  return false;
}
