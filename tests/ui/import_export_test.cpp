// "Экспорт структуры" and "Импорт структуры" from the menu: the export's save dialog and its
// message, the import dialog's check boxes by target, the merge with fresh identifiers and
// resolved links, a .c2ko file merged at once.
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/dialogs/import_dlg.h"
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
  CPropertyItem* link;
};

Plant Build(UiFixture& f) {
  Plant p;
  p.boiler = f.AddObject(f.doc().groups[0].get(), "Котёл");
  p.burner = f.AddAtom(p.boiler, "Горелка");
  p.flame = f.AddProperty(p.burner, "Пламя", kTypeInt, "1");
  p.link = f.AddProperty(p.burner, "Ссылка", kTypeLinkTo, std::to_string(p.flame->id));
  f.Rebuild();
  return p;
}

QString Export(UiFixture& f, const QString& path) {
  f.Expect(ChooseFile(path));
  f.ExpectMessage();
  f.Trigger(cmd::kExport);
  return f.messages.isEmpty() ? QString() : f.messages.last();
}

}  // namespace

class ImportExportTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void exportWritesTheFileAndSaysSo() {
    QTemporaryDir dir;
    UiFixture f;
    Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    QCOMPARE(Export(f, path), QStringLiteral("Inforamtion: Export completed"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"windows-1251\" ?>"));
    QVERIFY(bytes.contains("PartQuorvantis"));
    QVERIFY(!f.frame().isWindowModified());
  }

  void importWithoutTargetAppendsCopiesOfEveryGroup() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    Export(f, path);
    f.Select(0);
    int boxes = 0, items = 0;
    f.Expect(ChooseFile(path));
    f.Expect([&](QDialog& d) {
      if (d.windowTitle() != QStringLiteral("Импорт даных")) return -1;
      auto* tree = Child<QTreeWidget>(d, "importTree");
      for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        ++items;
        if ((*it)->flags() & Qt::ItemIsUserCheckable && (*it)->checkState(0) == Qt::Checked)
          ++boxes;
      }
      Press(d, "applyButton");
      return d.result();
    });
    f.Trigger(cmd::kImport);
    QVERIFY(f.AllAnswered());
    QCOMPARE(items, 7);  // three groups, the object, the atom, two properties
    QCOMPARE(boxes, 7);
    QCOMPARE(f.doc().groups.size(), size_t(6));
    CBase* copy = f.doc().groups[3].get();
    QCOMPARE(copy->name, std::string("Hardware"));
    CAtom* atom = AsAtom(AsObject(copy->GetChild(0))->GetChild(0));
    QVERIFY(atom);
    CPropertyItem* link = atom->GetProperty(1);
    QVERIFY(link->id != p.link->id);
    // The path resolves to the first match in tree order: the original property.
    QCOMPARE(link->valueText, std::to_string(p.flame->id));
    QCOMPARE(p.flame->GetIncomingLinkCount(), 2);
    QCOMPARE(Rows(f.ItemOf(0)), 6);
    QVERIFY(f.frame().isWindowModified());
    // What came is shown and counted.
    QCOMPARE(f.frame().selectedId(), copy->id);
    QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("Импортировано записей: 7"));
  }

  void groupTargetTakesObjectsOnly() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    Export(f, path);
    f.frame().GetTreeView()->SetExpanded(p.boiler->id, true);
    f.Select(2);  // "Logic"
    bool groupsWithoutBox = true;
    f.Expect(ChooseFile(path));
    f.Expect([&](QDialog& d) {
      auto* tree = Child<QTreeWidget>(d, "importTree");
      for (int i = 0; i < tree->topLevelItemCount(); ++i)
        groupsWithoutBox &= !(tree->topLevelItem(i)->flags() & Qt::ItemIsUserCheckable);
      Press(d, "applyButton");
      return d.result();
    });
    f.Trigger(cmd::kImport);
    QVERIFY(groupsWithoutBox);
    QCOMPARE(f.doc().groups.size(), size_t(3));
    CObj* copy = AsObject(f.doc().groups[1]->GetChild(0));
    QVERIFY(copy);
    QCOMPARE(copy->name, p.boiler->name);
    QCOMPARE(AsAtom(copy->GetChild(0))->GetPropertyCount(), 2);
    // The open branches stay open; the copy is revealed and selected.
    QVERIFY(f.IsOpen(p.boiler->id));
    QVERIFY(f.IsOpen(2));
    QCOMPARE(f.frame().selectedId(), copy->id);
    QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("Импортировано записей: 4"));
  }

  void clearingAllOrCancellingImportsNothing() {
    QTemporaryDir dir;
    UiFixture f;
    Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    Export(f, path);
    f.Expect([](QDialog&) { return int(QDialog::Rejected); });  // the file dialog
    f.Trigger(cmd::kImport);
    f.Expect(ChooseFile(path));
    f.Expect([](QDialog& d) {
      Press(d, "clearButton");
      Press(d, "applyButton");
      return d.result();
    });
    f.Trigger(cmd::kImport);
    QVERIFY(f.AllAnswered());
    QCOMPARE(f.doc().groups.size(), size_t(3));
    QVERIFY(!f.frame().isWindowModified());
  }

  void clickingABoxSetsItsBranch() {
    QTemporaryDir dir;
    UiFixture f;
    Build(f);
    QString path = dir.filePath(QStringLiteral("all.xml"));
    Export(f, path);
    QList<int> states;
    f.Expect(ChooseFile(path));
    f.Expect([&](QDialog& d) {
      auto* tree = Child<QTreeWidget>(d, "importTree");
      tree->expandAll();
      QTreeWidgetItem* group = tree->topLevelItem(0);
      QRect r = tree->visualItemRect(group);
      // The box sits at the left of the item, after the branch indentation.
      for (int x = r.left(); x < r.left() + 40 && group->checkState(0) == Qt::Checked; x += 2)
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(x, r.center().y()));
      for (QTreeWidgetItemIterator it(tree); *it; ++it) states << (*it)->checkState(0);
      return int(QDialog::Rejected);
    });
    f.Trigger(cmd::kImport);
    QVERIFY(states.size() >= 4);
    QCOMPARE(states[0], int(Qt::Unchecked));
    QCOMPARE(states[1], int(Qt::Unchecked));  // the object below it
    QCOMPARE(states[3], int(Qt::Unchecked));  // a property
  }

  void c2koFileMergesAtOnce() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = dir.filePath(QStringLiteral("extra.c2ko"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // The file is windows-1251 text, as the tools that write it produce.
    file.write(QByteArray::fromStdString(
        "O}{" + W("Насос") +
        "}\r\n A}{AI}\r\nP}{Speed}{-}{1}{0}{0}{0}{0}{1}{-}{int}{-}{2}{-}{-}{a}{b}\r\n"));
    file.close();
    f.Select(p.boiler->id);
    f.Expect(ChooseFile(path));
    f.Trigger(cmd::kImport);
    QVERIFY(f.AllAnswered());
    QVERIFY(f.unexpected.isEmpty());
    QCOMPARE(p.boiler->GetChildCount(), 2);
    CObj* pump = AsObject(p.boiler->GetChild(1));
    QVERIFY(pump);
    QCOMPARE(pump->name, W("Насос"));
    QCOMPARE(Rows(f.ItemOf(p.boiler->id)), 2);
    QVERIFY(f.frame().isWindowModified());
    QCOMPARE(f.frame().selectedId(), pump->id);
    QCOMPARE(f.frame().statusBar()->currentMessage(), QStringLiteral("Импортировано записей: 3"));
  }
};

QTEST_MAIN(ImportExportTest)
#include "import_export_test.moc"
