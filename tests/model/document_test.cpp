#include <gtest/gtest.h>

#include "model/consistency.h"
#include "model/document.h"
#include "model/value_types.h"

namespace {

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { doc.OnNewDocument(); }
  CBase* Group(int i) { return doc.Groups().At(size_t(i)); }
  CPropertyItem* Prop(CAtom* atom, const char* name, int type, const char* value) {
    CPropertyItem* p = doc.NewProperty(atom);
    p->name = name;
    p->typeCode = uint8_t(type);
    p->valueText = value;
    return p;
  }
  CTarnelDoc doc;
};

TEST_F(DocumentTest, CreationChecksTheParentKindBeforeDrawingAnIdentifier) {
  EXPECT_EQ(doc.NewAtom(Group(0)), nullptr);
  EXPECT_EQ(doc.NewProperty(Group(0)), nullptr);
  CObj* o = doc.NewObject(Group(0));
  EXPECT_EQ(o->id, 4u);
  EXPECT_EQ(o->parent, Group(0));
  CObj* inner = doc.NewObject(o);
  EXPECT_EQ(inner->parent, o);
  CAtom* a = doc.NewAtom(inner);
  EXPECT_EQ(doc.NewObject(a), nullptr);
  EXPECT_EQ(a->id, 6u);

  bool asked = false;
  EXPECT_EQ(doc.NewProperty(a,
                            [&](CPropertyItem&) {
                              asked = true;
                              return false;
                            }),
            nullptr);
  EXPECT_TRUE(asked);
  EXPECT_EQ(a->GetPropertyCount(), 0);
  CPropertyItem* p = doc.NewProperty(a, [](CPropertyItem& p) {
    p.name = "Named";
    return true;
  });
  EXPECT_EQ(p->id, 7u);  // the cancelled dialog used no number
  EXPECT_EQ(p->name, "Named");
  EXPECT_EQ(p->GetOwner(), a);
}

TEST_F(DocumentTest, RebuildResolvesLinksOnceAndClearsHistoryInHardware) {
  CAtom* hw = doc.NewAtom(doc.NewObject(Group(0)));
  CAtom* logic = doc.NewAtom(doc.NewObject(Group(1)));
  CPropertyItem* target = Prop(logic, "T", kTypeInt, "1");
  CPropertyItem* link = Prop(hw, "L", kTypeLinkTo, std::to_string(target->id).c_str());
  CPropertyItem* letters = Prop(logic, "X", kTypeLinkTo, "abc");
  CPropertyItem* toGroup = Prop(logic, "G", kTypeLinkTo, "1");
  link->SetFlag(0);
  target->SetFlag(0);
  doc.RebuildTree();
  doc.RebuildTree();
  ASSERT_EQ(target->GetIncomingLinkCount(), 1);
  EXPECT_EQ(target->GetIncomingLink(0)->sourceId, link->id);
  EXPECT_FALSE(link->IsFlagSet(0));   // under "Hardware"
  EXPECT_TRUE(target->IsFlagSet(0));  // under "Logic"
  EXPECT_EQ(letters->GetIncomingLinkCount(), 0);
  EXPECT_EQ(toGroup->GetIncomingLinkCount(), 0);
  auto problems = CheckConsistency(doc);
  ASSERT_EQ(problems.size(), 2u);  // "abc" and the link to a group
  EXPECT_NE(problems[0].find("names no property"), std::string::npos);
}

TEST_F(DocumentTest, CopyIntoMakesFreshRecordsAndLeavesTypeAndLinksBehind) {
  CObj* o = doc.NewObject(Group(1));
  o->name = "Src";
  CObj* nested = doc.NewObject(o);
  nested->name = "Nested";
  CAtom* atom = doc.NewAtom(o);
  atom->name = "A";
  atom->type = 5;
  CPropertyItem* v = Prop(atom, "V", kTypeInt, "3");
  v->flags = 0x12;
  v->eoc = true;
  CPropertyItem* l = Prop(atom, "L", kTypeLinkTo, std::to_string(v->id).c_str());
  doc.RebuildTree();

  auto* copy = static_cast<CObj*>(doc.CopyInto(o, o));  // into itself: no endless walk
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(o->GetChildCount(), 3);
  ASSERT_EQ(copy->GetChildCount(), 2);
  EXPECT_EQ(copy->GetChild(0)->name, "Nested");
  auto* atomCopy = AsAtom(copy->GetChild(1));
  ASSERT_NE(atomCopy, nullptr);
  EXPECT_EQ(atomCopy->type, 0);
  ASSERT_EQ(atomCopy->GetPropertyCount(), 2);
  CPropertyItem* v2 = atomCopy->GetProperty(0);
  EXPECT_NE(v2->id, v->id);
  EXPECT_EQ(v2->flags, 0x12);
  EXPECT_TRUE(v2->eoc);
  EXPECT_EQ(v2->GetIncomingLinkCount(), 0);
  EXPECT_EQ(atomCopy->GetProperty(1)->valueText, l->valueText);
  doc.RebuildTree();
  EXPECT_EQ(v->GetIncomingLinkCount(), 2);  // the copied link points at the same target
  EXPECT_TRUE(CheckConsistency(doc).empty());
}

TEST_F(DocumentTest, CopyIntoADescendantCopiesTheBranchAsItWas) {
  CObj* o = doc.NewObject(Group(1));
  CObj* nested = doc.NewObject(o);
  doc.NewAtom(nested);
  auto* copy = static_cast<CObj*>(doc.CopyInto(o, nested));
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->GetChildCount(), 1);  // the copy of "nested" ...
  auto* nestedCopy = static_cast<CObj*>(copy->GetChild(0));
  ASSERT_EQ(nestedCopy->GetChildCount(), 1);  // ... holds the atom, not the copy itself
  EXPECT_EQ(GetKind(nestedCopy->GetChild(0)), kKindAtom);
  EXPECT_EQ(doc.Ids().Count(), 3 + 3 + 3);
}

TEST_F(DocumentTest, CopyThatRunsOutOfIdentifiersLeavesNothingBehind) {
  CObj* o = doc.NewObject(Group(1));
  CAtom* a = doc.NewAtom(o);
  for (int i = 0; i < 10; ++i) doc.NewProperty(a);
  while (doc.Ids().Count() < 0xFFFF - 5) doc.NewObject(Group(2));
  EXPECT_EQ(doc.CopyInto(o, Group(0)), nullptr);
  EXPECT_EQ(Group(0)->GetChildCount(), 0);
  EXPECT_EQ(doc.Ids().Count(), 0xFFFF - 5);
}

}  // namespace
