// The compare engine against hand-built pairs of documents, one kind of difference each, and
// taking differences over: all of them leaves nothing to find, a part of them leaves exactly
// the rest, and the undo engine takes a take-over back to the bytes before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <set>

#include "event_shadow.h"
#include "model/archive.h"
#include "model/base_compare.h"
#include "model/base_takeover.h"
#include "model/consistency.h"
#include "model/document.h"
#include "model/document_diff.h"
#include "model/document_edits.h"
#include "model/shown_path.h"
#include "model/value_types.h"
#include "random_edits.h"
#include "sample_base.h"

namespace {

void Clone(CTarnelDoc& from, CTarnelDoc& to) {
  std::string bytes = from.SaveToBytes();
  ArchiveReader ar(bytes.data(), bytes.size());
  to.TakeContents(CTarnelDoc::ReadContents(ar));
}

std::string WithoutLastId(CTarnelDoc& doc) {
  std::string bytes = doc.SaveToBytes();
  return bytes.substr(0, bytes.size() - 2);
}

CRecord* At(CTarnelDoc& doc, const std::string& path) {
  for (CRecord* r : AllRecords(doc))
    if (GetRecordPath(r) == path) return r;
  ADD_FAILURE() << "no record at " << path;
  return nullptr;
}

CPropertyItem* Prop(CTarnelDoc& doc, CRecord* atom, const char* name, int type,
                    const std::string& value) {
  CPropertyItem* p = doc.NewProperty(atom);
  p->name = name;
  p->typeCode = uint8_t(type);
  p->valueText = value;
  p->UpdateRawFromText();
  return p;
}

// Hardware 1, Logic 2, Network 3; /Logic/Pump 4 with atom AI 5 holding T 6, L 7 (a link to T)
// and F 8; /Logic/Valve 9 with atom DO 10 holding Q 11; /Logic/Fan 12.
void BuildPlant(CTarnelDoc& doc) {
  doc.OnNewDocument();
  CRecord* logic = doc.Groups().At(1);
  CObj* pump = doc.NewObject(logic);
  pump->name = "Pump";
  CAtom* ai = doc.NewAtom(pump);
  ai->name = "AI";
  ai->type = 1;
  Prop(doc, ai, "T", kTypeInt, "5");
  Prop(doc, ai, "L", kTypeLinkTo, "6");
  Prop(doc, ai, "F", kTypeFloat, "1.500");
  CObj* valve = doc.NewObject(logic);
  valve->name = "Valve";
  CAtom* dout = doc.NewAtom(valve);
  dout->name = "DO";
  Prop(doc, dout, "Q", kTypeShort, "3");
  doc.NewObject(logic)->name = "Fan";
  doc.RebuildTree();
}

void MoveTo(CTarnelDoc& doc, CRecord* r, CRecord* parent, int index) {
  doc.MoveRecord(r, parent, index);
}

// "- path", "+ path", "~ path fields", "> old -> new", in the result's order.
std::vector<std::string> Lines(const CompareResult& r) {
  std::vector<std::string> out;
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        out.push_back("- " + r.PathOf(false, d.first));
        break;
      case DifferenceKind::kAdded:
        out.push_back("+ " + r.PathOf(true, d.second));
        break;
      case DifferenceKind::kChanged: {
        std::string fields;
        for (int f = 0; f < kDifferenceFieldCount; ++f)
          if (d.fields & (1 << f))
            fields += std::string(fields.empty() ? "" : ",") + DifferenceFieldName(f);
        out.push_back("~ " + r.PathOf(false, d.first) + " " + fields);
        break;
      }
      case DifferenceKind::kMoved:
        out.push_back("> " + r.PathOf(false, d.first) + " -> " + r.PathOf(true, d.second));
        break;
    }
  }
  return out;
}

// New identifiers for every record (as after an XML import), links following them.
void Renumber(CTarnelDoc& doc, uint32_t offset) {
  for (CRecord* r : AllRecords(doc)) {
    r->id += offset;
    if (CPropertyItem* p = AsProperty(r); p && p->typeCode == kTypeLinkTo)
      p->valueText = std::to_string(AtoI(p->valueText) + int(offset));
  }
  doc.OpenBytes(doc.SaveToBytes(), "renumbered");
}

struct PairCase {
  const char* name;
  std::function<void(CTarnelDoc&)> edit;  // turns the second document into what it compares as
  CompareOptions options;
  std::vector<std::string> want;
};

TEST(BaseCompare, HandBuiltPairsAndTheirTakeOver) {
  const CompareOptions byId, byPath{true, false}, noValues{false, true};
  const PairCase cases[] = {
      {"equal", [](CTarnelDoc&) {}, byId, {}},
      {"rename",
       [](CTarnelDoc& b) { At(b, "/Logic/Pump")->name = "\xCD\xE0\xF1\xEE\xF1"; },
       byId,
       {"~ /Logic/Pump name"}},
      {"retype atom and property",
       [](CTarnelDoc& b) {
         AsAtom(At(b, "/Logic/Pump/AI"))->type = -2;
         AsProperty(At(b, "/Logic/Pump/AI/T"))->typeCode = kTypeShort;
       },
       byId,
       {"~ /Logic/Pump/AI type", "~ /Logic/Pump/AI/T type"}},
      {"flags and end of chain",
       [](CTarnelDoc& b) {
         auto* q = AsProperty(At(b, "/Logic/Valve/DO/Q"));
         q->flags = 5;
         q->eoc = true;
       },
       byId,
       {"~ /Logic/Valve/DO/Q flags,eoc"}},
      {"value, and a pattern under the same text",
       [](CTarnelDoc& b) {
         auto* t = AsProperty(At(b, "/Logic/Pump/AI/T"));
         t->valueText = "7";
         t->UpdateRawFromText();
         float f = 1.5001f;
         uint32_t bits;
         std::memcpy(&bits, &f, 4);
         AsProperty(At(b, "/Logic/Pump/AI/F"))->SetRawValue(bits);  // still "1.500"
       },
       byId,
       {"~ /Logic/Pump/AI/F raw", "~ /Logic/Pump/AI/T value"}},
      {"values left out",
       [](CTarnelDoc& b) {
         auto* t = AsProperty(At(b, "/Logic/Pump/AI/T"));
         t->valueText = "7";
         t->name = "Temp";
       },
       noValues,
       {"~ /Logic/Pump/AI/T name"}},
      {"link retargeted",
       [](CTarnelDoc& b) { AsProperty(At(b, "/Logic/Pump/AI/L"))->valueText = "8"; },
       byId,
       {"~ /Logic/Pump/AI/L link"}},
      {"link becomes a plain value",
       [](CTarnelDoc& b) {
         auto* l = AsProperty(At(b, "/Logic/Pump/AI/L"));
         l->typeCode = kTypeShort;
         l->valueText = "6";
       },
       byId,
       {"~ /Logic/Pump/AI/L type,link"}},
      {"renamed link target leaves the link alone",
       [](CTarnelDoc& b) { At(b, "/Logic/Pump/AI/T")->name = "Temp"; },
       byId,
       {"~ /Logic/Pump/AI/T name"}},
      {"moved across parents",
       [](CTarnelDoc& b) { MoveTo(b, At(b, "/Logic/Fan"), At(b, "/Logic/Valve"), 0); },
       byId,
       {"> /Logic/Fan -> /Logic/Valve/Fan"}},
      {"reordered among siblings",
       [](CTarnelDoc& b) { MoveTo(b, At(b, "/Logic/Fan"), At(b, "/Logic"), 0); },
       byId,
       {"> /Logic/Fan -> /Logic/Fan"}},
      {"removed branch",
       [](CTarnelDoc& b) { DeleteRecord(b, At(b, "/Logic/Valve")); },
       byId,
       {"- /Logic/Valve", "- /Logic/Valve/DO", "- /Logic/Valve/DO/Q"}},
      {"added branch with a link into it",
       [](CTarnelDoc& b) {
         CObj* bus = b.NewObject(At(b, "/Network"));
         bus->name = "Bus";
         CAtom* port = b.NewAtom(bus);
         port->name = "Port";
         CPropertyItem* speed = Prop(b, port, "Speed", kTypeInt, "9600");
         AsProperty(At(b, "/Logic/Pump/AI/L"))->valueText = std::to_string(speed->id);
         Prop(b, port, "Peer", kTypeLinkTo, std::to_string(speed->id));
         b.RebuildTree();
       },
       byId,
       {"~ /Logic/Pump/AI/L link", "+ /Network/Bus", "+ /Network/Bus/Port",
        "+ /Network/Bus/Port/Peer", "+ /Network/Bus/Port/Speed"}},
      {"identifier reused for another record",
       [](CTarnelDoc& b) {
         DeleteRecord(b, At(b, "/Logic/Fan"));  // 12
         auto x = std::make_unique<CPropertyItem>();
         x->name = "X";
         b.RegisterAside(x.get(), 12);
         b.InsertRecord(At(b, "/Logic/Valve/DO"), 0x7FFFFFFF, std::move(x));
       },
       byId,
       {"- /Logic/Fan", "+ /Logic/Valve/DO/X"}},
      {"by path: fresh identifiers match, a rename does not",
       [](CTarnelDoc& b) {
         Renumber(b, 100);
         At(b, "/Logic/Valve/DO/Q")->name = "Q2";
         MoveTo(b, At(b, "/Logic/Fan"), At(b, "/Logic"), 0);
       },
       byPath,
       {"> /Logic/Fan -> /Logic/Fan", "- /Logic/Valve/DO/Q", "+ /Logic/Valve/DO/Q2"}},
  };
  for (const PairCase& c : cases) {
    SCOPED_TRACE(c.name);
    CTarnelDoc a, b;
    BuildPlant(a);
    Clone(a, b);
    c.edit(b);
    CompareResult r = CompareDocuments(a, b, c.options);
    EXPECT_EQ(Lines(r), c.want);
    for (const Difference& d : r.differences) {  // both sides named where they exist
      EXPECT_EQ(d.first >= 0, d.firstId != 0);
      EXPECT_EQ(d.second >= 0, d.secondId != 0);
    }

    TakeOverOutcome outcome;
    ASSERT_TRUE(TakeOverAll(a, r, &outcome));
    EXPECT_EQ(outcome.notTaken, 0);
    EXPECT_TRUE(CompareDocuments(a, b, c.options).Equal());
    EXPECT_EQ(CheckConsistency(a), std::vector<std::string>{});
    if (!c.options.byPath && !c.options.ignoreValues) {
      EXPECT_EQ(WithoutLastId(a), WithoutLastId(b));
    }
  }
}

TEST(BaseCompare, FieldTextsAndLinksShowBothSides) {
  CTarnelDoc a, b;
  BuildPlant(a);
  Clone(a, b);
  auto* l = AsProperty(At(b, "/Logic/Pump/AI/L"));
  l->valueText = "8";
  l->flags = 3;
  AsProperty(At(b, "/Logic/Pump/AI/T"))->typeCode = kTypeShort;
  CompareResult r = CompareDocuments(a, b);
  ASSERT_EQ(r.differences.size(), 2u);
  const Difference& link = r.differences[0];
  EXPECT_EQ(link.fields, kFieldFlags | kFieldLink);
  EXPECT_EQ(link.firstId, 7u);
  EXPECT_EQ(link.secondId, 7u);
  EXPECT_EQ(r.FieldText(link, false, 6), "/Logic/Pump/AI/T");
  EXPECT_EQ(r.FieldText(link, true, 6), "/Logic/Pump/AI/F");
  EXPECT_EQ(r.FieldText(link, true, 2), "3");
  const Difference& type = r.differences[1];
  EXPECT_EQ(r.FieldText(type, false, 1), "INT");
  EXPECT_EQ(r.FieldText(type, true, 1), "SHORT");
  EXPECT_EQ(r.FieldText(type, false, 4), "5");
}

TEST(BaseCompare, ValuesToSendAndWhereAnAddedRecordShows) {
  CTarnelDoc a, b;
  BuildPlant(a);
  Clone(a, b);
  auto set = [](CRecord* r, const char* text) {
    auto* p = AsProperty(r);
    p->valueText = text;
    p->UpdateRawFromText();
  };
  set(At(b, "/Logic/Pump/AI/T"), "9");                          // same type: sent
  set(At(b, "/Logic/Pump/AI/F"), "2.500");                      // same type: sent
  AsProperty(At(b, "/Logic/Valve/DO/Q"))->typeCode = kTypeInt;  // another type: not sent
  set(At(b, "/Logic/Valve/DO/Q"), "4");
  CAtom* added = b.NewAtom(b.NewObject(At(b, "/Logic/Pump")));
  CompareResult r = CompareDocuments(a, b);
  std::vector<std::string> sent;
  for (size_t k : r.ValuesToSend()) sent.push_back(r.PathOf(r.differences[k]));
  EXPECT_EQ(sent, (std::vector<std::string>{"/Logic/Pump/AI/F", "/Logic/Pump/AI/T"}));
  for (const Difference& d : r.differences) {
    if (d.kind != DifferenceKind::kAdded) {
      EXPECT_EQ(r.NearestFirstId(d), d.firstId);
      continue;
    }
    EXPECT_EQ(r.NearestFirstId(d), 4u) << r.PathOf(d);  // the new object's and atom's: Pump
  }
  EXPECT_NE(added, nullptr);
  CompareOptions noValues;
  noValues.ignoreValues = true;
  EXPECT_TRUE(CompareDocuments(a, b, noValues).ValuesToSend().empty());
}

// Lines sort by the bytes of whole paths, though no path is kept: a slash sorts after a space
// and before letters, a name that starts another sorts first, and the added records of the
// second document merge in among the first one's.
TEST(BaseCompare, DifferencesSortByWholePathBytesAcrossBothDocuments) {
  CTarnelDoc a, b;
  a.OnNewDocument();
  b.OnNewDocument();
  CRecord* logic = a.LookupRecord(2);
  CObj* ab = a.NewObject(logic);
  ab->name = "a";
  a.NewObject(ab)->name = "z";
  a.NewObject(logic)->name = "a b";
  a.NewObject(logic)->name = "a";  // a second "a", after "a b" in the list
  CObj* other = b.NewObject(b.LookupRecord(2));
  other->name = "a0";
  b.NewObject(other)->name = "!";
  b.NewObject(b.LookupRecord(2))->name = "a";
  b.NewObject(b.LookupRecord(2))->name = "a/y";  // a slash in a name: compared byte by byte
  a.RebuildTree();
  b.RebuildTree();
  CompareResult r = CompareDocuments(a, b, {true, false});
  EXPECT_EQ(Lines(r), (std::vector<std::string>{"- /Logic/a", "- /Logic/a b", "+ /Logic/a/y",
                                                "- /Logic/a/z", "+ /Logic/a0", "+ /Logic/a0/!"}));
  EXPECT_EQ(r.PathOf(true, r.differences[5].second), "/Logic/a0/!");
  EXPECT_EQ(r.PathOf(false, -1), "");

  // A path over the limit is shown by its end, with the record's identifier.
  CObj* deep = a.NewObject(a.LookupRecord(1));
  deep->name = std::string(3500, 'x');
  CObj* deeper = a.NewObject(deep);
  deeper->name = std::string(1000, 'y') + "end";
  a.RebuildTree();
  std::string whole = GetRecordPath(deeper);
  ASSERT_EQ(whole.size(), 1 + 8 + 1 + 3500 + 1 + 1003u);
  std::string mark = " (id " + std::to_string(deeper->id) + ")";
  std::string shown = "\x85" + whole.substr(whole.size() - (4096 - 1 - mark.size())) + mark;
  EXPECT_EQ(AbbreviatedRecordPath(deeper), shown);
  EXPECT_EQ(AbbreviatedPath(whole, deeper->id), shown);
  EXPECT_EQ(AbbreviatedRecordPath(deep), GetRecordPath(deep));
  r = CompareDocuments(a, b, {true, false});
  auto it = std::find_if(r.differences.begin(), r.differences.end(),
                         [&](const Difference& d) { return d.firstId == deeper->id; });
  ASSERT_NE(it, r.differences.end());
  EXPECT_EQ(r.PathOf(*it), whole);
  EXPECT_EQ(r.ShownPathOf(*it), shown);
}

// The differences name records by their place in the pictures: a document whose records
// changed since the comparison is refused whole.
TEST(BaseCompare, TakeOverRefusesADocumentThatChangedSinceTheComparison) {
  CTarnelDoc a, b;
  BuildPlant(a);
  Clone(a, b);
  At(b, "/Logic/Fan")->name = "Fan2";
  CompareResult r = CompareDocuments(a, b);
  a.NewObject(At(a, "/Logic"))->name = "Late";
  std::string before = a.SaveToBytes();
  EXPECT_FALSE(TakeOverAll(a, r));
  EXPECT_EQ(a.SaveToBytes(), before);
}

std::string Signature(const Difference& d) {
  return std::to_string(int(d.kind)) + ":" + std::to_string(d.firstId) + ":" +
         std::to_string(d.secondId) + ":" + std::to_string(d.fields) + ":" +
         std::to_string(d.acrossParents);
}

TEST(BaseCompare, TakingOverAPartLeavesTheRestAndUndoGivesTheBytesBack) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    CTarnelDoc a, b;
    BuildSampleBase(a, 1500);
    Clone(a, b);
    for (int i = 0; i < 40; ++i) RandomEdit(b, rng);  // an engineer's day on the second one
    b.OpenBytes(b.SaveToBytes(), "edited");
    CompareResult r = CompareDocuments(a, b);
    ASSERT_FALSE(r.Equal());

    std::vector<uint8_t> selected(r.differences.size());
    for (auto& s : selected) s = rng() % 3 == 0;
    std::vector<uint8_t> taken = CloseSelection(r, selected);
    std::multiset<std::string> want;
    for (size_t k = 0; k < taken.size(); ++k)
      if (!taken[k]) want.insert(Signature(r.differences[k]));

    DocumentState before = CaptureState(a);
    std::string beforeBytes = a.SaveToBytes();
    TakeOverOutcome outcome;
    {
      EventShadow shadow(a);  // a take-over that changed a list without telling leaves it behind
      ASSERT_TRUE(TakeOver(a, r, selected, &outcome));
      EXPECT_EQ(shadow.Compare(), "");
    }
    EXPECT_EQ(outcome.notTaken, 0);
    EXPECT_EQ(CheckConsistency(a), std::vector<std::string>{});
    std::multiset<std::string> got;
    for (const Difference& d : CompareDocuments(a, b).differences) got.insert(Signature(d));
    std::vector<std::string> extra, missing;
    std::set_difference(got.begin(), got.end(), want.begin(), want.end(),
                        std::back_inserter(extra));
    std::set_difference(want.begin(), want.end(), got.begin(), got.end(),
                        std::back_inserter(missing));
    EXPECT_EQ(extra, std::vector<std::string>{});
    EXPECT_EQ(missing, std::vector<std::string>{});

    ApplyChange(a, DiffStates(before, CaptureState(a)), false);
    EXPECT_EQ(a.SaveToBytes(), beforeBytes);

    TakeOverAll(a, CompareDocuments(a, b));
    EXPECT_TRUE(CompareDocuments(a, b).Equal());
    EXPECT_EQ(WithoutLastId(a), WithoutLastId(b));
  }
}

}  // namespace
