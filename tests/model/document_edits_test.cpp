// The document edits without any widget: which kind holds which, the link bookkeeping of
// delete, paste and linking, moves and Shift-drop reorders, and observers that leave while they
// are told. (The events of random edits and their undo: document_diff_test.)
#include <gtest/gtest.h>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/value_types.h"

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
    obj = AsObject(AddObject(doc, doc.Groups().At(1), "Pump").record);
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
  EXPECT_EQ(AddAtom(doc, doc.Groups().At(0), "X", 0).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddObject(doc, a, "X").refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddProperty(doc, obj, {"X", "", 0, 0}).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(AddObject(doc, nullptr, "X").refusal, EditRefusal::kNoRecord);
  EXPECT_EQ(a->type, 2);
  // Pasting an atom onto a group is refused too, where it used to do nothing silently.
  EXPECT_EQ(PasteRecord(doc, a, doc.Groups().At(0)).refusal, EditRefusal::kWrongKind);
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
  EXPECT_EQ(ResolveChain(doc.Ids(), start), end);
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
  // A LINK_TO to an identifier without a record keeps the type and the flags.
  EXPECT_TRUE(
      ApplyPropertyEdit(doc, *other, {"Other", false, "60000", kTypeLinkTo, 0b100}).typeKept);
  EXPECT_EQ(other->typeCode, kTypeInt);
  EXPECT_EQ(other->flags, 0);
  EXPECT_EQ(other->valueText, "60000");
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
  EXPECT_EQ(MoveUnder(doc, a, doc.Groups().At(0)).refusal, EditRefusal::kWrongKind);
  EXPECT_EQ(MoveUnder(doc, doc.Groups().At(0), obj).refusal, EditRefusal::kWrongKind);
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
  EXPECT_EQ(PlaceAfter(doc, a, doc.Groups().At(0)).refusal, EditRefusal::kWrongKind);
  // A property placed after the DecPoint is no longer scaled by it.
  CPropertyItem* q = Prop(b, "Q");
  CPropertyItem* bdec = Prop(b, "DecPoint", kTypeInt, "4");
  doc.RebuildTree();
  EXPECT_EQ(q->decimalPoint, bdec);
  EXPECT_TRUE(PlaceAfter(doc, q, bdec).changed);
  EXPECT_EQ(q->decimalPoint, nullptr);
}

TEST_F(Edits, StepsAmongSiblingsStayInTheListAndGroupsKeepTheirPlaces) {
  CPropertyItem* v = Prop(a, "V");
  CPropertyItem* dp = Prop(a, "DecPoint");
  EXPECT_FALSE(MayStepAmongSiblings(v, -1));
  EXPECT_FALSE(MayStepAmongSiblings(dp, 1));
  EXPECT_FALSE(MayStepAmongSiblings(doc.Groups().At(1), 1));  // groups keep their places
  EXPECT_FALSE(StepAmongSiblings(doc, v, -1).changed);
  doc.RefreshDecimalPoints(a);
  ASSERT_EQ(v->decimalPoint, dp);
  EXPECT_TRUE(StepAmongSiblings(doc, v, 1).changed);
  EXPECT_EQ(Names(a), (std::vector<std::string>{"DecPoint", "V"}));
  EXPECT_EQ(v->decimalPoint, nullptr);  // now after the last "DecPoint"
  EXPECT_TRUE(StepAmongSiblings(doc, b, -1).changed);
  EXPECT_EQ(Names(obj), (std::vector<std::string>{"B", "A"}));
}

TEST_F(Edits, RenameRefusesAnEmptyNameAndAStrayRecord) {
  EXPECT_FALSE(RenameRecord(doc, a, "").changed);
  EXPECT_FALSE(RenameRecord(doc, a, "A").changed);
  EXPECT_TRUE(RenameRecord(doc, a, "\xC2\xF5\xEE\xE4").changed);
  EXPECT_EQ(a->name, "\xC2\xF5\xEE\xE4");
  CObj stray;
  EXPECT_EQ(RenameRecord(doc, &stray, "X").refusal, EditRefusal::kNoRecord);
}

TEST_F(Edits, OutermostRecordsDropWhatLiesInsideAnotherAndKeepTheOrder) {
  CPropertyItem* p = Prop(a, "P");
  std::vector<uint32_t> ids = {p->id, b->id, 0xFFFF, a->id, b->id};
  std::vector<CRecord*> want = {b, a};
  EXPECT_EQ(OutermostRecords(doc, ids), want);  // P goes with A; the unknown and the twin go
  ids.push_back(obj->id);
  want = {obj};
  EXPECT_EQ(OutermostRecords(doc, ids), want);
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
