// kandrel-sim with real clients: the base it serves arrives whole, values it receives or
// moves reach every client, misbehaving clients and those over the limits do not disturb the
// others; and the two programs together, as a user runs them.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <map>
#include <memory>
#include <set>

#include "model/cp1251.h"
#include "model/document.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "net/net_client.h"
#include "net/net_message.h"
#include "random_edits.h"
#include "sample_base.h"
#include "sim_motion.h"
#include "sim_server.h"
#include "test_peer.h"

using namespace net;

namespace {

// The document's bytes without the trailing identifier counter, which a download keeps.
std::string BytesWithoutLastId(CTarnelDoc& doc) {
  std::string bytes = doc.SaveToBytes();
  return bytes.substr(0, bytes.size() - 2);
}

// Calls `fn` with every property of the document.
template <class Fn>
void ForEachProperty(CTarnelDoc& doc, Fn fn) {
  for (CRecord* r : AllRecords(doc))
    if (auto* p = AsProperty(r)) fn(p);
}

// Every property's identifier, pattern and text. Unlike the saved bytes, looking does not
// derive patterns from texts, which would be reported to the server as changes of their own.
std::string Values(CTarnelDoc& doc) {
  std::string out;
  ForEachProperty(doc, [&](CPropertyItem* p) {
    out +=
        std::to_string(p->id) + "=" + std::to_string(p->GetRawValue()) + ":" + p->valueText + "\n";
  });
  return out;
}

struct Fetcher {
  CTarnelDoc doc;
  CBaseSession session{doc};
  int replaced = 0;
  std::vector<int> reasons;  // of each disconnection, from the first connect on
  explicit Fetcher(quint16 port) {
    QObject::connect(&session, &CBaseSession::baseReplaced, [this] { ++replaced; });
    QObject::connect(&session, &CBaseSession::disconnected,
                     [this](int r) { reasons.push_back(r); });
    doc.OnNewDocument();
    EXPECT_TRUE(session.Connect("127.0.0.1", port));
    reasons.clear();  // the 0 every connect reports first
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

TEST_F(Sim, AClientsAnswersToValuesThatMovedOnDoNotPutThemBack) {
  // The client answers every new value with the same 203, as the editor does. Two ticks go out
  // before it has answered the first: its late answers are answers, not settings.
  Fetcher client(sim.Port());
  ASSERT_TRUE(client.Fetch());
  sim.TickAt(1.0);
  sim.TickAt(2.0);
  std::string moved = Values(sim.Document());
  ASSERT_TRUE(WaitUntil([&] { return Values(client.doc) == moved; }));
  // The answers leave before the goodbye and the server reads in order: once it has let the
  // client go, it has taken every answer.
  RunPosted();
  client.session.Disconnect();
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 0; }));
  EXPECT_TRUE(Values(sim.Document()) == moved);
}

TEST_F(Sim, TicksMoveEveryNumericPropertyWithinItsTypeAndNothingElse) {
  auto fixed = [&] {
    std::string out;
    ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
      if (!IsMovable(*p)) out += p->valueText + "|" + std::to_string(p->GetRawValue()) + "\n";
    });
    return out;
  };
  const std::string fixedBefore = fixed();
  std::map<uint32_t, std::set<uint32_t>> seen;
  for (double t : {0.0, 7.5, 19.1, 33.3, 52.7}) {
    sim.TickAt(t);
    ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
      uint32_t raw = p->GetRawValue();
      EXPECT_LE(raw, p->typeCode == kTypeByte ? 0xFFu : p->typeCode == kTypeShort ? 0xFFFFu : ~0u);
      if (IsMovable(*p)) seen[p->id].insert(raw);
    });
  }
  EXPECT_EQ(sim.MovingCount(), seen.size());
  for (const auto& [id, values] : seen) EXPECT_GE(values.size(), 2u) << id;
  EXPECT_EQ(fixed(), fixedBefore);
}

TEST_F(Sim, MoveLimitsTheTicksToPropertiesUnderAPathPrefix) {
  const CRecord* atom = sim.Document().LookupRecord(SomeIntProperty())->parent;
  std::string prefix = GetRecordPath(atom->parent);  // an object: its whole branch moves
  std::set<uint32_t> under;
  ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
    if (IsMovable(*p) && GetRecordPath(p).starts_with(prefix)) under.insert(p->id);
  });
  sim.SetMovePrefixes({prefix, "/no such group"});
  EXPECT_EQ(sim.MovingCount(), under.size());
  std::map<uint32_t, uint32_t> rawBefore;
  ForEachProperty(sim.Document(), [&](CPropertyItem* p) { rawBefore[p->id] = p->GetRawValue(); });
  sim.TickAt(3.0);
  sim.TickAt(9.0);
  size_t changed = 0;
  ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
    if (p->GetRawValue() == rawBefore[p->id]) return;
    ++changed;
    EXPECT_TRUE(under.count(p->id)) << GetRecordPath(p);
  });
  EXPECT_GT(changed, 0u);
}

TEST(SimMotion, AValueSetByAClientIsWhereTheMotionGoesOn) {
  CPropertyItem p(77);
  p.typeCode = kTypeInt;
  p.InitRawValue(1000);
  SimMotion m = MakeMotion(p);
  ContinueFrom(m, uint32_t(-250), 12.0);
  EXPECT_EQ(MotionPattern(m, 12.0), uint32_t(-250));
}

TEST_F(Sim, ValuesMovedWhileDroppedComeBackThroughResyncWithoutTouchingTheTree) {
  Fetcher client(sim.Port());
  ASSERT_TRUE(client.Fetch());
  sim.DropAllClients();
  ASSERT_TRUE(WaitUntil([&] { return !client.reasons.empty(); }));
  EXPECT_EQ(client.reasons, std::vector<int>{kReasonReceiveFailed});  // as when the network fails
  EXPECT_EQ(sim.ClientCount(), 0);
  sim.TickAt(21.0);  // while nobody listens

  ASSERT_TRUE(client.session.Connect("127.0.0.1", sim.Port()));
  const CRecord* firstGroup = client.doc.Groups().At(0);
  std::set<uint32_t> moved;
  ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
    if (client.Property(p->id)->GetRawValue() != p->GetRawValue()) moved.insert(p->id);
  });
  EXPECT_FALSE(moved.empty());
  std::set<uint32_t> reported;
  std::vector<std::pair<int, int>> resynced;
  QObject::connect(&client.session, &CBaseSession::rawValueReceived,
                   [&](quint32 id) { reported.insert(id); });
  QObject::connect(&client.session, &CBaseSession::valuesResynced, [&](int changed, int unmatched) {
    resynced.push_back({changed, unmatched});
  });
  ASSERT_TRUE(client.session.RequestValueResync());
  ASSERT_TRUE(WaitUntil([&] { return !resynced.empty(); }));
  EXPECT_EQ(resynced, (std::vector<std::pair<int, int>>{{int(moved.size()), 0}}));
  EXPECT_EQ(reported, moved);
  EXPECT_EQ(client.doc.Groups().At(0), firstGroup);  // the same records, not a new tree
  EXPECT_EQ(client.replaced, 1);
  ForEachProperty(sim.Document(), [&](CPropertyItem* p) {
    EXPECT_EQ(client.Property(p->id)->GetRawValue(), p->GetRawValue()) << p->id;
  });
  // The numbering went on afresh after the resync's base: a base asked for now replaces.
  ASSERT_TRUE(client.Fetch());
}

TEST_F(Sim, MisbehavingClientsAndThoseOverTheLimitsGoWhileAGoodClientIsStillServed) {
  QTcpSocket bad;  // a base whose group holds a reference to an object not yet read
  bad.connectToHost(QHostAddress::LocalHost, sim.Port());
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 1; }));
  bad.write("\x03\x00\x00\x00\x01\x00\x00\x00\x0C\x00\x01\x00\x00\x00\x01\x00\x01\x00", 18);
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 0; }));

  sim.SetLimits(4, size_t(1) << 20);
  QStringList log;
  QObject::connect(&sim, &CSimServer::logLine, [&](const QString& line) { log << line; });
  Fetcher good(sim.Port());
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 1; }));
  auto connectOne = [&] {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, sim.Port());
    EXPECT_TRUE(s->waitForConnected(5000));
    return s;
  };

  // Two clients that begin a message of 2 MiB and stop after 700 KiB: together over the
  // budget, so one of them goes.
  std::string filler(2 << 20, 'x');
  CNetMessage endless(kMsgValueText);
  endless.Append(CNetMessageData::Buffer(filler.data(), uint32_t(filler.size())));
  std::string endlessBytes;
  CNetMessageStream().Encode(endless, &endlessBytes);
  std::vector<std::unique_ptr<QTcpSocket>> others;
  for (int i = 0; i < 2; ++i) {
    others.push_back(connectOne());
    others.back()->write(endlessBytes.data(), 700 << 10);
  }
  ASSERT_TRUE(WaitUntil([&] { return log.filter("dropped").size() == 1; }))
      << log.join('\n').toStdString();
  // One that asks for the base again and again and reads nothing.
  others.push_back(connectOne());
  QTcpSocket& deaf = *others.back();
  deaf.setReadBufferSize(1);
  CNetMessage request(kMsgBase);
  request.Append(CNetMessageData(0.0f));
  std::string requests;
  CNetMessageStream writer;
  for (int i = 0; i < 200; ++i) writer.Encode(request, &requests);
  deaf.write(requests.data(), qint64(requests.size()));
  ASSERT_TRUE(WaitUntil([&] { return sim.ClientCount() == 1; })) << log.join('\n').toStdString();
  EXPECT_GE(log.filter("dropped").size(), 2);

  // Over the count of clients: a fifth is turned away.
  for (int i = 0; i < 4; ++i) others.push_back(connectOne());
  ASSERT_TRUE(WaitUntil([&] { return log.filter("refused").size() == 1; }))
      << log.join('\n').toStdString();
  EXPECT_EQ(sim.ClientCount(), 4);

  ASSERT_TRUE(good.Fetch());
  EXPECT_TRUE(BytesWithoutLastId(good.doc) == BytesWithoutLastId(opened));
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

// The lines a watch printed, each checked to name a property of the served base by its path.
std::vector<QJsonObject> WatchLines(const QByteArray& out, CTarnelDoc& base) {
  std::vector<QJsonObject> lines;
  for (const QByteArray& line : out.split('\n')) {
    if (line.isEmpty()) continue;
    QJsonParseError error;
    QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    const CPropertyItem* p = AsProperty(base.LookupRecord(uint32_t(o["id"].toInteger())));
    EXPECT_TRUE(p) << line.toStdString();
    EXPECT_EQ(o["path"].toString().toStdString(), p ? Cp1251ToUtf8(GetRecordPath(p)) : "");
    EXPECT_TRUE(QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs).isValid());
    EXPECT_TRUE(o["value"].isString() && o["raw"].isDouble()) << line.toStdString();
    lines.push_back(o);
  }
  return lines;
}

// Each change of the chosen properties is a JSON or CSV line; a watch ends after its seconds, on
// an interrupt, or when the server goes.
TEST_F(Programs, WatchPrintsChangesAndEndsAsAskedOrWhenTheServerGoes) {
  uint32_t id = SomeIntProperty();
  const CRecord* atom = opened.LookupRecord(id)->parent;
  const CRecord* other = nullptr;  // an atom elsewhere, watched by its path
  ForEachProperty(opened, [&](CPropertyItem* p) {
    if (!other && p->parent != atom && IsMovable(*p)) other = p->parent;
  });
  ASSERT_TRUE(other);
  std::set<QString> chosen{QString::number(id)}, moving;
  ForEachChild(other, [&](const CRecord* c) { chosen.insert(QString::number(c->id)); });
  for (const CRecord* a : {atom, other})
    ForEachChild(a, [&](const CRecord* c) { moving.insert(QString::number(c->id)); });
  QString otherPath = QString::fromStdString(Cp1251ToUtf8(GetRecordPath(other)));
  StartServer({"--tick", "20", "--move", QString::fromStdString(Cp1251ToUtf8(GetRecordPath(atom))),
               "--move", otherPath});
  QString port = QString::number(serverPort);

  Run json = Cli({"watch", "127.0.0.1", port, "--count", "7"});
  ASSERT_EQ(json.code, 0) << json.err.toStdString();
  EXPECT_TRUE(json.err.isEmpty()) << json.err.toStdString();
  std::vector<QJsonObject> lines = WatchLines(json.out, opened);
  ASSERT_EQ(lines.size(), 7u);
  for (const QJsonObject& o : lines) {
    EXPECT_TRUE(moving.count(QString::number(o["id"].toInteger())));
    if (o["id"].toInteger() == id) {  // an INT's text is the pattern's number
      EXPECT_EQ(o["value"].toString(), QString::number(int32_t(o["raw"].toInteger())));
    }
  }

  Run csv = Cli({"watch", "127.0.0.1", port, "--id", QString::number(id), "--path", otherPath,
                 "--count", "6", "--csv"});
  ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
  QList<QByteArray> rows = csv.out.split('\n');
  ASSERT_EQ(rows.size(), 8);  // the header, six rows, nothing after the last line end
  EXPECT_EQ(rows[0], "time,id,path,value,raw\r");
  for (int i = 1; i <= 6; ++i) {
    EXPECT_TRUE(rows[i].endsWith('\r'));
    EXPECT_TRUE(chosen.count(QString::fromUtf8(rows[i].split(',').value(1)))) << rows[i].data();
  }

  uint32_t still = 0;  // a numeric property the server does not move
  ForEachProperty(opened, [&](CPropertyItem* p) {
    if (!still && p->parent != atom && p->parent != other && IsMovable(*p)) still = p->id;
  });
  Run quiet = Cli({"watch", "127.0.0.1", port, "--id", QString::number(still), "--seconds", "1"});
  EXPECT_EQ(quiet.code, 0) << quiet.err.toStdString();
  EXPECT_TRUE(quiet.out.isEmpty());

  QProcess interrupted, abandoned;
  for (QProcess* p : {&interrupted, &abandoned}) {
    p->start(KANDREL_CLI_PATH, {"watch", "127.0.0.1", port});
    ASSERT_TRUE(WaitUntil([&] { return p->canReadLine() || p->state() == QProcess::NotRunning; }));
    ASSERT_EQ(p->state(), QProcess::Running) << p->readAllStandardError().toStdString();
  }
  ::kill(pid_t(interrupted.processId()), SIGINT);
  ASSERT_TRUE(interrupted.waitForFinished(10000));
  EXPECT_EQ(interrupted.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(interrupted.exitCode(), 0) << interrupted.readAllStandardError().toStdString();

  ::kill(pid_t(server.processId()), SIGTERM);
  ASSERT_TRUE(abandoned.waitForFinished(10000));
  EXPECT_EQ(abandoned.exitCode(), 3);
  QByteArray err = abandoned.readAllStandardError();
  EXPECT_EQ(err, "kandrel-cli: 127.0.0.1:" + port.toUtf8() + ": the server shut down\n");
}

TEST_F(Programs, WatchNamesThePeerOrTheMissingRecord) {
  quint16 nobody;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    nobody = probe.serverPort();
  }
  Run refused = Cli({"watch", "127.0.0.1", QString::number(nobody)});
  EXPECT_EQ(refused.code, 3);
  EXPECT_TRUE(
      refused.err.startsWith("kandrel-cli: 127.0.0.1:" + QByteArray::number(nobody) + ": "));
  EXPECT_EQ(refused.err.count('\n'), 1);

  StartServer({});
  QString port = QString::number(serverPort);
  Run noId = Cli({"watch", "127.0.0.1", port, "--id", "65000", "--seconds", "1"});
  EXPECT_EQ(noId.code, 3);
  EXPECT_EQ(noId.err,
            "kandrel-cli: 127.0.0.1:" + port.toUtf8() + ": no property has the identifier 65000\n");
  Run noPath = Cli({"watch", "127.0.0.1", port, "--path", "/Logic/Нет", "--seconds", "1"});
  EXPECT_EQ(noPath.code, 3);
  EXPECT_EQ(noPath.err,
            "kandrel-cli: 127.0.0.1:" + port.toUtf8() + ": no record has the path /Logic/Нет\n");
}

TEST_F(Programs, DropAfterClosesEveryConnectionAndKeepsListening) {
  StartServer({"--drop-after", "1"});
  Fetcher client(serverPort);
  ASSERT_TRUE(client.Fetch());
  ASSERT_TRUE(WaitUntil([&] { return !client.reasons.empty(); }));
  EXPECT_EQ(client.reasons, std::vector<int>{kReasonReceiveFailed});
  ASSERT_TRUE(client.session.Connect("127.0.0.1", serverPort));
  EXPECT_TRUE(client.Fetch());
}

// fetch --timeout and watch --seconds: the wait for the base counts.
TEST_F(Programs, FetchAndWatchEndAtTheirDeadlineHoweverTheServerKeepsThemBusy) {
  // A base the server never finishes: its first bytes, one every tick.
  CNetMessage base(kMsgBase);
  for (CBase* g : original.Groups()) base.Append(CNetMessageData::Record(g));
  std::string baseBytes;
  CNetMessageStream().Encode(base, &baseBytes);
  const int slackMs = 15000;
  enum Mode { kSilent, kProbes, kTrickle };
  for (bool watch : {false, true}) {
    for (Mode mode : {kSilent, kProbes, kTrickle}) {
      SCOPED_TRACE(std::string(watch ? "watch, " : "fetch, ") + (mode == kSilent ? "silent"
                                                                 : mode == kProbes
                                                                     ? "probes only"
                                                                     : "one byte a tick"));
      const QString seconds = mode == kSilent ? "1" : "2";  // time for the first ticks to go out
      TestPeer peer;
      QString out = dir.filePath("busy.kdl");
      QProcess cli;
      QString port = QString::number(peer.Port());
      cli.start(KANDREL_CLI_PATH,
                watch ? QStringList{"watch", "127.0.0.1", port, "--seconds", seconds}
                      : QStringList{"fetch", "127.0.0.1", port, "-o", out, "--timeout", seconds});
      ASSERT_TRUE(peer.Accept());
      size_t sent = 0;
      QTimer feed;
      QObject::connect(&feed, &QTimer::timeout, [&] {
        peer.Poll();
        if (mode == kProbes) {
          CNetMessage probe(kCtlProbe);
          probe.Append(CNetMessageData::Counter(NetTickCount()));
          peer.Send(probe);
        } else if (mode == kTrickle && sent + 1 < baseBytes.size()) {
          peer.SendBytes(baseBytes.substr(sent++, 1));
        }
      });
      feed.start(100);
      bool ended = WaitUntil([&] { return cli.state() == QProcess::NotRunning; },
                             seconds.toInt() * 1000 + slackMs);
      feed.stop();
      if (!ended) {
        cli.kill();
        cli.waitForFinished();
      }
      ASSERT_TRUE(ended);
      EXPECT_EQ(cli.exitCode(), 3);
      EXPECT_EQ(cli.readAllStandardError(),
                "kandrel-cli: 127.0.0.1:" + port.toUtf8() +
                    (mode == kSilent ? ": no answer within " : ": no complete base within ") +
                    seconds.toUtf8() + " s\n");
      EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
      EXPECT_FALSE(QFile::exists(out));
    }
  }
}

TEST_F(Programs, BadArgumentsAreUsageErrors) {
  for (const QString& args :
       {"fetch 127.0.0.1 6000", "fetch 127.0.0.1 port -o x.kdl", "fetch 127.0.0.1 70000 -o x.kdl",
        "watch 127.0.0.1", "watch 127.0.0.1 6000 --count 0", "watch 127.0.0.1 6000 --id",
        "watch 127.0.0.1 6000 --seconds 3000000", "watch 127.0.0.1 6000 --bogus",
        "watch 127.0.0.1 6000 --path /\u4e2d"})
    EXPECT_EQ(Cli(args.split(' ')).code, 2) << args.toStdString();
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

TEST_F(Programs, DiffComparesAFileWithWhatTheServerHolds) {
  StartServer({});
  QString port = QString::number(serverPort);
  QString file = QString::fromStdString(basePath);
  Run same = Cli({"diff", file, "--server", "127.0.0.1", port, "--timeout", "10"});
  EXPECT_EQ(same.code, 0) << same.err.toStdString();
  EXPECT_TRUE(same.out.isEmpty()) << same.out.toStdString();

  CTarnelDoc edited;
  edited.OpenFile(basePath);
  edited.LookupRecord(10)->name += "2";
  QString editedPath = dir.filePath("edited.kdl");
  edited.SaveFile(editedPath.toStdString());
  Run differ = Cli({"diff", editedPath, "--server", "127.0.0.1", port, "--json"});
  EXPECT_EQ(differ.code, 1) << differ.err.toStdString();
  EXPECT_EQ(differ.out.toStdString(),
            "{\"added\":[],\"changed\":[{\"fields\":[\"name\"],\"id\":10}],\"moved\":[],"
            "\"removed\":[]}\n");
}
