// kandrel-cli export and import as a user runs them: files, exit codes, one-line errors.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "model/cp1251.h"
#include "sample_base.h"
#include "xml_test_util.h"

namespace {

class XmlCliTest : public ::testing::Test {
 protected:
  CliResult Run(const std::string& args) { return RunCli(dir, args); }
  // One line on stderr holding every piece.
  void ExpectError(const CliResult& r, int code, std::vector<std::string> pieces) {
    EXPECT_EQ(r.code, code) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    for (const auto& piece : pieces) EXPECT_NE(r.err.find(piece), std::string::npos) << r.err;
  }
  QJsonArray Groups(const std::string& kdl) {
    CliResult r = Run("dump " + kdl);
    EXPECT_EQ(r.code, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object()["groups"].toArray();
  }
  size_t Records(const std::string& kdl) {
    std::string out = Run("list " + kdl).out;
    return size_t(std::count(out.begin(), out.end(), '\n'));
  }
  TempDir dir;
};

// What comes back is the engine's business (the round trip test); here the files, options and
// exit codes.
TEST_F(XmlCliTest, ExportThenImportIntoANewDocument) {
  CTarnelDoc doc;
  BuildSampleBase(doc, 3000);
  std::string src = dir.Path("src.kdl");
  doc.SaveFile(src);
  ASSERT_EQ(Run("export " + src + " " + dir.Path("all.xml")).code, 0);

  // A document without groups, then the import at its top level.
  CTarnelDoc empty;
  empty.SaveFile(dir.Path("empty.kdl"));
  CliResult r = Run("import " + dir.Path("empty.kdl") + " " + dir.Path("all.xml") + " -o " +
                    dir.Path("copy.kdl"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Records(dir.Path("copy.kdl")), Records(src));

  // One branch, under a chosen target.
  uint32_t branch = doc.Groups().At(1)->GetChild(0)->id;
  ASSERT_EQ(
      Run("export " + src + " " + dir.Path("one.xml") + " --record " + std::to_string(branch)).code,
      0);
  r = Run("import " + src + " " + dir.Path("one.xml") + " --target 3 -o " + dir.Path("two.kdl"));
  ASSERT_EQ(r.code, 0) << r.err;
  QJsonArray network = Groups(dir.Path("two.kdl")).at(2).toObject()["children"].toArray();
  ASSERT_FALSE(network.isEmpty());
  QJsonObject copied = network.last().toObject();
  EXPECT_EQ(copied["name"].toString().toStdString(),
            Cp1251ToUtf8(doc.Groups().At(1)->GetChild(0)->name));
  EXPECT_NE(copied["id"].toInt(), int(branch));
}

TEST_F(XmlCliTest, ErrorsAreOneLineAndWriteNothing) {
  std::string kdl = dir.Path("new.kdl");
  Run("new " + kdl);
  std::string out = dir.Path("out.kdl");
  WriteAll(dir.Path("bad.xml"), "<R>\n<Base>\n</R>\n");
  ExpectError(Run("import " + kdl + " " + dir.Path("bad.xml") + " -o " + out), 3,
              {"Error while parsing XML document", dir.Path("bad.xml"), "line 3"});
  WriteAll(dir.Path("bad.c2ko"), "A}{a}\n");
  ExpectError(Run("import " + kdl + " " + dir.Path("bad.c2ko") + " --target 1 -o " + out), 3,
              {"Error while data import", "line 1", "atom line"});
  ExpectError(Run("import " + kdl + " " + dir.Path("none.c2ko") + " --target 1 -o " + out), 3,
              {"File not found :" + dir.Path("none.c2ko")});
  ExpectError(Run("import " + kdl + " " + dir.Path("bad.c2ko") + " -o " + out), 2, {"--target"});
  ExpectError(Run("import " + kdl + " " + dir.Path("x.XML") + " -o " + out), 2, {".xml or .c2ko"});
  ExpectError(Run("import " + kdl + " " + dir.Path("bad.xml")), 2, {"usage"});
  ExpectError(Run("import " + kdl + " " + dir.Path("bad.xml") + " --target 77 -o " + out), 3,
              {"no record has the identifier 77"});
  ExpectError(Run("export " + kdl + " " + dir.Path("x.xml") + " --record 0"), 2, {"1 to 65535"});
  ExpectError(Run("export " + kdl + " " + dir.Path("no/dir/x.xml")), 3, {dir.Path("no/dir/x.xml")});
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("x.xml")));
}

TEST_F(XmlCliTest, AlteredCharactersAreReported) {
  std::string kdl = dir.Path("new.kdl");
  Run("new " + kdl);
  WriteAll(dir.Path("u.xml"), "<R><Base Name=\"&#x4E2D;\"/><Base><Atom/></Base></R>");
  CliResult r = Run("import " + kdl + " " + dir.Path("u.xml") + " -o " + dir.Path("o.kdl"));
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.err.find("1 names and values"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 elements"), std::string::npos) << r.err;
  QJsonArray groups = Groups(dir.Path("o.kdl"));
  EXPECT_EQ(groups.at(3).toObject()["name"].toString(), "?");
}

}  // namespace
