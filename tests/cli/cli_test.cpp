// kandrel-cli as a user runs it: output, files and exit codes.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/document.h"
#include "model/value_types.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("kandrel-cli-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) { return (dir_ / name).string(); }

  Result Run(const std::string& args) {
    std::string errFile = Path("stderr.txt");
    std::string cmd = std::string(KANDREL_CLI) + " " + args + " 2>" + errFile;
    Result r{};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WEXITSTATUS(status);
    r.err = Slurp(errFile);
    return r;
  }

  fs::path dir_;
};

TEST_F(CliTest, NewWritesTheEmptyDocument) {
  Result r = Run("new " + Path("x.kdl"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(fs::file_size(Path("x.kdl")), 60u);
  EXPECT_TRUE(r.err.empty());
}

TEST_F(CliTest, DumpShowsTheRebuiltTree) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* o = doc.NewObject(doc.groups[1].get());
  o->name = "\xCD\xE0\xF1\xEE\xF1 \x98";  // "Насос" and the undefined byte
  CAtom* a = doc.NewAtom(o);
  a->name = "AI";
  a->type = -3;
  CPropertyItem* t = doc.NewProperty(a, false);
  t->name = "T";
  t->typeCode = kTypeInt;
  t->valueText = "-5";
  t->eoc = true;
  t->flags = 0x21;
  CPropertyItem* l = doc.NewProperty(a, false);
  l->name = "L";
  l->typeCode = kTypeLinkTo;
  l->valueText = std::to_string(t->id);
  doc.SaveFile(Path("in.kdl"));

  Result r = Run("dump " + Path("in.kdl"));
  ASSERT_EQ(r.code, 0) << r.err;
  QJsonObject top = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
  EXPECT_EQ(top["lastId"].toInt(), 7);
  QJsonArray groups = top["groups"].toArray();
  ASSERT_EQ(groups.size(), 3);
  QJsonObject logic = groups[1].toObject();
  EXPECT_EQ(logic["kind"].toString(), "group");
  QJsonObject obj = logic["children"].toArray()[0].toObject();
  EXPECT_EQ(obj["kind"].toString(), "object");
  EXPECT_EQ(obj["name"].toString(), QString::fromUtf8("Насос \xEF\xBF\xBD"));
  QJsonObject atom = obj["children"].toArray()[0].toObject();
  EXPECT_EQ(atom["kind"].toString(), "atom");
  EXPECT_EQ(atom["type"].toInt(), -3);
  QJsonObject prop = atom["properties"].toArray()[0].toObject();
  EXPECT_EQ(prop["kind"].toString(), "property");
  EXPECT_EQ(prop["type"].toInt(), 3);
  EXPECT_EQ(prop["flags"].toInt(), 0x21);
  EXPECT_TRUE(prop["eoc"].toBool());
  EXPECT_EQ(prop["value"].toString(), "-5");
  EXPECT_EQ(prop["raw"].toDouble(), 4294967291.0);
  EXPECT_EQ(prop["incoming"].toArray(), QJsonArray{7});
}

TEST_F(CliTest, ResaveAndCheck) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CAtom* a = doc.NewAtom(doc.NewObject(doc.groups[0].get()));
  CPropertyItem* l = doc.NewProperty(a, false);
  l->typeCode = kTypeLinkTo;
  l->valueText = "999";
  doc.SaveFile(Path("bad.kdl"));

  EXPECT_EQ(Run("resave " + Path("bad.kdl") + " " + Path("copy.kdl")).code, 0);
  EXPECT_EQ(Slurp(Path("bad.kdl")), Slurp(Path("copy.kdl")));

  Result r = Run("check " + Path("copy.kdl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names no property"), std::string::npos) << r.out;

  Run("new " + Path("good.kdl"));
  r = Run("check " + Path("good.kdl"));
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, FailuresGiveOneLineAndTheirExitCode) {
  std::ofstream(Path("damaged.kdl"), std::ios::binary)
      << std::string("\x03\x00\xFF\xFF\x01\x00", 6);
  struct Case {
    std::string args;
    int code;
    std::string mentions;
  } cases[] = {
      {"", 2, "usage"},
      {"frobnicate", 2, "unknown command"},
      {"dump", 2, "usage: kandrel-cli dump IN.kdl"},
      {"resave a.kdl", 2, "usage"},
      {"dump " + Path("missing.kdl"), 3, Path("missing.kdl")},
      {"dump " + Path("damaged.kdl"), 3, "damaged.kdl: damaged file, at byte"},
      {"check " + dir_.string(), 3, "folder"},
      {"new " + Path("no/such/dir/x.kdl"), 3, "x.kdl: cannot write"},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << c.args << ": " << r.err;
    if (c.code == 3) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
      EXPECT_TRUE(r.out.empty());
    }
  }
  EXPECT_FALSE(fs::exists(Path("no")));
}

}  // namespace
