// Progress of the long model operations: every report moves one way and ends at the total, and
// an operation told to stop leaves what it was reading into, or writing over, as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/base_compare.h"
#include "model/document.h"
#include "progress_recorder.h"
#include "sample_base.h"

namespace fs = std::filesystem;

namespace {

class ProgressTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(fs::path(::testing::TempDir()) /
                        ("kandrel-progress-" + std::to_string(::getpid())));
    fs::create_directories(*dir_);
    CTarnelDoc doc;
    BuildSampleBase(doc, 20000);
    doc.SaveFile(Path("big.kdl"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }
  static std::string Path(const std::string& name) { return (*dir_ / name).string(); }
  static std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(*dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  static fs::path* dir_;
};
fs::path* ProgressTest::dir_ = nullptr;

TEST_F(ProgressTest, OpenSaveAndCompareReportOneWayToTheEnd) {
  ProgressRecorder opening;
  CTarnelDoc doc;
  doc.OpenFile(Path("big.kdl"), &opening);
  EXPECT_EQ(opening.Fault(), "");
  EXPECT_GT(opening.steps.size(), 10u)
      << "a 20,000-record file is followed in more than a few steps";

  ProgressRecorder saving;
  doc.SaveFile(Path("again.kdl"), &saving);
  EXPECT_EQ(saving.Fault(), "");
  EXPECT_GT(saving.steps.size(), 10u);
  // A save is not stopped half way, whatever the progress answers.
  ProgressRecorder refusing(0);
  doc.SaveFile(Path("again.kdl"), &refusing);
  EXPECT_EQ(ReadFileBytes(Path("again.kdl")), doc.SaveToBytes());

  ProgressRecorder comparing;
  CTarnelDoc other;
  other.OpenFile(Path("again.kdl"));
  EXPECT_TRUE(CompareDocuments(doc, other, {}, &comparing).Equal());
  EXPECT_EQ(comparing.Fault(), "");

  // Empty things end at once, and still at their total.
  ProgressRecorder empty;
  CTarnelDoc none;
  none.SaveFile(Path("empty.kdl"), &empty);
  EXPECT_EQ(empty.Fault(), "");
  fs::remove(Path("again.kdl"));
  fs::remove(Path("empty.kdl"));
}

TEST_F(ProgressTest, StoppedOpenLeavesTheOpenDocument) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  doc.NewObject(doc.Groups().At(0), "kept");
  const std::string before = doc.SaveToBytes();
  CRecord* kept = doc.Groups().At(0)->children.At(0);
  // Stopped while reading, while decoding, and at the very last report before the swap.
  ProgressRecorder all;
  CTarnelDoc probe;
  probe.OpenFile(Path("big.kdl"), &all);
  for (long stopAfter : {0L, 1L, long(all.steps.size()) / 2, long(all.steps.size()) - 1}) {
    ProgressRecorder stopping(stopAfter);
    EXPECT_THROW(doc.OpenFile(Path("big.kdl"), &stopping), OperationCancelled) << stopAfter;
    EXPECT_EQ(doc.SaveToBytes(), before) << stopAfter;
    EXPECT_EQ(doc.LookupRecord(kept->id), kept);
  }
}

TEST_F(ProgressTest, StoppedWriteLeavesTheTargetAndNoTemporaryFile) {
  const std::string target = Path("target.kdl");
  { std::ofstream(target) << "old contents"; }
  auto entries = Entries();
  std::string bytes(5u << 20, 'x');  // several pieces
  for (long stopAfter : {0L, 2L}) {
    ProgressRecorder stopping(stopAfter);
    EXPECT_THROW(WriteFileAtomically(target, bytes, &stopping), OperationCancelled);
    std::ifstream in(target);
    std::string now((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(now, "old contents");
    EXPECT_EQ(Entries(), entries);
  }
  ProgressRecorder writing;
  WriteFileAtomically(target, bytes, &writing);
  EXPECT_EQ(writing.Fault(), "");
  EXPECT_EQ(fs::file_size(target), bytes.size());
  fs::remove(target);
}

}  // namespace
