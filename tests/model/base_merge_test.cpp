// The merge engine: one folder per case under merge_cases/ (base, ours, theirs and the expected
// result as record lines, and the conflicts and renumberings it reports), then random edits on
// both sides of generated bases.
#include "model/base_merge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "model/base_compare.h"
#include "model/consistency.h"
#include "model/document.h"
#include "model/value_types.h"
#include "random_edits.h"
#include "sample_base.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// One record a line: "PATH KIND ID" and for an atom its type, for a property its type name,
// flags and value (a link's value is its target's identifier).
void BuildFromLines(CTarnelDoc& doc, const std::string& text) {
  DocumentContents contents;
  std::map<std::string, CRecord*> byPath;
  std::istringstream lines(text);
  std::string line;
  uint32_t lastId = 0;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string path, kind;
    RecordData d;
    if (!(f >> path >> kind >> d.id)) continue;
    size_t slash = path.rfind('/');
    d.name = path.substr(slash + 1);
    d.kind = kind == "group"    ? kKindGroup
             : kind == "object" ? kKindObject
             : kind == "atom"   ? kKindAtom
                                : kKindProperty;
    if (d.kind == kKindAtom) {
      int type = 0;
      f >> type;
      d.atomType = int8_t(type);
    } else if (d.kind == kKindProperty) {
      std::string type;
      int flags = 0;
      f >> type >> flags >> d.valueText;
      d.typeCode = uint8_t(TypeNameToCode(type));
      d.flags = uint8_t(flags);
      d.rawValue = uint32_t(AtoI(d.valueText));
    }
    std::unique_ptr<CRecord> r = MakeRecordFromData(d);
    r->id = d.id;
    lastId = std::max(lastId, d.id);
    byPath[path] = r.get();
    if (slash == 0) {
      contents.groups.emplace_back(static_cast<CBase*>(r.release()));
      continue;
    }
    CRecord* parent = byPath.at(path.substr(0, slash));
    if (auto* atom = AsAtom(parent))
      atom->AddProperty(std::unique_ptr<CPropertyItem>(static_cast<CPropertyItem*>(r.release())));
    else
      AsChildHolder(parent)->AddChild(std::move(r));
  }
  contents.lastId = uint16_t(lastId);
  doc.TakeContents(std::move(contents));
}

void ListRecord(const CRecord* r, std::string* out) {
  static const char* kKinds[] = {"", "group", "object", "atom", "property"};
  *out += GetRecordPath(r) + " " + kKinds[r->Kind()] + " " + std::to_string(r->id);
  if (const CAtom* a = AsAtom(const_cast<CRecord*>(r))) *out += " " + std::to_string(int(a->type));
  if (const CPropertyItem* p = AsProperty(r))
    *out += std::string(" ") + TypeCodeToName(p->typeCode) + " " + std::to_string(int(p->flags)) +
            " " + p->valueText;
  *out += "\n";
  ForEachChild(r, [&](const CRecord* c) { ListRecord(c, out); });
}

std::string List(const CTarnelDoc& doc) {
  std::string out;
  for (int row = 0; row < doc.RowCount(nullptr); ++row)
    ListRecord(doc.RecordAt(nullptr, row), &out);
  return out;
}

// The lines of a case file without blank lines and with single spaces.
std::string Normalized(const std::string& text) {
  std::istringstream lines(text);
  std::string line, out;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string w, joined;
    while (words >> w) joined += (joined.empty() ? "" : " ") + w;
    if (!joined.empty()) out += joined + "\n";
  }
  return out;
}

std::string Report(const MergeResult& r) {
  std::string out;
  for (const MergeConflict& c : r.conflicts) out += "! " + c.path + " " + c.field + "\n";
  for (const MergeRenumbering& n : r.renumbered)
    out += "= " + std::to_string(n.from) + " " + std::to_string(n.to) + "\n";
  return out;
}

// Either side of every conflict leaves a sound document.
void ExpectSettlesSoundly(const std::string& base, const std::string& ours,
                          const std::string& theirs) {
  for (MergeSide side : {MergeSide::kOurs, MergeSide::kTheirs}) {
    CTarnelDoc b, o, t, out;
    BuildFromLines(b, base);
    BuildFromLines(o, ours);
    BuildFromLines(t, theirs);
    MergeResult r = MergeDocuments(b, o, t, out);
    for (const MergeConflict& c : r.conflicts) {
      TakeConflictSide(out, c, side);
      EXPECT_EQ(CheckConsistency(out), std::vector<std::string>()) << c.path << " " << c.field;
    }
  }
}

TEST(BaseMergeTest, EachCaseMergesToItsExpectedRecords) {
  fs::path root = MERGE_CASES_DIR;
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(root)) {
    SCOPED_TRACE(entry.path().filename().string());
    ++cases;
    std::string base = ReadText(entry.path() / "base");
    std::string ours = ReadText(entry.path() / "ours");
    std::string theirs = ReadText(entry.path() / "theirs");
    CTarnelDoc b, o, t, out;
    BuildFromLines(b, base);
    BuildFromLines(o, ours);
    BuildFromLines(t, theirs);
    MergeResult r = MergeDocuments(b, o, t, out);
    EXPECT_EQ(List(out), Normalized(ReadText(entry.path() / "expected")));
    EXPECT_EQ(Report(r), Normalized(ReadText(entry.path() / "report")));
    EXPECT_EQ(CheckConsistency(out), std::vector<std::string>());
    ExpectSettlesSoundly(base, ours, theirs);
  }
  EXPECT_GE(cases, 10);
}

// ---- random edits on both sides ---------------------------------------------------------------

void CopyDocument(CTarnelDoc& from, CTarnelDoc& to) {
  to.OpenBytes(from.SaveToBytes(), "copy");
}

// The records as the merge promises to keep them whatever it numbers: path, kind, fields, a
// link as its target's path. The pattern stands for the value: the form writes one pattern
// with more than one text.
std::string Records(const CTarnelDoc& doc) {
  std::string out;
  for (CRecord* r : AllRecords(const_cast<CTarnelDoc&>(doc))) {
    out += GetRecordPath(r) + " " + std::to_string(r->Kind());
    if (CAtom* a = AsAtom(r)) out += " " + std::to_string(int(a->type));
    if (const CPropertyItem* p = AsProperty(r)) {
      out += " " + std::to_string(int(p->typeCode)) + " " + std::to_string(int(p->flags)) +
             (p->eoc ? " eoc " : " ");
      const CRecord* target =
          p->typeCode == kTypeLinkTo ? doc.LookupRecord(uint32_t(AtoI(p->valueText))) : nullptr;
      out += target ? "-> " + GetRecordPath(target) : std::to_string(p->GetRawValue());
    }
    out += "\n";
  }
  return out;
}

std::string Listed(CTarnelDoc& doc) {
  doc.RebuildTree();  // as the merged document is built: flags the "Hardware" group drops
  return List(doc);
}

struct Sides {
  CTarnelDoc base, ours, theirs, merged;
  MergeResult result;

  explicit Sides(unsigned seed) {
    // All three as opened from one file: a generated base reads back with other patterns.
    CTarnelDoc generated;
    BuildSampleBase(generated, 240);
    CopyDocument(generated, base);
    CopyDocument(base, ours);
    CopyDocument(base, theirs);
    rng.seed(seed);
  }
  // Random edits, leaving out those that break the document: the form may give a LINK_TO a
  // value that names nothing, and a merge keeps what a side holds.
  void Edit(CTarnelDoc& doc, int count, uint32_t within = 0) {
    for (int k = 0; k < count; ++k) {
      std::string before = doc.SaveToBytes();
      if (RandomEdit(doc, rng, within) && !CheckConsistency(doc).empty())
        doc.OpenBytes(before, "before");
    }
  }
  void Merge() {
    ASSERT_EQ(CheckConsistency(ours), std::vector<std::string>());
    ASSERT_EQ(CheckConsistency(theirs), std::vector<std::string>());
    result = MergeDocuments(base, ours, theirs, merged);
    EXPECT_EQ(CheckConsistency(merged), std::vector<std::string>());
  }
  uint32_t GroupId(int row) const { return base.RecordAt(nullptr, row)->id; }

  std::mt19937 rng;
};

TEST(BaseMergeTest, EditsOfDifferentBranchesMergeAsIfMadeOneAfterTheOther) {
  int compared = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    Sides s(seed);
    s.Edit(s.ours, 12, s.GroupId(0));
    // THEIRS' edits, made once on the base and once after OURS' edits.
    CTarnelDoc sequential;
    CopyDocument(s.ours, sequential);
    std::mt19937 again = s.rng;
    s.Edit(s.theirs, 12, s.GroupId(1));
    s.rng = again;
    s.Edit(sequential, 12, s.GroupId(1));
    s.Merge();
    // A deletion on one side turns the links into its branch from the other into plain values;
    // when the other side edited those too, the sides were not apart after all.
    CompareResult o = CompareDocuments(s.base, s.ours), t = CompareDocuments(s.base, s.theirs);
    std::vector<uint8_t> touched(o.firstIds.size(), 0);
    for (const Difference& d : o.differences)
      if (d.first >= 0) touched[size_t(d.first)] = 1;
    bool apart = true;
    for (const Difference& d : t.differences)
      if (d.first >= 0 && touched[size_t(d.first)]) apart = false;
    if (!apart) continue;
    ++compared;
    EXPECT_TRUE(s.result.Clean()) << Report(s.result);
    sequential.RebuildTree();
    EXPECT_EQ(Records(s.merged), Records(sequential));
  }
  EXPECT_GE(compared, 25);
}

TEST(BaseMergeTest, AnUnchangedSideGivesTheOtherExactly) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    Sides s(seed);
    bool oursChanged = seed % 2;
    CTarnelDoc& changed = oursChanged ? s.ours : s.theirs;
    s.Edit(changed, 30);
    s.Merge();
    EXPECT_TRUE(s.result.Clean()) << Report(s.result);
    EXPECT_TRUE(s.result.renumbered.empty());
    EXPECT_EQ(List(s.merged), Listed(changed));
  }
}

TEST(BaseMergeTest, TheSameChangesOnBothSidesAreNoConflict) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    Sides s(seed);
    s.Edit(s.ours, 30);
    // Both as read from one file (a reopened value text may read differently).
    CopyDocument(s.ours, s.theirs);
    CopyDocument(s.theirs, s.ours);
    s.Merge();
    EXPECT_TRUE(s.result.Clean()) << Report(s.result);
    EXPECT_TRUE(s.result.renumbered.empty());
    EXPECT_EQ(List(s.merged), Listed(s.ours));
  }
}

// Both sides add records, drawing the same new identifiers: THEIRS' get others, and THEIRS' links
// to them follow. Whatever the edits, the result holds together and every conflict settles
// either way into a sound document.
TEST(BaseMergeTest, ClashingNewIdentifiersAreRenumberedWithTheirLinks) {
  int renumbered = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    Sides s(seed);
    s.Edit(s.ours, 25);
    s.Edit(s.theirs, 25);
    s.Merge();
    std::map<uint32_t, uint32_t> to;
    for (const MergeRenumbering& n : s.result.renumbered) {
      to[n.from] = n.to;
      const CRecord* mine = s.theirs.LookupRecord(n.from);
      const CRecord* merged = s.merged.LookupRecord(n.to);
      ASSERT_TRUE(mine && merged);
      EXPECT_EQ(merged->Kind(), mine->Kind());
      EXPECT_EQ(merged->name, mine->name);
      ++renumbered;
    }
    for (CRecord* r : AllRecords(s.theirs)) {
      const CPropertyItem* p = AsProperty(r);
      if (!p || p->typeCode != kTypeLinkTo || s.base.LookupRecord(p->id)) continue;
      auto target = to.find(uint32_t(AtoI(p->valueText)));
      if (target == to.end()) continue;
      uint32_t id = to.count(p->id) ? to[p->id] : p->id;
      const CPropertyItem* link = AsProperty(s.merged.LookupRecord(id));
      ASSERT_TRUE(link);
      EXPECT_EQ(link->valueText, std::to_string(target->second));
    }
    for (const MergeConflict& c : s.result.conflicts) {
      TakeConflictSide(s.merged, c, c.id % 2 ? MergeSide::kOurs : MergeSide::kTheirs);
      EXPECT_EQ(CheckConsistency(s.merged), std::vector<std::string>()) << c.path << " " << c.field;
    }
  }
  EXPECT_GT(renumbered, 0);
}

}  // namespace
