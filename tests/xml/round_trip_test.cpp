// A large generated document exported and imported into an empty document: the same tree,
// fresh identifiers, links pointing at the new copies.
#include <gtest/gtest.h>

#include <unordered_map>

#include "model/value_types.h"
#include "sample_base.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"
#include "xml_test_util.h"

namespace {

class RoundTrip {
 public:
  RoundTrip(const CTarnelDoc& from, const CTarnelDoc& to) : from_(from), to_(to) {}

  // Walks both trees side by side; fills the map from old to new identifiers.
  void Compare(const CRecord* a, const CRecord* b) {
    ASSERT_EQ(a->Kind(), b->Kind()) << GetRecordPath(a);
    ASSERT_EQ(a->name, b->name) << GetRecordPath(a);
    ASSERT_EQ(to_.LookupRecord(b->id), b) << "copy not registered: " << GetRecordPath(b);
    idMap_[a->id] = b->id;
    switch (a->Kind()) {
      case kKindGroup:
      case kKindObject: {
        auto* ha = static_cast<const CChildHolder*>(a);
        auto* hb = static_cast<const CChildHolder*>(b);
        ASSERT_EQ(ha->GetChildCount(), hb->GetChildCount()) << GetRecordPath(a);
        for (int i = 0; i < ha->GetChildCount(); ++i) Compare(ha->GetChild(i), hb->GetChild(i));
        break;
      }
      case kKindAtom: {
        auto* aa = static_cast<const CAtom*>(a);
        auto* ab = static_cast<const CAtom*>(b);
        ASSERT_EQ(aa->type, ab->type);
        ASSERT_EQ(aa->GetPropertyCount(), ab->GetPropertyCount());
        for (int i = 0; i < aa->GetPropertyCount(); ++i)
          Compare(aa->GetProperty(i), ab->GetProperty(i));
        break;
      }
      default: {
        auto* pa = static_cast<const CPropertyItem*>(a);
        auto* pb = static_cast<const CPropertyItem*>(b);
        ASSERT_EQ(pa->flags & 0x3F, pb->flags) << GetRecordPath(a);
        if (pa->typeCode == kTypeLinkTo) {
          links_.push_back({pa, pb});
        } else {
          ASSERT_EQ(pa->typeCode, pb->typeCode) << GetRecordPath(a);
          ASSERT_EQ(pa->valueText, pb->valueText) << GetRecordPath(a);
        }
      }
    }
  }

  // Every link points at the copy of its old target and is listed there; a link that named
  // nothing is written empty and comes back as a BIN property.
  void CompareLinks() {
    int resolved = 0;
    for (auto [pa, pb] : links_) {
      const CRecord* oldTarget = from_.LookupRecord(uint32_t(AtoI(pa->valueText)));
      if (!oldTarget) {
        EXPECT_EQ(pb->typeCode, kTypeBin);
        EXPECT_EQ(pb->valueText, "");
        continue;
      }
      ++resolved;
      ASSERT_EQ(pb->typeCode, kTypeLinkTo);
      uint32_t newTarget = idMap_.at(oldTarget->id);
      ASSERT_EQ(pb->valueText, std::to_string(newTarget));
      auto* t = AsProperty(to_.LookupRecord(newTarget));
      ASSERT_NE(t, nullptr);
      EXPECT_GE(t->FindIncomingLink(pb->id), 0);
    }
    EXPECT_GT(resolved, 1000);
  }

 private:
  const CTarnelDoc& from_;
  const CTarnelDoc& to_;
  std::unordered_map<uint32_t, uint32_t> idMap_;
  std::vector<std::pair<const CPropertyItem*, const CPropertyItem*>> links_;
};

TEST(XmlRoundTripTest, LargeDocumentThroughAFile) {
  CTarnelDoc from;
  BuildSampleBase(from, 65535);
  TempDir dir;
  std::string path = dir.Path("all.xml");
  CExportFile file(from, nullptr, path);
  ASSERT_TRUE(file.Export()) << file.GetError();
  std::string lint;
  EXPECT_TRUE(XmllintAccepts(path, &lint)) << lint.substr(0, 500);

  CImportParser parser;
  ASSERT_TRUE(parser.Load(path)) << parser.GetErrorDetail();
  CTarnelDoc to;  // empty: no groups
  auto root = FillImportTree(parser, nullptr);
  ImportOutcome outcome = ApplyImport(to, *root, nullptr);
  EXPECT_EQ(outcome.merge.notCopied, 0);
  EXPECT_EQ(to.Ids().Count(), from.Ids().Count());

  ASSERT_EQ(to.Groups().Count(), from.Groups().Count());
  RoundTrip rt(from, to);
  for (int i = 0; i < from.Groups().Count(); ++i) {
    rt.Compare(from.Groups().At(i), to.Groups().At(i));
    if (::testing::Test::HasFatalFailure()) return;
  }
  rt.CompareLinks();
}

}  // namespace
