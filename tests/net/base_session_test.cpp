// The base session over loopback: a base asked for replaces the groups, one nobody asked for
// is kept aside, values travel both ways, and a changed value goes back exactly once, after the
// operation that changed it.
#include <gtest/gtest.h>

#include "model/document.h"
#include "net/base_session.h"
#include "net/net_message.h"
#include "test_peer.h"
#include "wire_bytes.h"

using namespace net;

namespace {

std::unique_ptr<CBase> Group(uint32_t id, const char* name) {
  auto g = std::make_unique<CBase>(id);
  g->name = name;
  return g;
}

struct Session : ::testing::Test {
  CTarnelDoc doc;
  TestPeer peer;
  std::unique_ptr<CBaseSession> session;
  int replaced = 0;
  int aboutToReplace = 0;
  std::vector<quint32> texts, raws;
  std::vector<int> reasons;

  void SetUp() override {
    session = std::make_unique<CBaseSession>(doc);
    QObject::connect(session.get(), &CBaseSession::baseReplaced, [this] { ++replaced; });
    QObject::connect(session.get(), &CBaseSession::aboutToReplaceBase, [this] {
      EXPECT_EQ(aboutToReplace, replaced);
      ++aboutToReplace;
    });
    QObject::connect(session.get(), &CBaseSession::valueTextReceived,
                     [this](quint32 id) { texts.push_back(id); });
    QObject::connect(session.get(), &CBaseSession::rawValueReceived,
                     [this](quint32 id) { raws.push_back(id); });
    QObject::connect(session.get(), &CBaseSession::disconnected,
                     [this](int r) { reasons.push_back(r); });
    // The session listens to the document from its start.
    doc.OnNewDocument();
    doc.RebuildTree();
    ASSERT_TRUE(session->Connect("127.0.0.1", peer.Port()));
    ASSERT_TRUE(peer.Accept());
    reasons.clear();  // the 0 that every Connect reports first
  }

  // A base this client asked for.
  void SendBase(std::vector<std::unique_ptr<CRecord>> records) {
    ASSERT_TRUE(session->RequestBase());
    CNetMessage base(kMsgBase);
    for (auto& r : records) base.Append(CNetMessageData::Record(r.get()));
    int before = replaced;
    peer.Send(base);
    peer.ResetTables();
    ASSERT_TRUE(WaitUntil([&] { return replaced == before + 1; }));
  }

  std::vector<std::string> GroupNames() const {
    std::vector<std::string> names;
    for (CBase* g : doc.Groups()) names.push_back(g->name);
    return names;
  }

  // A property "Speed" (INT) in Logic/Pump/AI, registered.
  CPropertyItem* AddSpeed(const char* value) {
    CObj* obj = doc.NewObject(doc.Groups().At(1));
    CAtom* atom = doc.NewAtom(obj);
    CPropertyItem* p = doc.NewProperty(atom);
    p->name = "Speed";
    p->typeCode = 3;
    p->valueText = value;
    p->InitRawValue(uint32_t(std::stoi(value)));
    return p;
  }

  // Waits until everything the client had to send before a -3 barrier has arrived.
  void Barrier() {
    RunPosted();
    size_t before = peer.received.size();
    CNetMessage probe(kCtlEcho);
    probe.AppendUInt(0xBA881E8);
    peer.Send(probe);
    ASSERT_TRUE(WaitUntil([&] {
      peer.Poll();
      return peer.received.size() > before && peer.received.back().GetId() == kCtlEcho;
    }));
  }

  std::vector<CNetMessage> SentExceptEchoes() {
    std::vector<CNetMessage> out;
    for (auto& m : peer.received)
      if (m.GetId() != kCtlEcho) out.push_back(std::move(m));
    peer.received.clear();
    return out;
  }
};

TEST_F(Session, RequestBaseSendsTheSeventeenByteRequest) {
  ASSERT_TRUE(session->RequestBase());
  ASSERT_TRUE(peer.WaitForMessages(1));
  EXPECT_EQ(peer.rawReceived, Hex("03000000 01000000 08 00000000 00000000"));
}

TEST_F(Session, BaseOfThreeGroupsReplacesTheGroupsInMessageOrder) {
  uint16_t lastId = doc.Ids().GetLastId();
  std::vector<std::unique_ptr<CRecord>> groups;
  groups.push_back(Group(30, "Gamma"));
  groups.push_back(Group(10, "Alpha"));
  groups.push_back(std::make_unique<CObj>(2));  // records other than groups are skipped
  groups.push_back(std::make_unique<CPropertyItem>(3));
  groups.push_back(Group(20, "Beta"));
  static_cast<CBase*>(groups[1].get())->AddChild(std::make_unique<CObj>(11))->name = "Pump";
  SendBase(std::move(groups));

  EXPECT_EQ(GroupNames(), (std::vector<std::string>{"Gamma", "Alpha", "Beta"}));
  ASSERT_EQ(doc.Groups().At(1)->GetChildCount(), 1);
  EXPECT_EQ(doc.Groups().At(1)->GetChild(0)->name, "Pump");
  // The old groups' and the skipped records' identifiers find nothing; the new ones find theirs.
  for (uint32_t gone : {1u, 2u, 3u}) EXPECT_EQ(doc.LookupRecord(gone), nullptr) << gone;
  EXPECT_EQ(doc.LookupRecord(11)->name, "Pump");
  EXPECT_EQ(doc.LookupRecord(11)->parent, doc.Groups().At(1));
  // A download does not move the identifier counter.
  EXPECT_EQ(doc.Ids().GetLastId(), lastId);
  EXPECT_EQ(aboutToReplace, 1);
}

TEST_F(Session, EmptyBaseLeavesOnlyTheRootAndASecondBaseReplacesTheFirst) {
  SendBase({});
  EXPECT_TRUE(doc.Groups().Empty());

  std::vector<std::unique_ptr<CRecord>> one;
  one.push_back(Group(5, "First"));
  SendBase(std::move(one));
  std::vector<std::unique_ptr<CRecord>> two;
  two.push_back(Group(6, "Second"));
  SendBase(std::move(two));
  EXPECT_EQ(GroupNames(), std::vector<std::string>{"Second"});
  EXPECT_EQ(doc.LookupRecord(5), nullptr);
}

TEST_F(Session, ADroppedBaseLeavesTheDocumentAndTheNextOneStillCounts) {
  ASSERT_TRUE(session->RequestBase());
  EXPECT_TRUE(session->DropRequestedBase());
  EXPECT_FALSE(session->DropRequestedBase()) << "nothing else is waiting";
  // The dropped base, then one asked for afterwards, both with records numbered from 1: the
  // numbering must start afresh after the dropped one too.
  CNetMessage dropped(kMsgBase);
  auto g1 = Group(40, "Dropped");
  dropped.Append(CNetMessageData::Record(g1.get()));
  peer.Send(dropped);
  peer.ResetTables();
  ASSERT_TRUE(session->RequestBase());
  std::vector<std::unique_ptr<CRecord>> wanted;
  wanted.push_back(Group(41, "Wanted"));
  SendBase(std::move(wanted));
  EXPECT_EQ(replaced, 1) << "the dropped base replaced nothing";
  EXPECT_EQ(GroupNames(), std::vector<std::string>{"Wanted"});
}

TEST_F(Session, NumberingStartsAgainAfterEachBaseEvenInTheSameRead) {
  // First base: an atom directly in a group takes class number 1.
  auto first = Group(1, "A");
  first->AddChild(std::make_unique<CAtom>(2));
  CNetMessage base1(kMsgBase);
  base1.Append(CNetMessageData::Record(first.get()));
  // Second base, numbered afresh: CObj takes number 1 and the second object refers to it.
  auto second = Group(3, "B");
  second->AddChild(std::make_unique<CObj>(4));
  second->AddChild(std::make_unique<CObj>(5));
  CNetMessage base2(kMsgBase);
  base2.Append(CNetMessageData::Record(second.get()));

  ASSERT_TRUE(session->RequestBase());
  ASSERT_TRUE(session->RequestBase());
  CNetMessageStream writer;
  std::string bytes;
  writer.Encode(base1, &bytes);
  writer.ResetTables();
  writer.Encode(base2, &bytes);
  peer.SendBytes(bytes);
  ASSERT_TRUE(WaitUntil([&] { return replaced == 2; }));
  ASSERT_EQ(GroupNames(), std::vector<std::string>{"B"});
  ASSERT_EQ(doc.Groups().At(0)->GetChildCount(), 2);
  EXPECT_NE(AsObject(doc.Groups().At(0)->GetChild(1)), nullptr);
  EXPECT_TRUE(reasons.empty());
}

TEST_F(Session, ABaseNobodyAskedForIsKeptAsideAndReplacesNothing) {
  int unasked = 0;
  QObject::connect(session.get(), &CBaseSession::unaskedBaseArrived, [&] { ++unasked; });
  const std::vector<std::string> before = GroupNames();
  auto send = [&](uint32_t id, const char* name) {
    CNetMessage base(kMsgBase);
    auto g = Group(id, name);
    g->AddChild(std::make_unique<CObj>(id + 1));
    base.Append(CNetMessageData::Record(g.get()));
    peer.Send(base);
    peer.ResetTables();
  };
  send(50, "Pushed");
  send(60, "Newer");
  ASSERT_TRUE(WaitUntil([&] { return unasked == 2; }));
  EXPECT_EQ(GroupNames(), before);
  EXPECT_EQ(aboutToReplace, 0);
  ASSERT_TRUE(session->HasUnaskedBase());
  // The newest one is kept, as a document of its own.
  std::unique_ptr<CTarnelDoc> kept = session->TakeUnaskedBase();
  ASSERT_NE(kept, nullptr);
  ASSERT_EQ(kept->RowCount(nullptr), 1);
  EXPECT_EQ(kept->RecordAt(nullptr, 0)->name, "Newer");
  EXPECT_NE(kept->LookupRecord(61), nullptr);
  EXPECT_FALSE(session->HasUnaskedBase());

  // Asked for, a base still replaces the document; one pushed afterwards may replace it only
  // when the owner says so.
  std::vector<std::unique_ptr<CRecord>> wanted;
  wanted.push_back(Group(70, "Wanted"));
  SendBase(std::move(wanted));
  send(80, "Again");
  ASSERT_TRUE(WaitUntil([&] { return unasked == 3; }));
  EXPECT_EQ(GroupNames(), std::vector<std::string>{"Wanted"});
  session->ReplaceWithUnaskedBase();
  EXPECT_EQ(GroupNames(), std::vector<std::string>{"Again"});
  EXPECT_EQ(doc.LookupRecord(81)->parent, doc.Groups().At(0));
  EXPECT_EQ(replaced, 2);
  EXPECT_FALSE(session->HasUnaskedBase());
}

TEST_F(Session, ValueTextReachesPropertiesOnly) {
  CPropertyItem* p = AddSpeed("7");
  CAtom* atom = p->GetOwner();
  doc.RebuildTree();
  for (uint32_t id : {p->id, atom->id, 60000u}) {
    CNetMessage m(kMsgValueText);
    m.AppendUInt(id);
    m.Append(CNetMessageData::Byte(0));
    m.Append(CNetMessageData::Text("42"));
    peer.Send(m);
  }
  Barrier();
  EXPECT_EQ(texts, std::vector<quint32>{p->id});
  EXPECT_EQ(p->valueText, "42");
  EXPECT_EQ(p->GetRawValue(), 7u);  // the pattern stays
  EXPECT_EQ(atom->name, "");
  EXPECT_TRUE(SentExceptEchoes().empty());
}

TEST_F(Session, NewRawValueIsAnsweredOnceAfterTheMessageWasHandled) {
  CPropertyItem* p = AddSpeed("7");
  doc.RebuildTree();
  CNetMessage m(kMsgRawValue);
  m.AppendUInt(p->id);
  m.AppendUInt(9);
  CNetMessage echo(kCtlEcho);
  // Both in one write: the answer to 203 is queued, so the echo of -3 leaves first.
  peer.SendBytes(Encode(m) + Encode(echo));
  ASSERT_TRUE(peer.WaitForMessages(2));
  EXPECT_EQ(peer.received[0].GetId(), kCtlEcho);
  EXPECT_EQ(peer.received[1].GetId(), kMsgRawValue);
  uint32_t id = 0, value = 0;
  EXPECT_TRUE(peer.received[1].ReadUIntAt(0, &id));
  EXPECT_TRUE(peer.received[1].ReadUIntAt(1, &value));
  EXPECT_EQ(id, p->id);
  EXPECT_EQ(value, 9u);
  EXPECT_EQ(p->valueText, "9");
  EXPECT_EQ(raws, std::vector<quint32>{p->id});
  Barrier();
  EXPECT_EQ(SentExceptEchoes().size(), 1u);
}

TEST_F(Session, RawValuesThatChangeNothingAreNotAnswered) {
  CPropertyItem* p = AddSpeed("7");
  doc.RebuildTree();
  for (uint32_t id : {p->id, 1u}) {  // the value it has; the group Hardware, no property
    CNetMessage m(kMsgRawValue);
    m.AppendUInt(id);
    m.AppendUInt(7);
    peer.Send(m);
  }
  Barrier();
  EXPECT_TRUE(SentExceptEchoes().empty());
  EXPECT_EQ(raws, std::vector<quint32>{p->id});
}

TEST_F(Session, LocalChangeGoesOutAsOneRawValueMessage) {
  CPropertyItem* p = AddSpeed("7");
  p->SetRawValue(uint32_t(1234));
  p->SetRawValue(uint32_t(1234));  // no change, no message
  Barrier();
  std::vector<CNetMessage> sent = SentExceptEchoes();
  ASSERT_EQ(sent.size(), 1u);
  uint32_t value = 0;
  sent[0].ReadUIntAt(1, &value);
  EXPECT_EQ(value, 1234u);
}

TEST_F(Session, ChangesWhileClosedGoNowhereAndReasonsReachTheOwner) {
  CPropertyItem* p = AddSpeed("7");
  session->Disconnect();
  EXPECT_EQ(reasons, std::vector<int>{kReasonDisconnect});
  p->SetRawValue(uint32_t(5));
  RunPosted();
  EXPECT_FALSE(session->RequestBase());
  // A session that is gone receives nothing either.
  session.reset();
  p->SetRawValue(uint32_t(6));
  RunPosted();
}

}  // namespace
