// table and apply-table as a user runs them: the table on stdout and in files, an unchanged
// table applied back, the differences printed as diff prints them, refused rows, and the
// workbook read back by a spreadsheet reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "model/document.h"
#include "model/value_types.h"
#include "sample_base.h"
#include "xml_test_util.h"

namespace fs = std::filesystem;

namespace {

class TableCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CTarnelDoc doc;
    doc.OnNewDocument();
    CAtom* a = AddAtom(doc, AddObject(doc, doc.Groups().At(1), "\xCD\xE0\xF1\xEE\xF1"), "AI");
    AddProperty(doc, a, "T", kTypeFloat, "0.000", 0x22);    // 6
    AddProperty(doc, a, "N", kTypeBin, "007", 0);           // 7: a text with leading zeros
    AddProperty(doc, a, "Note", kTypeBin, "a;b \"c\"", 0);  // 8
    doc.SaveFile(Path("in.kdl"));
  }
  CliResult Run(const std::string& args) { return RunCli(dir, args); }
  std::string Path(const std::string& name) { return dir.Path(name); }
  TempDir dir;
};

TEST_F(TableCliTest, TableOnStdoutAndInFiles) {
  const std::string expected =
      "path,id,type,value,flags,eoc,link\n"
      "/Logic/Насос/AI/T,6,FLOAT,0.000,2 6,0,\n"
      "/Logic/Насос/AI/N,7,BIN,007,,0,\n"
      "/Logic/Насос/AI/Note,8,BIN,\"a;b \"\"c\"\"\",,0,\n";
  CliResult r = Run("table " + Path("in.kdl"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, expected);

  r = Run("table " + Path("in.kdl") + " --record /Logic/Насос/AI/T --sep ';'");
  EXPECT_EQ(r.out, "path;id;type;value;flags;eoc;link\n/Logic/Насос/AI/T;6;FLOAT;0.000;2 6;0;\n");

  r = Run("table " + Path("in.kdl") + " -o " + Path("t.csv"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  std::string crlf = "\xEF\xBB\xBF";
  for (char c : expected) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ReadAll(Path("t.csv")), crlf);

  // The workbook as a spreadsheet reader sees it: the same table, text kept as text.
  r = Run("table " + Path("in.kdl") + " -o " + Path("t.xlsx"));
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(std::system(("xlsx2csv " + Path("t.xlsx") + " " + Path("back.csv")).c_str()), 0);
  EXPECT_EQ(ReadAll(Path("back.csv")), expected);

  struct Bad {
    std::string args;
    int code;
    std::string mentions;
  } cases[] = {
      {"table", 2, "usage"},
      {"table " + Path("in.kdl") + " -o " + Path("t.txt"), 2, "usage"},
      {"table " + Path("in.kdl") + " --sep :", 2, "usage"},
      {"table " + Path("in.kdl") + " --record /Logic/Pump", 3, "no record at /Logic/Pump"},
      {"table " + Path("missing.kdl"), 3, "missing.kdl"},
      {"apply-table " + Path("in.kdl") + " " + Path("t.csv"), 2, "usage"},
      {"apply-table " + Path("in.kdl") + " " + Path("nope.csv") + " -o " + Path("o.kdl"), 3,
       "nope.csv"},
  };
  for (const Bad& c : cases) {
    CliResult b = Run(c.args);
    EXPECT_EQ(b.code, c.code) << c.args;
    EXPECT_NE(b.err.find(c.mentions), std::string::npos) << c.args << ": " << b.err;
  }
  EXPECT_FALSE(fs::exists(Path("o.kdl")));
}

TEST_F(TableCliTest, ApplyTablePrintsWhatItAppliesOrRefusesAll) {
  {
    // Saved once as opened, so the file holds its values in the form a save writes them.
    CTarnelDoc big, opened;
    BuildSampleBase(big, 2000);
    big.SaveFile(Path("built.kdl"));
    opened.OpenFile(Path("built.kdl"));
    opened.SaveFile(Path("big.kdl"));
  }
  ASSERT_EQ(Run("table " + Path("big.kdl") + " -o " + Path("big.csv")).code, 0);
  CliResult same = Run("apply-table " + Path("big.kdl") + " " + Path("big.csv") + " -o " +
                       Path("same.kdl") + " --delete-missing");
  EXPECT_EQ(same.code, 0) << same.err;
  EXPECT_EQ(same.out, "");
  EXPECT_TRUE(ReadAll(Path("same.kdl")) == ReadAll(Path("big.kdl")));

  WriteAll(Path("set.csv"), "path;value\r\n/Logic/Насос/AI/N;008\r\n/Logic/Насос/AI/New;x\r\n");
  CliResult dry = Run("apply-table " + Path("in.kdl") + " " + Path("set.csv") + " --dry-run");
  EXPECT_EQ(dry.code, 0) << dry.err;
  EXPECT_EQ(dry.out,
            "~ /Logic/Насос/AI/N value: 007 -> 008\n"
            "+ /Logic/Насос/AI/New\n");
  CliResult json = Run("apply-table " + Path("in.kdl") + " " + Path("set.csv") + " -o " +
                       Path("out.kdl") + " --json");
  EXPECT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out,
            "{\"added\":[9],\"changed\":[{\"fields\":[\"value\"],\"id\":7}],"
            "\"moved\":[],\"removed\":[]}\n");
  EXPECT_EQ(Run("diff " + Path("in.kdl") + " " + Path("out.kdl")).out, dry.out);

  // One bad row: every bad row is named, nothing is written.
  WriteAll(Path("bad.csv"),
           "path,type\n/Logic/Насос/AI/T,LONG\n/Logic/Насос/AI/N,INT\n"
           "/Logic/Насос/X/Y,INT\n");
  CliResult bad =
      Run("apply-table " + Path("in.kdl") + " " + Path("bad.csv") + " -o " + Path("bad.kdl"));
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, Path("bad.csv") + ":2: bad type: LONG\n" + Path("bad.csv") +
                         ":4: unknown atom: /Logic/Насос/X/Y\n");
  EXPECT_FALSE(fs::exists(Path("bad.kdl")));
  // Garbage is no table: one line, exit 3.
  WriteAll(Path("garbage.csv"), std::string("PK\x03\x04\0\0", 6));
  CliResult garbage =
      Run("apply-table " + Path("in.kdl") + " " + Path("garbage.csv") + " --dry-run");
  EXPECT_EQ(garbage.code, 3);
  EXPECT_EQ(garbage.err, "kandrel-cli: " + Path("garbage.csv") +
                             ": line 1: a zero byte: this is no text table\n");
}

}  // namespace
