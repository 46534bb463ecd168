// Properties as table rows and a table brought back: the cells and file the export writes,
// an unchanged table changing nothing, each column's change, the rows refused with their
// lines, and deletion only when asked for.
#include <gtest/gtest.h>

#include "model/base_compare.h"
#include "model/base_takeover.h"
#include "model/document.h"
#include "model/document_diff.h"
#include "model/document_edits.h"
#include "model/document_state.h"
#include "model/property_table.h"
#include "model/record_lookup.h"
#include "model/table_apply.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

// The differences worked out from a table's rows are those a comparison with the document the
// table makes finds: the same records, kinds, fields and texts on both sides, in the same order.
void ExpectSameDifferences(const CompareResult& want, const CompareResult& got) {
  ASSERT_EQ(got.differences.size(), want.differences.size());
  for (size_t k = 0; k < want.differences.size(); ++k) {
    const Difference& w = want.differences[k];
    const Difference& g = got.differences[k];
    SCOPED_TRACE(want.PathOf(w));
    EXPECT_EQ(got.PathOf(g), want.PathOf(w));
    EXPECT_EQ(got.ShownPathOf(g), want.ShownPathOf(w));
    EXPECT_EQ(g.kind, w.kind);
    EXPECT_EQ(g.fields, w.fields);
    EXPECT_EQ(g.firstId, w.firstId);
    EXPECT_EQ(g.secondId, w.secondId);
    for (bool second : {false, true}) {
      EXPECT_TRUE(got.DataOf(g, second).SameContent(want.DataOf(w, second)));
      for (int f = 0; f < kDifferenceFieldCount; ++f)
        EXPECT_EQ(got.FieldText(g, second, f), want.FieldText(w, second, f)) << f << second;
    }
  }
}

class PropertyTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    CRecord* logic = doc.RecordAt(nullptr, 1);
    pump = AddObject(doc, logic, "Pump").record;
    atom = AddAtom(doc, pump, "AI", 0).record;
    t = Add("T", kTypeInt, "-5", 0x21);
    t->eoc = true;
    link = Add("L", kTypeLinkTo, std::to_string(t->id), 0);
    SetLinkTarget(doc, link, t);
    v = Add("V", kTypeFloat, "0.000", 0);
  }
  CPropertyItem* Add(const std::string& name, uint8_t type, const std::string& value,
                     uint8_t flags) {
    return AsProperty(::AddProperty(doc, atom, {name, value, type, flags}).record);
  }
  // Applies the table to the document and returns what changed, as `diff` lists it.
  std::vector<std::string> Apply(const std::string& csv, TableApplyResult* result = nullptr,
                                 TableApplyOptions options = {}) {
    CTarnelDoc before;
    RestoreState(before, CaptureState(doc));
    TableDifferences planned = DiffTable(before, ReadCsv(csv), options);
    TableApplyResult r = ApplyTable(doc, ReadCsv(csv), options);
    if (result) *result = r;
    std::vector<std::string> out;
    CompareResult differences = CompareDocuments(before, doc);
    ExpectSameDifferences(differences, planned.result);
    EXPECT_EQ(planned.refused.size(), r.refused.size());
    for (const Difference& d : differences.differences) {
      std::string line = differences.PathOf(d);
      line += d.kind == DifferenceKind::kAdded     ? " added"
              : d.kind == DifferenceKind::kRemoved ? " removed"
                                                   : "";
      for (int f = 0; f < kDifferenceFieldCount; ++f)
        if (d.kind == DifferenceKind::kChanged && d.fields & (1 << f))
          line +=
              std::string(" ") + DifferenceFieldName(f) + "=" + differences.FieldText(d, true, f);
      out.push_back(line);
    }
    return out;
  }

  CTarnelDoc doc;
  CRecord* pump = nullptr;
  CRecord* atom = nullptr;
  CPropertyItem* t = nullptr;
  CPropertyItem* link = nullptr;
  CPropertyItem* v = nullptr;
};

TEST_F(PropertyTableTest, CellsAndFile) {
  EXPECT_EQ(TableCellText(doc, *t, kColumnPath), "/Logic/Pump/AI/T");
  EXPECT_EQ(TableCellText(doc, *t, kColumnFlags), "1 6");
  EXPECT_EQ(TableCellText(doc, *t, kColumnEoc), "1");
  EXPECT_EQ(TableCellText(doc, *link, kColumnType), "LINK_TO");
  EXPECT_EQ(TableCellText(doc, *link, kColumnLink), "/Logic/Pump/AI/T");
  EXPECT_EQ(TableCellText(doc, *v, kColumnLink), "");
  EXPECT_EQ(TableProperties(doc, nullptr).size(), 3u);
  EXPECT_EQ(TableProperties(doc, doc.RecordAt(nullptr, 0)).size(), 0u);
  EXPECT_EQ(TableProperties(doc, v), std::vector<CPropertyItem*>{v});

  EXPECT_EQ(WriteTableCsv(doc, {t, v}, {';', true, true}),
            "\xEF\xBB\xBFpath;id;type;value;flags;eoc;link\r\n"
            "/Logic/Pump/AI/T;" +
                std::to_string(t->id) +
                ";INT;-5;1 6;1;\r\n"
                "/Logic/Pump/AI/V;" +
                std::to_string(v->id) + ";FLOAT;0.000;;0;\r\n");

  uint8_t bits = 0;
  EXPECT_TRUE(ParseFlagsText("6 2", &bits));
  EXPECT_EQ(bits, 0x22);
  EXPECT_TRUE(ParseFlagsText("", &bits));
  EXPECT_EQ(bits, 0);
  for (const char* bad : {"7", "12", "2;6", "x"}) EXPECT_FALSE(ParseFlagsText(bad, &bits)) << bad;
  int count = 0;
  EXPECT_EQ(FindRecordByPath(doc, "/Logic/Pump/AI", &count), atom);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(FindRecordByPath(doc, "/Logic/Pump/A", &count), nullptr);
  EXPECT_EQ(count, 0);
}

TEST_F(PropertyTableTest, FilterAnyColumnOrOne) {
  AddProperty(doc, atom, {"\xD2\xE5\xEC\xEF", "", kTypeBin, 0});  // "Темп"
  auto matches = [&](const std::string& filter) {
    std::vector<std::string> names;
    TableFilter f(filter);
    for (CPropertyItem* p : TableProperties(doc, nullptr))
      if (f.Matches(doc, *p)) names.push_back(p->name);
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(matches(""), (Names{"T", "L", "V", "\xD2\xE5\xEC\xEF"}));
  EXPECT_EQ(matches("link_to"), Names{"L"});      // the type, case ignored
  EXPECT_EQ(matches("ai/t"), (Names{"T", "L"}));  // the path, and the link's target path
  EXPECT_EQ(matches("path:ai/t"), Names{"T"});
  EXPECT_EQ(matches("\xF2\xE5\xEC"), Names{"\xD2\xE5\xEC\xEF"});  // "тем" finds "Темп"
  EXPECT_EQ(matches("flags:6"), Names{"T"});
  EXPECT_EQ(matches("eoc:1"), Names{"T"});
  EXPECT_EQ(matches("nosuch:x"), Names{});      // no such column: the whole text is searched
  EXPECT_EQ(matches("pump/ai/v"), Names{"V"});  // across the parent's path and the name

  // The parent path a filter keeps is made again once forgotten.
  TableFilter f("pump/ai/");
  EXPECT_TRUE(f.Matches(doc, *t));
  ASSERT_TRUE(RenameRecord(doc, atom, "AO").changed);
  f.ForgetPaths();
  EXPECT_FALSE(f.Matches(doc, *t));
}

TEST_F(PropertyTableTest, UnchangedTableChangesNothing) {
  CTarnelDoc big;
  BuildSampleBase(big, 3000);
  const std::string original = big.SaveToBytes();
  for (bool byId : {false, true}) {
    for (char sep : {',', ';', '\t'}) {
      std::string csv = WriteTableCsv(big, TableProperties(big, nullptr), {sep, true, true});
      TableApplyOptions options;
      options.byId = byId;
      options.deleteMissing = true;
      TableApplyResult r = ApplyTable(big, ReadCsv(csv), options);
      EXPECT_TRUE(r.refused.empty())
          << r.refused.front().line << " " << TableRowProblemText(r.refused.front().problem);
      EXPECT_EQ(r.changed + r.added + r.deleted, 0);
      EXPECT_EQ(big.SaveToBytes(), original);
    }
  }
}

TEST_F(PropertyTableTest, EachColumnChanges) {
  using Lines = std::vector<std::string>;
  const std::string tid = std::to_string(t->id);
  EXPECT_EQ(Apply("path;value\n/Logic/Pump/AI/V;1.5\n"), Lines{"/Logic/Pump/AI/V value=1.5"});
  EXPECT_EQ(Apply("path,type\n/Logic/Pump/AI/V,DOUBLE\n"), Lines{"/Logic/Pump/AI/V type=DOUBLE"});
  EXPECT_EQ(Apply("path,flags\n/Logic/Pump/AI/T,2 6\n"), Lines{"/Logic/Pump/AI/T flags=34"});
  EXPECT_EQ(Apply("path,eoc\n/Logic/Pump/AI/T,0\n"), Lines{"/Logic/Pump/AI/T eoc=false"});
  EXPECT_EQ(Apply("path,link\n/Logic/Pump/AI/L,/Logic/Pump/AI/V\n"),
            Lines{"/Logic/Pump/AI/L link=/Logic/Pump/AI/V"});
  // By identifier, the path column is only text; a new property under an existing atom.
  EXPECT_EQ(Apply("id,value,path\n" + tid + ",7,/elsewhere\n", nullptr, {true, false, 0}),
            Lines{"/Logic/Pump/AI/T value=7"});
  TableApplyResult r;
  EXPECT_EQ(Apply("path,type,value,flags\n/Logic/Pump/AI/N,SHORT,3,1\n", &r),
            Lines{"/Logic/Pump/AI/N added"});
  EXPECT_EQ(r.added, 1);
  CPropertyItem* n = AsProperty(FindChild(atom, "N"));
  ASSERT_TRUE(n);
  EXPECT_EQ(n->typeCode, kTypeShort);
  EXPECT_EQ(n->valueText, "3");
  EXPECT_EQ(n->flags, 1);
}

TEST_F(PropertyTableTest, RefusedRowsNameLineAndReasonAndChangeNothing) {
  AddAtom(doc, pump, "AI", 0);  // a second /Logic/Pump/AI
  CRecord* b = AddAtom(doc, pump, "B", 0).record;
  AddProperty(doc, b, {"X", "1", kTypeInt, 0});
  AddProperty(doc, b, {"Q", "1", kTypeInt, 0});  // two properties named Q, right after X
  AddProperty(doc, b, {"Q", "2", kTypeInt, 0});
  const std::string csv =
      "path,type,value,flags,eoc,link,note\n"
      "/Logic/Pump/AI/T,INT,1,,\n"                      // 2: short
      ",INT,1,,,,\n"                                    // 3: no path
      "/Logic/Nowhere/AI/Z,INT,1,,,,\n"                 // 4: unknown atom
      "/Logic/Pump/AI/Z,INT,1,,,,\n"                    // 5: the atom path names two records
      "/Logic/Pump/B,INT,1,,,,\n"                       // 6: an atom, not a property
      "/Logic/Pump/B/X,LONG,1,,,,\n"                    // 7: bad type
      "/Logic/Pump/B/X,INT,1,7,,,\n"                    // 8: bad flags (and the same property)
      "/Logic/Pump/B/Y,INT,1,,2,,\n"                    // 9: bad eoc
      "/Logic/Pump/B/Y2,INT,\"\xE2\x98\x83\",,,,\n"     // 10: a snowman
      "/Logic/Pump/B/Y3,INT,1,,,/Logic/Pump/B/nope,\n"  // 11: link names nothing
      "/Logic/Pump/B/Y4,LINK_TO,99999,,,,\n"            // 12: value names nothing
      "/Logic/Pump/B/X,INT,1,,,,\n"                     // 13: X had a row (7) already
      "/Logic/Pump/B/Q,INT,3,,,,\n";                    // 14: the path names two records
  TableApplyResult r;
  EXPECT_EQ(Apply(csv, &r), std::vector<std::string>{});
  std::vector<std::pair<int, TableRowProblem>> got;
  for (const TableRowRefusal& x : r.refused) got.emplace_back(x.line, x.problem);
  using P = TableRowProblem;
  EXPECT_EQ(got, (std::vector<std::pair<int, TableRowProblem>>{{2, P::kShortRow},
                                                               {3, P::kNoPath},
                                                               {4, P::kUnknownAtom},
                                                               {5, P::kAmbiguousPath},
                                                               {6, P::kNotProperty},
                                                               {7, P::kBadType},
                                                               {8, P::kDuplicate},
                                                               {9, P::kBadEoc},
                                                               {10, P::kUnencodable},
                                                               {11, P::kBadLink},
                                                               {12, P::kBadLink},
                                                               {13, P::kDuplicate},
                                                               {14, P::kAmbiguousPath}}));
  EXPECT_EQ(r.refused[6].detail, "7");  // the earlier line

  EXPECT_THROW(ApplyTable(doc, ReadCsv("value\n1\n")), CsvError);  // no path column
  EXPECT_THROW(ApplyTable(doc, ReadCsv("path\n/x\n"), {true, false, 0}), CsvError);
}

TEST_F(PropertyTableTest, RowsInTreeOrderFindWhatTheirPathsName) {
  // After AI come two atoms named B, then C.
  for (const char* name : {"B", "B", "C"})
    AddProperty(doc, AddAtom(doc, pump, name, 0).record, {"y", "1", kTypeInt, 0});
  TableApplyResult r;
  EXPECT_EQ(Apply("path,value\n/Logic/Pump/AI/T,-5\n/Logic/Pump/AI/V,0.000\n"
                  "/Logic/Pump/B/y,2\n/Logic/Pump/C/y,3\n",
                  &r),
            std::vector<std::string>{"/Logic/Pump/C/y value=3"});
  ASSERT_EQ(r.refused.size(), 1u);
  EXPECT_EQ(r.refused[0].line, 4);
  EXPECT_EQ(r.refused[0].problem, TableRowProblem::kAmbiguousPath);
}

TEST_F(PropertyTableTest, DeletesOnlyWhenAskedAndOnlyInScope) {
  CRecord* other = AddAtom(doc, pump, "B", 0).record;
  AddProperty(doc, other, {"X", "1", kTypeInt, 0});
  const std::string csv = "path,value\n/Logic/Pump/AI/T,-5\n/Logic/Pump/AI/V,bad\xFF\n";
  TableApplyResult r;
  // Without the switch the missing L and X stay. (The windows-1251 table is read as such.)
  EXPECT_EQ(Apply(csv, &r).size(), 1u);
  EXPECT_EQ(r.deleted, 0);
  // With it, within the atom: L goes, X outside stays.
  TableApplyOptions options;
  options.deleteMissing = true;
  options.scopeId = atom->id;
  std::vector<std::string> changes = Apply(csv, &r, options);
  EXPECT_EQ(r.deleted, 1);
  EXPECT_EQ(changes, std::vector<std::string>{"/Logic/Pump/AI/L removed"});
  EXPECT_TRUE(FindChild(other, "X"));
  // A refused row still keeps its property.
  options.scopeId = 0;
  Apply("path,type\n/Logic/Pump/AI/T,INT\n/Logic/Pump/AI/V,NOPE\n", &r, options);
  EXPECT_EQ(r.refused.size(), 1u);
  EXPECT_TRUE(FindChild(atom, "V"));
  EXPECT_FALSE(FindChild(other, "X"));
}

TEST_F(PropertyTableTest, DifferencesFromTheRowsAreThoseOfTheDocumentTheTableMakes) {
  CTarnelDoc big;
  BuildSampleBase(big, 3000);
  std::vector<CPropertyItem*> rows = TableProperties(big, nullptr);
  ASSERT_GT(rows.size(), 1000u);
  // Every column changed here and there: values (some back to what they were), types, flags,
  // end of chain, links set, moved and broken; a "DecPoint" changed before and after rows of
  // its atom; new properties, one taking a number a dangling link names; rows refused.
  // A dangling link to the number the next new property will take.
  uint16_t next = uint16_t(big.Ids().GetLastId() + 1);
  while (big.LookupRecord(next)) ++next;
  rows[0]->typeCode = kTypeLinkTo;
  rows[0]->valueText = std::to_string(next);
  CAtom* decAtom = nullptr;
  for (CPropertyItem* p : rows)
    if (p->name == "DecPoint" && p->GetOwner() != rows[0]->GetOwner()) decAtom = p->GetOwner();
  ASSERT_TRUE(decAtom);
  std::string csv = "path;type;value;flags;eoc;link\n";
  auto row = [&](const CPropertyItem* p, const std::string& type, const std::string& value,
                 const std::string& flags, const std::string& eoc, const std::string& link) {
    csv += TableCellText(big, *p, kColumnPath) + ";" + type + ";" + value + ";" + flags + ";" +
           eoc + ";" + link + "\n";
  };
  CPropertyItem* target = nullptr;
  for (size_t i = 0; i < rows.size(); ++i) {
    CPropertyItem* p = rows[i];
    if (p->typeCode == kTypeLinkTo) {
      if (!target) target = p;
      continue;
    }
    if (p->GetOwner() == decAtom) continue;
    if (!target && p->typeCode == kTypeInt) target = p;
    std::string type = TypeCodeToName(p->typeCode), value = p->valueText;
    std::string flags = FlagsText(p->flags), eoc = p->eoc ? "1" : "0", link;
    switch (i % 11) {
      case 1:
        value += "1";
        break;
      case 2:
        value = "12.5";
        break;
      case 3:
        type = "DOUBLE";
        break;
      case 4:
        flags = "1 3 6";
        break;
      case 5:
        eoc = p->eoc ? "0" : "1";
        break;
      case 6:
        if (target) link = TableCellText(big, *target, kColumnPath);
        break;
      case 7:
        type = "LINK_TO";
        value = "65000";
        break;  // refused: names nothing
      case 8:
        type = "SHORT";
        value = "7.25";
        break;
      default:
        break;
    }
    row(p, type, value, flags, eoc, link);
  }
  // The atom's first property before its "DecPoint" changes, the others after.
  const CPropertyItem* dec = nullptr;
  for (int k = 0; k < decAtom->GetPropertyCount(); ++k)
    if (decAtom->GetProperty(k)->name == "DecPoint") dec = decAtom->GetProperty(k);
  ASSERT_TRUE(dec && dec != decAtom->GetProperty(0));
  row(decAtom->GetProperty(0), "SHORT", "3.75", "", "", "");
  row(dec, "SHORT", "5", "", "", "");
  for (int k = 1; k < decAtom->GetPropertyCount(); ++k)
    if (const CPropertyItem* p = decAtom->GetProperty(k); p != dec)
      row(p, "SHORT", "3.75", "", "", "");
  // New properties: one takes the number the dangling link names, one is made a link.
  std::string atomPath = TableCellText(big, *rows[1], kColumnPath);
  atomPath = atomPath.substr(0, atomPath.rfind('/'));
  csv += atomPath + "/Fresh;INT;42;2;1;\n";
  csv += atomPath + "/FreshLink;;;;;" + TableCellText(big, *rows[2], kColumnPath) + "\n";

  for (bool deleteMissing : {false, true}) {
    for (bool ignoreValues : {false, true}) {
      SCOPED_TRACE(std::to_string(deleteMissing) + std::to_string(ignoreValues));
      CTarnelDoc before, after, untouched;
      for (CTarnelDoc* d : {&before, &after, &untouched}) RestoreState(*d, CaptureState(big));
      TableApplyOptions options;
      options.deleteMissing = deleteMissing;
      options.scopeId = deleteMissing ? rows[0]->GetOwner()->parent->id : 0;
      TableDifferences planned = DiffTable(before, ReadCsv(csv), options, ignoreValues);
      EXPECT_TRUE(CompareDocuments(before, untouched).Equal())
          << "working them out changes nothing";
      TableApplyResult applied = ApplyTable(after, ReadCsv(csv), options);
      EXPECT_EQ(planned.refused.size(), applied.refused.size());
      EXPECT_GT(applied.changed, 100);
      EXPECT_EQ(applied.added, 2);
      CompareOptions compare;
      compare.ignoreValues = ignoreValues;
      CompareResult want = CompareDocuments(before, after, compare);
      ExpectSameDifferences(want, planned.result);
      if (ignoreValues) continue;
      // Taken over whole, either one makes the same document.
      CTarnelDoc viaCompare;
      RestoreState(viaCompare, CaptureState(before));
      ASSERT_TRUE(TakeOverAll(viaCompare, want));
      ASSERT_TRUE(TakeOverAll(before, planned.result));
      EXPECT_EQ(before.SaveToBytes(), viaCompare.SaveToBytes());
    }
  }
}

TEST_F(PropertyTableTest, CellEditsAreCheckedWholeBeforeAnyIsMade) {
  const std::string before = doc.SaveToBytes();
  // The third cell is bad: the first two are not made either.
  TableCellRefusal r = EditTableCells(
      doc,
      {{v->id, kColumnValue, "2.5"}, {t->id, kColumnName, "Temp"}, {t->id, kColumnFlags, "9"}});
  EXPECT_EQ(r.index, 2);
  EXPECT_EQ(r.problem, TableRowProblem::kBadFlags);
  EXPECT_EQ(doc.SaveToBytes(), before);
  EXPECT_EQ(EditTableCells(doc, {{t->id, kColumnPath, "/x"}}).problem,
            TableRowProblem::kNotEditable);
  EXPECT_EQ(EditTableCells(doc, {{t->id, kColumnName, " "}}).problem, TableRowProblem::kEmptyName);
  EXPECT_EQ(EditTableCells(doc, {{v->id, kColumnType, "LINK_TO"}}).problem,
            TableRowProblem::kBadLink);  // "0.000" names no property

  bool changed = false;
  r = EditTableCells(doc,
                     {{v->id, kColumnValue, "2.5"},
                      {t->id, kColumnName, "Temp"},
                      {v->id, kColumnLink, "/Logic/Pump/AI/Temp"},  // the new name counts later
                      {t->id, kColumnEoc, "0"}},
                     &changed);
  EXPECT_EQ(r.index, 2);  // the link is looked up before anything is renamed
  r = EditTableCells(doc,
                     {{v->id, kColumnValue, "2.5"},
                      {t->id, kColumnName, "Temp"},
                      {link->id, kColumnLink, "/Logic/Pump/AI/V"},
                      {t->id, kColumnEoc, "0"}},
                     &changed);
  EXPECT_EQ(r.index, -1);
  EXPECT_TRUE(changed);
  EXPECT_EQ(v->valueText, "2.5");
  EXPECT_EQ(t->name, "Temp");
  EXPECT_FALSE(t->eoc);
  EXPECT_EQ(link->valueText, std::to_string(v->id));
  EXPECT_EQ(v->GetIncomingLinkCount(), 1);
  EXPECT_EQ(t->GetIncomingLinkCount(), 0);
}

}  // namespace
