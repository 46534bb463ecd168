// The document edits without any widget: which kind holds which, the link bookkeeping of
// delete, paste and linking, moves and Shift-drop reorders, and the events every edit emits,
// replayed onto a shadow tree of identifiers that must equal the document after each step.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "model/document.h"
#include "model/document_diff.h"
#include "model/document_edits.h"
#include "model/document_state.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

TEST(Containment, OneTableForEveryKindPair) {
  // Rows: the holder (none = top level); columns: group, object, atom, property.
  const bool table[5][4] = {
      {true, false, false, false},   // top level
      {false, true, false, false},   // group
      {false, true, true, false},    // object
      {false, false, false, true},   // atom
      {false, false, false, false},  // property
  };
  for (int parent = 0; parent <= kKindProperty; ++parent)
    for (int child = kKindGroup; child <= kKindProperty; ++child) {
      EXPECT_EQ(CanHold(parent, child), table[parent][child - 1]) << parent << " " << child;
      EXPECT_EQ(CanPaste(child, parent), child != kKindGroup && table[parent][child - 1]);
    }
  // A Shift drop lands on the parent's kind or a sibling of the same kind.
  EXPECT_TRUE(CanPlaceAfter(kKindAtom, kKindAtom));
  EXPECT_TRUE(CanPlaceAfter(kKindAtom, kKindObject));
  EXPECT_FALSE(CanPlaceAfter(kKindAtom, kKindGroup));
  EXPECT_TRUE(CanPlaceAfter(kKindProperty, kKindProperty));
  EXPECT_FALSE(CanPlaceAfter(kKindGroup, kKindGroup));
}

struct Edits : ::testing::Test {
  CTarnelDoc doc;
  CObj* obj = nullptr;
  CAtom* a = nullptr;
  CAtom* b = nullptr;

  void SetUp() override {
    doc.OnNewDocument();
    obj = AsObject(AddObject(doc, doc.groups[1].get(), "Pump").record);
    a = AsAtom(AddAtom(doc, obj, "A", 2).record);
    b = AsAtom(AddAtom(doc, obj, "B", 0).record);
  }
  CPropertyItem* Prop(CAtom* atom, const char* name, int type = kTypeInt, std::string value = "1") {
    return AsProperty(AddProperty(doc, atom, {name, value, uint8_t(type), 0}).record);
  }
  CPropertyItem* Link(CAtom* atom, const char* name, const CRecord* to) {
    return Prop(atom, name, kTypeLinkTo, std::to_string(to->id));
  }
  std::vector<std::string> Names(const CRecord* parent) {
    std::vector<std::string> out;
    ForEachChild(parent, [&](const CRecord* c) { out.push_back(c->name); });
    return out;
  }
};

TEST_F(Edits, AddsRefuseWrongHoldersAndSayWhy) {
  EXPECT_EQ(AddAtom(doc, doc.groups[0].get(), "X", 0).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddObject(doc, a, "X").refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddProperty(doc, obj, {"X", "", 0, 0}).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddObject(doc, nullptr, "X").refusal, EditRefusal::kNoRecord);
  EXPECT_EQ(a->type, 2);
  // Pasting an atom onto a group is refused too, where it used to do nothing silently.
  EXPECT_EQ(PasteRecord(doc, a, doc.groups[0].get()).refusal, EditRefusal::kWrongKind);
}

TEST_F(Edits, LinksAreBookedOnAddPasteDeleteAndUnlink) {
  CPropertyItem* t = Prop(b, "T");
  CPropertyItem* l = Link(a, "L", t);
  ASSERT_EQ(t->GetIncomingLinkCount(), 1);
  // A pasted copy of the linking atom links too.
  auto* copy = AsAtom(PasteRecord(doc, a, obj).record);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->type, 0);
  EXPECT_EQ(t->GetIncomingLinkCount(), 2);
  // Deleting a linking property: the target forgets it.
  EXPECT_TRUE(DeleteRecord(doc, copy).changed);
  EXPECT_EQ(t->GetIncomingLinkCount(), 1);
  // Relinking moves the incoming entry; unlinking makes a SHORT and clears it.
  CPropertyItem* u = Prop(b, "U");
  EXPECT_TRUE(SetLinkTarget(doc, l, u));
  EXPECT_FALSE(SetLinkTarget(doc, l, u));
  EXPECT_EQ(t->GetIncomingLinkCount(), 0);
  EXPECT_EQ(u->GetIncomingLinkCount(), 1);
  EXPECT_TRUE(Unlink(doc, {l->id}));
  EXPECT_EQ(l->typeCode, kTypeShort);
  EXPECT_EQ(u->GetIncomingLinkCount(), 0);
  // Deleting a target: sources outside the branch lose their LINK_TO type.
  EXPECT_TRUE(MakeLinks(doc, b, {{l->id, "T"}}));
  EXPECT_EQ(l->typeCode, kTypeLinkTo);
  const uint32_t deletedId = t->id;
  EXPECT_TRUE(DeleteRecord(doc, b).changed);
  EXPECT_EQ(l->typeCode, kTypeBin);
  EXPECT_EQ(doc.LookupRecord(deletedId), nullptr);
}

TEST_F(Edits, ApplyOnTheEndOfTheChainMovesItsIncomingLink) {
  CPropertyItem* end = Prop(b, "End", kTypeShort, "5");
  CPropertyItem* other = Prop(b, "Other");
  CPropertyItem* mid = Link(a, "Mid", end);
  CPropertyItem* start = Link(a, "Start", mid);
  EXPECT_EQ(ResolveChain(doc.idMap, start), end);
  PropertyEdit edit{"Start", true, "7", kTypeShort, 0b101};
  ApplyOutcome out = ApplyPropertyEdit(doc, *start, edit);
  EXPECT_FALSE(out.linkError);
  EXPECT_EQ(end->valueText, "7");
  EXPECT_EQ(end->GetRawValue(), 7u);
  EXPECT_TRUE(end->IsFlagSet(0) && end->IsFlagSet(2));
  EXPECT_TRUE(SetEndOfChain(doc, start, false));
  // A LINK_TO to another property: the old target forgets, the new one lists it.
  ApplyPropertyEdit(doc, *mid, {"Mid", false, std::to_string(other->id), kTypeLinkTo, 0});
  EXPECT_EQ(end->GetIncomingLinkCount(), 0);
  EXPECT_EQ(other->GetIncomingLinkCount(), 1);
  // A loop cannot be resolved: the edit goes to the property itself.
  SetLinkTarget(doc, mid, start);
  EXPECT_TRUE(ApplyPropertyEdit(doc, *start, {"Start", true, "3", -1, 0}).linkError);
}

TEST_F(Edits, MovesKeepIdentifiersAndFollowTheDropRules) {
  CObj* inner = AsObject(AddObject(doc, obj, "Inner").record);
  CPropertyItem* p = Prop(a, "P");
  CPropertyItem* dec = Prop(a, "DecPoint", kTypeInt, "5");
  uint32_t id = p->id;
  EXPECT_EQ(p->decimalPoint, nullptr);  // not yet registered by a rebuild
  doc.RebuildTree();
  EXPECT_EQ(p->decimalPoint, dec);
  // Into another atom: the old atom's DecPoint no longer scales it.
  EXPECT_TRUE(MoveUnder(doc, p, b).changed);
  EXPECT_EQ(p->GetOwner(), b);
  EXPECT_EQ(p->decimalPoint, nullptr);
  EXPECT_EQ(doc.LookupRecord(id), p);
  EXPECT_FALSE(MoveUnder(doc, p, b).changed);  // onto its own parent: stays
  EXPECT_EQ(MoveUnder(doc, obj, inner).refusal, EditRefusal::kOwnBranch);
  EXPECT_EQ(MoveUnder(doc, a, doc.groups[0].get()).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(MoveUnder(doc, doc.groups[0].get(), obj).refusal, EditRefusal::kWrongKind);
  EXPECT_TRUE(MoveUnder(doc, a, inner).changed);
  EXPECT_EQ(Names(obj), (std::vector<std::string>{"B", "Inner"}));
  // Shift drops: first on the parent, after a sibling, last after anything else.
  CAtom* c = AsAtom(AddAtom(doc, inner, "C", 0).record);
  CAtom* d = AsAtom(AddAtom(doc, inner, "D", 0).record);
  EXPECT_TRUE(PlaceAfter(doc, d, inner).changed);
  EXPECT_EQ(Names(inner), (std::vector<std::string>{"D", "A", "C"}));
  EXPECT_TRUE(PlaceAfter(doc, d, c).changed);
  EXPECT_EQ(Names(inner), (std::vector<std::string>{"A", "C", "D"}));
  EXPECT_TRUE(PlaceAfter(doc, a, b).changed);  // an atom elsewhere: last
  EXPECT_EQ(Names(inner), (std::vector<std::string>{"C", "D", "A"}));
  EXPECT_FALSE(PlaceAfter(doc, a, a).changed);
  EXPECT_EQ(PlaceAfter(doc, a, doc.groups[0].get()).refusal, EditRefusal::kWrongKind);
  // A property placed after the DecPoint is no longer scaled by it.
  CPropertyItem* q = Prop(b, "Q");
  CPropertyItem* bdec = Prop(b, "DecPoint", kTypeInt, "4");
  doc.RebuildTree();
  EXPECT_EQ(q->decimalPoint, bdec);
  EXPECT_TRUE(PlaceAfter(doc, q, bdec).changed);
  EXPECT_EQ(q->decimalPoint, nullptr);
}

// Replays the document's events onto a tree of identifiers, as a view model would keep it.
struct Shadow : IDocumentObserver {
  CTarnelDoc& doc;
  std::map<const CRecord*, std::vector<uint32_t>> lists;  // null: the groups
  std::vector<uint32_t> pending;  // rows announced as about to be removed or moved
  bool resetting = false;
  std::string error;

  explicit Shadow(CTarnelDoc& d) : doc(d) { Reload(); }

  void Reload() {
    lists.clear();
    std::function<void(const CRecord*)> walk = [&](const CRecord* parent) {
      auto& list = lists[parent];
      for (int i = 0; i < doc.RowCount(parent); ++i) {
        CRecord* r = doc.RecordAt(parent, i);
        list.push_back(r->id);
        walk(r);
      }
    };
    walk(nullptr);
  }
  // The shadow list of a record the document holds now.
  std::vector<uint32_t>& ListOf(const CRecord* parent) {
    if (parent && !lists.count(parent)) error += "unknown list " + std::to_string(parent->id);
    return lists[parent];
  }
  void Expect(bool ok, const std::string& what) {
    if (!ok && error.empty()) error = what;
  }
  void RowsAboutToBeInserted(CRecord* parent, int first, int count) override {
    Expect(!resetting && first >= 0 && first <= int(ListOf(parent).size()) && count > 0,
           "insert out of range");
  }
  void RowsInserted(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    for (int i = 0; i < count; ++i) {
      CRecord* r = doc.RecordAt(parent, first + i);
      list.insert(list.begin() + first + i, r->id);
      std::function<void(const CRecord*)> walk = [&](const CRecord* p) {
        auto& l = lists[p];
        l.clear();
        for (int j = 0; j < doc.RowCount(p); ++j) {
          l.push_back(doc.RecordAt(p, j)->id);
          walk(doc.RecordAt(p, j));
        }
      };
      walk(r);
    }
  }
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    Expect(first >= 0 && first + count <= int(list.size()), "remove out of range");
    for (int i = 0; i < count && first + i < int(list.size()); ++i) {
      CRecord* r = doc.RecordAt(parent, first + i);
      Expect(r && r->id == list[size_t(first + i)], "removed row is another record");
      std::function<void(const CRecord*)> forget = [&](const CRecord* p) {
        ForEachChild(p, [&](const CRecord* c) { forget(c); });
        lists.erase(p);
      };
      if (r) forget(r);
    }
  }
  void RowsRemoved(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    if (first + count <= int(list.size()))
      list.erase(list.begin() + first, list.begin() + first + count);
  }
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) override {
    Expect(count == 1 && first < int(ListOf(from).size()) && row <= int(ListOf(to).size()),
           "move out of range");
    pending.assign(ListOf(from).begin() + first, ListOf(from).begin() + first + count);
  }
  void RowsMoved(CRecord* from, int first, int count, CRecord* to, int row) override {
    auto& src = ListOf(from);
    src.erase(src.begin() + first, src.begin() + first + count);
    if (from == to && row > first) row -= count;
    auto& dst = ListOf(to);
    dst.insert(dst.begin() + row, pending.begin(), pending.end());
  }
  void AboutToReset() override { resetting = true; }
  void Reset() override {
    resetting = false;
    Reload();
  }

  std::string Compare() {
    if (!error.empty()) return error;
    std::string why;
    std::function<void(const CRecord*)> walk = [&](const CRecord* parent) {
      std::vector<uint32_t> want;
      for (int i = 0; i < doc.RowCount(parent); ++i) want.push_back(doc.RecordAt(parent, i)->id);
      auto it = lists.find(parent);
      if (it == lists.end() || it->second != want) {
        if (why.empty()) why = "list of " + std::to_string(parent ? parent->id : 0);
        return;
      }
      for (int i = 0; i < doc.RowCount(parent); ++i) walk(doc.RecordAt(parent, i));
    };
    walk(nullptr);
    return why;
  }
};

TEST(DocumentEvents, AShadowTreeFedByEventsEqualsTheDocumentThroughRandomEditsAndUndo) {
  CTarnelDoc doc;
  BuildSampleBase(doc, 400);
  Shadow shadow(doc);
  doc.events().AddObserver(&shadow);
  std::mt19937 rng(1207);
  auto pick = [&](int kind) -> CRecord* {
    std::vector<CRecord*> found;
    for (uint32_t id = 1; id <= doc.idMap.GetLastId(); ++id)
      if (CRecord* r = doc.LookupRecord(id); r && (kind == 0 || r->Kind() == kind))
        found.push_back(r);
    return found.empty() ? nullptr : found[rng() % found.size()];
  };
  std::vector<DocumentChange> done;
  DocumentState before;
  int undone = 0;
  for (int step = 0; step < 300; ++step) {
    CaptureState(doc, &before);
    int what = int(rng() % 12);
    switch (what) {
      case 0:
        AddObject(doc, pick(kKindObject), "o");
        break;
      case 1:
        AddProperty(doc, pick(kKindAtom), {"p", std::to_string(rng() % 400), kTypeLinkTo, 0});
        break;
      case 2:
        DeleteRecord(doc, pick(int(rng() % 3) + 2));
        break;
      case 3:
        PasteRecord(doc, pick(kKindAtom), pick(kKindObject));
        break;
      case 4:
        MoveUnder(doc, pick(kKindAtom), pick(kKindObject));
        break;
      case 5:
        MoveUnder(doc, pick(kKindProperty), pick(kKindAtom));
        break;
      case 6:
        PlaceAfter(doc, pick(kKindProperty), pick(kKindProperty));
        break;
      case 7:
        PlaceAfter(doc, pick(kKindObject), pick(kKindObject));
        break;
      case 8:
        ApplyRecordEdit(doc, pick(kKindAtom), "renamed", true, 3);
        break;
      case 9:
        if (CRecord* p = pick(kKindProperty))
          ApplyPropertyEdit(doc, *AsProperty(p), {"v", false, "12", kTypeShort, 1});
        break;
      case 10:
        if (!done.empty()) {
          ApplyChange(doc, done.back(), false);
          done.pop_back();
          ++undone;
        }
        continue;
      default:
        if (rng() % 4 == 0) doc.RebuildTree();
        break;
    }
    if (what != 10) done.push_back(DiffStates(before, CaptureState(doc)));
    std::string why = shadow.Compare();
    ASSERT_TRUE(why.empty()) << "step " << step << " (" << what << "): " << why;
  }
  EXPECT_GT(undone, 10);
  doc.events().RemoveObserver(&shadow);
}

TEST(DocumentEvents, ObserversMayLeaveWhileTheyAreTold) {
  struct Leaver : IDocumentObserver {
    CDocumentEvents* events = nullptr;
    IDocumentObserver* other = nullptr;
    int heard = 0;
    void RecordChanged(CRecord*) override {
      ++heard;
      events->RemoveObserver(other);
      events->RemoveObserver(this);
    }
  };
  CDocumentEvents events;
  Leaver first, second;
  first.events = second.events = &events;
  first.other = &second;
  events.AddObserver(&first);
  events.AddObserver(&second);
  events.RecordChanged(nullptr);
  events.RecordChanged(nullptr);
  EXPECT_EQ(first.heard, 1);
  EXPECT_EQ(second.heard, 0);
  EXPECT_FALSE(events.HasObservers());
  // Resets nest: one pair is told, nothing in between.
  Leaver third;
  third.events = &events;
  events.AddObserver(&third);
  events.BeginReset();
  events.BeginReset();
  events.RecordChanged(nullptr);
  events.EndReset();
  events.EndReset();
  EXPECT_EQ(third.heard, 0);
}

}  // namespace
