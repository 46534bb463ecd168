// kandrel-cli as a user runs it: output, files and exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "model/document.h"
#include "model/records.h"
#include "model/shown_path.h"
#include "model/value_types.h"
#include "xml_test_util.h"

namespace fs = std::filesystem;

namespace {

class CliTest : public ::testing::Test {
 protected:
  CliResult Run(const std::string& args) { return RunCli(dir, args); }
  std::string Path(const std::string& name) { return dir.Path(name); }
  TempDir dir;
};

TEST_F(CliTest, DumpShowsTheRebuiltTree) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  // "Насос" and the undefined byte.
  CObj* o = AddObject(doc, doc.Groups().At(1), "\xCD\xE0\xF1\xEE\xF1 \x98");
  CAtom* a = AddAtom(doc, o, "AI", -3);
  CPropertyItem* t = AddProperty(doc, a, "T", kTypeInt, "-5", 0x21);
  t->eoc = true;
  AddProperty(doc, a, "L", kTypeLinkTo, std::to_string(t->id));
  doc.SaveFile(Path("in.kdl"));

  CliResult r = Run("dump " + Path("in.kdl"));
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

TEST_F(CliTest, NewResaveAndCheck) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  AddProperty(doc, doc.NewAtom(doc.NewObject(doc.Groups().At(0))), "", kTypeLinkTo, "999");
  doc.SaveFile(Path("bad.kdl"));

  EXPECT_EQ(Run("resave " + Path("bad.kdl") + " " + Path("copy.kdl")).code, 0);
  EXPECT_EQ(ReadAll(Path("bad.kdl")), ReadAll(Path("copy.kdl")));

  CliResult r = Run("check " + Path("copy.kdl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names no property"), std::string::npos) << r.out;

  // An empty file opens as the empty base, yet check names it as a problem.
  std::ofstream(Path("empty.kdl"), std::ios::binary).flush();
  r = Run("check " + Path("empty.kdl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("empty.kdl: the file is empty"), std::string::npos) << r.out;
  r = Run("dump " + Path("empty.kdl"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"groups\":[]"), std::string::npos) << r.out;

  r = Run("new " + Path("good.kdl"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(fs::file_size(Path("good.kdl")), 60u);
  r = Run("check " + Path("good.kdl"));
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.empty());
}

TEST_F(CliTest, FailuresGiveOneLineAndTheirExitCode) {
  std::ofstream(Path("damaged.kdl"), std::ios::binary)
      << std::string("\x03\x00\xFF\xFF\x01\x00", 6);
  ASSERT_EQ(::mkfifo(Path("fifo.kdl").c_str(), 0644), 0);
  Run("new " + Path("good.kdl"));
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
      {"check " + dir.Path(""), 3, "folder"},
      {"check /dev/zero", 3, "/dev/zero: is a device"},
      {"dump " + Path("fifo.kdl"), 3, "fifo.kdl: is a pipe"},
      {"new " + Path("no/such/dir/x.kdl"), 3, "x.kdl: cannot write"},
      {"resave " + Path("good.kdl") + " /dev/null", 3, "/dev/null: is a device"},
      {"diff " + Path("good.kdl"), 2, "usage: kandrel-cli diff"},
      {"diff " + Path("good.kdl") + " " + Path("good.kdl") + " --by name", 2, "usage"},
      {"diff " + Path("good.kdl") + " " + Path("good.kdl") + " --timeout 5", 2, "usage"},
      {"diff " + Path("good.kdl") + " --server 127.0.0.1", 2, "usage"},
      {"diff " + Path("good.kdl") + " " + Path("missing.kdl"), 3, Path("missing.kdl")},
      {"diff " + Path("damaged.kdl") + " " + Path("good.kdl"), 3, "damaged.kdl: damaged file"},
  };
  for (const Case& c : cases) {
    CliResult r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args;
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
    // One line, unless the whole usage is listed.
    if (r.err.find("usage:\n") == std::string::npos) {
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
    }
  }
  EXPECT_FALSE(fs::exists(Path("no")));
}

// Pump 4 with atom AI 5 and property T 6, Fan 7 and Old 8 under Logic; the second file renames
// Pump, changes T's value, moves Fan into Pump, drops Old and adds Network/Bus (9).
TEST_F(CliTest, DiffPrintsEachDifferenceAndExitsByTheOutcome) {
  CTarnelDoc a;
  a.OnNewDocument();
  AddProperty(a, AddAtom(a, AddObject(a, a.Groups().At(1), "Pump"), "AI"), "T", kTypeInt, "5");
  AddObject(a, a.Groups().At(1), "Fan");
  AddObject(a, a.Groups().At(1), "Old");
  a.SaveFile(Path("a.kdl"));

  CTarnelDoc b;
  b.OpenFile(Path("a.kdl"));
  b.LookupRecord(4)->name = "\xCD\xE0\xF1\xEE\xF1";  // "Насос"
  AsProperty(b.LookupRecord(6))->valueText = "7";
  b.MoveRecord(b.LookupRecord(7), b.LookupRecord(4), b.RowCount(b.LookupRecord(4)));
  b.RemoveRecord(b.LookupRecord(8));
  b.NewObject(b.LookupRecord(3))->name = "Bus";
  b.SaveFile(Path("b.kdl"));

  CliResult same = Run("diff " + Path("a.kdl") + " " + Path("a.kdl"));
  EXPECT_EQ(same.code, 0) << same.err;
  EXPECT_EQ(same.out, "");
  CliResult text = Run("diff " + Path("a.kdl") + " " + Path("b.kdl"));
  EXPECT_EQ(text.code, 1) << text.err;
  EXPECT_EQ(text.out,
            "> /Logic/Fan -> /Logic/Насос/Fan\n"
            "- /Logic/Old\n"
            "~ /Logic/Pump name: Pump -> Насос\n"
            "~ /Logic/Pump/AI/T value: 5 -> 7\n"
            "+ /Network/Bus\n");
  CliResult json = Run("diff " + Path("a.kdl") + " " + Path("b.kdl") + " --json --ignore-values");
  EXPECT_EQ(json.code, 1) << json.err;
  EXPECT_EQ(json.out,
            "{\"added\":[9],\"changed\":[{\"fields\":[\"name\"],\"id\":4}],\"moved\":[7],"
            "\"removed\":[8]}\n");
}

// True when the bytes are well-formed UTF-8 and hold no control character but the line end.
bool CleanUtf8(const std::string& bytes) {
  QByteArray b = QByteArray::fromStdString(bytes);
  if (QString::fromUtf8(b).toUtf8() != b) return false;
  return std::none_of(bytes.begin(), bytes.end(),
                      [](char c) { return (uint8_t(c) < 0x20 && c != '\n') || c == 0x7F; });
}

TEST_F(CliTest, ListDiffAndCheckEscapeNamesAndPrintOnlyUtf8) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* o = AddObject(doc, doc.Groups().At(1), "a\tb\\c");
  CAtom* atom = AddAtom(doc, o, "\xC0\nB", -3);  // "А", a line feed, "B"
  AddProperty(doc, atom, "P", kTypeFile, "x\r\ny", 5);
  // A name that would retitle a terminal and ring its bell, and a link naming nothing.
  CObj* hostile = AddObject(doc, doc.Groups().At(1), "\x1B]0;\xCD\xE0\xF1\xEE\xF1\x07\x7F");
  AddProperty(doc, AddAtom(doc, hostile, "\x01"), "L", kTypeLinkTo, "999");
  doc.SaveFile(Path("in.kdl"));

  CliResult r = Run("list " + Path("in.kdl"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "/Hardware\tgroup\t1\t\t\t\n"
            "/Logic\tgroup\t2\t\t\t\n"
            "/Logic/a\\tb\\\\c\tobject\t4\t\t\t\n"
            "/Logic/a\\tb\\\\c/А\\nB\tatom\t5\t-3\t\t\n"
            "/Logic/a\\tb\\\\c/А\\nB/P\tproperty\t6\tFILE\t5\tx\\r\\ny\n"
            "/Logic/\\e]0;Насос\\x07\\x7f\tobject\t7\t\t\t\n"
            "/Logic/\\e]0;Насос\\x07\\x7f/\\x01\tatom\t8\t0\t\t\n"
            "/Logic/\\e]0;Насос\\x07\\x7f/\\x01/L\tproperty\t9\tLINK_TO\t0\t999\n"
            "/Network\tgroup\t3\t\t\t\n");

  r = Run("check " + Path("in.kdl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, Path("in.kdl") +
                       ": link '/Logic/\\e]0;Насос\\x07\\x7f/\\x01/L' (id 9) names no property: "
                       "value '999'\n");

  Run("new " + Path("new.kdl"));
  r = Run("diff " + Path("new.kdl") + " " + Path("in.kdl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("+ /Logic/\\e]0;Насос\\x07\\x7f/\\x01/L\n"), std::string::npos) << r.out;
  EXPECT_TRUE(CleanUtf8(r.out)) << r.out;

  // A file name as given on the command line, with an escape and a byte that is no UTF-8.
  r = Run("dump \"" + Path("") + "$(printf 'x\\033\\377.kdl')\"");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("x\\e\\xff.kdl"), std::string::npos) << r.err;
  EXPECT_TRUE(CleanUtf8(r.err)) << r.err;
  r = Run("$(printf 'frob\\033nicate')");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown command 'frob\\enicate'"), std::string::npos) << r.err;
  EXPECT_TRUE(CleanUtf8(r.err)) << r.err;
}

// kandrel-cli with its address space limited, its output in files of `dir`.
CliResult RunLimited(const TempDir& dir, rlim_t bytes, const std::vector<std::string>& args) {
  std::string out = dir.Path("limited.out"), err = dir.Path("limited.err");
  pid_t pid = ::fork();
  if (pid == 0) {
    struct rlimit limit = {bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> argv{const_cast<char*>(KANDREL_CLI)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KANDREL_CLI, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadAll(out),
          ReadAll(err)};
}

// 990 nested objects with 4,000-byte names (4 MB): every whole path together is about 2 GB.
// Each command stays within a fixed base and ten times the file, and shows a path longer than
// 4,096 bytes by its end, with the record's identifier.
TEST_F(CliTest, DeepRecordsWithLongNamesCostMemoryInProportionToTheFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit";
#endif
#endif
  CTarnelDoc doc;
  doc.OnNewDocument();
  CRecord* at = doc.Groups().At(1);
  std::vector<CRecord*> chain;
  for (int i = 0; i < 990; ++i) {
    at = AddObject(doc, at, std::string(4000, char('a' + i % 26)));
    chain.push_back(at);
  }
  CAtom* atom = AddAtom(doc, at, "A");
  CPropertyItem* prop = AddProperty(doc, atom, "P", kTypeInt, "1");
  doc.SaveFile(Path("deep.kdl"));
  Run("new " + Path("new.kdl"));
  const size_t fileBytes = fs::file_size(Path("deep.kdl"));
  // The program, its libraries and their first allocations: twice what `list` of a new file
  // needs.
  const rlim_t base = 128u << 20;
  const rlim_t limit = base + 10 * fileBytes;

  auto shown = [&](const CRecord* r) {
    std::string path = GetRecordPath(r);
    std::string id = " (id " + std::to_string(r->id) + ")";
    return path.size() <= 4096 ? path
                               : "…" + path.substr(path.size() - (4096 - 1 - id.size())) + id;
  };
  CliResult list = RunLimited(dir, limit, {"list", Path("deep.kdl")});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_LT(list.out.size(), 10 * fileBytes);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = list.out.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(list.out.substr(start, end - start));
  ASSERT_EQ(lines.size(), 3u + 990 + 2);
  EXPECT_EQ(lines[2], "/Logic/" + chain[0]->name + "\tobject\t4\t\t\t");
  EXPECT_EQ(lines[991], shown(chain.back()) + "\tobject\t993\t\t\t");
  EXPECT_EQ(lines[992], shown(atom) + "\tatom\t994\t0\t\t");
  EXPECT_EQ(lines[993], shown(prop) + "\tproperty\t995\tINT\t0\t1");
  // 4,096 bytes in windows-1251, where the ellipsis is one.
  EXPECT_EQ(lines[993].find('\t'), 4096u - 1 + 3);

  CliResult diff = RunLimited(dir, limit, {"diff", Path("deep.kdl"), Path("new.kdl")});
  EXPECT_EQ(diff.code, 1) << diff.err;
  EXPECT_LT(diff.out.size(), 10 * fileBytes);
  EXPECT_EQ(std::count(diff.out.begin(), diff.out.end(), '\n'), 990 + 2);
  EXPECT_NE(diff.out.find("- " + shown(chain.back()) + "\n"), std::string::npos);

  for (const char* command : {"check", "dump"}) {
    CliResult r = RunLimited(dir, limit, {command, Path("deep.kdl")});
    EXPECT_EQ(r.code, 0) << command << ": " << r.err;
  }
}

}  // namespace
