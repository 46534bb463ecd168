// kandrel-sim with real clients: the base it serves arrives whole, values it receives or
// moves reach every client, a misbehaving client does not disturb the others; and the two
// programs together, as a user runs them.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "model/document.h"
#include "net/base_session.h"
#include "sample_base.h"
#include "sim_server.h"
#include "test_peer.h"

using namespace net;

namespace {

// The document's bytes without the trailing identifier counter, which a download keeps.
std::string BytesWithoutLastId(CTarnelDoc& doc) {
  std::string bytes = doc.SaveToBytes();
  return bytes.substr(0, bytes.size() - 2);
}

struct Fetcher {
  CTarnelDoc doc;
  CBaseSession session{doc};
  int replaced = 0;
  explicit Fetcher(quint16 port) {
    QObject::connect(&session, &CBaseSession::baseReplaced, [this] { ++replaced; });
    doc.OnNewDocument();
    EXPECT_TRUE(session.Connect("127.0.0.1", port));
  }
  bool Fetch() {
    int before = replaced;
    return session.RequestBase() && WaitUntil([&] { return replaced > before; });
  }
  CPropertyItem* Property(uint32_t id) { return AsProperty(doc.LookupRecord(id)); }
};

struct Sim : ::testing::Test {
  QTemporaryDir dir;
  std::string basePath;
  CTarnelDoc original;
  CTarnelDoc opened;  // the file as the editor opens it: texts regenerated from the patterns
  CSimServer sim;

  void SetUp() override {
    BuildSampleBase(original, 3000);
    basePath = dir.filePath("base.kdl").toStdString();
    original.SaveFile(basePath);
    opened.OpenFile(basePath);
    sim.LoadFile(basePath);
    QString error;
    ASSERT_TRUE(sim.Listen(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
  }

  // The first numeric (INT) property of the sample.
  uint32_t SomeIntProperty() {
    for (uint32_t id = 1; id < 3000; ++id)
      if (auto* p = AsProperty(sim.Document().LookupRecord(id)); p && p->typeCode == 3) return id;
    return 0;
  }
};

TEST_F(Sim, FetchedBaseEqualsTheServedFileApartFromTheCounter) {
  Fetcher client(sim.Port());
  ASSERT_TRUE(client.Fetch());
  EXPECT_TRUE(BytesWithoutLastId(client.doc) == BytesWithoutLastId(opened));
  // A second fetch on the same connection (numbering renewed after the first) is the same.
  ASSERT_TRUE(client.Fetch());
  EXPECT_TRUE(BytesWithoutLastId(client.doc) == BytesWithoutLastId(opened));
}

TEST_F(Sim, AChangedValueReachesTheServerAndEveryClient) {
  Fetcher a(sim.Port());
  Fetcher b(sim.Port());
  ASSERT_TRUE(a.Fetch());
  ASSERT_TRUE(b.Fetch());
  uint32_t id = SomeIntProperty();
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(a.session.SendRawValue(id, 777));
  ASSERT_TRUE(WaitUntil([&] { return b.Property(id)->GetRawValue() == 777; }));
  EXPECT_EQ(b.Property(id)->valueText, "777");
  EXPECT_EQ(AsProperty(sim.Document().LookupRecord(id))->valueText, "777");
  ASSERT_TRUE(WaitUntil([&] { return a.Property(id)->GetRawValue() == 777; }));
  EXPECT_EQ(sim.ClientCount(), 2);
}

TEST_F(Sim, TicksMoveNumericValuesOnEveryClient) {
  Fetcher client(sim.Port());
  ASSERT_TRUE(client.Fetch());
  sim.Tick();
  EXPECT_FALSE(BytesWithoutLastId(sim.Document()) == BytesWithoutLastId(opened));
  ASSERT_TRUE(WaitUntil(
      [&] { return BytesWithoutLastId(client.doc) == BytesWithoutLastId(sim.Document()); }));
}

TEST_F(Sim, AMisbehavingClientIsDroppedAndOthersAreStillServed) {
  QTcpSocket bad;
  bad.connectToHost(QHostAddress::LocalHost, sim.Port());
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 1; }));
  bad.write("\x03\x00\x00\x00\x01\x00\x00\x00\x0C\x00\x01\x00\x00\x00\x01\x00\x01\x00", 18);
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 0; }));
  Fetcher client(sim.Port());
  ASSERT_TRUE(client.Fetch());
}

TEST_F(Sim, ShutdownTellsClientsWithReasonOne) {
  Fetcher client(sim.Port());
  std::vector<int> reasons;
  QObject::connect(&client.session, &CBaseSession::disconnected,
                   [&](int r) { reasons.push_back(r); });
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 1; }));
  sim.Shutdown();
  ASSERT_TRUE(WaitUntil([&] { return !reasons.empty(); }));
  EXPECT_EQ(reasons, std::vector<int>{kReasonServerShutdown});
}

// ---- the programs ----

struct Programs : Sim {
  QProcess server;
  quint16 serverPort = 0;

  void TearDown() override {
    if (server.state() != QProcess::NotRunning) {
      server.kill();
      server.waitForFinished();
    }
  }

  void StartServer(const QStringList& extra) {
    sim.Shutdown();
    server.start(KANDREL_SIM_PATH,
                 QStringList{"--port", "0", "--base", QString::fromStdString(basePath)} + extra);
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return server.canReadLine() || !server.isOpen(); }));
    QString line = QString::fromUtf8(server.readLine()).trimmed();
    serverPort = line.section(':', -1).toUShort();
    ASSERT_NE(serverPort, 0) << line.toStdString();
  }

  struct Run {
    int code;
    QByteArray out, err;
  };
  static Run Cli(const QStringList& args) {
    QProcess p;
    p.start(KANDREL_CLI_PATH, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
  }
  static QJsonObject Dump(const QString& path) {
    Run r = Cli({"dump", path});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object();
  }
};

TEST_F(Programs, FetchSavesWhatTheServerServesAndTheServerStopsCleanly) {
  QString saved = dir.filePath("saved.kdl");
  StartServer({"--save-on-exit", saved, "--probe", "20"});
  QString out = dir.filePath("out.kdl");
  Run fetch = Cli({"fetch", "127.0.0.1", QString::number(serverPort), "-o", out});
  ASSERT_EQ(fetch.code, 0) << fetch.err.toStdString();
  EXPECT_TRUE(fetch.err.isEmpty()) << fetch.err.toStdString();

  QJsonObject want = Dump(QString::fromStdString(basePath));
  QJsonObject got = Dump(out);
  EXPECT_EQ(got["lastId"].toInt(), 3);  // a new document's counter: a download keeps it
  want.remove("lastId");
  got.remove("lastId");
  EXPECT_TRUE(want == got);

  ::kill(pid_t(server.processId()), SIGTERM);
  ASSERT_TRUE(server.waitForFinished(10000));
  EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.exitCode(), 0);
  EXPECT_TRUE(Dump(saved) == Dump(QString::fromStdString(basePath)));
}

TEST_F(Programs, FetchFromNobodyFailsWithOneLineNamingThePeer) {
  quint16 port;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    port = probe.serverPort();
  }
  QString out = dir.filePath("none.kdl");
  Run r = Cli({"fetch", "127.0.0.1", QString::number(port), "-o", out});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(r.err.startsWith("kandrel-cli: 127.0.0.1:" + QByteArray::number(port) + ": "))
      << r.err.toStdString();
  EXPECT_EQ(r.err.count('\n'), 1);
  EXPECT_FALSE(QFile::exists(out));
}

TEST_F(Programs, FetchFromASilentServerTimesOut) {
  // Accepted by the kernel, never answered.
  QTcpServer silent;
  silent.listen(QHostAddress::LocalHost, 0);
  QString out = dir.filePath("none.kdl");
  Run r = Cli(
      {"fetch", "127.0.0.1", QString::number(silent.serverPort()), "-o", out, "--timeout", "1"});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "kandrel-cli: 127.0.0.1:" + QByteArray::number(silent.serverPort()) +
                       ": no answer within 1 s\n");
  EXPECT_FALSE(QFile::exists(out));
}

TEST_F(Programs, BadArgumentsAreUsageErrors) {
  EXPECT_EQ(Cli({"fetch", "127.0.0.1", "6000"}).code, 2);
  EXPECT_EQ(Cli({"fetch", "127.0.0.1", "port", "-o", "x.kdl"}).code, 2);
  EXPECT_EQ(Cli({"fetch", "127.0.0.1", "70000", "-o", "x.kdl"}).code, 2);
  QProcess p;
  p.start(KANDREL_SIM_PATH, {"--port", "x"});
  ASSERT_TRUE(p.waitForFinished());
  EXPECT_EQ(p.exitCode(), 2);
  p.start(KANDREL_SIM_PATH, {"--port", "0", "--base", dir.filePath("missing.kdl")});
  ASSERT_TRUE(p.waitForFinished());
  EXPECT_EQ(p.exitCode(), 3);
  EXPECT_TRUE(p.readAllStandardError().contains("missing.kdl"));
}

}  // namespace
