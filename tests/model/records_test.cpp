#include <gtest/gtest.h>

#include <vector>

#include "model/document.h"
#include "model/document_events.h"
#include "model/id_map.h"
#include "model/records.h"

namespace {

struct RecordingSink : IDocumentObserver {
  std::vector<std::pair<uint32_t, uint32_t>> posts;
  void ValueChanged(CPropertyItem* p, uint32_t) override {
    posts.emplace_back(p->id, p->GetRawValue());
  }
};

// Builds group/object/atom with properties, wiring parents as the document would.
struct Tree {
  CBase group;
  CObj* object;
  CAtom* atom;
  Tree() {
    group.name = "Logic";
    object = static_cast<CObj*>(group.AddChild(std::make_unique<CObj>(10)));
    object->name = "Pump";
    atom = static_cast<CAtom*>(object->AddChild(std::make_unique<CAtom>(11)));
    atom->name = "AI";
  }
  CPropertyItem* Add(const char* name, uint32_t id) {
    auto p = std::make_unique<CPropertyItem>(id);
    p->name = name;
    return atom->AddProperty(std::move(p));
  }
};

TEST(RecordsTest, IndexAccessOutOfRangeGivesNull) {
  Tree t;
  t.Add("A", 1);
  EXPECT_EQ(t.atom->GetProperty(-1), nullptr);
  EXPECT_EQ(t.atom->GetProperty(1), nullptr);
  EXPECT_NE(t.atom->GetProperty(0), nullptr);
  EXPECT_EQ(t.group.GetChild(1), nullptr);
  EXPECT_EQ(t.atom->GetProperty(0)->GetIncomingLink(0), nullptr);
}

TEST(RecordsTest, AddSetsParentAndRemoveWorksByIdentity) {
  Tree t;
  CPropertyItem* p = t.Add("A", 1);
  EXPECT_EQ(p->GetOwner(), t.atom);
  EXPECT_EQ(t.atom->parent, t.object);
  EXPECT_EQ(t.object->parent, &t.group);

  CPropertyItem stranger(1);
  stranger.name = "A";
  EXPECT_EQ(t.atom->properties.Take(&stranger), nullptr);  // equal, but not the same record
  EXPECT_EQ(t.atom->GetPropertyCount(), 1);

  auto kept = t.atom->properties.Take(p);
  ASSERT_EQ(kept.get(), p);
  EXPECT_EQ(t.atom->GetPropertyCount(), 0);
  EXPECT_EQ(t.atom->properties.Take(p), nullptr);
}

TEST(RecordsTest, IncomingLinksAreUniqueAndRemovalMovesTheLast) {
  CPropertyItem p(1);
  p.AddIncomingLink(5);
  p.AddIncomingLink(5);
  EXPECT_EQ(p.GetIncomingLinkCount(), 1);
  p.AddIncomingLink(6);
  p.AddIncomingLink(7);
  p.RemoveIncomingLink(6);
  ASSERT_EQ(p.GetIncomingLinkCount(), 2);
  EXPECT_EQ(p.GetIncomingLink(0)->sourceId, 5u);
  EXPECT_EQ(p.GetIncomingLink(1)->sourceId, 7u);
  p.RemoveIncomingLink(99);
  EXPECT_EQ(p.GetIncomingLinkCount(), 2);
  EXPECT_EQ(p.FindIncomingLink(7), 1);
  EXPECT_EQ(p.FindIncomingLink(6), -1);
}

TEST(RecordsTest, SetRawValueTellsOnlyChangesOfRegisteredProperties) {
  RecordingSink sink;
  CDocumentEvents events;
  events.AddObserver(&sink);
  CIdMap ids;
  ids.SetEvents(&events);
  CPropertyItem p(42);
  p.SetRawValue(uint32_t(5));  // in no registry yet: nobody hears it
  p.InitRawValue(0);
  ids.SetAt(42, &p);

  uint32_t zero = 0;
  p.SetRawValue(&zero, 4);
  EXPECT_TRUE(sink.posts.empty());

  const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  p.SetRawValue(eight, 8);  // only four bytes are taken
  ASSERT_EQ(sink.posts.size(), 1u);
  EXPECT_EQ(sink.posts[0], std::make_pair(42u, 0x04030201u));
  EXPECT_EQ(p.GetRawValue(), 0x04030201u);

  const unsigned char two[2] = {0xFF, 0xFF};
  p.SetRawValue(two, 2);  // the upper bytes become zero
  EXPECT_EQ(p.GetRawValue(), 0xFFFFu);
  EXPECT_EQ(sink.posts.size(), 2u);
}

TEST(RecordsTest, FindChildMatchesNamesAndPropertyAssignments) {
  Tree t;
  CPropertyItem* speed = t.Add("Speed", 1);
  t.Add("=x", 2);
  EXPECT_EQ(FindChild(t.atom, "Speed=12"), speed);
  EXPECT_EQ(FindChild(t.atom, "Speed"), speed);
  EXPECT_EQ(FindChild(t.atom, "speed"), nullptr);
  EXPECT_EQ(FindChild(t.atom, "=x")->id, 2u);  // a leading '=' is part of the name
  EXPECT_EQ(FindChild(t.object, "AI"), t.atom);
  EXPECT_EQ(FindChild(&t.group, "Pump"), t.object);
  EXPECT_EQ(FindChild(speed, "Speed"), nullptr);
  EXPECT_EQ(FindChild(nullptr, "Speed"), nullptr);
}

TEST(RecordsTest, DecimalsComeFromDecPoint) {
  Tree t;
  CPropertyItem* v = t.Add("V", 1);
  CPropertyItem* dp = t.Add("DecPoint", 2);
  EXPECT_EQ(v->GetDecimals(), 0);
  v->decimalPoint = dp;
  for (auto [raw, decimals] : {std::pair{5u, 2}, {3u, 0}, {1u, 2}, {0xFFFFFFFFu, 4}}) {
    dp->SetRawValue(raw);
    EXPECT_EQ(v->GetDecimals(), decimals) << raw;
  }
}

TEST(RecordsTest, RemovingDecPointLeavesNoPointerToIt) {
  CTarnelDoc doc;
  CAtom* atom = doc.NewAtom(doc.NewObject(doc.NewGroup("Logic")));
  CPropertyItem* v = doc.NewProperty(atom);
  CPropertyItem* dp = doc.NewProperty(atom, [](CPropertyItem& p) {
    p.name = "DecPoint";
    return true;
  });
  doc.RefreshDecimalPoints(atom);
  ASSERT_EQ(v->decimalPoint, dp);
  EXPECT_TRUE(doc.RemoveRecord(dp));
  EXPECT_EQ(v->decimalPoint, nullptr);
  EXPECT_EQ(v->GetDecimals(), 0);
}

}  // namespace
