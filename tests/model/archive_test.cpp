#include <gtest/gtest.h>

#include "hex_bytes.h"
#include "model/archive.h"
#include "model/archive_format.h"
#include "model/document.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

const char kNewDocumentHex[] =
    "03 00"
    "FF FF 01 00 05 00 43 42 61 73 65"
    "08 48 61 72 64 77 61 72 65 01 00 00 00 00 00"
    "01 80 05 4C 6F 67 69 63 02 00 00 00 00 00"
    "01 80 07 4E 65 74 77 6F 72 6B 03 00 00 00 00 00"
    "03 00";

DocumentContents Read(const std::string& bytes) {
  ArchiveReader r(bytes.data(), bytes.size());
  return CTarnelDoc::ReadContents(r);
}

std::string WriteString(const std::string& s) {
  std::string out;
  ArchiveWriter(&out).WriteString(s);
  return out;
}

std::string ReadString(const std::string& bytes) {
  ArchiveReader r(bytes.data(), bytes.size());
  std::string s = r.ReadString();
  EXPECT_TRUE(r.AtEnd());
  return s;
}

TEST(ArchiveTest, NewDocumentIsExactlySixtyBytes) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  EXPECT_EQ(doc.SaveToBytes(), Hex(kNewDocumentHex));

  CTarnelDoc back;
  back.TakeContents(Read(Hex(kNewDocumentHex)));
  ASSERT_EQ(back.Groups().Count(), 3);
  EXPECT_EQ(back.Groups().At(2)->name, "Network");
  EXPECT_EQ(back.Groups().At(2)->id, 3u);
  EXPECT_EQ(back.Ids().GetLastId(), 3);
}

TEST(ArchiveTest, PropertyRecordWithItsClassDescription) {
  CPropertyItem p(6);
  p.typeCode = kTypeInt;
  p.name = "Speed";
  p.flags = 0x21;
  p.valueText = "12";
  std::string bytes;
  ArchiveWriter(&bytes).WriteObjectRef(&p);
  EXPECT_EQ(bytes, Hex("FF FF 04 00 0D 00 43 50 72 6F 70 65 72 74 79 49 74 65 6D"
                       "03 06 00 00 00 05 53 70 65 65 64 21 00 02 31 32 0C 00 00 00"));
}

TEST(ArchiveTest, StringPrefixesByLength) {
  EXPECT_EQ(WriteString(std::string(254, 'a')).substr(0, 1), "\xFE");
  EXPECT_EQ(WriteString(std::string(255, 'a')).substr(0, 3), Hex("FF FF 00"));
  EXPECT_EQ(WriteString(std::string(65533, 'a')).substr(0, 3), Hex("FF FD FF"));
  EXPECT_EQ(WriteString(std::string(65534, 'a')).substr(0, 7), Hex("FF FF FF FE FF 00 00"));
  EXPECT_EQ(WriteString(std::string(65535, 'a')).substr(0, 7), Hex("FF FF FF FF FF 00 00"));
  for (size_t n : {0, 1, 254, 255, 65533, 65534, 65535, 70000}) {
    std::string s = Cp1251Text(n);
    EXPECT_EQ(ReadString(WriteString(s)), s) << n;
  }
}

TEST(ArchiveTest, ReadsTheForeignStringForms) {
  // Two-byte characters: "Aб" and a character the code page cannot hold.
  EXPECT_EQ(ReadString(Hex("FF FE FF 03 41 00 31 04 00 4E")), "A\xE1?");
  // The same with a 16-bit character count.
  EXPECT_EQ(ReadString(Hex("FF FE FF FF 01 00 41 00")), "A");
  // A 64-bit length.
  EXPECT_EQ(ReadString(Hex("FF FF FF FF FF FF FF 02 00 00 00 00 00 00 00 68 69")), "hi");
}

TEST(ArchiveTest, ListCountsEscapeAtFFFF) {
  std::string out;
  ArchiveWriter w(&out);
  w.WriteCount(65534);
  w.WriteCount(65535);
  EXPECT_EQ(out, Hex("FE FF FF FF FF FF 00 00"));
}

// A group with one object holding one atom with properties, the property class written with
// the given schema, and optionally a CIncomingLink list after each property.
std::string FileWithPropertySchema(uint16_t schema) {
  std::string b;
  ArchiveWriter w(&b);
  w.WriteCount(1);
  w.WriteWord(0xFFFF), w.WriteWord(1), w.WriteWord(5), b += "CBase";
  w.WriteString("Logic"), w.WriteDword(1), w.WriteCount(1);
  w.WriteWord(0xFFFF), w.WriteWord(1), w.WriteWord(4), b += "CObj";
  w.WriteString("Pump"), w.WriteDword(2), w.WriteCount(1);
  w.WriteWord(0xFFFF), w.WriteWord(1), w.WriteWord(5), b += "CAtom";
  w.WriteString("AI"), w.WriteDword(3), w.WriteByte(0xFB), w.WriteCount(3);
  // numbers so far: CBase 1, group 2, CObj 3, obj 4, CAtom 5, atom 6
  // property A (class 7, object 8): an INT target with one stored incoming link from 5
  w.WriteWord(0xFFFF), w.WriteWord(schema), w.WriteWord(13), b += "CPropertyItem";
  w.WriteByte(kTypeInt), w.WriteDword(4), w.WriteString("A"), w.WriteByte(0), w.WriteByte(0);
  w.WriteString("7"), w.WriteDword(7);
  if (schema == 3) {
    w.WriteCount(1);
    w.WriteWord(0xFFFF), w.WriteWord(1), w.WriteWord(13), b += "CIncomingLink";  // 9, object 10
    w.WriteDword(5);
  }
  // property B (object 11 or 9): a LINK_TO to A, through the class reference
  w.WriteWord(0x8007);
  w.WriteByte(kTypeLinkTo), w.WriteDword(5), w.WriteString("B"), w.WriteByte(1), w.WriteByte(1);
  w.WriteString("4"), w.WriteDword(4);
  if (schema == 3) w.WriteCount(0);
  // property C: a second link to A, with a 32-bit class reference
  w.WriteWord(0x7FFF), w.WriteDword(0x80000007);
  w.WriteByte(kTypeLinkTo), w.WriteDword(6), w.WriteString("C"), w.WriteByte(0), w.WriteByte(0);
  w.WriteString("4"), w.WriteDword(4);
  if (schema == 3) w.WriteCount(0);
  w.WriteWord(6);
  return b;
}

TEST(ArchiveTest, SchemaThreePropertiesKeepTheirIncomingLinks) {
  CTarnelDoc doc;
  doc.TakeContents(Read(FileWithPropertySchema(3)));
  auto* a = AsProperty(doc.LookupRecord(4));
  ASSERT_NE(a, nullptr);
  // The stored entry 5 stays; the rebuild adds only the missing 6.
  ASSERT_EQ(a->GetIncomingLinkCount(), 2);
  EXPECT_EQ(a->GetIncomingLink(0)->sourceId, 5u);
  EXPECT_EQ(a->GetIncomingLink(1)->sourceId, 6u);
  EXPECT_EQ(AsAtom(doc.LookupRecord(3))->type, -5);
  EXPECT_TRUE(AsProperty(doc.LookupRecord(5))->eoc);
  EXPECT_EQ(doc.Ids().GetLastId(), 6);

  // Saved again, the file carries the current schema and no link lists.
  std::string again = doc.SaveToBytes();
  EXPECT_NE(again.find(std::string("\x04\x00\x0D\x00"
                                   "CPropertyItem",
                                   17)),
            std::string::npos);
  EXPECT_EQ(again.find("CIncomingLink"), std::string::npos);
}

TEST(ArchiveTest, SchemaTwoPropertiesHaveNoLinkList) {
  CTarnelDoc doc;
  doc.TakeContents(Read(FileWithPropertySchema(2)));
  auto* a = AsProperty(doc.LookupRecord(4));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetIncomingLinkCount(), 2);
  EXPECT_EQ(AsProperty(doc.LookupRecord(6))->name, "C");
}

// Everything a record can hold survives a save and an open, across more than 32,767 objects so
// that the 32-bit references are used.
TEST(ArchiveTest, LargeDocumentRoundTrip) {
  CTarnelDoc doc;
  BuildSampleBase(doc, 65535);
  // Long names and every type code, the unknown ones included.
  CAtom* atom = nullptr;
  for (int i = 1; !atom; ++i) atom = AsAtom(doc.LookupRecord(uint32_t(i)));
  atom->name = Cp1251Text(65535);
  atom->properties.At(0)->name = Cp1251Text(255);
  atom->properties.At(1)->valueText = Cp1251Text(65534);
  atom->properties.At(2)->typeCode = 200;
  atom->properties.At(3)->name = Cp1251Text(254);
  std::string bytes = doc.SaveToBytes();

  CTarnelDoc back;
  back.TakeContents(Read(bytes));
  EXPECT_EQ(back.Ids().Count(), 65535);
  EXPECT_EQ(back.Ids().GetLastId(), 65535);
  // A negative SHORT text reads back as its unsigned pattern, so the first resave may differ
  // in text; from then on the bytes are stable.
  std::string again = back.SaveToBytes();
  CTarnelDoc third;
  third.TakeContents(Read(again));
  EXPECT_TRUE(third.SaveToBytes() == again);
  for (uint32_t id = 1; id <= 65535; ++id) {
    CRecord* a = doc.LookupRecord(id);
    CRecord* b = back.LookupRecord(id);
    ASSERT_NE(b, nullptr) << id;
    ASSERT_EQ(a->Kind(), b->Kind()) << id;
    ASSERT_EQ(a->name, b->name) << id;
    ASSERT_EQ(GetRecordPath(a), GetRecordPath(b)) << id;
    if (auto* p = AsProperty(a)) {
      auto* q = AsProperty(b);
      ASSERT_EQ(p->typeCode, q->typeCode) << id;
      ASSERT_EQ(p->flags & 0x3E, q->flags & 0x3E) << id;
      ASSERT_EQ(p->eoc, q->eoc) << id;
      ASSERT_EQ(p->GetRawValue(), q->GetRawValue()) << id;
      ASSERT_EQ(p->incomingLinks.size(), q->incomingLinks.size()) << id;
      ASSERT_EQ(p->decimalPoint ? p->decimalPoint->id : 0,
                q->decimalPoint ? q->decimalPoint->id : 0);
    }
  }
}

TEST(ArchiveTest, ReaderTablesRollBackToAMark) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  std::string bytes = doc.SaveToBytes();
  ArchiveReader r(bytes.data(), bytes.size());
  auto mark = r.GetMark();
  DocumentContents first = CTarnelDoc::ReadContents(r);
  r.Rollback(mark);
  // After the rollback the class description is new again, so the same bytes read the same way.
  DocumentContents second = CTarnelDoc::ReadContents(r);
  EXPECT_EQ(second.groups.size(), 3u);
}

}  // namespace
