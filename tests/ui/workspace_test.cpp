// The workspace on a 1600x1000 window: the bottom docks share one area as tabs, a new trend
// opens with a plot that can be read, the layout (docks, splitter, column widths) comes back
// from its settings and "Сбросить расположение" puts the default back, and an opened file or a
// received base shows "Root" and its groups open.
#include <QChart>
#include <QChartView>
#include <QDockWidget>
#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/frame_layout.h"
#include "ui/compare/compare_owner.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/trend_dock.h"
#include "ui/watch/watch_dock.h"
#include "ui_fixture.h"

namespace {

// A document with a group holding an object, an atom and a numeric property; its identifier.
uint32_t MakePlant(UiFixture& f) {
  CObj* obj = f.AddObject(f.doc().RecordAt(nullptr, 0), "Boiler");
  CAtom* atom = f.AddAtom(obj, "Pump");
  uint32_t id = f.AddProperty(atom, "Level", kTypeInt, "10")->id;
  f.Rebuild();
  return id;
}

void Size(UiFixture& f) {
  f.frame().setGeometry(0, 0, 1600, 1000);
  QCoreApplication::processEvents();
}

QSplitter* Splitter(UiFixture& f) {
  return f.frame().findChild<QSplitter*>(QStringLiteral("splitter"));
}

}  // namespace

class WorkspaceTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { QSettings().remove(QStringLiteral("layout")); }

  void bottomDocksAreTabsAndATrendHasRoom() {
    UiFixture f;
    Size(f);
    uint32_t level = MakePlant(f);
    QTemporaryDir dir;
    QString other = dir.filePath(QStringLiteral("other.kdl"));
    f.doc().SaveFile(QFile::encodeName(other).toStdString());
    QVERIFY(f.frame().compare()->CompareWithFile(other));
    QDockWidget* watch = f.frame().watchDock();
    QDockWidget* differences = f.frame().compare()->dock();
    QVERIFY(differences->isVisible());
    QCOMPARE(f.frame().dockWidgetArea(differences), Qt::BottomDockWidgetArea);
    QVERIFY(f.frame().tabifiedDockWidgets(watch).contains(differences));

    f.frame().watchDock()->AddRecords({level});
    CTrendDock* trend = f.frame().watchDock()->ShowTrend({level});
    QVERIFY(trend);
    QCoreApplication::processEvents();
    QVERIFY(f.frame().tabifiedDockWidgets(watch).contains(trend));
    QVERIFY(trend->isVisible());
    QTRY_VERIFY(trend->chart()->plotArea().height() > 0);
    QVERIFY2(trend->chart()->plotArea().height() >= 250,
             qPrintable(QStringLiteral("plot %1 of a chart %2 high")
                            .arg(trend->chart()->plotArea().height())
                            .arg(trend->chartView()->height())));
    // The tree and the form keep room too.
    QVERIFY(f.frame().GetTreeView()->height() >= 250);
  }

  void layoutComesBackFromItsSettingsAndResets() {
    QList<int> sizes;
    int pathWidth = 0;
    {
      UiFixture f;
      Size(f);
      f.frame().addDockWidget(Qt::RightDockWidgetArea, f.frame().watchDock());
      QCoreApplication::processEvents();
      Splitter(f)->setSizes({900, 400});
      sizes = Splitter(f)->sizes();
      QHeaderView* columns = f.frame().watchDock()->table()->horizontalHeader();
      columns->setSectionResizeMode(0, QHeaderView::Interactive);
      columns->resizeSection(0, 123);
      pathWidth = columns->sectionSize(0);
      f.frame().workspace()->Save();
    }
    UiFixture f;
    Size(f);
    QVERIFY(f.frame().workspace()->Restore());
    QCoreApplication::processEvents();
    QCOMPARE(f.frame().dockWidgetArea(f.frame().watchDock()), Qt::RightDockWidgetArea);
    // The tree's share of the width (the window may differ by a few pixels).
    auto share = [](const QList<int>& s) { return double(s[0]) / (s[0] + s[1]); };
    QVERIFY(qAbs(share(Splitter(f)->sizes()) - share(sizes)) < 0.02);
    QCOMPARE(f.frame().watchDock()->table()->horizontalHeader()->sectionSize(0), pathWidth);
    QVERIFY(!f.frame().compare()->dock()->isVisible());

    f.frame().workspace()->resetAction()->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(f.frame().dockWidgetArea(f.frame().watchDock()), Qt::BottomDockWidgetArea);
    QVERIFY(
        f.frame().tabifiedDockWidgets(f.frame().watchDock()).contains(f.frame().compare()->dock()));
    QVERIFY2(qAbs(share(Splitter(f)->sizes()) - share(sizes)) > 0.1,
             qPrintable(
                 QStringLiteral("%1 after %2").arg(share(Splitter(f)->sizes())).arg(share(sizes))));
    QVERIFY(f.frame().watchDock()->table()->horizontalHeader()->sectionSize(0) != pathWidth);
    QVERIFY(!QSettings().contains(QStringLiteral("layout/docks")));
  }

  void openedFileShowsRootAndGroupsOpen() {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("plant.kdl"));
    uint32_t group = 0;
    {
      UiFixture f;
      MakePlant(f);
      group = f.doc().RecordAt(nullptr, 0)->id;
      f.doc().SaveFile(QFile::encodeName(path).toStdString());
    }
    UiFixture f;
    QVERIFY(!f.IsOpen(0));
    QVERIFY(f.frame().OpenDocument(path));
    QVERIFY(f.IsOpen(0));
    for (int row = 0; row < f.doc().RowCount(nullptr); ++row)
      QVERIFY(f.IsOpen(f.doc().RecordAt(nullptr, row)->id));
    // Below the groups, branches stay closed.
    QVERIFY(!f.IsOpen(f.doc().RecordAt(f.doc().LookupRecord(group), 0)->id));
  }
};

QTEST_MAIN(WorkspaceTest)
#include "workspace_test.moc"
