// Writing to a running server, checked on the server's side: in "Только наблюдение" no byte of
// message 203 leaves whatever the user does; in "Запись" a batch is previewed, a cancelled one
// sends nothing and keeps the document's change, and the held values go when the user says.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "model/document.h"
#include "net/base_session.h"
#include "net/message_stream.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "net/write_gate.h"
#include "ui/app/command_ids.h"
#include "ui/form/form_layouts.h"
#include "ui/form/property_form.h"
#include "ui/network/frame_network.h"
#include "ui/network/journal_dock.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"
#include "ui_fixture.h"

namespace {

// A server that records every value a client sends it and can tell values itself.
class RecordingServer {
 public:
  RecordingServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_,
                     [this] { client_ = server_.nextPendingConnection(); });
  }
  quint16 Port() const { return server_.serverPort(); }
  bool HasClient() const { return client_ != nullptr; }

  // Everything the client sent up to now has arrived: it answers a -3 sent after it.
  bool Barrier() {
    size_t echoes = echoes_;
    Send(CNetMessage(net::kCtlEcho));
    return QTest::qWaitFor(
        [&] {
          Poll();
          return echoes_ > echoes;
        },
        10000);
  }
  void Send(const CNetMessage& m) {
    std::string bytes;
    writer_.Encode(m, &bytes);
    client_->write(bytes.data(), qint64(bytes.size()));
    client_->flush();
  }
  void Tell(uint32_t id, uint32_t raw) {
    CNetMessage m(net::kMsgRawValue);
    m.AppendUInt(id);
    m.AppendUInt(raw);
    Send(m);
  }

  std::vector<std::pair<uint32_t, uint32_t>> values;  // every 203 received, in order
  size_t valueBytes = 0;                              // and its bytes

 private:
  void Poll() {
    QByteArray bytes = client_->readAll();
    reader_.Feed(bytes.constData(), size_t(bytes.size()));
    CNetMessage m;
    while (reader_.Next(&m)) {
      if (m.GetId() == net::kCtlEcho) {
        ++echoes_;
      } else if (m.GetId() == net::kMsgRawValue) {
        uint32_t id = 0, raw = 0;
        m.ReadUIntAt(0, &id);
        m.ReadUIntAt(1, &raw);
        values.emplace_back(id, raw);
        valueBytes += 28;
      }
      m = CNetMessage();
    }
  }

  QTcpServer server_;
  QTcpSocket* client_ = nullptr;
  CNetMessageStream reader_, writer_;
  size_t echoes_ = 0;
};

using Values = std::vector<std::pair<uint32_t, uint32_t>>;

struct Plant {
  CAtom* atom;
  CPropertyItem* speed;
  CPropertyItem* level;
  CPropertyItem* drift;  // its text says 9, its stored pattern 4: a save derives 9
};

Plant BuildPlant(UiFixture& f) {
  CObj* pump = f.AddObject(f.doc().Groups().At(1), "Насос");
  Plant p;
  p.atom = f.AddAtom(pump, "AI");
  p.speed = f.AddProperty(p.atom, "Speed", 3, "5");
  p.level = f.AddProperty(p.atom, "Level", 3, "7");
  p.drift = f.AddProperty(p.atom, "Drift", 3, "9");
  f.Rebuild();
  // The patterns as a base from the server holds them; Drift's has not followed its text.
  p.speed->InitRawValue(5);
  p.level->InitRawValue(7);
  p.drift->InitRawValue(4);
  return p;
}

void SelectRows(UiFixture& f, std::initializer_list<uint32_t> ids) {
  CLeftView* tree = f.frame().GetTreeView();
  tree->selectionModel()->clearSelection();
  for (uint32_t id : ids)
    tree->selectionModel()->setCurrentIndex(
        f.ItemOf(id), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The form's "Применить" with a new value for the shown property (or the bulk selection).
void ApplyValue(UiFixture& f, const QString& value) {
  const FormControls& c = f.frame().GetFormView()->controls();
  c.value->setPlainText(value);
  c.apply->click();
}

std::function<int(QDialog&)> ConnectIn(quint16 port, bool monitorOnly) {
  return [port, monitorOnly](QDialog& d) {
    if (d.windowTitle() != QStringLiteral("Connect to....")) return -1;
    Type(d, "portEdit", QString::number(port));
    Child<QRadioButton>(d, monitorOnly ? "monitorOnlyButton" : "writeButton")->click();
    return Press(d, "okButton");
  };
}

// Answers a preview with "Записать" or "Отмена" and keeps what it listed.
std::function<int(QDialog&)> Preview(bool write, QStringList* rows = nullptr) {
  return [write, rows](QDialog& d) {
    if (d.objectName() != QStringLiteral("CWritePreviewDlg")) return -1;
    if (rows) {
      auto* table = Child<QTableWidget>(d, "writeTable");
      for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
        *rows << cells.join('|');
      }
    }
    return Press(d, write ? "writeButton" : "cancelButton");
  };
}

QString StateText(UiFixture& f) {
  QLabel* label = f.frame().GetFormView()->controls().writeState;
  return label->isVisibleTo(f.frame().GetFormView()) ? label->text() : QString();
}

}  // namespace

class SafeWriteTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir data_;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
  }

  void monitorOnlySendsNothingWhateverTheUserDoes() {
    RecordingServer server;
    UiFixture f;
    Plant p = BuildPlant(f);
    f.Expect(ConnectIn(server.Port(), true));
    f.Trigger(cmd::kConnect);
    QVERIFY(f.frame().network()->session().IsConnected());
    QTRY_VERIFY(server.HasClient());
    QVERIFY(f.frame().findChild<QLabel*>("connectionPane")->text().contains("Только наблюдение"));
    QVERIFY(f.frame().network()->monitorOnlyAction()->isChecked());

    // "Применить" of one value, the bulk form over two, undo and redo of that, a save that
    // derives a changed pattern, an edit in the watch list, a value the server tells.
    f.Select(p.speed->id);
    ApplyValue(f, "11");
    QTRY_VERIFY(StateText(f).contains("не отправлено"));
    SelectRows(f, {p.speed->id, p.level->id});
    QVERIFY(f.frame().GetFormView()->bulk());
    ApplyValue(f, "12");
    QVERIFY(f.frame().UndoChange());
    QVERIFY(f.frame().RedoChange());
    f.doc().SaveFile(data_.filePath("plant.kdl").toStdString());
    f.frame().watchDock()->AddRecords({p.level->id});
    f.frame().watchDock()->model()->setData(
        f.frame().watchDock()->model()->index(0, CWatchModel::kValueColumn), "33", Qt::EditRole);
    server.Tell(p.speed->id, 77);
    QVERIFY(server.Barrier());
    QTest::qWait(50);
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, Values{});
    QCOMPARE(server.valueBytes, size_t(0));
    QCOMPARE(p.speed->GetRawValue(), 77u);  // the server's value is taken as before
    QCOMPARE(p.level->GetRawValue(), 33u);  // the edits stay in the document
    QCOMPARE(p.drift->GetRawValue(), 9u);
    CWriteGate& gate = f.frame().network()->gate();
    QCOMPARE(gate.StateOf(p.level->id), WriteState::kNotSent);
    QCOMPARE(gate.StateOf(p.drift->id), WriteState::kNotSent);
    QCOMPARE(gate.StateOf(p.speed->id), WriteState::kNone);  // the server's value replaced it

    // "Запись" lists what was held back; "Записать" sends it.
    QStringList rows;
    f.Expect(Preview(true, &rows));
    f.frame().network()->monitorOnlyAction()->trigger();
    QVERIFY(f.AllAnswered());
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows.contains("/Logic/Насос/AI/Level|INT|7|33"), qPrintable(rows.join('\n')));
    QVERIFY(server.Barrier());
    std::sort(server.values.begin(), server.values.end());
    Values want{{p.level->id, 33}, {p.drift->id, 9}};
    std::sort(want.begin(), want.end());
    QCOMPARE(server.values, want);
    QCOMPARE(gate.StateOf(p.level->id), WriteState::kSent);
    QVERIFY(f.frame().findChild<QLabel*>("connectionPane")->text().contains("Запись"));
  }

  void aCancelledPreviewSendsNothingAndKeepsTheChange() {
    RecordingServer server;
    UiFixture f;
    Plant p = BuildPlant(f);
    // The mode is remembered per server: this one was never monitored.
    f.Expect(ConnectIn(server.Port(), false));
    f.Trigger(cmd::kConnect);
    QTRY_VERIFY(server.HasClient());

    // One value goes at once, without asking; the server reports it back.
    f.Select(p.speed->id);
    ApplyValue(f, "21");
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, (Values{{p.speed->id, 21}}));
    QVERIFY(StateText(f).contains("отправлено"));
    server.Tell(p.speed->id, 21);
    QVERIFY(server.Barrier());
    QTRY_VERIFY(StateText(f).contains("подтверждено"));
    QCOMPARE(f.frame()
                 .GetTreeView()
                 ->recordModel()
                 ->data(f.ItemOf(p.speed->id).siblingAtColumn(1), Qt::ToolTipRole)
                 .toString()
                 .left(12),
             QStringLiteral("Подтверждено"));
    server.values.clear();

    // Two values: the preview; "Отмена" sends nothing and the document keeps them.
    QStringList rows;
    f.Expect(Preview(false, &rows));
    SelectRows(f, {p.speed->id, p.level->id});
    ApplyValue(f, "40");
    QTRY_VERIFY(f.AllAnswered());
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows.contains("/Logic/Насос/AI/Speed|INT|21|40"), qPrintable(rows.join('\n')));
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, Values{});
    QCOMPARE(p.speed->GetRawValue(), 40u);
    QCOMPARE(p.level->GetRawValue(), 40u);
    QCOMPARE(f.frame().network()->gate().StateOf(p.level->id), WriteState::kNotSent);

    // Accepted, the next batch goes whole, the old values as the server has them.
    rows.clear();
    f.Expect(Preview(true, &rows));
    ApplyValue(f, "50");
    QTRY_VERIFY(f.AllAnswered());
    QVERIFY2(rows.contains("/Logic/Насос/AI/Level|INT|7|50"), qPrintable(rows.join('\n')));
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, (Values{{p.speed->id, 50}, {p.level->id, 50}}));
    server.values.clear();

    // Undo of that step is a batch too.
    f.Expect(Preview(true));
    QVERIFY(f.frame().UndoChange());
    QTRY_VERIFY(f.AllAnswered());
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, (Values{{p.speed->id, 40}, {p.level->id, 40}}));
    server.values.clear();

    // "Подтверждать каждую запись": a save that derives one changed pattern asks too;
    // cancelled, nothing goes and the file is written all the same.
    f.frame().network()->confirmEachAction()->trigger();
    f.Expect(Preview(false));
    QString path = data_.filePath("saved.kdl");
    f.doc().SaveFile(path.toStdString());
    QTRY_VERIFY(f.AllAnswered());
    QVERIFY(QFile::exists(path));
    QVERIFY(server.Barrier());
    QCOMPARE(server.values, Values{});
    QCOMPARE(p.drift->GetRawValue(), 9u);
    f.frame().network()->confirmEachAction()->trigger();

    // The journal dock shows what went, newest first.
    CJournalDock* dock = f.frame().network()->journalDock();
    dock->show();
    dock->Reload();
    QCOMPARE(dock->shown().size(), size_t(6));
    QCOMPARE(dock->shown().front().origin, std::string("undo"));
    QCOMPARE(dock->table()->rowCount(), 6);
    dock->originFilter()->setCurrentIndex(dock->originFilter()->findData("apply"));
    QCOMPARE(dock->shown().size(), size_t(2));  // sent and confirmed
    QCOMPARE(dock->shown().front().result, std::string("confirmed"));
  }
};

QTEST_MAIN(SafeWriteTest)
#include "safe_write_test.moc"
