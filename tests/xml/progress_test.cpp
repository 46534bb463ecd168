// Progress of export and of reading an interchange file: reports move one way to the total, a
// stopped export leaves the target file as it was, a stopped read leaves no import tree. Stopped
// imports: ui ProgressTest.
#include <gtest/gtest.h>

#include <filesystem>

#include "model/document.h"
#include "progress_recorder.h"
#include "sample_base.h"
#include "xml/export_file.h"
#include "xml/import_parser.h"
#include "xml_test_util.h"

namespace {

class XmlProgressTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildSampleBase(doc, 5000); }

  CTarnelDoc doc;
  TempDir dir;
};

TEST_F(XmlProgressTest, ExportReportsAndAStoppedExportLeavesTheTarget) {
  const std::string target = dir.Path("out.xml");
  WriteAll(target, "older export");
  for (long stopAfter : {0L, 3L}) {
    ProgressRecorder stopping(stopAfter);
    CExportFile file(doc, nullptr, target);
    EXPECT_THROW(file.Export(&stopping), OperationCancelled);
    EXPECT_EQ(ReadAll(target), "older export");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path(".")), {}), 1)
      << "no temporary file is left beside the target";

  ProgressRecorder exporting;
  CExportFile file(doc, nullptr, target);
  ASSERT_TRUE(file.Export(&exporting));
  EXPECT_EQ(exporting.Fault(), "");
  EXPECT_EQ(ReadAll(target), CExportFile(doc, nullptr, target).ExportToBytes(LocalDateToday()));

  // Reading it back is followed the same way (the merge: ui ProgressTest).
  ProgressRecorder reading;
  CImportParser parser;
  ASSERT_TRUE(parser.Load(target, &reading));
  EXPECT_EQ(reading.Fault(), "");
  ProgressRecorder stopping(2);
  EXPECT_THROW(parser.Load(target, &stopping), OperationCancelled);
  EXPECT_EQ(parser.GetRecordCount(), 0);
}

}  // namespace
