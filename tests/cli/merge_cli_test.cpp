// kandrel-cli merge as git runs it: the merged file, the conflict lines, the exit codes, and a
// real `git merge` of two branches with the driver configured.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <cstdlib>
#include <filesystem>

#include "model/document.h"
#include "model/value_types.h"
#include "xml_test_util.h"

namespace {

class MergeCliTest : public ::testing::Test {
 protected:
  // Logic/Pump (4) with atom AI (5) holding T (6) = 5, and Logic/Fan (7).
  void SetUp() override {
    CTarnelDoc base;
    base.OnNewDocument();
    CObj* pump = AddObject(base, base.RecordAt(nullptr, 1), "Pump");
    AddProperty(base, AddAtom(base, pump, "AI"), "T", kTypeInt, "5");
    AddObject(base, base.RecordAt(nullptr, 1), "Fan");
    base.SaveFile(Path("base.kdl"));
  }
  // The base with `edit` made, saved as `name`.
  template <class Edit>
  std::string Side(const std::string& name, Edit edit) {
    CTarnelDoc doc;
    doc.OpenFile(Path("base.kdl"));
    edit(doc);
    doc.SaveFile(Path(name));
    return Path(name);
  }
  static void SetT(CTarnelDoc& doc, const char* value) {
    CPropertyItem* t = AsProperty(doc.LookupRecord(6));
    t->valueText = value;
    t->UpdateRawFromText();
  }
  std::string Path(const std::string& name) { return dir.Path(name); }
  CliResult Run(const std::string& args) { return RunCli(dir, args); }
  std::string List(const std::string& file) { return Run("list " + file).out; }
  TempDir dir;
};

TEST_F(MergeCliTest, WritesTheMergeAndOneLinePerConflict) {
  std::string ours = Side("ours.kdl", [](CTarnelDoc& d) {
    SetT(d, "6");
    AddObject(d, d.LookupRecord(3), "Bus");  // takes 8
  });
  std::string theirs = Side("theirs.kdl", [](CTarnelDoc& d) {
    SetT(d, "7");
    d.LookupRecord(7)->name = "Fan2";
    CObj* meter = AddObject(d, d.LookupRecord(3), "Meter");  // 8, as OURS' Bus
    AddProperty(d, AddAtom(d, meter, "M"), "L", kTypeLinkTo, "6");
  });

  CliResult json = Run("merge " + Path("base.kdl") + " " + ours + " " + theirs + " -o " +
                       Path("out.kdl") + " --json");
  EXPECT_EQ(json.code, 1) << json.err;
  // OUT may be OURS, as git asks.
  CliResult r = Run("merge " + Path("base.kdl") + " " + ours + " " + theirs + " -o " + ours);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "! /Logic/Pump/AI/T value: 5 -> 6 | 7\n");
  std::string merged = List(ours);
  EXPECT_NE(merged.find("/Logic/Pump/AI/T\tproperty\t6\tINT\t0\t6\n"), std::string::npos) << merged;
  EXPECT_NE(merged.find("/Logic/Fan2\tobject\t7"), std::string::npos) << merged;
  EXPECT_NE(merged.find("/Network/Bus\tobject\t8"), std::string::npos) << merged;
  EXPECT_NE(merged.find("/Network/Meter\tobject\t11"), std::string::npos) << merged;
  EXPECT_EQ(Run("check " + ours).code, 0);

  EXPECT_EQ(json.out,
            "{\"conflicts\":[{\"base\":\"5\",\"field\":\"value\",\"id\":6,\"ours\":\"6\","
            "\"path\":\"/Logic/Pump/AI/"
            "T\",\"theirs\":\"7\"}],\"renumbered\":[{\"from\":8,\"to\":11}]}\n");
}

TEST_F(MergeCliTest, UsageAndUnreadableInput) {
  std::string base = Path("base.kdl");
  EXPECT_EQ(Run("merge " + base + " " + base + " -o " + Path("out.kdl")).code, 2);
  EXPECT_EQ(Run("merge " + base + " " + base + " " + base).code, 2);
  EXPECT_EQ(Run("merge " + base + " " + base + " " + base + " -o x -o y").code, 2);
  WriteAll(Path("bad.kdl"), "not a base");
  CliResult r =
      Run("merge " + base + " " + Path("bad.kdl") + " " + base + " -o " + Path("out.kdl"));
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("bad.kdl"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("out.kdl")));
}

// Two branches of one repository change one base; git calls the driver and stops only where
// both changed the same field.
TEST_F(MergeCliTest, GitMergesTwoBranchesThroughTheDriver) {
  std::string repo = Path("repo");
  auto git = [&](const std::string& args) {
    return std::system(("cd '" + repo + "' && git " + args + " >/dev/null 2>&1").c_str());
  };
  std::filesystem::create_directory(repo);
  ASSERT_EQ(git("init -q -b main"), 0);
  git("config user.email t@example.org");
  git("config user.name T");
  git(std::string("config merge.kandrel.driver '") + KANDREL_CLI + " merge %O %A %B -o %A'");
  WriteAll(repo + "/.gitattributes", "*.kdl merge=kandrel\n");
  std::filesystem::copy_file(Path("base.kdl"), repo + "/plant.kdl");
  ASSERT_EQ(git("add . && git commit -qm base"), 0);

  auto commitSide = [&](const std::string& branch, const std::string& file) {
    ASSERT_EQ(git("checkout -q -b " + branch + " main"), 0);
    std::filesystem::copy_file(file, repo + "/plant.kdl",
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(git("commit -qam " + branch), 0);
  };
  commitSide("renames", Side("a.kdl", [](CTarnelDoc& d) { d.LookupRecord(7)->name = "Fan2"; }));
  commitSide("values", Side("b.kdl", [](CTarnelDoc& d) { SetT(d, "9"); }));
  ASSERT_EQ(git("checkout -q renames"), 0);
  EXPECT_EQ(git("merge -q --no-edit values"), 0);
  std::string merged = List(repo + "/plant.kdl");
  EXPECT_NE(merged.find("/Logic/Fan2\t"), std::string::npos) << merged;
  EXPECT_NE(merged.find("/Logic/Pump/AI/T\tproperty\t6\tINT\t0\t9\n"), std::string::npos) << merged;

  // Both change T: git stops, the file holds OURS' value.
  commitSide("low", Side("c.kdl", [](CTarnelDoc& d) { SetT(d, "1"); }));
  commitSide("high", Side("d.kdl", [](CTarnelDoc& d) { SetT(d, "2"); }));
  EXPECT_NE(git("merge -q --no-edit low"), 0);
  EXPECT_NE(List(repo + "/plant.kdl").find("/Logic/Pump/AI/T\tproperty\t6\tINT\t0\t2\n"),
            std::string::npos);
}

}  // namespace
