// The "Сеть" commands against a real kandrel-sim over loopback: the connect dialog, "Получить
// базу" replacing the tree (keeping open branches and the selection on a second download), a
// value pushed by the server reaching the form, a download given up when no whole base comes,
// a base nobody asked for that waits for the user's answer, and a failed connect that keeps the
// dialog open with the reason.
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <vector>

#include "model/document.h"
#include "net/base_session.h"
#include "net/message_stream.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "ui/app/command_ids.h"
#include "ui/compare/compare_owner.h"
#include "ui/form/property_form.h"
#include "ui/history/record_commands.h"
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
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().Ids().Count() > 200, 10000);
    QCOMPARE(Rows(f.ItemOf(0)), 3);
    QCOMPARE(Rows(Row(f.ItemOf(0), 0)), 2);  // the two controllers of the sample
    // The plant shows: "Root" and the groups open.
    QVERIFY(f.IsOpen(0));
    for (int row = 0; row < f.doc().RowCount(nullptr); ++row)
      QVERIFY(f.IsOpen(f.doc().RecordAt(nullptr, row)->id));
    QCOMPARE(f.doc().Groups().At(0)->GetChild(0)->name, W("Контроллер КП-1 (котельная)"));
    // A download replaces the document: it counts as a change to save.
    QVERIFY(f.frame().isWindowModified());

    // A second download replaces the first, not beside it; the records keep their identifiers,
    // so the open branches and the selection stay.
    int count = f.doc().Ids().Count();
    const CBase* old = f.doc().Groups().At(0);
    uint32_t controller = f.doc().Groups().At(0)->GetChild(0)->id;
    f.frame().GetTreeView()->SetExpanded(1, true);
    f.Select(controller);
    f.Expect([](QDialog& d) {  // "Сохранить изменения?": discard
      Press(d, "discardButton");
      return 0;
    });
    f.Trigger(cmd::kGetBase);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().Groups().Count() == 3 && f.doc().Groups().At(0) != old, 10000);
    QCOMPARE(f.doc().Ids().Count(), count);
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
    // Below the least allowed: five seconds it is.
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
    QVERIFY2(f.messages[0].contains(QStringLiteral("не прислал базу целиком за 5 с")),
             qPrintable(f.messages[0]));
    QVERIFY(!f.frame().network()->session().IsConnected());
    QVERIFY(f.Enabled(cmd::kConnect));
    QVERIFY(f.doc().SaveToBytes() == before);
    QVERIFY(!f.frame().isWindowModified());
  }

  void baseTimeoutSettingIsKeptWithinBounds() {
    QSettings settings;
    const std::pair<QVariant, int> cases[] = {
        {3000000, 3600}, {3600, 3600}, {1, 5}, {-7, 5}, {30, 30}, {QStringLiteral("x"), 120}};
    for (const auto& [value, seconds] : cases) {
      settings.setValue(kBaseTimeoutKey, value);
      QCOMPARE(BaseTimeoutSeconds(), seconds);
    }
    settings.remove(kBaseTimeoutKey);
    QCOMPARE(BaseTimeoutSeconds(), kDefaultBaseTimeoutSeconds);
  }

  // A server that sends a base nobody asked for: it is kept aside and the user is asked once;
  // Escape and, with unsaved changes, the default answer keep the document.
  void unaskedBaseIsKeptAsideAndAskedAbout() {
    CTarnelDoc server;
    server.NewGroup("Pushed");
    QTcpServer pusher;
    QVERIFY(pusher.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* client = nullptr;
    connect(&pusher, &QTcpServer::newConnection, &pusher,
            [&] { client = pusher.nextPendingConnection(); });
    auto push = [&](int times) {
      std::string bytes;
      for (int i = 0; i < times; ++i) {
        // The editor reads each base with fresh reference tables.
        CNetMessageStream writer;
        CNetMessage base(net::kMsgBase);
        for (int row = 0; row < server.RowCount(nullptr); ++row)
          base.Append(CNetMessageData::Record(server.RecordAt(nullptr, row)));
        writer.Encode(base, &bytes);
      }
      client->write(bytes.data(), qint64(bytes.size()));
    };

    UiFixture f;
    f.Expect(ConnectTo(pusher.serverPort()));
    f.Trigger(cmd::kConnect);
    QTRY_VERIFY(client != nullptr);
    f.frame().RunCommand(std::make_unique<AddGroupCommand>("Mine"));
    const std::string mine = f.doc().SaveToBytes();

    int asked = 0;
    QString defaultButton;
    auto answer = [&](const char* button) {
      f.Expect([&asked, &defaultButton, button](QDialog& d) {
        ++asked;
        auto& box = static_cast<QMessageBox&>(d);
        defaultButton = box.defaultButton()->objectName();
        if (!button) {
          QTest::keyClick(&box, Qt::Key_Escape);
          return box.result();
        }
        return Press(d, button);
      });
    };
    // Two at once: one question, about the newer.
    answer(nullptr);
    push(2);
    QTRY_COMPARE(asked, 1);
    QCoreApplication::processEvents();
    QVERIFY(f.unexpected.isEmpty());
    QCOMPARE(defaultButton, QStringLiteral("ignoreBaseButton"));
    QVERIFY(f.doc().SaveToBytes() == mine);
    QVERIFY(f.frame().isWindowModified());
    QVERIFY(!f.frame().network()->session().HasUnaskedBase());

    answer("compareBaseButton");
    push(1);
    QTRY_COMPARE(asked, 2);
    QVERIFY(f.frame().compare()->IsOpen());
    QVERIFY(f.doc().SaveToBytes() == mine);
    f.frame().compare()->Close();

    // Saved: replacing is the default, and it is one step of the history.
    f.frame().SetModified(false);
    answer("replaceBaseButton");
    push(1);
    QTRY_COMPARE(asked, 3);
    QCOMPARE(defaultButton, QStringLiteral("replaceBaseButton"));
    QCOMPARE(f.doc().RowCount(nullptr), 1);
    QCOMPARE(f.doc().RecordAt(nullptr, 0)->name, std::string("Pushed"));
    QVERIFY(f.frame().UndoChange());
    QVERIFY(f.doc().SaveToBytes() == mine);
    QVERIFY(f.unexpected.isEmpty());
    f.frame().SetModified(false);
    f.Trigger(cmd::kDisconnect);
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
