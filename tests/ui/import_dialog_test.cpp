// The import dialog's check boxes for every kind of import target, the keyboard toggle, and
// what "Применить" copies for a group, an object and an atom target and for a cleared object
// whose atom stays ticked.
#include <QFileDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui_fixture.h"

namespace {

struct Plant {
  CObj* boiler;
  CAtom* burner;
  CPropertyItem* flame;
  CPropertyItem* link;
};

Plant Build(UiFixture& f) {
  Plant p;
  p.boiler = f.AddObject(f.doc().groups[0].get(), "Boiler");
  p.burner = f.AddAtom(p.boiler, "Burner");
  p.flame = f.AddProperty(p.burner, "Flame", kTypeInt, "1");
  p.link = f.AddProperty(p.burner, "Link", kTypeLinkTo, std::to_string(p.flame->id));
  f.Rebuild();
  return p;
}

QString ExportAll(UiFixture& f, const QTemporaryDir& dir) {
  QString path = dir.filePath(QStringLiteral("all.xml"));
  f.Select(0);
  f.Expect([path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  });
  f.ExpectMessage();
  f.Trigger(cmd::kExport);
  return path;
}

int Depth(const QTreeWidgetItem* item) {
  int d = 0;
  for (; item->parent(); item = item->parent()) ++d;
  return d;
}

// "B" box ticked, "-" box clear, "." no box; one letter per kind, group to property, taken
// from the first item of each kind (all items of a kind agree, which is checked too).
QString Marks(QTreeWidget* tree) {
  QString marks = QStringLiteral("????");
  for (QTreeWidgetItemIterator it(tree); *it; ++it) {
    QChar m = !((*it)->flags() & Qt::ItemIsUserCheckable) ? QLatin1Char('.')
              : (*it)->checkState(0) == Qt::Checked       ? QLatin1Char('B')
                                                          : QLatin1Char('-');
    QChar& slot = marks[Depth(*it)];
    if (slot == QLatin1Char('?'))
      slot = m;
    else if (slot != m)
      slot = QLatin1Char('!');
  }
  return marks;
}

// Runs the import command with the file, lets `act` work on the dialog's tree, then applies.
void Import(UiFixture& f, const QString& path, uint32_t target,
            const std::function<void(QTreeWidget*)>& act) {
  f.Select(target);
  f.Expect([path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  });
  f.Expect([&](QDialog& d) {
    auto* tree = Child<QTreeWidget>(d, "importTree");
    act(tree);
    return Press(d, "applyButton");
  });
  f.Trigger(cmd::kImport);
}

}  // namespace

class ImportDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void boxesByTargetKind_data() {
    QTest::addColumn<int>("target");  // 0 none, else the kind of the selected record
    QTest::addColumn<QString>("marks");
    QTest::newRow("none") << 0 << "BBBB";
    QTest::newRow("group") << 1 << ".BBB";
    QTest::newRow("object") << 2 << ".BBB";
    QTest::newRow("atom") << 3 << "...B";
    QTest::newRow("property") << 4 << "....";
  }
  void boxesByTargetKind() {
    QFETCH(int, target);
    QFETCH(QString, marks);
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = ExportAll(f, dir);
    const uint32_t ids[] = {0, 2, p.boiler->id, p.burner->id, p.flame->id};
    QString seen;
    Import(f, path, ids[target], [&](QTreeWidget* tree) {
      seen = Marks(tree);
      // The 24 by 24 kind images, and a tree that starts collapsed.
      QCOMPARE(tree->iconSize(), QSize(24, 24));
      QVERIFY(!tree->topLevelItem(0)->isExpanded());
      QVERIFY(!tree->topLevelItem(0)->icon(0).isNull());
      tree->clearSelection();
    });
    QCOMPARE(seen, marks);
    if (target == 4) {  // nothing can go under a property
      QCOMPARE(p.flame->parent, static_cast<CRecord*>(p.burner));
      QCOMPARE(p.burner->GetPropertyCount(), 2);
    }
  }

  void keyboardTogglesTheItemAlone() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = ExportAll(f, dir);
    // Under "Logic": the object is cleared with the keyboard, its atom stays ticked and becomes
    // a new object named as the atom; its properties are not copied under an object target.
    QString after;
    Import(f, path, 2, [&](QTreeWidget* tree) {
      tree->expandAll();
      QTreeWidgetItem* object = tree->topLevelItem(0)->child(0);
      tree->setFocus();
      tree->setCurrentItem(object);
      QTest::keyClick(tree, Qt::Key_Space);
      after = Marks(tree);
      QCOMPARE(object->checkState(0), Qt::Unchecked);
      QCOMPARE(object->child(0)->checkState(0), Qt::Checked);
    });
    QCOMPARE(after, QStringLiteral(".-BB"));
    CBase* logic = f.doc().groups[1].get();
    QCOMPARE(logic->GetChildCount(), 1);
    CObj* made = AsObject(logic->GetChild(0));
    QVERIFY(made);
    QCOMPARE(made->name, std::string("Burner"));
    QCOMPARE(made->GetChildCount(), 0);
    QVERIFY(f.frame().isWindowModified());
    (void)p;
  }

  void objectTargetNestsObjectsAndAtomTargetTakesProperties() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = ExportAll(f, dir);
    Import(f, path, p.boiler->id, [](QTreeWidget*) {});
    QCOMPARE(p.boiler->GetChildCount(), 2);
    CObj* nested = AsObject(p.boiler->GetChild(1));
    QVERIFY(nested);
    QCOMPARE(nested->name, std::string("Boiler"));
    CAtom* atom = AsAtom(nested->GetChild(0));
    QVERIFY(atom);
    QCOMPARE(atom->GetPropertyCount(), 2);
    // The copied link names the first Flame in tree order: the original.
    QCOMPARE(atom->GetProperty(1)->valueText, std::to_string(p.flame->id));
    QCOMPARE(int(atom->GetProperty(1)->typeCode), int(kTypeLinkTo));
    QVERIFY(p.flame->FindIncomingLink(atom->GetProperty(1)->id) >= 0);
    QCOMPARE(Rows(f.ItemOf(p.boiler->id)), 2);

    Import(f, path, p.burner->id, [](QTreeWidget*) {});
    QCOMPARE(p.burner->GetPropertyCount(), 4);
    QCOMPARE(p.burner->GetProperty(2)->name, std::string("Flame"));
    QVERIFY(p.burner->GetProperty(2)->id != p.flame->id);
  }
};

QTEST_MAIN(ImportDialogTest)
#include "import_dialog_test.moc"
