// The interchange file as the export writes it: exact bytes, escaping, links, failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "model/value_types.h"
#include "xml/export_file.h"
#include "xml/import_parser.h"
#include "xml_test_util.h"

namespace {

const ExportDate kDate{4, 12, 2026};

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n"
    "<?Vorlex-XML MajVer=\"1\" MinVer=\"0\" RelVer=\"0\" "
    "Copyright=\"Copyright (c) 1998-2026 Vorlex\"?>\r\n"
    "<!--  Export file of Vorlex Quorvantis   -->\r\n"
    "<!--  Date of generation 04.12.2026  -->\r\n"
    "<PartQuorvantis>";
const char kTail[] =
    "</PartQuorvantis>\r\n"
    "<!--  End of Export file of Vorlex Quorvantis  --> \r\n";

std::string PropLine(const char* name, int id, const char* type, const char* flags) {
  return std::string("<Property Name=\"") + name + "\" ID=\"" + std::to_string(id) + "\" Type=\"" +
         type + "\" " + flags + ">\r\n";
}
const char kNoFlags[] = "B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" B5=\"0\" B6=\"0\"";

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    CObj* port = AddObject(doc, doc.Groups().At(0), "Port1");
    CObj* sub = AddObject(doc, port, "Sub");
    CAtom* speed = AddAtom(doc, sub, "Speed", 200);
    value = AddProperty(doc, speed, "Value", kTypeInt, "42", 0x21);
    AddProperty(doc, speed, "Note", kTypeBin, "a<b & 'c' \"q\"");
    AddProperty(doc, speed, "Lines", kTypeFile, "x\r\ny\r\n");
    AddProperty(doc, speed, "Break", kTypeBin, "\n");
    AddProperty(doc, speed, "Odd", 9, "");
    AddProperty(doc, speed, "Link", kTypeLinkTo, "7");
    AddProperty(doc, speed, "Dead", kTypeLinkTo, "0");
  }

  std::string Bytes(const CRecord* record) {
    return CExportFile(doc, record, "unused.xml").ExportToBytes(kDate);
  }

  CTarnelDoc doc;
  CPropertyItem* value = nullptr;
};

TEST_F(ExportTest, WholeDocumentGivesTheExactLayoutAndChangesNothing) {
  std::string before = doc.SaveToBytes();
  std::string expected =
      std::string(kHead) +
      "<Base Name=\"Hardware\" ID=\"1\">\r\n"
      "<Object Name=\"Port1\" ID=\"4\">\r\n"
      "<Object Name=\"Sub\" ID=\"5\">\r\n"
      "<Atom Name=\"Speed\" ID=\"6\" Type=\"-56\">\r\n" +
      PropLine("Value", 7, "INT", "B1=\"1\" B2=\"0\" B3=\"0\" B4=\"0\" B5=\"0\" B6=\"1\"") +
      "42\r\n</Property>\r\n" + PropLine("Note", 8, "BIN", kNoFlags) +
      "a&lt;b &amp; &apos;c&apos; \"q\"\r\n</Property>\r\n" +
      PropLine("Lines", 9, "FILE", kNoFlags) + "x\r\ny\r\n</Property>\r\n" +
      PropLine("Break", 10, "BIN", kNoFlags) + "\r\n\r\n</Property>\r\n" +
      PropLine("Odd", 11, "UNKNOWN", kNoFlags) + "\r\n</Property>\r\n" +
      PropLine("Link", 12, "LINK_TO", kNoFlags) +
      "/Hardware/Port1/Sub/Speed/Value\r\n</Property>\r\n" +
      PropLine("Dead", 13, "LINK_TO", kNoFlags) + "\r\n</Property>\r\n" +
      "</Atom>\r\n</Object>\r\n</Object>\r\n</Base>\r\n"
      "<Base Name=\"Logic\" ID=\"2\">\r\n</Base>\r\n"
      "<Base Name=\"Network\" ID=\"3\">\r\n</Base>\r\n" +
      kTail;
  EXPECT_EQ(Bytes(nullptr), expected);
  EXPECT_EQ(doc.SaveToBytes(), before);  // the identifier counter is part of the bytes
}

TEST_F(ExportTest, EmptyDocumentAndSingleBranch) {
  CTarnelDoc empty;
  EXPECT_EQ(CExportFile(empty, nullptr, "x.xml").ExportToBytes(kDate), std::string(kHead) + kTail);

  // One atom selected: its element alone stands directly in the root element.
  std::string atom = Bytes(value->parent);
  EXPECT_EQ(atom.find("<PartQuorvantis><Atom Name=\"Speed\" ID=\"6\" Type=\"-56\">\r\n"),
            std::string(kHead).size() - std::string("<PartQuorvantis>").size());
  EXPECT_EQ(atom.find("<Object"), std::string::npos);
  EXPECT_TRUE(atom.ends_with(std::string("</Atom>\r\n") + kTail));
}

TEST_F(ExportTest, LinkValuesThatNameNoRecordGiveAnEmptyLine) {
  for (const char* v : {"", "abc", "0", "999"}) {
    value->typeCode = kTypeLinkTo;
    value->valueText = v;
    EXPECT_NE(Bytes(value).find("B6=\"1\">\r\n\r\n</Property>"), std::string::npos) << v;
  }
  // A number followed by text is read by its leading digits.
  value->valueText = "8 apples";
  EXPECT_NE(Bytes(value).find(">\r\n/Hardware/Port1/Sub/Speed/Note\r\n</Property>"),
            std::string::npos);
}

TEST_F(ExportTest, MarkupInNamesAndPathsIsEscaped) {
  CAtom* atom = AddAtom(doc, doc.Groups().At(0)->GetChild(0), "a&b<c>\"d'e\tf");
  CPropertyItem* p = AddProperty(doc, atom, "x\ny\rz", kTypeInt, "1");
  CPropertyItem* link = AddProperty(doc, atom, "L", kTypeLinkTo, std::to_string(p->id));
  std::string bytes = Bytes(atom);
  EXPECT_NE(bytes.find("<Atom Name=\"a&amp;b&lt;c&gt;&quot;d&apos;e&#9;f\""), std::string::npos);
  EXPECT_NE(bytes.find("<Property Name=\"x&#10;y&#13;z\""), std::string::npos);
  // In element content a double quote needs no reference.
  EXPECT_NE(bytes.find("\r\n/Hardware/Port1/a&amp;b&lt;c&gt;\"d&apos;e\tf/x\r\ny&#13;z\r\n"),
            std::string::npos);

  // Both parsers accept the file, and the names come back as they were.
  TempDir dir;
  WriteAll(dir.Path("names.xml"), bytes);
  std::string lint;
  EXPECT_TRUE(XmllintAccepts(dir.Path("names.xml"), &lint)) << lint;
  CImportParser parser;
  ASSERT_TRUE(parser.Load(dir.Path("names.xml"))) << parser.GetErrorDetail();
  ASSERT_EQ(parser.GetRecordCount(), 1);
  auto* read = static_cast<CAtom*>(parser.GetRecord(0));
  EXPECT_EQ(read->name, atom->name);
  EXPECT_EQ(read->GetProperty(0)->name, p->name);
  EXPECT_EQ(read->GetProperty(1)->valueText, "/Hardware/Port1/a&b<c>\"d'e\tf/x\ny\rz");
  (void)link;
}

TEST_F(ExportTest, Windows1251BytesAreWrittenAsTheyAre) {
  // "Насос" and the letters ё, Ё, № of the code page's upper half.
  value->parent->name = "\xCD\xE0\xF1\xEE\xF1 \xB8\xA8\xB9";
  std::string bytes = Bytes(value->parent);
  EXPECT_NE(bytes.find("Name=\"\xCD\xE0\xF1\xEE\xF1 \xB8\xA8\xB9\""), std::string::npos);
  TempDir dir;
  WriteAll(dir.Path("cyr.xml"), bytes);
  EXPECT_TRUE(XmllintAccepts(dir.Path("cyr.xml")));
}

TEST_F(ExportTest, ExportWritesTodaysDateAndReplacesTheFileWhole) {
  TempDir dir;
  std::string path = dir.Path("out.xml");
  WriteAll(path, std::string(100000, 'x'));  // an older, longer file
  CExportFile file(doc, nullptr, path);
  ASSERT_TRUE(file.Export()) << file.GetError();
  ExportDate today = LocalDateToday();
  char line[64];
  std::snprintf(line, sizeof line, "<!--  Date of generation %.2d.%.2d.%d  -->\r\n", today.day,
                today.month, today.year);
  std::string bytes = ReadAll(path);
  std::string expected = Bytes(nullptr);
  size_t dateAt = expected.find("<!--  Date");
  expected.replace(dateAt, expected.find('\n', dateAt) + 1 - dateAt, line);
  EXPECT_EQ(bytes, expected);
}

TEST_F(ExportTest, FailuresNameTheFileAndLeaveTheOlderFile) {
  TempDir dir;
  std::string path = dir.Path("keep.xml");
  WriteAll(path, "older contents");

  // A byte no XML file can carry refuses the export before anything is written.
  value->name = std::string("bad\x01name");
  CExportFile bad(doc, nullptr, path);
  EXPECT_FALSE(bad.Export());
  EXPECT_NE(bad.GetError().find(path), std::string::npos) << bad.GetError();
  EXPECT_NE(bad.GetError().find("record 7"), std::string::npos) << bad.GetError();
  EXPECT_NE(bad.GetError().find("0x01"), std::string::npos) << bad.GetError();
  EXPECT_EQ(ReadAll(path), "older contents");
  value->name = "Value";
  value->valueText = std::string("\x98");
  EXPECT_FALSE(CExportFile(doc, nullptr, path).Export());
  EXPECT_EQ(ReadAll(path), "older contents");
  value->valueText = "42";

  // A folder that does not exist, and a path through a file.
  std::string missing = dir.Path("no/such/folder/out.xml");
  CExportFile nowhere(doc, nullptr, missing);
  EXPECT_FALSE(nowhere.Export());
  EXPECT_EQ(nowhere.GetError().find(missing), 0u) << nowhere.GetError();
  EXPECT_FALSE(CExportFile(doc, nullptr, path + "/x.xml").Export());
  EXPECT_EQ(ReadAll(path), "older contents");
  // Nothing half-written is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path(""))) (void)e, ++files;
  EXPECT_EQ(files, 1);
}

}  // namespace
