// The write gate over loopback, seen from the server's side: what leaves in each mode, what a
// cancelled preview keeps back, and how each value sent is followed and journaled.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "model/document.h"
#include "model/document_edits.h"
#include "net/base_session.h"
#include "net/journal/write_journal.h"
#include "net/net_message.h"
#include "net/write_gate.h"
#include "test_peer.h"

using namespace net;

namespace {

struct WriteGate : ::testing::Test {
  QTemporaryDir data;
  CTarnelDoc doc;
  TestPeer peer;
  std::unique_ptr<CBaseSession> session;
  CPropertyItem* speed = nullptr;
  CPropertyItem* level = nullptr;
  std::vector<std::vector<ValueWrite>> previews;
  bool previewAnswer = true;

  QByteArray dataHome = qgetenv("XDG_DATA_HOME");

  void SetUp() override {
    ::setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
    doc.OnNewDocument();
    doc.RebuildTree();
    CAtom* atom = doc.NewAtom(doc.NewObject(doc.Groups().At(1)));
    atom->name = "AI";
    speed = Add(atom, "Speed", "5");
    level = Add(atom, "Level", "7");
    session = std::make_unique<CBaseSession>(doc);
    gate().SetPreview([this](const std::vector<ValueWrite>& batch) {
      previews.push_back(batch);
      return previewAnswer;
    });
    ASSERT_TRUE(session->Connect("127.0.0.1", peer.Port()));
    ASSERT_TRUE(peer.Accept());
  }

  void TearDown() override {
    session.reset();
    qputenv("XDG_DATA_HOME", dataHome);
  }

  CWriteGate& gate() { return session->Gate(); }

  CPropertyItem* Add(CAtom* atom, const char* name, const char* value) {
    CPropertyItem* p = doc.NewProperty(atom);
    p->name = name;
    p->typeCode = 3;
    p->valueText = value;
    p->InitRawValue(uint32_t(std::atoi(value)));
    return p;
  }

  // "Применить" with a new value, as the form does it.
  void Apply(CPropertyItem* p, const std::string& value) {
    PropertyEdit edit;
    edit.name = p->name;
    edit.valueText = value;
    ApplyPropertyEdit(doc, *p, edit);
  }

  int probes = 0;  // -3 messages sent, which the client answers with 8 bytes each

  // Waits until the client has taken everything sent to it so far and sent what it had to.
  void Barrier() {
    RunPosted();
    size_t before = peer.received.size();
    CNetMessage probe(kCtlEcho);
    peer.Send(probe);
    ++probes;
    EXPECT_TRUE(WaitUntil([&] {
      peer.Poll();
      return peer.received.size() > before && peer.received.back().GetId() == kCtlEcho;
    }));
  }

  // Everything the client sent, once what it had to send has arrived.
  std::vector<std::pair<uint32_t, uint32_t>> Sent() {
    Barrier();
    std::vector<std::pair<uint32_t, uint32_t>> values;
    for (const CNetMessage& m : peer.received) {
      if (m.GetId() != kMsgRawValue) continue;
      uint32_t id = 0, raw = 0;
      m.ReadUIntAt(0, &id);
      m.ReadUIntAt(1, &raw);
      values.emplace_back(id, raw);
    }
    peer.received.clear();
    return values;
  }

  void Report(uint32_t id, uint32_t raw) {
    CNetMessage m(kMsgRawValue);
    m.AppendUInt(id);
    m.AppendUInt(raw);
    peer.Send(m);
    Barrier();
  }

  std::vector<JournalEntry> Journal() {
    return ReadJournalFile(JournalPathFor("127.0.0.1", peer.Port())).entries;
  }
};

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>;

TEST_F(WriteGate, OneValueGoesAtOnceIsConfirmedAndJournaledTwice) {
  Apply(speed, "12");
  EXPECT_EQ(Sent(), (Pairs{{speed->id, 12}}));
  EXPECT_TRUE(previews.empty()) << "a single value is not previewed";
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kSent);

  Report(speed->id, 12);
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kConfirmed);
  EXPECT_TRUE(Sent().empty()) << "a confirmation is not answered";

  std::vector<JournalEntry> lines = Journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].result, "sent");
  EXPECT_EQ(lines[1].result, "confirmed");
  for (const JournalEntry& e : lines) {
    EXPECT_EQ(e.id, speed->id);
    EXPECT_EQ(e.path, "/Logic//AI/Speed");
    EXPECT_EQ(e.type, "INT");
    EXPECT_EQ(e.oldText, "5");
    EXPECT_EQ(e.newText, "12");
    EXPECT_EQ(e.origin, "apply");
    EXPECT_EQ(e.server, "127.0.0.1:" + std::to_string(peer.Port()));
  }

  // "Подтверждать каждую запись": a single value is previewed too, and cancelled stays.
  gate().SetConfirmEach(true);
  previewAnswer = false;
  Apply(speed, "13");
  EXPECT_TRUE(Sent().empty());
  ASSERT_EQ(previews.size(), 1u);
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kNotSent);
}

TEST_F(WriteGate, ABatchIsPreviewedAndACancelledOneSendsNothingAndKeepsTheChange) {
  {
    CWriteGate::Action action(&gate(), WriteOrigin::kBulk);
    Apply(speed, "20");
    Apply(level, "30");
    Apply(speed, "21");  // the same value twice in one action is one write
  }
  previewAnswer = false;
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(peer.rawReceived.find('\xCB') == std::string::npos);
  ASSERT_EQ(previews.size(), 1u);
  ASSERT_EQ(previews[0].size(), 2u);
  EXPECT_EQ(previews[0][0].path, "/Logic//AI/Speed");
  EXPECT_EQ(previews[0][0].oldText, "5");
  EXPECT_EQ(previews[0][0].newText, "21");
  EXPECT_EQ(previews[0][0].origin, WriteOrigin::kBulk);
  EXPECT_EQ(previews[0][1].newText, "30");
  EXPECT_EQ(speed->GetRawValue(), 21u);
  EXPECT_EQ(gate().StateOf(level->id), WriteState::kNotSent);
  EXPECT_TRUE(Journal().empty());

  // Accepted, the next batch goes whole; the old value is still what the server has.
  previewAnswer = true;
  Apply(speed, "22");
  Apply(level, "31");
  EXPECT_EQ(Sent(), (Pairs{{speed->id, 22}, {level->id, 31}}));
  ASSERT_EQ(previews.size(), 2u);
  EXPECT_EQ(previews[1][0].oldText, "5");
  EXPECT_EQ(gate().StateOf(level->id), WriteState::kSent);
}

TEST_F(WriteGate, MonitorOnlySendsNoByteWhateverChangesAndSendsTheHeldValuesWhenAsked) {
  gate().SetMode(WriteMode::kMonitorOnly);
  Apply(speed, "40");
  Apply(level, "41");
  std::vector<ValueWrite> batch(1);
  batch[0].id = speed->id;
  batch[0].newRaw = 99;
  EXPECT_EQ(gate().Submit(batch), 0);
  // A value the server tells is taken, and not answered either; it replaces the held change.
  Report(level->id, 3);
  RunPosted();
  Sent();
  EXPECT_EQ(peer.rawReceived.size(), size_t(probes) * 8) << "nothing but the -3 answers";
  EXPECT_TRUE(previews.empty());
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kNotSent);
  EXPECT_EQ(gate().StateOf(level->id), WriteState::kNone);

  gate().SetMode(WriteMode::kWrite);
  std::vector<ValueWrite> held = gate().NotSent();
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].newText, "40");
  EXPECT_EQ(gate().SendNotSent(), 1);
  EXPECT_EQ(Sent(), (Pairs{{speed->id, 40}}));
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kSent);
}

TEST_F(WriteGate, WritesLeftOpenByADroppedConnectionOrAnsweredOtherwiseAreUnconfirmed) {
  Apply(speed, "50");
  Sent();
  // A server that keeps its own value tells it back: the write did not take.
  Report(speed->id, 5);
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kUnconfirmed);
  // The document took the server's value, and that is answered as the protocol has it.
  EXPECT_EQ(Sent(), (Pairs{{speed->id, 5}}));

  Apply(level, "60");
  Sent();
  peer.Close();
  ASSERT_TRUE(WaitUntil([&] { return !session->IsConnected(); }));
  EXPECT_EQ(gate().StateOf(level->id), WriteState::kUnconfirmed);
  std::vector<ValueWrite> lost = gate().TakeLost();
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].id, level->id);
  EXPECT_TRUE(gate().TakeLost().empty());

  std::vector<std::string> results;
  for (const JournalEntry& e : Journal()) results.push_back(e.newText + ":" + e.result);
  EXPECT_EQ(results,
            (std::vector<std::string>{"50:sent", "50:unconfirmed", "60:sent", "60:unconfirmed"}));
  // Without a connection a change is an edit of the document only.
  Apply(speed, "70");
  RunPosted();
  EXPECT_EQ(gate().StateOf(speed->id), WriteState::kUnconfirmed);
}

}  // namespace
