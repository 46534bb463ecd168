// Finding records by name, path and identifier, Cyrillic case folding, and the links into a
// branch.
#include <gtest/gtest.h>

#include "model/document.h"
#include "model/record_search.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

class RecordSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    boiler = doc.NewObject(doc.Groups().At(1));
    boiler->name = "\xCA\xEE\xF2\xB8\xEB";  // "Котёл"
    burner = doc.NewObject(boiler);
    burner->name = "\xC3\xEE\xF0\xE5\xEB\xEA\xE0";  // "Горелка"
    flame = doc.NewAtom(burner);
    flame->name = "Flame";
    temp = doc.NewProperty(flame);
    temp->name = "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0";  // "Температура"
    CAtom* other = doc.NewAtom(doc.NewObject(doc.Groups().At(2)));
    other->name = "Link";
    link = doc.NewProperty(other);
    link->name = "Source";
    link->typeCode = kTypeLinkTo;
    link->valueText = std::to_string(temp->id);
    inner = doc.NewProperty(flame);
    inner->name = "Self";
    inner->typeCode = kTypeLinkTo;
    inner->valueText = std::to_string(temp->id);
    broken = doc.NewProperty(other);
    broken->typeCode = kTypeLinkTo;
    broken->valueText = "60000";  // names nothing
    doc.RebuildTree();
  }
  std::vector<uint32_t> Find(const char* text, FindMode mode) {
    return FindRecords(doc, text, mode);
  }

  CTarnelDoc doc;
  CObj* boiler;
  CObj* burner;
  CAtom* flame;
  CPropertyItem* temp;
  CPropertyItem* link;
  CPropertyItem* inner;
  CPropertyItem* broken;
};

TEST(Cp1251Folding, EveryCapitalOfTheCodePageHasItsSmallLetter) {
  // Ё/ё, А..Я, and the Ukrainian, Belarusian, Serbian and Macedonian letters.
  EXPECT_EQ(FoldCp1251("\xA8\xC0\xDF\xB2\xAF\xAA\xA5\xA1\x80\x81\x8A\x8C\x8D\x8E\x8F\xA3\xBD"),
            "\xB8\xE0\xFF\xB3\xBF\xBA\xB4\xA2\x90\x83\x9A\x9C\x9D\x9E\x9F\xBC\xBE");
  EXPECT_EQ(FoldCp1251("AZaz09"), "azaz09");
  // Small letters, punctuation and the undefined byte stay.
  for (int c = 0; c < 256; ++c) {
    char folded = FoldCp1251(char(c));
    EXPECT_EQ(FoldCp1251(folded), folded) << c;
  }
  EXPECT_EQ(FoldCp1251('\x98'), '\x98');
  EXPECT_EQ(FoldCp1251('\xB9'), '\xB9');  // №
  // Ё and Е stay different letters.
  EXPECT_NE(FoldCp1251('\xA8'), FoldCp1251('\xC5'));
}

TEST_F(RecordSearchTest, ByNameIgnoresCaseInBothAlphabets) {
  EXPECT_EQ(Find("\xEA\xEE\xF2\xA8\xCB", FindMode::kName),  // "котЁЛ"
            std::vector<uint32_t>{boiler->id});
  EXPECT_EQ(Find("\xD0\xC5\xCB", FindMode::kName),  // "РЕЛ" inside "Горелка"
            std::vector<uint32_t>{burner->id});
  EXPECT_EQ(Find("flAME", FindMode::kName), std::vector<uint32_t>{flame->id});
  EXPECT_EQ(Find("\xCA\xEE\xF2\xE5\xEB", FindMode::kName).size(), 0u);  // "Котел": е is not ё
  EXPECT_TRUE(Find("", FindMode::kName).empty());
  // Tree order: group, branch, properties after their atom.
  EXPECT_EQ(Find("e", FindMode::kName),
            (std::vector<uint32_t>{doc.Groups().At(0)->id, flame->id, inner->id,
                                   doc.Groups().At(2)->id, link->id}));
}

TEST_F(RecordSearchTest, ByPathMatchesAnyPartOfTheFullPath) {
  // "/logic/котёл/горелка/flame/т"
  EXPECT_EQ(
      Find("/logic/\xEA\xEE\xF2\xB8\xEB/\xE3\xEE\xF0\xE5\xEB\xEA\xE0/flame/\xF2", FindMode::kPath),
      std::vector<uint32_t>{temp->id});
  std::vector<uint32_t> branch = Find("/LOGIC/", FindMode::kPath);
  EXPECT_EQ(branch.size(), 5u);  // below "Logic", not the group itself
  EXPECT_EQ(Find("flame/self", FindMode::kPath), std::vector<uint32_t>{inner->id});
  EXPECT_TRUE(Find("/Logic/Flame", FindMode::kPath).empty());  // paths are not abbreviated
}

TEST_F(RecordSearchTest, ByIdentifierTakesOneDecimalNumber) {
  std::string id = std::to_string(temp->id);
  EXPECT_EQ(Find(id.c_str(), FindMode::kId), std::vector<uint32_t>{temp->id});
  EXPECT_EQ(Find((" " + id + " ").c_str(), FindMode::kId), std::vector<uint32_t>{temp->id});
  for (const char* bad : {"", "x", "7x", "-7", "99999999999", "0x7"})
    EXPECT_TRUE(Find(bad, FindMode::kId).empty()) << bad;
  EXPECT_TRUE(Find("65000", FindMode::kId).empty());
}

TEST_F(RecordSearchTest, ReferencesIntoAPropertyOrABranch) {
  auto refs = FindReferencesTo(doc, temp);
  ASSERT_EQ(refs.size(), 2u);
  EXPECT_EQ(refs[0].sourceId, inner->id);  // tree order: "Logic" before "Network"
  EXPECT_EQ(refs[1].sourceId, link->id);
  EXPECT_EQ(refs[1].targetId, temp->id);
  EXPECT_EQ(FindReferencesTo(doc, boiler).size(), 2u);
  EXPECT_EQ(FindReferencesTo(doc, doc.Groups().At(1)).size(), 2u);
  EXPECT_TRUE(FindReferencesTo(doc, link).empty());
  EXPECT_TRUE(FindReferencesTo(doc, doc.Groups().At(0)).empty());
  EXPECT_TRUE(FindReferencesTo(doc, nullptr).empty());
  // The value decides, not a stale incoming list.
  inner->valueText = std::to_string(link->id);
  EXPECT_EQ(FindReferencesTo(doc, temp).size(), 1u);
  EXPECT_EQ(FindReferencesTo(doc, link).size(), 1u);
}

TEST(RecordSearchLarge, EveryRecordOfTheLargestDocumentIsFoundByIdentifier) {
  CTarnelDoc doc;
  BuildSampleBase(doc, 65535);
  for (uint32_t id : {1u, 4u, 30000u, 65535u}) {
    if (!doc.LookupRecord(id)) continue;
    EXPECT_EQ(FindRecords(doc, std::to_string(id), FindMode::kId), std::vector<uint32_t>{id});
    std::string path = GetRecordPath(doc.LookupRecord(id));
    std::vector<uint32_t> byPath = FindRecords(doc, path, FindMode::kPath);
    EXPECT_NE(std::find(byPath.begin(), byPath.end(), id), byPath.end());
  }
}

}  // namespace
