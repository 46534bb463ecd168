// Several properties edited at once: common and mixed fields, only the changed fields applied,
// links kept in step.
#include <gtest/gtest.h>

#include "model/bulk_property_edit.h"
#include "model/document.h"
#include "model/value_types.h"

namespace {

class BulkPropertyEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    CAtom* atom = doc.NewAtom(doc.NewObject(doc.Groups().At(1)));
    for (int i = 0; i < 3; ++i) p[i] = doc.NewProperty(atom);
    target = doc.NewProperty(atom);
    p[0]->typeCode = p[1]->typeCode = p[2]->typeCode = kTypeInt;
    p[0]->valueText = "5";
    p[1]->valueText = "5";
    p[2]->valueText = "7";
    p[0]->flags = 0x03;  // bit 0 common, bit 1 mixed
    p[1]->flags = 0x01;
    p[2]->flags = 0x41;  // bit 6 is no field of the form
  }
  std::vector<const CPropertyItem*> All() const { return {p[0], p[1], p[2]}; }

  CTarnelDoc doc;
  CPropertyItem* p[3] = {};
  CPropertyItem* target = nullptr;
};

TEST_F(BulkPropertyEditTest, CommonAndMixedFields) {
  CBulkPropertyEdit edit(All());
  EXPECT_EQ(edit.Count(), 3);
  EXPECT_FALSE(edit.TypeMixed());
  EXPECT_EQ(edit.Type(), kTypeInt);
  EXPECT_TRUE(edit.ValueMixed());
  EXPECT_FALSE(edit.FlagMixed(0));
  EXPECT_TRUE(edit.Flag(0));
  EXPECT_TRUE(edit.FlagMixed(1));
  EXPECT_FALSE(edit.FlagMixed(2));
  EXPECT_FALSE(edit.Flag(2));
  EXPECT_FALSE(edit.AnyChanged());

  CBulkPropertyEdit firstTwo({p[0], p[1]});
  EXPECT_FALSE(firstTwo.ValueMixed());
  EXPECT_EQ(firstTwo.Value(), "5");
}

TEST_F(BulkPropertyEditTest, OnlyChangedFieldsAreApplied) {
  CBulkPropertyEdit edit(All());
  edit.SetFlag(2, true);
  edit.SetFlag(0, false);
  for (CPropertyItem* q : p) EXPECT_TRUE(edit.ApplyTo(doc.Ids(), *q));
  // Values, the type and the mixed bit 1 stay; bit 6 is untouched.
  EXPECT_EQ(p[0]->valueText, "5");
  EXPECT_EQ(p[2]->valueText, "7");
  EXPECT_EQ(p[0]->flags, 0x06);
  EXPECT_EQ(p[1]->flags, 0x04);
  EXPECT_EQ(p[2]->flags, 0x44);
  EXPECT_EQ(p[2]->typeCode, kTypeInt);

  CBulkPropertyEdit value(All());
  value.SetValue("12");
  value.SetType(kTypeShort);
  for (CPropertyItem* q : p) value.ApplyTo(doc.Ids(), *q);
  for (CPropertyItem* q : p) {
    EXPECT_EQ(q->valueText, "12");
    EXPECT_EQ(q->typeCode, kTypeShort);
    EXPECT_EQ(q->GetRawValue(), 12u);
  }
  // Nothing set: nothing changes.
  CBulkPropertyEdit none(All());
  EXPECT_FALSE(none.ApplyTo(doc.Ids(), *p[0]));
}

TEST_F(BulkPropertyEditTest, LinksFollowTheTypeAndValue) {
  CBulkPropertyEdit link({p[0], p[1]});
  link.SetValue(std::to_string(target->id));
  link.SetType(kTypeLinkTo);
  link.ApplyTo(doc.Ids(), *p[0]);
  link.ApplyTo(doc.Ids(), *p[1]);
  EXPECT_EQ(p[0]->typeCode, kTypeLinkTo);
  ASSERT_EQ(target->GetIncomingLinkCount(), 2);

  CBulkPropertyEdit unlink({p[0], p[1]});
  unlink.SetType(kTypeInt);
  unlink.ApplyTo(doc.Ids(), *p[0]);
  EXPECT_EQ(target->GetIncomingLinkCount(), 1);
  EXPECT_EQ(target->GetIncomingLink(0)->sourceId, p[1]->id);

  // A link to nothing is not taken: the type stays.
  CBulkPropertyEdit broken({p[2]});
  broken.SetValue("60000");
  broken.SetType(kTypeLinkTo);
  broken.ApplyTo(doc.Ids(), *p[2]);
  EXPECT_EQ(p[2]->typeCode, kTypeInt);
  EXPECT_EQ(p[2]->valueText, "60000");
}

}  // namespace
