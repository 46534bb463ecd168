// "Экспорт структуры" and "Импорт структуры" from the menu: the export's save dialog and its
// message; the import dialog's boxes as the selection gives them, a click that sets a branch and
// a key that toggles one item; "Применить" keeping the open branches and revealing, selecting and
// counting what came; a .c2ko file merged at once. What each target takes is the xml tests'
// business (SelectionTest, MergeTest).
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

std::function<int(QDialog&)> ChooseFile(const QString& path) {
  return [path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  };
}

struct Plant {
  CObj* boiler;
  CAtom* burner;
  CPropertyItem* flame;
};

Plant Build(UiFixture& f) {
  Plant p;
  p.boiler = f.AddObject(f.doc().Groups().At(0), "Котёл");
  p.burner = f.AddAtom(p.boiler, "Горелка");
  p.flame = f.AddProperty(p.burner, "Пламя", kTypeInt, "1");
  f.AddProperty(p.burner, "Ссылка", kTypeLinkTo, std::to_string(p.flame->id));
  f.Rebuild();
  return p;
}

// Exports the whole document through the menu; the message it gave.
QString Export(UiFixture& f, const QString& path) {
  f.Select(0);
  f.Expect(ChooseFile(path));
  f.ExpectMessage();
  f.Trigger(cmd::kExport);
  return f.messages.isEmpty() ? QString() : f.messages.last();
}

// Runs the import command on the file with `target` selected; `act` answers the dialog.
void Import(UiFixture& f, const QString& path, uint32_t target,
            const std::function<int(QDialog&, QTreeWidget*)>& act) {
  f.Select(target);
  f.Expect(ChooseFile(path));
  f.Expect([&](QDialog& d) { return act(d, Child<QTreeWidget>(d, "importTree")); });
  f.Trigger(cmd::kImport);
}

// "B" box ticked, "-" box clear, "." no box; one letter per depth, group to property ("!" where
// the items of one depth disagree).
QString Marks(QTreeWidget* tree) {
  QString marks = QStringLiteral("????");
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    QChar m = !((*it)->flags() & Qt::ItemIsUserCheckable) ? QLatin1Char('.')
              : (*it)->checkState(0) == Qt::Checked       ? QLatin1Char('B')
                                                          : QLatin1Char('-');
    int depth = 0;
    for (QTreeWidgetItem* i = *it; i->parent(); i = i->parent()) ++depth;
    QChar& slot = marks[depth];
    slot = slot == QLatin1Char('?') || slot == m ? m : QLatin1Char('!');
  }
  return marks;
}

}  // namespace

class ImportExportTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void exportThenImportUnderAGroupThenAC2koFile() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    QCOMPARE(Export(f, path), QStringLiteral("Inforamtion: Export completed"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("PartQuorvantis"));
    QVERIFY(!f.frame().isWindowModified());

    // Under "Logic": the groups have no box, the rest is ticked.
    f.frame().GetTreeView()->SetExpanded(p.boiler->id, true);
    QString marks;
    Import(f, path, 2, [&](QDialog& d, QTreeWidget* tree) {
      marks = Marks(tree);
      return Press(d, "applyButton");
    });
    QVERIFY(f.AllAnswered());
    QCOMPARE(marks, QStringLiteral(".BBB"));
    CObj* copy = AsObject(f.doc().Groups().At(1)->GetChild(0));
    QVERIFY(copy);
    QCOMPARE(copy->name, p.boiler->name);
    QVERIFY(copy->id != p.boiler->id);
    QCOMPARE(Rows(f.ItemOf(2)), 1);
    QVERIFY(f.frame().isWindowModified());
    // The open branches stay open; the copy is revealed, selected and counted.
    QVERIFY(f.IsOpen(p.boiler->id));
    QVERIFY(f.IsOpen(2));
    QCOMPARE(f.frame().selectedId(), copy->id);
    QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("Импортировано записей: 4"));

    // A .c2ko file is merged at once, without the dialog.
    QString c2ko = dir.filePath(QStringLiteral("extra.c2ko"));
    WriteFile(c2ko, PumpC2ko());
    f.frame().SetModified(false);
    f.Select(p.boiler->id);
    f.Expect(ChooseFile(c2ko));
    f.Trigger(cmd::kImport);
    QVERIFY(f.AllAnswered());
    QVERIFY(f.unexpected.isEmpty());
    CObj* pump = AsObject(p.boiler->GetChild(1));
    QVERIFY(pump);
    QCOMPARE(pump->name, W("Насос"));
    QCOMPARE(Rows(f.ItemOf(p.boiler->id)), 2);
    QVERIFY(f.frame().isWindowModified());
    QCOMPARE(f.frame().selectedId(), pump->id);
    QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("Импортировано записей: 3"));
  }

  void aClickSetsTheBranchAKeyTheItemAndNothingTickedImportsNothing() {
    QTemporaryDir dir;
    UiFixture f;
    Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    Export(f, path);
    f.Expect([](QDialog&) { return int(QDialog::Rejected); });  // the file dialog
    f.Trigger(cmd::kImport);

    QList<int> clicked, keyed;
    Import(f, path, 0, [&](QDialog& d, QTreeWidget* tree) {
      tree->expandAll();
      QTreeWidgetItem* group = tree->topLevelItem(0);
      QRect r = tree->visualItemRect(group);
      // The box sits at the left of the item, after the branch indentation.
      for (int x = r.left(); x < r.left() + 40 && group->checkState(0) == Qt::Checked; x += 2)
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(x, r.center().y()));
      QTreeWidgetItem* object = group->child(0);
      clicked << group->checkState(0) << object->checkState(0)
              << object->child(0)->child(0)->checkState(0);
      tree->setFocus();
      tree->setCurrentItem(object);
      QTest::keyClick(tree, Qt::Key_Space);
      keyed << object->checkState(0) << object->child(0)->checkState(0);
      Press(d, "clearButton");
      return Press(d, "applyButton");
    });
    QVERIFY(f.AllAnswered());
    QCOMPARE(clicked, QList<int>({Qt::Unchecked, Qt::Unchecked, Qt::Unchecked}));
    QCOMPARE(keyed, QList<int>({Qt::Checked, Qt::Unchecked}));
    QCOMPARE(f.doc().Groups().Count(), 3);
    QVERIFY(!f.frame().isWindowModified());
  }
};

QTEST_MAIN(ImportExportTest)
#include "import_export_test.moc"
