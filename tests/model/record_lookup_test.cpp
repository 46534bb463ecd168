// Finding records by path (the exact path and the structure tree's rules), link targets, depth
// and the properties of a branch.
#include "model/record_lookup.h"

#include <gtest/gtest.h>

#include "model/document.h"
#include "model/value_types.h"

namespace {

struct Lookup : ::testing::Test {
  CTarnelDoc doc;
  void SetUp() override {
    doc.OnNewDocument();
    doc.RebuildTree();
  }
  CObj* AddObject(CRecord* parent, const std::string& name) { return doc.NewObject(parent, name); }
  CAtom* AddAtom(CRecord* parent, const std::string& name) { return doc.NewAtom(parent, name); }
  CPropertyItem* AddProperty(CRecord* atom, const std::string& name, int type = kTypeInt,
                             const std::string& value = "1") {
    return doc.NewProperty(atom, [&](CPropertyItem& p) {
      p.name = name;
      p.typeCode = uint8_t(type);
      p.valueText = value;
      return true;
    });
  }
  CRecord* Find(const std::string& path) { return FindRecordByTreePath(doc, path, nullptr, 0); }
};

TEST_F(Lookup, ExactPathWithDuplicateNamesAndOddCharacters) {
  CBase* hw = doc.Groups().At(0);
  CObj* first = AddObject(hw, "dup");
  CAtom* onlyInFirst = AddAtom(first, "a");
  CObj* second = AddObject(hw, "dup");
  CAtom* inSecond = AddAtom(second, "x");
  CPropertyItem* v = AddProperty(inSecond, "v");
  // Names may hold slashes, spaces, "=" and windows-1251 letters; a name may be empty.
  CObj* slash = AddObject(hw, "a/b");
  CAtom* plain = AddAtom(AddObject(AddObject(hw, "a"), "b"), "c");
  CAtom* slashed = AddAtom(slash, "c");
  CPropertyItem* odd = AddProperty(slashed, "\xcd\xe0\xf1\xee\xf1 1=2");
  CPropertyItem* unnamed = AddProperty(slashed, "");

  EXPECT_EQ(FindRecordByPath(doc, "/Hardware/dup"), first);  // the first in tree order
  EXPECT_EQ(FindRecordByPath(doc, "/Hardware/dup/a"), onlyInFirst);
  EXPECT_EQ(FindRecordByPath(doc, "/Hardware/dup/x/v"), v);  // found in the second "dup"
  EXPECT_EQ(FindRecordsByPath(doc, "/Hardware/dup"), (std::vector<CRecord*>{first, second}));
  // "a/b" then "c", or "a" then "b" then "c": both are read, in tree order.
  EXPECT_EQ(FindRecordsByPath(doc, "/Hardware/a/b/c"), (std::vector<CRecord*>{slashed, plain}));
  EXPECT_EQ(FindRecordByPath(doc, GetRecordPath(odd)), odd);
  EXPECT_EQ(FindRecordByPath(doc, GetRecordPath(unnamed)), unnamed);
  EXPECT_EQ(FindPropertyByPath(doc, "/Hardware/a/b/c/"), unnamed);
  EXPECT_EQ(FindPropertyByPath(doc, "/Hardware/dup/x"), nullptr);  // an atom is no property

  for (const char* missing : {"", "/", "Hardware", "/hardware", "/Hardware/dup/", "/Hardware//",
                              "/Hardware/dup/x/v/", "/Hardware/dup/x/v/w", "/Hardware/du"})
    EXPECT_EQ(FindRecordByPath(doc, missing), nullptr) << missing;
  // Every record is found again by its own path.
  for (const CRecord* r : {static_cast<CRecord*>(hw), static_cast<CRecord*>(second),
                           static_cast<CRecord*>(inSecond), static_cast<CRecord*>(slash)}) {
    std::vector<CRecord*> all = FindRecordsByPath(doc, GetRecordPath(r));
    EXPECT_NE(std::find(all.begin(), all.end(), r), all.end()) << GetRecordPath(r);
  }
}

TEST_F(Lookup, FindByPathFollowsTheTreeRules) {
  CBase* hw = doc.Groups().At(0);
  EXPECT_EQ(Find("/Logic"), doc.Groups().At(1));  // an empty group ends the path
  CObj* a = AddObject(hw, "dup");
  CAtom* y = AddAtom(a, "y");
  CObj* b = AddObject(hw, "dup");
  CAtom* atom = AddAtom(b, "x");
  AddProperty(atom, "v", 0, "");
  EXPECT_EQ(Find("/Hardware"), nullptr);               // a group with children is no end
  EXPECT_EQ(Find("/Hardware/dup"), nullptr);           // neither is an object
  EXPECT_EQ(Find("/Hardware/dup/y"), y);               // a childless atom is
  EXPECT_EQ(Find("/Hardware/dup/x/v"), nullptr);       // no backtracking into the second "dup"
  EXPECT_EQ(Find("/Hardware/dup/y/deeper/still"), y);  // runs past a childless record
  EXPECT_EQ(Find("/hardware/dup"), nullptr);
  EXPECT_EQ(Find(""), nullptr);
  EXPECT_EQ(Find("/"), nullptr);
  EXPECT_EQ(FindRecordByTreePath(doc, "/x/v", b, 0), atom->GetProperty(0));
  CTarnelDoc empty;
  EXPECT_EQ(FindRecordByTreePath(empty, "/Hardware", nullptr, 0), nullptr);
}

TEST_F(Lookup, TheLinksObjectHoldsTheAtomOfTheProperty) {
  CObj* pump = AddObject(doc.Groups().At(1), "Pump");
  CPropertyItem* links = AddProperty(AddAtom(pump, "Conn"), "Links");
  EXPECT_EQ(LinksObjectOf(links), pump);
  EXPECT_EQ(LinksObjectOf(nullptr), nullptr);
  EXPECT_EQ(LinksObjectOf(doc.Groups().At(0)), nullptr);
}

TEST_F(Lookup, AKeptPropertyIsFoundAgainByPathThenByIdentifier) {
  CAtom* atom = AddAtom(AddObject(doc.Groups().At(1), "Pump"), "AI");
  CPropertyItem* level = AddProperty(atom, "Level");
  CPropertyItem* other = AddProperty(atom, "Other");
  auto none = [](uint32_t) { return false; };
  EXPECT_EQ(FindKeptProperty(doc, level->id, "/Logic/Pump/AI/Level", none, false), level);
  // Another identifier at the path (new contents): the path wins unless another entry has it.
  EXPECT_EQ(FindKeptProperty(doc, 0xFFF0, "/Logic/Pump/AI/Level", none, false), level);
  auto levelTaken = [&](uint32_t id) { return id == level->id; };
  EXPECT_EQ(FindKeptProperty(doc, 0xFFF0, "/Logic/Pump/AI/Level", levelTaken, false), nullptr);
  // Renamed: kept by its identifier only when asked to follow renames.
  level->name = "Height";
  EXPECT_EQ(FindKeptProperty(doc, level->id, "/Logic/Pump/AI/Level", none, true), level);
  EXPECT_EQ(FindKeptProperty(doc, level->id, "/Logic/Pump/AI/Level", none, false), nullptr);
  // ... unless another property took the old path.
  other->name = "Level";
  EXPECT_EQ(FindKeptProperty(doc, level->id, "/Logic/Pump/AI/Level", none, true), other);
}

TEST_F(Lookup, LinkTargetsDepthAndTheProperties) {
  CObj* o = AddObject(doc.Groups().At(0), "o");
  CObj* inner = AddObject(o, "inner");
  CAtom* at = AddAtom(inner, "at");
  CPropertyItem* target = AddProperty(at, "t");
  CPropertyItem* link = AddProperty(at, "l", kTypeLinkTo, std::to_string(target->id));
  CPropertyItem* toAtom = AddProperty(at, "la", kTypeLinkTo, std::to_string(at->id));
  CPropertyItem* numeric = AddProperty(at, "n", kTypeInt, std::to_string(target->id));
  CPropertyItem* dangling = AddProperty(at, "d", kTypeLinkTo, "65000");
  CAtom* other = AddAtom(o, "other");
  CPropertyItem* last = AddProperty(other, "z");

  EXPECT_EQ(LinkTargetOf(doc, link), target);
  EXPECT_EQ(LinkTargetOf(doc.Ids(), link), target);
  for (const CPropertyItem* p : {toAtom, numeric, dangling, static_cast<CPropertyItem*>(nullptr)})
    EXPECT_EQ(LinkTargetOf(doc, p), nullptr);

  EXPECT_EQ(DepthOf(nullptr), 0);
  EXPECT_EQ(DepthOf(doc.Groups().At(0)), 1);
  EXPECT_EQ(DepthOf(target), 5);

  std::vector<CPropertyItem*> props;
  CollectProperties(o, &props);
  EXPECT_EQ(props, (std::vector<CPropertyItem*>{target, link, toAtom, numeric, dangling, last}));
  props.clear();
  CollectProperties(last, &props);
  CollectProperties(nullptr, &props);
  EXPECT_EQ(props, std::vector<CPropertyItem*>{last});
}

}  // namespace

TEST(LinkTemplates, OnlyNamesBelowTheProgramFolder) {
  EXPECT_EQ(LinkTemplateName("t.xml"), "t.xml");
  EXPECT_EQ(LinkTemplateName("sub\\t.xml"), "sub/t.xml");
  EXPECT_EQ(LinkTemplateName("a..b/t.xml"), "a..b/t.xml");
  for (const char* bad : {"../t.xml", "sub/../../t.xml", "..\\t.xml", "sub/..", "/etc/passwd",
                          "\\\\server\\share\\t.xml", "C:\\t.xml", "c:t.xml", ":/res.xml", ""})
    EXPECT_EQ(LinkTemplateName(bad), "") << bad;
  EXPECT_EQ(LinkTemplateName(std::string_view("t\0.xml", 6)), "");
}
