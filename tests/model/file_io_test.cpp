// What saving and reading do with odd targets and sources: links, pipes, devices, read-only
// files, long names, and saves that die half way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "model/document.h"

namespace fs = std::filesystem;

namespace {

class FileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("kandrel-io-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(::getpid()));  // other checkouts may run the same test meanwhile
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The names in the folder, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The message of the DocumentFileError that `fn` throws; empty when it throws none.
  template <class Fn>
  static std::string ErrorOf(Fn fn) {
    try {
      fn();
    } catch (const DocumentFileError& e) {
      return e.what();
    }
    return {};
  }

  fs::path dir_;
};

TEST_F(FileIoTest, ASymlinkIsFollowedAndStays) {
  fs::create_directories(dir_ / "real");
  Put(Path("real/base.kdl"), "old");
  fs::create_symlink("real/base.kdl", dir_ / "hop.kdl");  // relative, from the link's folder
  fs::create_symlink(dir_ / "hop.kdl", dir_ / "link.kdl");

  WriteFileAtomically(Path("link.kdl"), "new");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.kdl"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "hop.kdl"));
  EXPECT_EQ(Get(Path("real/base.kdl")), "new");
  EXPECT_EQ(Names(), (std::vector<std::string>{"hop.kdl", "link.kdl", "real"}));

  // A link to a file that does not exist yet creates it there.
  fs::create_symlink("real/later.kdl", dir_ / "later.kdl");
  WriteFileAtomically(Path("later.kdl"), "made");
  EXPECT_EQ(Get(Path("real/later.kdl")), "made");
  EXPECT_TRUE(fs::is_symlink(dir_ / "later.kdl"));

  fs::create_symlink("loop.kdl", dir_ / "loop.kdl");
  EXPECT_NE(ErrorOf([&] { WriteFileAtomically(Path("loop.kdl"), "x"); }).find("loop.kdl"),
            std::string::npos);
}

TEST_F(FileIoTest, TargetsThatAreNotRegularFilesAreRefusedUntouched) {
  ASSERT_EQ(::mkfifo(Path("fifo.kdl").c_str(), 0644), 0);
  fs::create_directories(dir_ / "folder.kdl");
  int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string sockPath = Path("sock.kdl");
  ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, sockPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  // A device behind a link: saving must neither replace the link nor write to the device.
  fs::create_symlink("/dev/null", dir_ / "device.kdl");

  struct Case {
    const char* name;
    const char* cause;
  } cases[] = {{"fifo.kdl", "FIFO"},
               {"folder.kdl", "folder"},
               {"sock.kdl", "socket"},
               {"device.kdl", "device"}};
  const std::vector<std::string> before = Names();
  for (const Case& c : cases) {
    std::string error = ErrorOf([&] { WriteFileAtomically(Path(c.name), "bytes"); });
    EXPECT_NE(error.find(Path(c.name)), std::string::npos) << error;
    EXPECT_NE(error.find(c.cause), std::string::npos) << error;
  }
  std::string missing = Path("missing/x.kdl");
  EXPECT_NE(ErrorOf([&] { WriteFileAtomically(missing, "bytes"); }).find(missing),
            std::string::npos);
  ::close(sock);
  EXPECT_EQ(Names(), before);  // nothing replaced, no temporary file
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo.kdl"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "device.kdl"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(FileIoTest, AReadOnlyTargetIsRefusedAndKept) {
  Put(Path("ro.kdl"), "keep");
  fs::permissions(Path("ro.kdl"), fs::perms::owner_read | fs::perms::group_read);
  std::string error;
  try {
    WriteFileAtomically(Path("ro.kdl"), "lost");
  } catch (const ReadOnlyFileError& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_EQ(Get(Path("ro.kdl")), "keep");
  EXPECT_EQ(Names(), std::vector<std::string>{"ro.kdl"});
}

TEST_F(FileIoTest, TheReplacedFileKeepsOwnerAndPermissions) {
  Put(Path("base.kdl"), "old");
  fs::permissions(Path("base.kdl"), fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::others_write);
  bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(Path("base.kdl").c_str(), 4321, 4322), 0);
  }
  WriteFileAtomically(Path("base.kdl"), "new");
  struct stat st;
  ASSERT_EQ(::stat(Path("base.kdl").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0642u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(Get(Path("base.kdl")), "new");
}

TEST_F(FileIoTest, NamesUpToTheFileSystemLimitCanBeSaved) {
  long max = ::pathconf(dir_.c_str(), _PC_NAME_MAX);
  ASSERT_GT(max, 12);
  std::string longest(size_t(max) - 4, 'n');
  longest += ".kdl";
  std::string cyrillic;
  while (cyrillic.size() + 2 + 4 <= size_t(max)) cyrillic += "\xD0\xAF";  // "Я" in UTF-8
  cyrillic += ".kdl";
  for (const std::string& name : {longest, cyrillic}) {
    WriteFileAtomically(Path(name), "one");
    WriteFileAtomically(Path(name), "two");
    EXPECT_EQ(Get(Path(name)), "two");
  }
  EXPECT_EQ(Names().size(), 2u);
}

TEST_F(FileIoTest, LeftoversOfAnEarlierSaveGoWithTheNextOne) {
  const std::string prefix = TemporaryNamePrefix("base.kdl");
  EXPECT_EQ(prefix, TemporaryNamePrefix("base.kdl"));
  EXPECT_NE(prefix, TemporaryNamePrefix("other.kdl"));
  Put(Path(prefix + "abc123"), "stale");
  Put(Path(TemporaryNamePrefix("other.kdl") + "abc123"), "someone else's");
  Put(Path(prefix + "locked"), "a save in progress");
  int busy = ::open(Path(prefix + "locked").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);

  WriteFileAtomically(Path("base.kdl"), "new");
  ::close(busy);
  std::vector<std::string> left = {prefix + "locked", TemporaryNamePrefix("other.kdl") + "abc123",
                                   "base.kdl"};
  std::sort(left.begin(), left.end());
  EXPECT_EQ(Names(), left);
}

TEST_F(FileIoTest, ASaveKilledAnywhereLeavesNothingAfterTheNextSave) {
  std::string big(8 << 20, 'k');
  std::string target = Path("base.kdl");
  WriteFileAtomically(target, "first");
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
  for (int round = 0; round < 12; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) WriteFileAtomically(target, big);
    }
    ::usleep(useconds_t(random() % 40000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    // Whatever the kill hit, the target holds one complete version.
    std::string now = Get(target);
    EXPECT_TRUE(now == "first" || now == big) << "round " << round << ": " << now.size();
  }
  WriteFileAtomically(target, "last");
  EXPECT_EQ(Names(), std::vector<std::string>{"base.kdl"});
  EXPECT_EQ(Get(target), "last");
}

TEST_F(FileIoTest, OnlyRegularFilesAreRead) {
  ASSERT_EQ(::mkfifo(Path("fifo.kdl").c_str(), 0644), 0);
  // No writer ever opens the FIFO: a reader that waited for one would hang here.
  EXPECT_NE(ErrorOf([&] { ReadFileBytes(Path("fifo.kdl")); }).find("FIFO"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { ReadFileBytes("/dev/zero"); }).find("/dev/zero: is a device"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { ReadFileBytes(dir_.string()); }).find("folder"), std::string::npos);
  EXPECT_NE(ErrorOf([&] { ReadFileBytes(Path("missing.kdl")); }).find("cannot open"),
            std::string::npos);

  // Read to the end in pieces, whatever the size.
  std::string bytes;
  for (int i = 0; i < (3 << 20) + 17; ++i) bytes.push_back(char(i * 7));
  Put(Path("big.kdl"), bytes);
  EXPECT_EQ(ReadFileBytes(Path("big.kdl")), bytes);
  Put(Path("empty.kdl"), "");
  EXPECT_EQ(ReadFileBytes(Path("empty.kdl")), "");

  // An empty file is a document without groups.
  CTarnelDoc doc;
  doc.OnNewDocument();
  doc.OpenFile(Path("empty.kdl"));
  EXPECT_TRUE(doc.Groups().Empty());
  EXPECT_EQ(doc.Ids().GetLastId(), 0);
}

}  // namespace
