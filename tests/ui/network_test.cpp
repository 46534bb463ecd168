// The "Сеть" commands against a real kandrel-sim over loopback: the connect dialog, "Получить
// базу" replacing the tree (keeping open branches and the selection on a second download), a
// value pushed by the server reaching the form, a download given up when no whole base comes,
// and a failed connect that keeps the dialog open with the reason.
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <vector>

#include "net/base_session.h"
#include "net/message_stream.h"
#include "net/net_message.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// Connects through the dialog with the address as proposed and this port.
std::function<int(QDialog&)> ConnectTo(quint16 port) {
  return [port](QDialog& d) {
    if (d.windowTitle() != QStringLiteral("Connect to....")) return -1;
    Type(d, "portEdit", QString::number(port));
    return Press(d, "okButton");
  };
}

}  // namespace

class NetworkTest : public QObject {
  Q_OBJECT
 private:
  QProcess sim_;
  quint16 port_ = 0;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
#ifndef KANDREL_SIM
    QSKIP("kandrel-sim is not built");
#else
    port_ = StartSim(sim_, QStringLiteral(KANDREL_SIM), QStringLiteral(KANDREL_SAMPLE),
                     {QStringLiteral("--tick"), QStringLiteral("100")});
    QVERIFY(port_);
#endif
  }

  void cleanupTestCase() {
    if (sim_.state() != QProcess::NotRunning) {
      sim_.terminate();
      sim_.waitForFinished(5000);
    }
  }

  void getBaseReplacesTheTreeAndValuesArrive() {
    UiFixture f;
    QVERIFY(f.Enabled(cmd::kConnect));
    QVERIFY(!f.Enabled(cmd::kDisconnect));
    f.Expect(ConnectTo(port_));
    f.Trigger(cmd::kConnect);
    QVERIFY(f.unexpected.isEmpty());
    QVERIFY(f.frame().network()->session().IsConnected());
    QVERIFY(!f.Enabled(cmd::kConnect));
    QVERIFY(f.Enabled(cmd::kDisconnect));

    f.Trigger(cmd::kGetBase);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().idMap.Count() > 200, 10000);
    QCOMPARE(Rows(f.ItemOf(0)), 3);
    QCOMPARE(Rows(Row(f.ItemOf(0), 0)), 2);  // the two controllers of the sample
    QCOMPARE(f.doc().groups[0]->GetChild(0)->name, W("Контроллер КП-1 (котельная)"));
    // A download replaces the document: it counts as a change to save.
    QVERIFY(f.frame().isWindowModified());

    // A second download replaces the first, not beside it; the records keep their identifiers,
    // so the open branches and the selection stay.
    int count = f.doc().idMap.Count();
    const CBase* old = f.doc().groups[0].get();
    uint32_t controller = f.doc().groups[0]->GetChild(0)->id;
    f.frame().GetTreeView()->SetExpanded(1, true);
    f.Select(controller);
    f.Expect([](QDialog& d) {  // "Сохранить изменения?": discard
      Press(d, "discardButton");
      return 0;
    });
    f.Trigger(cmd::kGetBase);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().groups.size() == 3 && f.doc().groups[0].get() != old, 10000);
    QCOMPARE(f.doc().idMap.Count(), count);
    QCOMPARE(Rows(f.ItemOf(0)), 3);
    QVERIFY(f.IsOpen(1));
    QCOMPARE(f.frame().selectedId(), controller);
    QCOMPARE(f.frame().GetTreeView()->currentIndex(), f.ItemOf(controller));

    // The server moves numeric values: the shown property follows without a save prompt.
    f.frame().SetModified(false);
    f.Select(6);  // "Серийный номер", the first number of the sample
    QString before = f.frame().GetFormView()->controls().value->toPlainText();
    QTRY_VERIFY_WITH_TIMEOUT(f.frame().GetFormView()->controls().value->toPlainText() != before,
                             10000);
    QVERIFY(!f.frame().isWindowModified());

    f.Trigger(cmd::kDisconnect);
    QVERIFY(!f.frame().network()->session().IsConnected());
    QVERIFY(f.Enabled(cmd::kConnect));
  }

  void getBaseGivesUpWhenNoWholeBaseArrives() {
    // A server that answers nothing but probes, however long it is asked.
    QTcpServer busy;
    QVERIFY(busy.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> clients;
    connect(&busy, &QTcpServer::newConnection, &busy,
            [&] { clients.push_back(busy.nextPendingConnection()); });
    CNetMessageStream writer;
    QTimer probes;
    connect(&probes, &QTimer::timeout, &busy, [&] {
      CNetMessage probe(net::kCtlProbe);
      probe.Append(CNetMessageData::Counter(NetTickCount()));
      for (QTcpSocket* c : clients) {
        std::string bytes;
        writer.Encode(probe, &bytes);
        c->write(bytes.data(), qint64(bytes.size()));
      }
    });
    probes.start(100);
    QSettings().setValue(kBaseTimeoutKey, 1);

    UiFixture f;
    f.Expect(ConnectTo(busy.serverPort()));
    f.Trigger(cmd::kConnect);
    QVERIFY(f.frame().network()->session().IsConnected());
    std::string before = f.doc().SaveToBytes();
    f.ExpectMessage();
    f.Trigger(cmd::kGetBase);
    QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 15000);
    QSettings().remove(kBaseTimeoutKey);
    QVERIFY2(f.messages[0].contains(QStringLiteral("не прислал базу целиком за 1 с")),
             qPrintable(f.messages[0]));
    QVERIFY(!f.frame().network()->session().IsConnected());
    QVERIFY(f.Enabled(cmd::kConnect));
    QVERIFY(f.doc().SaveToBytes() == before);
    QVERIFY(!f.frame().isWindowModified());
  }

  void failedConnectKeepsTheDialogOpenAndSaysWhy() {
    UiFixture f;
    quint16 closed = FreePort();
    QString error;
    bool stayedOpen = false;
    f.Expect([&](QDialog& d) {
      Type(d, "portEdit", QString::number(closed));
      Press(d, "okButton");
      stayedOpen = d.isVisible();
      auto* label = Child<QLabel>(d, "errorLabel");
      error = label->isVisibleTo(&d) ? label->text() : QString();
      d.reject();
      return d.result();
    });
    f.Trigger(cmd::kConnect);
    QVERIFY(stayedOpen);
    QVERIFY2(error.contains(QString::number(closed)), qPrintable(error));
    QVERIFY(f.Enabled(cmd::kConnect));
    QVERIFY(f.unexpected.isEmpty());
  }
};

QTEST_MAIN(NetworkTest)
#include "network_test.moc"
