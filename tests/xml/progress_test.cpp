// Progress of export and import: reports move one way to the total, a stopped export leaves the
// target file as it was, a stopped read of an interchange file leaves no import tree.
#include <gtest/gtest.h>

#include <filesystem>

#include "model/document.h"
#include "progress_recorder.h"
#include "sample_base.h"
#include "xml/c2ko_import.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"
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

  // Reading it back, and merging it, are followed the same way.
  ProgressRecorder reading;
  CImportParser parser;
  ASSERT_TRUE(parser.Load(target, &reading));
  EXPECT_EQ(reading.Fault(), "");
  ProgressRecorder merging;
  CTarnelDoc into;
  into.OnNewDocument();
  auto root = FillImportTree(parser, nullptr);
  ImportOutcome out = ApplyImport(into, *root, nullptr, &merging);
  EXPECT_EQ(merging.Fault(), "");
  EXPECT_EQ(merging.steps.back().second, uint64_t(out.merge.copied));

  ProgressRecorder stopping(2);
  EXPECT_THROW(parser.Load(target, &stopping), OperationCancelled);
  EXPECT_EQ(parser.GetRecordCount(), 0);
}

TEST_F(XmlProgressTest, C2koImportCountsItsLines) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "O}{o" + std::to_string(i) +
            "}\n A}{a}\n  P}{p}{-}{0}{0}{0}{0}{0}{0}{-}{int}{-}{1}"
            "{-}{-}{5}\n";
  ProgressRecorder importing;
  ImportC2koText(doc, text, doc.groups[0].get(), &importing);
  EXPECT_EQ(importing.Fault(), "");
  EXPECT_EQ(importing.steps.back().second, 9000u);
  ProgressRecorder stopping(5);
  EXPECT_THROW(ImportC2koText(doc, text, doc.groups[0].get(), &stopping), OperationCancelled);
}

}  // namespace
