// The journal of values sent: lines that survive a killed writer, rotation, and texts that
// must come back byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <set>
#include <sstream>

#include "net/journal/write_journal.h"

namespace {

JournalEntry Entry(uint32_t id, std::string newText = "1") {
  JournalEntry e;
  e.time = JournalTimeNow();
  e.server = "127.0.0.1:6000";
  e.user = JournalUser();
  e.host = JournalHost();
  e.id = id;
  e.path = "/Logic/Pump/AI/Value";
  e.type = "SHORT";
  e.oldText = "0";
  e.newText = std::move(newText);
  e.origin = "apply";
  e.result = kJournalSent;
  return e;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

off_t SizeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

struct JournalTest : ::testing::Test {
  QTemporaryDir dir;
  std::string Path(const char* name) { return dir.filePath(name).toStdString(); }
};

TEST_F(JournalTest, OddTextsComeBackByteForByte) {
  // Quotes, backslashes, line ends, a tab, every windows-1251 letter and sign but 0x98 (which
  // the code page leaves undefined).
  std::string odd = "a\"b\\c\nd\re\tf";
  for (int b = 0x80; b <= 0xFF; ++b)
    if (b != 0x98) odd += char(b);
  JournalEntry e = Entry(4000000000u, odd);
  e.path = "/\xCB\xEE\xE3\xE8\xEA\xE0/\"x\"\\y";
  e.oldText = "";

  std::string line = EncodeJournalLine(e);
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line, ended once";
  JournalEntry back;
  ASSERT_TRUE(DecodeJournalLine(line, &back)) << line;
  EXPECT_EQ(back.newText, odd);
  EXPECT_EQ(back.path, e.path);
  EXPECT_EQ(back.oldText, "");
  EXPECT_EQ(back.id, 4000000000u);
  EXPECT_EQ(back.time, e.time);
  EXPECT_EQ(back.result, "sent");

  // The time carries milliseconds and the offset, zero offset included.
  EXPECT_EQ(e.time.size(), std::string("2026-12-07T14:03:11.482+03:00").size()) << e.time;

  for (const char* bad : {"", "{", "[]", "{\"id\":\"7\",\"result\":\"sent\"}", "{\"id\":-1}",
                          "{\"time\":\"x\",\"id\":3"})
    EXPECT_FALSE(DecodeJournalLine(bad, &back)) << bad;
}

TEST_F(JournalTest, EveryControlCharacterAndMalformedNamesStillMakeOneLineOfValidJson) {
  // Every byte below 0x20, NUL included, and DEL, in each windows-1251 text.
  std::string controls;
  for (int b = 0; b < 0x20; ++b) controls += char(b);
  controls += "\x7F\"\\/";
  JournalEntry e = Entry(0, controls);
  e.oldText = controls + "\xC0\xFF";
  e.path = "/" + controls;
  // A login and host name that are no well-formed UTF-8: a stray continuation byte, a cut
  // sequence, an overlong slash, a surrogate; beside them a good Cyrillic name and an emoji.
  e.user =
      "a\x80"
      "b\xD0"
      "c\xC0\xAF"
      "d\xED\xA0\x80"
      "\xD0\xB8\xF0\x9F\x98\x80\"";
  e.host = std::string("h\n\0st", 5);

  std::string line = EncodeJournalLine(e);
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line, ended once";
  for (unsigned char c : line.substr(0, line.size() - 1)) EXPECT_GE(c, 0x20) << line;
  QJsonParseError error;
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << line;
  QJsonObject o = doc.object();
  EXPECT_EQ(o.keys().size(), 11);
  EXPECT_EQ(o["user"].toString(), QString::fromUtf8("a\uFFFDb\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD"
                                                    "\uFFFD\u0438\U0001F600\""));
  EXPECT_EQ(o["host"].toString(), QString::fromUtf8("h\n\0st", 5));
  EXPECT_EQ(o["id"].toInteger(), 0);

  JournalEntry back;
  ASSERT_TRUE(DecodeJournalLine(line, &back)) << line;
  EXPECT_EQ(back.newText, controls);
  EXPECT_EQ(back.oldText, e.oldText);
  EXPECT_EQ(back.path, e.path);
  EXPECT_EQ(back.host, e.host);
  EXPECT_EQ(back.origin, "apply");
  EXPECT_EQ(back.type, "SHORT");
}

TEST_F(JournalTest, AKilledBurstOfSeveralWritersLeavesWholeLinesOnly) {
  std::string path = Path("burst.jsonl");
  const size_t page = size_t(::sysconf(_SC_PAGESIZE));
  auto sizeOf = [page](uint32_t i) { return 100 + (i * 7919) % (page - 400); };
  // Lines of up to nearly a page at every offset, so many would straddle two pages, where a
  // kill between the two copies would tear them; two writers, killed at once, three times.
  for (int round = 0; round < 3; ++round) {
    std::vector<pid_t> writers;
    for (uint32_t w = 0; w < 2; ++w) {
      pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        CWriteJournal journal(path, uint64_t(1) << 40);
        for (uint32_t i = 0;; ++i)
          if (!journal.Append(
                  Entry(uint32_t(round * 2 + w) << 24 | i, std::string(sizeOf(i), 'x'))))
            ::_exit(1);
      }
      writers.push_back(pid);
    }
    off_t before = SizeOf(path);
    while (SizeOf(path) < before + (2 << 20)) ::usleep(500);
    for (pid_t pid : writers) ::kill(pid, SIGKILL);
    for (pid_t pid : writers) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFSIGNALED(status)) << "a writer stopped by itself";
    }
  }

  JournalRead read = ReadJournalFile(path);
  EXPECT_EQ(read.damaged, 0);
  ASSERT_GT(read.entries.size(), 600u);
  EXPECT_EQ(ReadAll(path).back(), '\n');
  // Each writer's lines are all there, in the order it wrote them.
  uint32_t next[6] = {0, 0, 0, 0, 0, 0};
  for (const JournalEntry& e : read.entries) {
    uint32_t w = e.id >> 24, i = e.id & 0xFFFFFF;
    ASSERT_LT(w, 6u);
    EXPECT_EQ(i, next[w]++);
    EXPECT_EQ(e.newText.size(), sizeOf(i));
  }
}

TEST_F(JournalTest, ATornLastLineIsPassedOverAndDoesNotSwallowTheNext) {
  std::string path = Path("torn.jsonl");
  std::string whole = EncodeJournalLine(Entry(1));
  std::ofstream(path, std::ios::binary) << whole << whole.substr(0, whole.size() / 2);
  EXPECT_EQ(ReadJournalFile(path).entries.size(), 1u);
  EXPECT_EQ(ReadJournalFile(path).damaged, 1);

  CWriteJournal journal(path);
  ASSERT_TRUE(journal.Append(Entry(2))) << journal.LastError();
  JournalRead read = ReadJournalFile(path);
  ASSERT_EQ(read.entries.size(), 2u);
  EXPECT_EQ(read.entries[1].id, 2u);
  EXPECT_EQ(read.damaged, 1);

  EXPECT_TRUE(ReadJournalFile(Path("missing.jsonl")).entries.empty());
  EXPECT_THROW(ReadJournalFile(dir.path().toStdString()), JournalError);
  CWriteJournal onAFolder(dir.path().toStdString());
  EXPECT_FALSE(onAFolder.Append(Entry(3)));
  EXPECT_NE(onAFolder.LastError().find(dir.path().toStdString()), std::string::npos);
}

TEST_F(JournalTest, RotationKeepsTheNewestFilesUnderTheSize) {
  std::string path = Path("host_6000.jsonl");
  const uint64_t limit = 2000;
  const size_t lineSize = EncodeJournalLine(Entry(100)).size();
  CWriteJournal journal(path, limit, 3);
  // A second writer sees the first one's rotation and follows it.
  CWriteJournal other(path, limit, 3);
  for (uint32_t id = 100; id < 300; ++id)
    ASSERT_TRUE((id % 2 ? other : journal).Append(Entry(id))) << journal.LastError();

  std::vector<std::string> files = JournalFilesOf(path);
  ASSERT_EQ(files, (std::vector<std::string>{path + ".3", path + ".2", path + ".1", path}));
  EXPECT_EQ(SizeOf(path + ".4"), 0);
  std::vector<uint32_t> ids;
  for (const std::string& f : files) {
    EXPECT_LE(uint64_t(SizeOf(f)), limit) << f;
    EXPECT_GT(uint64_t(SizeOf(f)) + lineSize, f == path ? 0 : limit) << f;
    for (const JournalEntry& e : ReadJournalFile(f).entries) ids.push_back(e.id);
  }
  // The newest lines, none lost or doubled among the files kept.
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids.back(), 299u);
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] + 1);

  EXPECT_EQ(JournalsIn(dir.path().toStdString()), std::vector<std::string>{path});
}

TEST(JournalPlace, FollowsXdgDataHome) {
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(JournalPathFor("10.0.0.5", 6000),
            "/srv/data/Kandrel/Kandrel/journal/10.0.0.5_6000.jsonl");
  // A relative XDG_DATA_HOME is not a data folder: the default under HOME is taken instead.
  ::setenv("XDG_DATA_HOME", "relative", 1);
  ::setenv("HOME", "/home/op", 1);
  EXPECT_EQ(JournalDirectory(), "/home/op/.local/share/Kandrel/Kandrel/journal");
  ::setenv("HOME", home.c_str(), 1);
  if (old)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
