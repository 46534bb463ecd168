// The client over real loopback TCP: control messages, disconnect reasons, bytes arriving at
// any split, and peers that close or misbehave.
#include <gtest/gtest.h>

#include "net/net_client.h"
#include "net/net_message.h"
#include "test_peer.h"
#include "wire_bytes.h"

using namespace net;

namespace {

class RecordingClient : public CNetClient {
 public:
  std::vector<CNetMessage> messages;
  std::vector<int> reasons;
  std::vector<bool> connectedAtClose;
  std::vector<uint32_t> roundTrips;
  qint64 bytesIn = 0;

  RecordingClient() {
    connect(this, &CNetClient::bytesArrived, [this](qint64 n) { bytesIn += n; });
  }

 protected:
  void OnMessageReceived(CNetMessage& m) override { messages.push_back(std::move(m)); }
  void OnConnectionClosed(int reason) override {
    reasons.push_back(reason);
    connectedAtClose.push_back(IsConnected());
  }
  void OnRoundTrip(uint32_t ms) override { roundTrips.push_back(ms); }
};

struct Connected : ::testing::Test {
  TestPeer peer;
  RecordingClient client;
  void SetUp() override {
    ASSERT_TRUE(client.Connect("127.0.0.1", peer.Port())) << client.LastError().toStdString();
    ASSERT_TRUE(peer.Accept());
    client.reasons.clear();
    client.connectedAtClose.clear();
  }
};

TEST(NetClientConnect, ConnectAndDisconnectReportReasonZeroAndDisconnectSaysGoodbye) {
  TestPeer peer;
  RecordingClient client;
  client.Disconnect();  // never connected: nothing to send, still told
  EXPECT_EQ(client.reasons, std::vector<int>{0});
  ASSERT_TRUE(client.Connect("127.0.0.1", peer.Port()));
  ASSERT_TRUE(peer.Accept());
  EXPECT_EQ(client.reasons, (std::vector<int>{0, 0}));
  EXPECT_TRUE(client.IsConnected());
  client.Disconnect();
  EXPECT_EQ(client.reasons, (std::vector<int>{0, 0, 0}));
  EXPECT_FALSE(client.IsConnected());
  ASSERT_TRUE(peer.WaitForMessages(1));
  EXPECT_EQ(peer.rawReceived, Hex("FCFFFFFF 00000000"));
  EXPECT_FALSE(client.Send(CNetMessage(kMsgBase)));
}

// Each way the server ends a connection, with the reason the owner hears and what it was given
// before: the whole messages ahead of the end, none after a control message.
TEST(NetClientEnd, EachEndHasItsReason) {
  const std::string serverClose = Encode(CNetMessage(kCtlServerClose));
  const std::string shutdown = Encode(CNetMessage(kCtlServerShutdown));
  struct Case {
    const char* what;
    std::string bytes;
    bool thenClose;
    int reason;
    size_t dispatched;
    const char* error;  // part of the error, which names the peer
  } cases[] = {
      {"server close", serverClose, false, kReasonServerClose, 0, nullptr},
      {"server shutdown", shutdown, false, kReasonServerShutdown, 0, nullptr},
      {"shutdown just before the close", shutdown, true, kReasonServerShutdown, 0, nullptr},
      {"messages after a control close", serverClose + Encode(CNetMessage(kMsgBase)), false,
       kReasonServerClose, 0, nullptr},
      {"orderly close without a control message", "", true, kReasonReceiveFailed, 0, nullptr},
      {"close in the middle of a message",
       Encode(CNetMessage(kMsgBase)) + Hex("CB000000 02000000 06 11"), true, kReasonReceiveFailed,
       1, "middle of a message"},
      {"hostile bytes: a child of an unknown class",
       Hex("03000000 01000000 0C 00 01000000 0100 FFFF 0100 0400") + "CFoo", false,
       kReasonReceiveFailed, 0, "unknown class"},
      {"a text of 64 MB, refused before it arrives", Hex("01000000 01000000 0A FF FFFF 00000004"),
       false, kReasonReceiveFailed, 0, "127.0.0.1:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestPeer peer;
    RecordingClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", peer.Port()));
    ASSERT_TRUE(peer.Accept());
    client.reasons.clear();
    client.connectedAtClose.clear();
    if (!c.bytes.empty()) peer.SendBytes(c.bytes);
    if (c.thenClose) peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return !client.reasons.empty(); }));
    RunPosted();
    EXPECT_EQ(client.reasons, std::vector<int>{c.reason});
    EXPECT_EQ(client.connectedAtClose, std::vector<bool>{false});
    EXPECT_EQ(client.messages.size(), c.dispatched);
    if (c.error) {
      EXPECT_TRUE(client.LastError().startsWith(QStringLiteral("127.0.0.1:")));
      EXPECT_TRUE(client.LastError().contains(QString::fromUtf8(c.error)))
          << client.LastError().toStdString();
    }
  }
}

TEST(NetClientConnect, RefusedConnectionFailsWithThePeerNamed) {
  quint16 port;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port = probe.serverPort();
  }
  RecordingClient client;
  EXPECT_FALSE(client.Connect("127.0.0.1", port));
  EXPECT_FALSE(client.IsConnected());
  EXPECT_TRUE(client.LastError().startsWith(QStringLiteral("127.0.0.1:%1: ").arg(port)))
      << client.LastError().toStdString();
  EXPECT_FALSE(client.Send(CNetMessage(kMsgBase)));
  EXPECT_FALSE(client.Connect("127.0.0.1", 70000));
  EXPECT_FALSE(client.IsConnected());
}

TEST_F(Connected, ProbeYieldsTheElapsedTicksModulo32Bits) {
  client.SetTickSource([] { return 1000u; });
  CNetMessage same(kCtlProbe);
  same.Append(CNetMessageData::Counter(1000));
  CNetMessage later(kCtlProbe);
  later.Append(CNetMessageData::Counter(1005));
  peer.Send(same);
  peer.Send(later);
  ASSERT_TRUE(WaitUntil([&] { return client.roundTrips.size() == 2; }));
  EXPECT_EQ(client.roundTrips, (std::vector<uint32_t>{0, 0xFFFFFFFBu}));
  EXPECT_TRUE(client.messages.empty());
}

TEST_F(Connected, EchoComesBackUnchanged) {
  CNetMessage echo(kCtlEcho);
  echo.AppendUInt(7);
  echo.Append(CNetMessageData::Text("abc"));
  uint8_t raw[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  echo.Append(CNetMessageData::Raw(99, raw));
  std::string bytes = Encode(echo);
  peer.SendBytes(bytes);
  ASSERT_TRUE(peer.WaitForMessages(1));
  EXPECT_EQ(peer.rawReceived, bytes);
  EXPECT_TRUE(client.messages.empty());
}

TEST_F(Connected, OtherIdentifiersReachTheOwnerIncludingMinusFour) {
  for (int32_t id : {-4, -6, 0, 3, 4, 203, 1000}) peer.Send(CNetMessage(id));
  ASSERT_TRUE(WaitUntil([&] { return client.messages.size() == 7; }));
  std::vector<int32_t> ids;
  for (const auto& m : client.messages) ids.push_back(m.GetId());
  EXPECT_EQ(ids, (std::vector<int32_t>{-4, -6, 0, 3, 4, 203, 1000}));
  EXPECT_TRUE(client.reasons.empty());
}

TEST_F(Connected, MessagesSplitAtEveryByteBoundaryOverTcp) {
  CBase group(1);
  group.name = "Hardware";
  group.AddChild(std::make_unique<CObj>(2))->name = "Pump";
  std::vector<CNetMessage> script;
  script.emplace_back(kMsgRawValue);
  script.back().AppendUInt(17);
  script.back().AppendUInt(5);
  script.emplace_back(kMsgBase);
  script.back().Append(CNetMessageData::Record(&group));
  script.emplace_back(kMsgValueText);
  script.back().Append(CNetMessageData::Text(std::string(260, 'x')));

  // Every split of one encoded stream, in two writes with the event loop between; the
  // numbering starts afresh for each round on both sides.
  std::string bytes;
  {
    ArchiveWriter ar(&bytes);
    for (const auto& m : script) m.Serialize(ar);
  }
  for (size_t cut = 1; cut < bytes.size(); ++cut) {
    ASSERT_TRUE(client.ReopenStreams());
    qint64 before = client.bytesIn;
    size_t got = client.messages.size();
    peer.SendBytes(bytes.substr(0, cut));
    ASSERT_TRUE(WaitUntil([&] { return client.bytesIn == before + qint64(cut); }));
    peer.SendBytes(bytes.substr(cut));
    ASSERT_TRUE(WaitUntil([&] { return client.messages.size() == got + script.size(); }))
        << "cut at " << cut;
  }
  EXPECT_TRUE(client.reasons.empty());
  std::string text;
  EXPECT_TRUE(client.messages.back().ReadTextAt(0, &text));
  EXPECT_EQ(text.size(), 260u);
}

TEST_F(Connected, APeerThatDoesNotReadMakesSendingFailOnceWithReasonThree) {
  peer.StopReading();
  client.SetMaxPendingOutput(1 << 20);
  CNetMessage big(kMsgValueText);
  big.Append(CNetMessageData::Text(std::string(1 << 20, 'x')));
  bool failed = false;
  for (int i = 0; i < 64 && !failed; ++i) {
    failed = !client.Send(big);
    RunPosted();
  }
  EXPECT_TRUE(failed);
  EXPECT_EQ(client.reasons, std::vector<int>{kReasonSendFailed});
  EXPECT_FALSE(client.IsConnected());
  EXPECT_FALSE(client.Send(big));
  EXPECT_EQ(client.reasons.size(), 1u);
}

}  // namespace
