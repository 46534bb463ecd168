// The tree's value column, the watch list and reconnecting: values the document tells reach one
// cell each; the list adds, updates, edits through the edit history, follows deletions and comes
// back with its file; trends draw, hold while paused and are saved; a dropped connection to
// kandrel-sim is tried again and the values come back in step without touching the document's
// structure or its history.
#include <QAbstractItemModelTester>
#include <QChart>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include "model/value_types.h"
#include "net/base_session.h"
#include "ui/app/command_ids.h"
#include "ui/network/frame_network.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "ui/watch/samples_csv_file.h"
#include "ui/watch/trend_dock.h"
#include "ui/watch/trend_points.h"
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
  CObj* obj = f.AddObject(f.doc().Groups().At(0), "Котёл");
  p.atom = f.AddAtom(obj, "Насос");
  p.level = f.AddProperty(p.atom, "Уровень", kTypeInt, "10");
  p.mode = f.AddProperty(p.atom, "Режим", kTypeInt, "1");
  f.Rebuild();
  return p;
}

// A new pattern arrives, then the text made from it, as the network session tells them.
void Arrive(UiFixture& f, CPropertyItem* p, uint32_t raw) {
  p->SetRawValue(raw);
  RecordChange change(f.doc().events(), p);
  p->UpdateTextFromRaw(p->valueText);
}

QString ValueCell(CWatchModel& m, int row) {
  return m.index(row, CWatchModel::kValueColumn).data().toString();
}

}  // namespace

class WatchTest : public QObject {
  Q_OBJECT
 private slots:
  // The fixture keeps the program's settings apart from the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void valueColumnTellsOneCellAndHighlightsIt() {
    UiFixture f;
    Plant p = MakePlant(f);
    CRecordModel* model = f.frame().GetTreeView()->recordModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QModelIndex name = f.ItemOf(p.level->id);
    QModelIndex value = name.siblingAtColumn(CRecordModel::kValueColumn);
    QCOMPARE(value.data().toString(), QStringLiteral("10"));
    QVERIFY(!f.ItemOf(p.atom->id).siblingAtColumn(1).data().isValid());  // atoms have no value

    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    Arrive(f, p.level, 42);
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

    // "Наблюдать" in the tree's context menu takes every selected record; an atom brings its
    // properties, and one already watched is not added twice.
    QCOMPARE(dock->AddRecords({p.level->id}), 1);
    f.Select(p.atom->id);
    CLeftView* tree = f.frame().GetTreeView();
    tree->selectionModel()->select(f.ItemOf(p.level->id),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::unique_ptr<QMenu> menu(f.frame().treeEditing()->BuildContextMenu(&f.frame()));
    QVERIFY(menu->actions().contains(dock->watchAction()));
    QVERIFY(dock->watchAction()->isEnabled());
    dock->watchAction()->trigger();
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->IdAt(1), p.mode->id);
    QCOMPARE(m->index(0, CWatchModel::kPathColumn).data().toString(),
             QStringLiteral("/%1/Котёл/Насос/Уровень")
                 .arg(QString::fromStdString(f.doc().Groups().At(0)->name)));
    QCOMPARE(m->index(0, CWatchModel::kTypeColumn).data().toString(), QStringLiteral("INT"));

    // A new pattern counts once, though its text follows it; a text alone counts too.
    QSignalSpy changed(m, &QAbstractItemModel::dataChanged);
    Arrive(f, p.level, 7);
    QCOMPARE(ValueCell(*m, 0), QStringLiteral("7"));
    QCOMPARE(m->ChangesAt(0), 1);
    // Recorded for trends: the value when added, then the new one once.
    const CValueRing& samples = m->SeriesOf(p.level->id)->samples;
    QCOMPARE(samples.Size(), size_t(2));
    QCOMPARE(samples.Latest().value, 7.0);
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

  void trendPointsKeepPeaksAndEdges() {
    CValueRing ring(1000);
    for (int i = 0; i < 1000; ++i) ring.Push(i * 10, i % 100 == 50 ? 1000 : i % 7);
    // Thinned to two samples a slice, a one-sample peak survives; the line reaches both edges.
    TrendPoints thin = PointsInSpan(ring, 100, 9000, 20);
    QVERIFY(thin.points.size() <= 2 * 20 + 2);
    QCOMPARE(thin.points.front().x(), 90.0);
    QCOMPARE(thin.points.back().x(), 9010.0);
    QVERIFY(std::any_of(thin.points.begin(), thin.points.end(),
                        [](const QPointF& pt) { return pt.y() == 1000; }));
    for (int i = 1; i < thin.points.size(); ++i)
      QVERIFY(thin.points[i - 1].x() < thin.points[i].x());
    QCOMPARE(thin.low, 0.0);
    QCOMPARE(thin.high, 1000.0);
    // Few samples are all drawn; the one after the span is not part of the value range.
    TrendPoints all = PointsInSpan(ring, 200, 300, 50);
    QCOMPARE(all.points.size(), qsizetype(13));
    QCOMPARE(all.high, 6.0);
    QVERIFY(PointsInSpan(CValueRing(4), 0, 100, 10).points.isEmpty());
  }

  void trendDrawsWhatIsRecordedAndSavesIt() {
    UiFixture f;
    Plant p = MakePlant(f);
    CWatchDock* dock = f.frame().watchDock();
    dock->AddRecords({p.atom->id});
    for (uint32_t v : {20u, 30u}) Arrive(f, p.level, v);
    CTrendDock* trend = dock->ShowTrend({p.level->id, p.mode->id});
    QVERIFY(trend);
    trend->Redraw();
    QList<QAbstractSeries*> lines = trend->chart()->series();
    QCOMPARE(lines.size(), 2);
    auto* level = static_cast<QLineSeries*>(lines[0]);
    QCOMPARE(level->count(), 3);
    QCOMPARE(level->at(2).y(), 30.0);
    auto* valueAxis = static_cast<QValueAxis*>(trend->chart()->axes(Qt::Vertical).front());
    QVERIFY(valueAxis->min() <= 1 && valueAxis->max() >= 30);

    // Paused, the picture holds while values go on being recorded; the wheel zooms around the
    // pointer, and the reset returns to the chosen span.
    trend->SetPaused(true);
    int64_t from = trend->from(), to = trend->to();
    p.level->SetRawValue(40);
    QTest::qWait(3 * CTrendDock::kRedrawMs);
    QCOMPARE(trend->to(), to);
    QCOMPARE(level->count(), 3);
    trend->Zoom(0.5, double(to));
    QCOMPARE(trend->to(), to);
    QCOMPARE(trend->to() - trend->from(), (to - from) / 2);
    trend->ResetZoom();
    QCOMPARE(trend->to() - trend->from(), to - from);
    trend->SetPaused(false);
    QCOMPARE(level->count(), 4);

    // The CSV in the wide form (chosen by the file type), complete or not at all.
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("trend.csv"));
    f.Expect([&](QDialog& d) {
      auto& files = static_cast<QFileDialog&>(d);
      files.selectNameFilter(files.nameFilters().at(1));
      files.selectFile(path);
      return int(QDialog::Accepted);
    });
    trend->findChild<QAction*>(QStringLiteral("trendSaveCsv"))->trigger();
    QVERIFY(f.AllAnswered());
    QFile csv(path);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    std::vector<const RecordedSeries*> both{dock->model()->SeriesOf(p.level->id),
                                            dock->model()->SeriesOf(p.mode->id)};
    QCOMPARE(csv.readAll(), QByteArray::fromStdString(SamplesToCsv(both, CsvForm::kWide)));
    QString error;
    QVERIFY(!WriteSamplesCsvFile(dir.filePath(QStringLiteral("none/x.csv")),
                                 dock->model()->AllSeries(), CsvForm::kLong, &error));
    QVERIFY(error.contains(QLatin1String("none/x.csv")));

    // A property no longer watched leaves the trend.
    dock->model()->RemoveRowsAt({0});
    trend->Redraw();
    QCOMPARE(trend->chart()->series().size(), 1);
    QCOMPARE(trend->ids(), std::vector<uint32_t>{p.mode->id});
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

  void newContentsKeepTheWatchOnTheSamePaths() {
    UiFixture f;
    Plant p = MakePlant(f);
    CWatchModel* m = f.frame().watchDock()->model();
    m->Add({p.level->id, p.mode->id});
    // A base whose records carry other identifiers, and which has no "Режим".
    CTarnelDoc other;
    other.OnNewDocument();
    for (const char* name : {"Прочее", "Ещё"})
      other.NewObject(other.Groups().At(0))->name = W(name);
    CObj* boiler = other.NewObject(other.Groups().At(0));
    boiler->name = W("Котёл");
    CAtom* pump = other.NewAtom(boiler);
    pump->name = W("Насос");
    CPropertyItem* level = other.NewProperty(pump);
    level->name = W("Уровень");
    level->typeCode = kTypeInt;
    uint32_t levelId = level->id;
    QVERIFY(levelId != p.level->id);
    f.doc().ReplaceGroups(other.TakeGroups());
    QTRY_COMPARE(m->rowCount(), 1);
    QCOMPARE(m->IdAt(0), levelId);
    QCOMPARE(m->SeriesOf(levelId)->id, levelId);
  }

  void droppedConnectionComesBackInStep() {
#ifndef KANDREL_SIM
    QSKIP("kandrel-sim is not built");
#else
    QProcess sim;
    // The server moves values every 50 ms and drops every client every 2 seconds.
    quint16 port = StartSim(sim, QStringLiteral(KANDREL_SIM), QStringLiteral(KANDREL_SAMPLE),
                            {QStringLiteral("--tick"), QStringLiteral("50"),
                             QStringLiteral("--drop-after"), QStringLiteral("2")});
    QVERIFY(port);

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
    QTRY_VERIFY_WITH_TIMEOUT(f.doc().Ids().Count() > 200, 10000);
    const CBase* group = f.doc().Groups().At(0);
    int records = f.doc().Ids().Count();
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
    QCOMPARE(f.doc().Groups().At(0), group);
    QCOMPARE(f.doc().Ids().Count(), records);
    QCOMPARE(f.frame().history().CanUndo(), couldUndo);
    QVERIFY(!f.frame().isWindowModified());
    QVERIFY(f.frame().statusBar()->currentMessage().contains(caughtUp[0][0].toString()));

    // "Отключиться" while waiting gives up (the timer's stop is monitor_test's).
    QTRY_VERIFY_WITH_TIMEOUT(net->reconnect().IsWaiting(), 10000);
    f.Trigger(cmd::kDisconnect);
    QVERIFY(!net->reconnect().IsWaiting());
    QVERIFY(!net->session().IsConnected());
    QVERIFY(f.Enabled(cmd::kConnect));
    sim.terminate();
    sim.waitForFinished(5000);
#endif
  }
};

QTEST_MAIN(WatchTest)
#include "watch_test.moc"
