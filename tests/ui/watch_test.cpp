// The tree's value column, the watch list and reconnecting: values the document tells reach one
// cell each; the list adds, updates, edits through the edit history, follows deletions and comes
// back with its file; a dropped connection to kandrel-sim is tried again and the values come
// back in step without touching the document's structure or its history.
#include <QAbstractItemModelTester>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "model/value_types.h"
#include "net/base_session.h"
#include "ui/app/command_ids.h"
#include "ui/network/frame_network.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/value_highlight.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"
#include "ui_fixture.h"

namespace {

struct Plant {
  CAtom* atom = nullptr;
  CPropertyItem* level = nullptr;
  CPropertyItem* mode = nullptr;
};

Plant MakePlant(UiFixture& f) {
  Plant p;
  CObj* obj = f.AddObject(f.doc().groups[0].get(), "Котёл");
  p.atom = f.AddAtom(obj, "Насос");
  p.level = f.AddProperty(p.atom, "Уровень", kTypeInt, "10");
  p.mode = f.AddProperty(p.atom, "Режим", kTypeInt, "1");
  f.Rebuild();
  return p;
}

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

QString ValueCell(CWatchModel& m, int row) {
  return m.index(row, CWatchModel::kValueColumn).data().toString();
}

}  // namespace

class WatchTest : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir settingsDir_;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir_.path());
  }

  void valueColumnTellsOneCellAndHighlightsIt() {
    UiFixture f;
    Plant p = MakePlant(f);
    CRecordModel* model = f.frame().GetTreeView()->recordModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model->columnCount(), 2);
    QModelIndex name = f.ItemOf(p.level->id);
    QModelIndex value = name.siblingAtColumn(CRecordModel::kValueColumn);
    QCOMPARE(value.data().toString(), QStringLiteral("10"));
    QVERIFY(!f.ItemOf(p.atom->id).siblingAtColumn(1).data().isValid());  // atoms have no value
    QCOMPARE(model->IdOf(value), p.level->id);

    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    p.level->SetRawValue(42);
    {
      RecordChange change(f.doc().events(), p.level);
      p.level->UpdateTextFromRaw(p.level->valueText);
    }
    // The pattern, then the text made from it: that row only, the value cell among them.
    bool valueTold = false;
    for (const auto& signal : changed) {
      QCOMPARE(signal[0].toModelIndex().siblingAtColumn(0), name);
      QCOMPARE(signal[1].toModelIndex(), signal[0].toModelIndex());
      valueTold = valueTold || signal[0].toModelIndex() == value;
    }
    QVERIFY(valueTold);
    QCOMPARE(value.data().toString(), QStringLiteral("42"));
    QVERIFY(value.data(Qt::BackgroundRole).isValid());
    QVERIFY(!f.ItemOf(p.mode->id).siblingAtColumn(1).data(Qt::BackgroundRole).isValid());
    // The highlight ends by itself, and its end is told for that cell too.
    QTRY_VERIFY_WITH_TIMEOUT(!value.data(Qt::BackgroundRole).isValid(), 5000);

    // A click on the value column selects the record as a click on its name does.
    f.frame().GetTreeView()->setCurrentIndex(f.ItemOf(p.mode->id).siblingAtColumn(1));
    QCOMPARE(f.frame().selectedId(), p.mode->id);
  }

  void watchListAddsUpdatesEditsAndFollowsDeletion() {
    UiFixture f;
    Plant p = MakePlant(f);
    CWatchDock* dock = f.frame().watchDock();
    CWatchModel* m = dock->model();
    QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // An atom brings its properties; one already watched is not added twice.
    QCOMPARE(dock->AddRecords({p.level->id}), 1);
    QCOMPARE(dock->AddRecords({p.atom->id}), 1);
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->IdAt(1), p.mode->id);
    QCOMPARE(m->index(0, CWatchModel::kPathColumn).data().toString(),
             QStringLiteral("/%1/Котёл/Насос/Уровень")
                 .arg(QString::fromStdString(f.doc().groups[0]->name)));
    QCOMPARE(m->index(0, CWatchModel::kTypeColumn).data().toString(), QStringLiteral("INT"));

    // A new pattern counts once, though its text follows it; a text alone counts too.
    QSignalSpy changed(m, &QAbstractItemModel::dataChanged);
    p.level->SetRawValue(7);
    {
      RecordChange change(f.doc().events(), p.level);
      p.level->UpdateTextFromRaw(p.level->valueText);
    }
    QCOMPARE(ValueCell(*m, 0), QStringLiteral("7"));
    QCOMPARE(m->ChangesAt(0), 1);
    {
      RecordChange change(f.doc().events(), p.mode);
      p.mode->SetValueText("3");
    }
    QCOMPARE(m->ChangesAt(1), 1);
    QVERIFY(!m->index(1, CWatchModel::kTimeColumn).data().toString().isEmpty());
    QVERIFY(changed.count() >= 2);

    // Editing in place is one undoable step, as "Применить" is.
    QVERIFY(m->setData(m->index(0, CWatchModel::kValueColumn), QStringLiteral("55")));
    QCOMPARE(p.level->GetValueText(), std::string("55"));
    QCOMPARE(p.level->GetRawValue(), 55u);
    QVERIFY(f.frame().isWindowModified());
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(AsProperty(f.doc().LookupRecord(m->IdAt(0)))->GetValueText(), std::string("7"));
    QCoreApplication::processEvents();
    QCOMPARE(m->rowCount(), 2);  // undo puts the list back: the property is still watched

    // A property deleted while watched leaves the list, with a note.
    uint32_t modeId = m->IdAt(1);  // the undo made the records anew
    f.Select(modeId);
    f.Trigger(cmd::kDeleteProperty);
    QVERIFY(!f.doc().LookupRecord(modeId));
    QTRY_COMPARE(m->rowCount(), 1);
    QVERIFY(m->RowOf(modeId) < 0);
    QVERIFY(f.frame().statusBar()->currentMessage().contains(QLatin1String("1")));

    m->RemoveRowsAt({0});
    QCOMPARE(m->rowCount(), 0);
  }

  void watchListComesBackWithItsFile() {
    QTemporaryDir dir;
    QString file = QDir(dir.path()).absoluteFilePath(QStringLiteral("plant.kdl"));
    UiFixture f;
    Plant p = MakePlant(f);
    f.doc().SaveFile(QFile::encodeName(file).toStdString());
    QSettings settings;
    {
      CWatchModel m(f.doc());
      m.Add({p.level->id, p.mode->id});
      m.Save(settings, file);
      settings.sync();
    }
    // Another file has a list of its own (none); the file's list comes back with it.
    CWatchModel other(f.doc());
    QCOMPARE(other.Load(settings, dir.filePath(QStringLiteral("other.kdl"))), 0);
    QCOMPARE(other.rowCount(), 0);
    QVERIFY(f.frame().OpenDocument(file));
    CWatchModel* m = f.frame().watchDock()->model();
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(AsProperty(f.doc().LookupRecord(m->IdAt(1)))->name, W("Режим"));

    // A property that is no longer in the file is dropped with a note, and stays dropped.
    uint32_t modeId = m->IdAt(1);
    f.Select(modeId);
    f.Trigger(cmd::kDeleteProperty);
    f.doc().SaveFile(QFile::encodeName(file).toStdString());
    f.frame().SetModified(false);
    {
      CWatchModel stale(f.doc());
      stale.Add({m->IdAt(0)});
      QStringList list = stale.Entries();
      list << QString::number(modeId) + QLatin1Char('\t') + QStringLiteral("/Нет/Такого");
      settings.setValue(CWatchModel::SettingsKey(file), list);
      settings.sync();
    }
    QVERIFY(f.frame().OpenDocument(file));
    QCOMPARE(m->rowCount(), 1);
    QVERIFY(f.frame().statusBar()->currentMessage().endsWith(QLatin1String(": 1")));
    QCOMPARE(QSettings().value(CWatchModel::SettingsKey(file)).toStringList().size(), 1);
  }

  void droppedConnectionComesBackInStep() {
#ifndef KANDREL_SIM
    QSKIP("kandrel-sim is not built");
#else
    quint16 port = FreePort();
    QProcess sim;
    // The server moves values every 50 ms and drops every client every 2 seconds.
    sim.start(QStringLiteral(KANDREL_SIM),
              {QStringLiteral("--port"), QString::number(port), QStringLiteral("--base"),
               QStringLiteral(KANDREL_SAMPLE), QStringLiteral("--tick"), QStringLiteral("50"),
               QStringLiteral("--drop-after"), QStringLiteral("2")});
    QVERIFY(sim.waitForStarted(5000));
    bool up = false;
    for (int i = 0; i < 50 && !up; ++i) {
      QTcpSocket s;
      s.connectToHost(QHostAddress::LocalHost, port);
      up = s.waitForConnected(100);
      if (!up) QTest::qWait(100);
    }
    QVERIFY(up);

    UiFixture f;
    FrameNetwork* net = f.frame().network();
    net->reconnect().SetSecondLength(100);
    f.Expect([port](QDialog& d) {
      Type(d, "portEdit", QString::number(port));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kConnect);
    QVERIFY(net->session().IsConnected());
    f.Trigger(cmd::kGetBase);
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().idMap.Count() > 200, 10000);
    const CBase* group = f.doc().groups[0].get();
    int records = f.doc().idMap.Count();
    bool couldUndo = f.frame().history().CanUndo();
    f.frame().SetModified(false);

    // The drop is noticed and counted down; the values come back over the same records.
    QSignalSpy caughtUp(net, &FrameNetwork::valuesCaughtUp);
    QTRY_VERIFY_WITH_TIMEOUT(net->reconnect().IsWaiting(), 10000);
    QVERIFY(f.frame()
                .findChild<QLabel*>(QStringLiteral("connectionPane"))
                ->text()
                .contains(QStringLiteral("Переподключение через")));
    QVERIFY(f.Enabled(cmd::kDisconnect));
    QTRY_VERIFY_WITH_TIMEOUT(caughtUp.count() > 0, 10000);
    QVERIFY(caughtUp[0][0].toInt() > 0);  // the server moved values while the editor was away
    QVERIFY(net->session().IsConnected());
    QCOMPARE(f.doc().groups[0].get(), group);
    QCOMPARE(f.doc().idMap.Count(), records);
    QCOMPARE(f.frame().history().CanUndo(), couldUndo);
    QVERIFY(!f.frame().isWindowModified());
    QVERIFY(f.frame().statusBar()->currentMessage().contains(caughtUp[0][0].toString()));

    // "Отключиться" while waiting gives up for good.
    QTRY_VERIFY_WITH_TIMEOUT(net->reconnect().IsWaiting(), 10000);
    f.Trigger(cmd::kDisconnect);
    QVERIFY(!net->reconnect().IsWaiting());
    QTest::qWait(300);
    QVERIFY(!net->session().IsConnected());
    QVERIFY(f.Enabled(cmd::kConnect));
    sim.terminate();
    sim.waitForFinished(5000);
#endif
  }
};

QTEST_MAIN(WatchTest)
#include "watch_test.moc"
