// The exact bytes of messages and elements, and what the element readers give. A text element
// carries the archive's string, whose length forms archive_test holds.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "model/archive.h"
#include "model/records.h"
#include "net/net_message.h"
#include "wire_bytes.h"

using namespace net;

namespace {

CNetMessage Decode(const std::string& bytes, size_t* used = nullptr) {
  ArchiveReader ar(bytes.data(), bytes.size());
  CNetMessage m;
  m.Serialize(ar);
  if (used) *used = ar.Offset();
  return m;
}

// The base request (17 bytes), a raw value (26 bytes), and the smallest forms.
TEST(MessageBytes, ExamplesAndSmallestForms) {
  std::vector<std::pair<CNetMessage, const char*>> cases;
  cases.emplace_back(CNetMessage(kMsgBase), "03000000 01000000 08 00000000 00000000");
  cases.back().first.AppendFloat(0.0f);
  cases.emplace_back(CNetMessage(kMsgRawValue),
                     "CB000000 02000000 06 11000000 00000000 06 05000000 00000000");
  cases.back().first.AppendUInt(17);
  cases.back().first.AppendUInt(5);
  cases.emplace_back(CNetMessage(1), "01000000 01000000 0A 00");  // an empty text
  cases.back().first.Append(CNetMessageData());
  cases.emplace_back(CNetMessage(1), "01000000 01000000 0B 00000000");  // an empty buffer
  cases.back().first.Append(CNetMessageData::Buffer(nullptr, 0));
  cases.emplace_back(CNetMessage(7), "07000000 00000000");
  cases.emplace_back(CNetMessage(-3), "FDFFFFFF 00000000");
  for (const auto& [message, hex] : cases) EXPECT_EQ(Encode(message), Hex(hex)) << hex;
}

TEST(MessageBytes, BaseAnswerWithOneEmptyGroupIs24Bytes) {
  CBase hardware(1);
  hardware.name = "Hardware";
  CNetMessage m(kMsgBase);
  m.Append(CNetMessageData::Record(&hardware));
  std::string expected = Hex("03000000 01000000 0C 08") + "Hardware" + Hex("01000000 0000");
  EXPECT_EQ(Encode(m), expected);
  ASSERT_EQ(expected.size(), 24u);

  CNetMessage back = Decode(expected);
  CBase* g = nullptr;
  ASSERT_TRUE(back.ReadGroupAt(0, &g));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->name, "Hardware");
  EXPECT_EQ(g->id, 1u);
  EXPECT_EQ(g->GetChildCount(), 0);
}

TEST(MessageBytes, UnknownCodesCarryEightBytes) {
  for (int code : {0, 2, 3, 4, 5, 9, 16, 200, 255}) {
    std::string bytes = Hex("01000000 01000000") + char(code) + Hex("0102030405060708") + "tail";
    size_t used = 0;
    CNetMessage m = Decode(bytes, &used);
    EXPECT_EQ(used, bytes.size() - 4) << code;
    const CNetMessageData* e = m.GetElement(0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->code, code);
    EXPECT_EQ(std::memcmp(e->value, Hex("0102030405060708").data(), 8), 0);
    // Sent on unchanged.
    EXPECT_EQ(Encode(m), bytes.substr(0, used));
  }
}

TEST(MessageBytes, ZeroOrNegativeCountReadsNoElements) {
  for (const char* count : {"00000000", "FFFFFFFF", "00000080"}) {
    std::string bytes = Hex("05000000") + Hex(count) + "rest";
    size_t used = 0;
    CNetMessage m = Decode(bytes, &used);
    EXPECT_EQ(used, 8u);
    EXPECT_EQ(m.GetElementCount(), 0);
    EXPECT_EQ(m.GetId(), 5);
  }
}

TEST(ElementReaders, CopyWhateverTheCodeAndTellWhetherItMatched) {
  CNetMessage m(1);
  m.AppendUInt(0x11223344);
  m.Append(CNetMessageData::Counter(99));
  m.Append(CNetMessageData::Text("abc"));

  uint8_t b = 0;
  EXPECT_FALSE(m.ReadByteAt(0, &b));
  EXPECT_EQ(b, 0x44);  // the lowest byte

  uint32_t v = 0;
  EXPECT_TRUE(m.ReadUIntAt(0, &v));
  EXPECT_EQ(v, 0x11223344u);
  EXPECT_FALSE(m.ReadUIntAt(1, &v));
  EXPECT_EQ(v, 99u);
  EXPECT_TRUE(m.ReadCounterAt(1, &v));

  std::string s = "old";
  EXPECT_FALSE(m.ReadTextAt(0, &s));
  EXPECT_EQ(s, "");
  EXPECT_TRUE(m.ReadTextAt(2, &s));
  EXPECT_EQ(s, "abc");

  // Out of range: nothing is touched.
  v = 12345;
  b = 7;
  s = "keep";
  CBase* g = reinterpret_cast<CBase*>(&m);
  EXPECT_FALSE(m.ReadUIntAt(5, &v));
  EXPECT_FALSE(m.ReadByteAt(-1, &b));
  EXPECT_FALSE(m.ReadTextAt(3, &s));
  EXPECT_FALSE(m.ReadGroupAt(3, &g));
  EXPECT_EQ(v, 12345u);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(g, reinterpret_cast<CBase*>(&m));
}

TEST(ElementReaders, GroupReaderAcceptsOtherRecordsWithoutTouchingTheOutput) {
  CObj object(5);
  CAtom atom(6);
  CPropertyItem property(7);
  CBase group(8);
  CNetMessage m(kMsgBase);
  m.Append(CNetMessageData::Record(&object));
  m.Append(CNetMessageData::Record(&atom));
  m.Append(CNetMessageData::Record(&property));
  m.AppendUInt(3);
  m.Append(CNetMessageData::Record(&group));
  CBase* out = nullptr;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(m.ReadGroupAt(i, &out));
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_FALSE(m.ReadGroupAt(3, &out));
  EXPECT_TRUE(m.ReadGroupAt(4, &out));
  EXPECT_EQ(out, &group);
  // A message built here owns nothing.
  EXPECT_EQ(m.TakeGroupAt(4), nullptr);
}

TEST(Elements, CopyIsDeepForTheBufferAndShallowForRecords) {
  CBase group(1);
  CNetMessageData a = CNetMessageData::Buffer("xyz", 3);
  a.group = &group;
  CNetMessageData b;
  b = a;
  EXPECT_EQ(b.code, kCodeBuffer);
  EXPECT_EQ(b.buffer.Size(), 3u);
  EXPECT_NE(b.buffer.Data(), a.buffer.Data());
  EXPECT_EQ(std::memcmp(b.buffer.Data(), "xyz", 3), 0);
  EXPECT_EQ(b.group, &group);
  b = b;
  EXPECT_EQ(b.buffer.Size(), 3u);
  b.buffer.Set(b.buffer.Data() + 1, 2);  // from inside its own block
  EXPECT_EQ(std::memcmp(b.buffer.Data(), "yz", 2), 0);
}

TEST(RecordElements, RoundTripWithChildrenAndTakeOwnership) {
  CBase g(1);
  g.name = "Logic";
  auto* obj = static_cast<CObj*>(g.AddChild(std::make_unique<CObj>(2)));
  obj->name = "\xCD\xE0\xF1\xEE\xF1";
  auto* atom = static_cast<CAtom*>(obj->AddChild(std::make_unique<CAtom>(3)));
  atom->name = "AI";
  atom->type = -5;
  auto p = std::make_unique<CPropertyItem>(4);
  p->name = "Speed";
  p->typeCode = 3;
  p->flags = 0x21;
  p->valueText = "12";
  atom->AddProperty(std::move(p));

  CNetMessage m(kMsgBase);
  m.Append(CNetMessageData::Record(&g));
  std::string bytes = Encode(m);
  // A record element has no class tag; its children are object references.
  EXPECT_EQ(bytes.substr(8, 7), Hex("0C 05") + "Logic");

  CNetMessage back = Decode(bytes);
  std::unique_ptr<CBase> taken = back.TakeGroupAt(0);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(back.TakeGroupAt(0), nullptr);  // only once
  ASSERT_EQ(taken->GetChildCount(), 1);
  auto* obj2 = AsObject(taken->GetChild(0));
  ASSERT_NE(obj2, nullptr);
  EXPECT_EQ(obj2->name, obj->name);
  auto* atom2 = AsAtom(obj2->GetChild(0));
  ASSERT_NE(atom2, nullptr);
  EXPECT_EQ(atom2->type, -5);
  ASSERT_EQ(atom2->GetPropertyCount(), 1);
  EXPECT_EQ(atom2->GetProperty(0)->GetRawValue(), 12u);
  EXPECT_EQ(atom2->GetProperty(0)->flags, 0x21);
}

TEST(RecordElements, AMessageWithoutItsRecordCannotBeEncoded) {
  CNetMessage m(kMsgBase);
  CNetMessageData e;
  e.code = kCodeGroup;
  m.Append(e);
  EXPECT_FALSE(m.CanEncode());
  std::string bytes;
  ArchiveWriter ar(&bytes);
  EXPECT_THROW(m.Serialize(ar), std::invalid_argument);
}

}  // namespace
