// The XML import reader: what it makes of files written by the export, of files written by
// hand, and of hostile ones.
#include <gtest/gtest.h>

#include "model/value_types.h"
#include "xml/export_file.h"
#include "xml/import_parser.h"
#include "xml_test_util.h"

namespace {

const char kDecl[] = "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n";

std::unique_ptr<CImportParser> Parse(const std::string& body) {
  auto p = std::make_unique<CImportParser>();
  p->LoadBytes(std::string(kDecl) + body);
  return p;
}

std::string FailureOf(const std::string& bytes) {
  CImportParser p;
  try {
    p.LoadBytes(bytes);
  } catch (const XmlImportError& e) {
    EXPECT_EQ(p.GetRecordCount(), 0);
    return e.what();
  }
  return "accepted";
}

// What the round trip cannot show: the file's own identifiers, an unknown type, and line ends
// inside a value arriving as line feeds (the merge turns them back: MergeTest).
TEST(ImportParserTest, ReadsBackWhatTheExportWrote) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CAtom* atom = AddAtom(doc, AddObject(doc, doc.Groups().At(0), "\xCF\xEE\xF0\xF2"), "Speed");
  AddProperty(doc, atom, "Text", kTypeBin, "a<b & 'c' \"q\"\r\nline 2\r\n");
  AddProperty(doc, atom, "Odd", 77, "x");
  AddProperty(doc, atom, "Target", kTypeLinkTo, "6");
  CImportParser p;
  p.LoadBytes(CExportFile(doc, nullptr, "x.xml").ExportToBytes({1, 2, 2026}));

  ASSERT_EQ(p.GetRecordCount(), 3);
  EXPECT_EQ(p.GetRecord(3), nullptr);
  auto* o = static_cast<CObj*>(static_cast<CBase*>(p.GetRecord(0))->GetChild(0));
  EXPECT_EQ(o->id, 4u);
  auto* a = static_cast<CAtom*>(o->GetChild(0));
  ASSERT_EQ(a->GetPropertyCount(), 3);
  EXPECT_EQ(a->GetProperty(0)->GetOwner(), a);
  EXPECT_EQ(a->GetProperty(0)->valueText, "a<b & 'c' \"q\"\nline 2");
  EXPECT_EQ(a->GetProperty(1)->typeCode, 255);
  EXPECT_EQ(a->GetProperty(2)->valueText, "/Hardware/\xCF\xEE\xF0\xF2/Speed/Text");
  EXPECT_EQ(p.GetAlteredTextCount(), 0);
  EXPECT_EQ(p.GetSkippedElementCount(), 0);
}

TEST(ImportParserTest, MissingAndOddAttributes) {
  auto parsed = Parse(
      "<Any><Object><Atom Type=\"-56\"><Property>\n  v  \n</Property>"
      "<Property Name=\"n\" ID=\" 12x\" Type=\"int\" B1=\"7\" B2=\"0\" B3=\"x\" B6=\"-1\"/>"
      "</Atom></Object></Any>");
  CImportParser& p = *parsed;
  ASSERT_EQ(p.GetRecordCount(), 1);  // any root element, an object at the top level
  auto* o = static_cast<CObj*>(p.GetRecord(0));
  EXPECT_EQ(o->Kind(), kKindObject);
  EXPECT_EQ(o->name, "");
  EXPECT_EQ(o->id, 0u);
  auto* a = static_cast<CAtom*>(o->GetChild(0));
  EXPECT_EQ(uint8_t(a->type), 0xC8);
  CPropertyItem* bare = a->GetProperty(0);
  EXPECT_EQ(bare->typeCode, 255);
  EXPECT_EQ(bare->flags, 0);
  EXPECT_EQ(bare->valueText, "v");
  CPropertyItem* odd = a->GetProperty(1);
  EXPECT_EQ(odd->id, 12u);
  EXPECT_EQ(odd->typeCode, 255);  // type names are case-sensitive
  EXPECT_EQ(odd->flags, 0x21);
  EXPECT_EQ(odd->valueText, "");
}

TEST(ImportParserTest, TextOfValues) {
  auto parsed = Parse(
      "<R><Property Name=\"a\">\r\n x\r\ny\rz&#13;&#1055;&amp;&lt;&gt;&quot;&apos;<![CDATA[<c>]]>"
      "<!-- note --> \t\r\n</Property>"
      "<Property Name=\"&#x4E2D;&#1055;\">&#x1F600;</Property></R>");
  CImportParser& p = *parsed;
  ASSERT_EQ(p.GetRecordCount(), 2);
  EXPECT_EQ(static_cast<CPropertyItem*>(p.GetRecord(0))->valueText, "x\ny\nz\r\xCF&<>\"'<c>");
  // Characters windows-1251 cannot hold become "?", and each text altered is counted.
  EXPECT_EQ(p.GetRecord(1)->name, "?\xCF");
  EXPECT_EQ(static_cast<CPropertyItem*>(p.GetRecord(1))->valueText, "?");
  EXPECT_EQ(p.GetAlteredTextCount(), 2);
}

TEST(ImportParserTest, EncodingsOtherThanWindows1251) {
  CImportParser utf8;
  utf8.LoadBytes("<R><Base Name=\"\xD0\x9F\xD1\x83\xD0\xBB\xD1\x8C\"/></R>");  // "Пуль" in UTF-8
  ASSERT_EQ(utf8.GetRecordCount(), 1);
  EXPECT_EQ(utf8.GetRecord(0)->name, "\xCF\xF3\xEB\xFC");
  CImportParser named;
  named.LoadBytes("<?xml version='1.0' encoding = 'CP1251'?><R><Base Name=\"\xCF\"/></R>");
  EXPECT_EQ(named.GetRecord(0)->name, "\xCF");
}

TEST(ImportParserTest, RecordsOutOfPlaceArePassedOverWithTheirContent) {
  auto parsed = Parse(
      "<R><base Name=\"lower\"><Object/></base>"
      "<Base Name=\"g\"><Atom Name=\"a\"><Property/></Atom><Object Name=\"o\"><Base/>"
      "<Atom Name=\"ok\"><Property Name=\"p\">v<Object Name=\"in\">w</Object></Property>"
      "<Object/></Atom></Object><Property/></Base><Group/></R>");
  CImportParser& p = *parsed;
  ASSERT_EQ(p.GetRecordCount(), 1);
  auto* g = static_cast<CBase*>(p.GetRecord(0));
  ASSERT_EQ(g->GetChildCount(), 1);
  auto* o = static_cast<CObj*>(g->GetChild(0));
  ASSERT_EQ(o->GetChildCount(), 1);
  auto* a = static_cast<CAtom*>(o->GetChild(0));
  EXPECT_EQ(a->name, "ok");
  ASSERT_EQ(a->GetPropertyCount(), 1);
  // A property's value is all of its text, as a DOM's text of the element gives it.
  EXPECT_EQ(a->GetProperty(0)->valueText, "vw");
  // base, Atom in Base, Base in Object, Object in Property, Object in Atom, Property in Base,
  // Group.
  EXPECT_EQ(p.GetSkippedElementCount(), 7);
}

TEST(ImportParserTest, HostileFilesFailCleanly) {
  struct Case {
    std::string bytes;
    const char* cause;
  } cases[] = {
      {"", "line 1"},
      {std::string("\x00\x01\x02 binary", 10), "line 1"},
      {"<R><Base Name=\"a\"></R>", "line 1"},
      {std::string(kDecl) + "<R>\r\n<Base Name=\"a\" Name=\"b\"/></R>",
       "line 3: Attribute 'Name' redefined"},
      {"<R><Base Name=\"&foo;\"/></R>", "foo"},
      {"<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
       "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
       "<R><Base Name=\"&c;\"/></R>",
       "document type declarations are not accepted"},
      {"<?xml version=\"1.0\"?><!DOCTYPE R SYSTEM \"http://127.0.0.1:1/evil.dtd\"><R/>",
       "document type declarations are not accepted"},
      {"<?xml version=\"1.0\" encoding=\"koi8-x-unknown\"?><R/>", "line 1"},
      {"<R><Base/></R><R/>", "line 1"},
      {"<R><Base/></R>trailing text", "line 1"},
  };
  for (const Case& c : cases) {
    std::string what = FailureOf(c.bytes);
    EXPECT_NE(what.find(c.cause), std::string::npos) << what << " for " << c.bytes;
  }
}

TEST(ImportParserTest, DeepNestingIsRefused) {
  std::string deep = "<R>";
  for (int i = 0; i < 5000; ++i) deep += "<Object>";
  EXPECT_NE(FailureOf(deep).find("nested deeper than 1000"), std::string::npos);
  // An unknown element nests no deeper than a record.
  std::string unknown = "<R>";
  for (int i = 0; i < 5000; ++i) unknown += "<x>";
  EXPECT_NE(FailureOf(unknown).find("nested deeper"), std::string::npos);
}

TEST(ImportParserTest, EveryTruncationOfAnExportFails) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CAtom* a = AddAtom(doc, AddObject(doc, doc.Groups().At(1), "o"), "a");
  AddProperty(doc, a, "p", kTypeInt, "1");
  doc.RebuildTree();
  std::string bytes = CExportFile(doc, nullptr, "x.xml").ExportToBytes({1, 1, 2026});
  size_t end = bytes.find("</PartQuorvantis>") + std::string("</PartQuorvantis>").size();
  for (size_t n = 0; n < end; ++n) EXPECT_NE(FailureOf(bytes.substr(0, n)), "accepted") << n;
  CImportParser whole;
  whole.LoadBytes(bytes.substr(0, end));
  EXPECT_EQ(whole.GetRecordCount(), 3);
}

TEST(ImportParserTest, LoadReportsTheFileAndEmptiesTheTree) {
  TempDir dir;
  CImportParser p;
  WriteAll(dir.Path("good.xml"), "<R><Base/></R>");
  ASSERT_TRUE(p.Load(dir.Path("good.xml")));
  EXPECT_EQ(p.GetRecordCount(), 1);

  WriteAll(dir.Path("bad.xml"), "<R>\n<Base>\n</R>");
  EXPECT_FALSE(p.Load(dir.Path("bad.xml")));
  EXPECT_EQ(p.GetRecordCount(), 0);
  EXPECT_EQ(p.GetErrorText(), "Error while parsing XML document");
  EXPECT_EQ(p.GetErrorDetail().find(dir.Path("bad.xml") + ": line 3: "), 0u) << p.GetErrorDetail();

  EXPECT_FALSE(p.Load(dir.Path("missing.xml")));
  EXPECT_EQ(p.GetErrorText(), "Error while parsing XML document");
  EXPECT_EQ(p.GetErrorDetail(), dir.Path("missing.xml") + ": no such file");
  EXPECT_FALSE(p.Load(dir.Path("")));
  EXPECT_NE(p.GetErrorDetail().find("folder"), std::string::npos);
}

}  // namespace
