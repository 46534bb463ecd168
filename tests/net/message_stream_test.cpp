// Bytes arriving piecemeal: messages are decoded only when whole, at any split, with the
// record numbering running on across messages; hostile bytes are refused before they cost.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/archive.h"
#include "model/records.h"
#include "net/message_stream.h"
#include "net/net_message.h"
#include "wire_bytes.h"

using namespace net;

namespace {

// Owns the records the messages point at.
struct SampleStream {
  std::vector<std::unique_ptr<CRecord>> records;
  std::vector<CNetMessage> messages;
  std::string bytes;
  std::vector<size_t> ends;  // where each message ends in `bytes`

  template <class T>
  T* Make(uint32_t id, const char* name) {
    auto r = std::make_unique<T>(id);
    r->name = name;
    records.push_back(std::move(r));
    return static_cast<T*>(records.back().get());
  }

  SampleStream() {
    CNetMessage raw(kMsgRawValue);
    raw.AppendUInt(17);
    raw.AppendUInt(5);
    messages.push_back(std::move(raw));

    // A base of two groups; the children's classes are described the first time they occur.
    CNetMessage base(kMsgBase);
    for (uint32_t g = 1; g <= 2; ++g) {
      CBase* group = Make<CBase>(g, g == 1 ? "Hardware" : "Logic");
      auto* obj = static_cast<CObj*>(group->AddChild(std::make_unique<CObj>(10 * g)));
      obj->name = "Pump";
      auto* atom = static_cast<CAtom*>(obj->AddChild(std::make_unique<CAtom>(10 * g + 1)));
      atom->name = "AI";
      for (uint32_t i = 0; i < 2; ++i) {
        auto p = std::make_unique<CPropertyItem>(10 * g + 2 + i);
        p->name = i ? "Mode" : "Value";
        p->typeCode = 3;
        p->valueText = std::to_string(g * 100 + i);
        atom->AddProperty(std::move(p));
      }
      base.Append(CNetMessageData::Record(group));
    }
    messages.push_back(std::move(base));

    // Refers to the classes described in the message before.
    CNetMessage echo(kCtlEcho);
    CObj* obj = Make<CObj>(40, "Valve");
    obj->AddChild(std::make_unique<CObj>(41))->name = "Inner";
    echo.Append(CNetMessageData::Record(obj));
    echo.Append(CNetMessageData::Counter(77));
    messages.push_back(std::move(echo));

    CNetMessage text(kMsgValueText);
    text.AppendUInt(12);
    text.Append(CNetMessageData::Byte(1));
    text.Append(CNetMessageData::Text(std::string(300, '\xC0')));
    text.Append(CNetMessageData::Buffer("\x00\x01\x02", 3));
    messages.push_back(std::move(text));

    messages.emplace_back(-4);

    ArchiveWriter ar(&bytes);
    for (const auto& m : messages) {
      m.Serialize(ar);
      ends.push_back(bytes.size());
    }
  }
};

// Encodes decoded messages again with fresh numbering: equal bytes mean equal messages.
std::string Reencode(const std::vector<CNetMessage>& messages) {
  std::string out;
  ArchiveWriter ar(&out);
  for (const auto& m : messages) m.Serialize(ar);
  return out;
}

void Drain(CNetMessageStream& s, std::vector<CNetMessage>* out) {
  for (;;) {
    CNetMessage m;
    if (!s.Next(&m)) return;
    out->push_back(std::move(m));
  }
}

// Bytes one at a time, and every split into two reads (the whole stream in one read among
// them): at each point exactly the messages whose last byte has arrived are decoded.
TEST(MessageStream, SplitAtEveryByteBoundary) {
  SampleStream sample;
  const std::string& bytes = sample.bytes;
  CNetMessageStream trickle;
  std::vector<CNetMessage> trickled;
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    size_t whole =
        size_t(std::upper_bound(sample.ends.begin(), sample.ends.end(), cut) - sample.ends.begin());
    if (cut) {
      trickle.Feed(&bytes[cut - 1], 1);
      Drain(trickle, &trickled);
    }
    ASSERT_EQ(trickled.size(), whole) << "byte " << cut;
    CNetMessageStream s;
    std::vector<CNetMessage> got;
    s.Feed(bytes.data(), cut);
    Drain(s, &got);
    ASSERT_EQ(got.size(), whole) << "cut at " << cut;
    s.Feed(bytes.data() + cut, bytes.size() - cut);
    Drain(s, &got);
    ASSERT_EQ(got.size(), sample.messages.size()) << "cut at " << cut;
    ASSERT_EQ(Reencode(got), bytes) << "cut at " << cut;
  }
  EXPECT_EQ(Reencode(trickled), bytes);
  EXPECT_EQ(trickle.Buffered(), 0u);
  EXPECT_EQ(trickle.Consumed(), bytes.size());
}

// Numbering: CObj, an object, CAtom, an atom, CPropertyItem, ... in the first message. A
// writer that starts afresh numbers CPropertyItem 1 in the next one.
struct TablesAfterBase {
  CBase group{1};
  CAtom atom{5};
  std::string bytes;
  size_t baseEnd = 0;
  TablesAfterBase() {
    auto* obj = static_cast<CObj*>(group.AddChild(std::make_unique<CObj>(2)));
    obj->AddChild(std::make_unique<CAtom>(3));
    atom.AddProperty(std::make_unique<CPropertyItem>(6));
    atom.AddProperty(std::make_unique<CPropertyItem>(7));
    ArchiveWriter ar(&bytes);
    CNetMessage base(kMsgBase);
    base.Append(CNetMessageData::Record(&group));
    base.Serialize(ar);
    baseEnd = bytes.size();
    ar.Reset();
    CNetMessage next(kCtlEcho);
    next.Append(CNetMessageData::Record(&atom));
    next.Serialize(ar);
  }
};

TEST(MessageStream, NumberingRunsOnUntilBothSidesReset) {
  TablesAfterBase t;
  EXPECT_EQ(t.bytes.substr(t.bytes.size() - 15, 2), Hex("0180"));  // class 1 again
  CNetMessageStream s, stale;
  CNetMessage base, next;
  for (CNetMessageStream* reader : {&s, &stale}) {
    reader->Feed(t.bytes.data(), t.bytes.size());
    ASSERT_TRUE(reader->Next(&base));
  }
  s.ResetTables();
  ASSERT_TRUE(s.Next(&next));
  EXPECT_EQ(next.GetElement(0)->atom->GetPropertyCount(), 2);
  // Without the reset, class 1 is CObj on this side: a property list cannot hold it.
  EXPECT_THROW(stale.Next(&next), ArchiveError);

  // The writing side: the class goes by number the second time, and is described after a reset.
  CNetMessage m(kCtlEcho);
  m.Append(CNetMessageData::Record(&t.atom));
  std::string first, second, third;
  CNetMessageStream writer;
  writer.Encode(m, &first);
  writer.Encode(m, &second);
  writer.ResetTables();
  writer.Encode(m, &third);
  EXPECT_NE(first, second);
  EXPECT_EQ(first, third);
}

// Each of these is refused as soon as its bytes show the fault, without waiting for (or
// allocating) what it claims.
struct Hostile {
  const char* what;
  std::string bytes;
};

std::string Nested(int levels) {
  std::string b = Hex("03000000 01000000 0C 00 01000000 0100");
  b += Hex("FFFF 0100 0400") + "CObj" + Hex("00 02000000 0100");
  for (int i = 1; i < levels; ++i) b += Hex("0180 00 02000000 0100");
  b += Hex("0000");
  return b;
}

TEST(MessageStream, HostileBytesAreRefused) {
  const Hostile cases[] = {
      {"too many elements", Hex("03000000 01000100")},
      {"text over the bound", Hex("01000000 01000000 0A FF FFFF 00000005")},
      {"64-bit text length", Hex("01000000 01000000 0A FF FFFF FFFFFFFF 00000000 01000000")},
      {"repeated wide marker", Hex("01000000 01000000 0A FF FEFF FF FEFF")},
      {"buffer over the bound", Hex("01000000 01000000 0B FFFFFF7F")},
      {"list longer than a message", Hex("03000000 01000000 0C 00 01000000 FFFF 00000040")},
      {"unknown class", Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0100 0400") + "CFoo"},
      {"long class name", Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0100 4000")},
      {"bad schema", Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0200 0400") + "CObj"},
      {"reference to an object", Hex("03000000 01000000 0C 00 01000000 0100 0100")},
      {"class not read", Hex("03000000 01000000 0C 00 01000000 0100 0580")},
      {"big class not read", Hex("03000000 01000000 0C 00 01000000 0100 FF7F 05000080")},
      {"group inside a group",
       Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0100 0500") + "CBase"},
      {"property among children",
       Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0400 0D00") + "CPropertyItem"},
      {"nested too deep", Nested(1100)},
  };
  for (const Hostile& h : cases) {
    CNetMessageStream s;
    s.Feed(h.bytes.data(), h.bytes.size());
    CNetMessage m;
    try {
      s.Next(&m);
      ADD_FAILURE() << h.what << ": accepted";
    } catch (const ArchiveError& e) {
      EXPECT_FALSE(e.truncated()) << h.what;
    }
  }
  // Deep, but within the bound.
  std::string deep = Nested(900);
  CNetMessageStream s;
  s.Feed(deep.data(), deep.size());
  CNetMessage m;
  EXPECT_TRUE(s.Next(&m));
}

TEST(MessageStream, ErrorsNameTheOffsetInTheStream) {
  SampleStream sample;
  std::string bytes = sample.bytes + Hex("03000000 01000000 0C 00 01000000 0100 0100");
  CNetMessageStream s;
  s.Feed(bytes.data(), bytes.size());
  std::vector<CNetMessage> got;
  try {
    Drain(s, &got);
    FAIL() << "accepted";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.offset(), sample.bytes.size() + 16);
  }
  EXPECT_EQ(got.size(), sample.messages.size());
}

}  // namespace
