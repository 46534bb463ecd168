// kandrel-cli set and journal against kandrel-sim, as a user runs them: the value confirmed or
// not, the exit codes, and the journal that tells both.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include "model/document.h"
#include "test_peer.h"

namespace {

struct WritePrograms : ::testing::Test {
  QTemporaryDir dir;
  QProcess server;
  QString port;
  uint32_t setpoint = 0;
  QByteArray dataHome = qgetenv("XDG_DATA_HOME");

  void SetUp() override {
    // The journals of this test only: a port may come again in a later one.
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    CTarnelDoc doc;
    doc.OnNewDocument();
    CObj* pump = doc.NewObject(doc.Groups().At(1));
    pump->name = "\xCD\xE0\xF1\xEE\xF1";  // "Насос"
    CAtom* ai = doc.NewAtom(pump);
    ai->name = "AI";
    CPropertyItem* p = doc.NewProperty(ai);
    p->name = "\xD3\xF1\xF2\xE0\xE2\xEA\xE0";  // "Уставка"
    p->typeCode = 3;
    p->valueText = "5";
    setpoint = p->id;
    doc.SaveFile(dir.filePath("base.kdl").toStdString());
  }

  void TearDown() override {
    if (server.state() != QProcess::NotRunning) {
      server.kill();
      server.waitForFinished();
    }
    qputenv("XDG_DATA_HOME", dataHome);
  }

  void StartServer(const QStringList& extra) {
    server.start(
        KANDREL_SIM_PATH,
        QStringList{"--port", "0", "--probe", "0", "--base", dir.filePath("base.kdl")} + extra);
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return server.canReadLine() || !server.isOpen(); }));
    port = QString::fromUtf8(server.readLine()).trimmed().section(':', -1);
    ASSERT_NE(port.toInt(), 0);
  }

  struct Run {
    int code;
    QString out, err;
  };
  Run Cli(const QStringList& args) {
    QProcess p;
    p.start(KANDREL_CLI_PATH, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
  }
  QString Server() { return "127.0.0.1:" + port; }
  std::vector<QJsonObject> JournalLines(const QStringList& extra = {}) {
    Run r = Cli(QStringList{"journal", "--server", Server()} + extra);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    std::vector<QJsonObject> lines;
    for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
      lines.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
    return lines;
  }
};

TEST_F(WritePrograms, SetWaitsForTheServerAndTheJournalTellsWhoWhatAndTheOutcome) {
  StartServer({});
  Run set = Cli({"set", "127.0.0.1", port, "--path", "/Logic/Насос/AI/Уставка", "42"});
  ASSERT_EQ(set.code, 0) << set.err.toStdString();
  EXPECT_EQ(set.out, "/Logic/Насос/AI/Уставка: 5 -> 42 (confirmed)\n");
  EXPECT_TRUE(set.err.isEmpty()) << set.err.toStdString();

  // The server has it: a second client downloads it.
  QString fetched = dir.filePath("fetched.kdl");
  ASSERT_EQ(Cli({"fetch", "127.0.0.1", port, "-o", fetched}).code, 0);
  Run list = Cli({"list", fetched});
  EXPECT_TRUE(list.out.contains("42")) << list.out.toStdString();

  // By identifier, the same value again: nothing to send.
  set = Cli({"set", "127.0.0.1", port, "--id", QString::number(setpoint), "42"});
  EXPECT_EQ(set.code, 0) << set.err.toStdString();
  EXPECT_EQ(set.out, "/Logic/Насос/AI/Уставка: 42 -> 42 (unchanged)\n");

  std::vector<QJsonObject> lines = JournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["result"].toString(), "sent");
  EXPECT_EQ(lines[1]["result"].toString(), "confirmed");
  for (const QJsonObject& o : lines) {
    EXPECT_EQ(o["server"].toString(), Server());
    EXPECT_EQ(o["id"].toInt(), int(setpoint));
    EXPECT_EQ(o["path"].toString(), "/Logic/Насос/AI/Уставка");
    EXPECT_EQ(o["type"].toString(), "INT");
    EXPECT_EQ(o["old"].toString(), "5");
    EXPECT_EQ(o["new"].toString(), "42");
    EXPECT_EQ(o["origin"].toString(), "cli");
    EXPECT_FALSE(o["user"].toString().isEmpty());
    EXPECT_FALSE(o["host"].toString().isEmpty());
  }

  // Filters and the CSV form; every server's journal when none is named.
  EXPECT_TRUE(JournalLines({"--path", "/Logic/Нет"}).empty());
  EXPECT_TRUE(JournalLines({"--since", "2999-01-01T00:00"}).empty());
  EXPECT_EQ(JournalLines({"--path", "/Logic/Нас", "--since", "2000-01-01"}).size(), 2u);
  Run csv = Cli({"journal", "--csv"});
  ASSERT_EQ(csv.code, 0);
  QStringList rows = csv.out.split("\r\n", Qt::SkipEmptyParts);
  ASSERT_GE(rows.size(), 3);
  EXPECT_EQ(rows[0], "time,server,user,host,id,path,type,old,new,origin,result");
  EXPECT_TRUE(rows.last().endsWith(",/Logic/Насос/AI/Уставка,INT,5,42,cli,confirmed"))
      << rows.last().toStdString();
}

TEST_F(WritePrograms, AServerThatKeepsItsValueLeavesTheWriteUnconfirmed) {
  StartServer({"--read-only"});
  Run set =
      Cli({"set", "127.0.0.1", port, "--id", QString::number(setpoint), "43", "--timeout", "5"});
  EXPECT_EQ(set.code, 1) << set.err.toStdString();
  EXPECT_EQ(set.out, "/Logic/Насос/AI/Уставка: 5 -> 43 (unconfirmed)\n");
  EXPECT_TRUE(set.err.startsWith("kandrel-cli: " + Server() + ": the server did not confirm"));
  std::vector<QJsonObject> lines = JournalLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["result"].toString(), "unconfirmed");
  EXPECT_EQ(lines[1]["new"].toString(), "43");

  QString fetched = dir.filePath("fetched.kdl");
  ASSERT_EQ(Cli({"fetch", "127.0.0.1", port, "-o", fetched}).code, 0);
  EXPECT_FALSE(Cli({"list", fetched}).out.contains("43"));
}

TEST_F(WritePrograms, BadRequestsEndWithOneLineAndTheirExitCode) {
  quint16 nobody;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    nobody = probe.serverPort();
  }
  Run r = Cli({"set", "127.0.0.1", QString::number(nobody), "--id", "3", "1"});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();

  StartServer({});
  struct Case {
    QStringList args;
    int code;
    const char* err;
  } cases[] = {
      {{"--id", "65000", "1"}, 3, "no property with identifier 65000"},
      {{"--path", "/Logic/Насос/AI", "1"}, 3, "no property at /Logic/Насос/AI"},
      {{"--id", QString::number(setpoint), "abc"}, 2, "'abc' is no number for a INT value"},
      {{"--id", QString::number(setpoint), "1.5"}, 2, "a INT value is a whole number"},
      {{"--id", QString::number(setpoint), "\u2713"}, 2, "windows-1251"},
      {{"--id", "1", "--path", "/x", "1"}, 2, "usage"},
      {{"1"}, 2, "usage"},
  };
  for (const Case& c : cases) {
    r = Cli(QStringList{"set", "127.0.0.1", port} + c.args);
    EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
  }
  EXPECT_TRUE(JournalLines().empty());
  r = Cli({"journal", dir.filePath("missing.jsonl")});
  EXPECT_EQ(r.code, 3);
  r = Cli({"journal", "--since", "yesterday"});
  EXPECT_EQ(r.code, 2);
}

}  // namespace
