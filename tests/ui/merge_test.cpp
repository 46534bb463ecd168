// The merge in the editor: "Слияние…" from the menu, the conflicts in the dock with both sides,
// "Взять наше" / "Взять их" as undoable steps, `--merge` binding the document to OUT, and the
// command line that asks for it. (The merge itself is base_merge_test's.)
#include <QAction>
#include <QDockWidget>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "model/document.h"
#include "model/value_types.h"
#include "ui/app/command_line.h"
#include "ui/compare/merge_owner.h"
#include "ui_fixture.h"

namespace {

std::function<int(QDialog&)> ChooseFile(const QString& path) {
  return [path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  };
}

// base.kdl: Logic/Pump (4) with atom AI (5) holding T (6) = 5. OURS sets T to 1, THEIRS to 2
// and renames Pump.
struct MergeFiles {
  QTemporaryDir dir;
  QString base = dir.filePath(QStringLiteral("base.kdl"));
  QString ours = dir.filePath(QStringLiteral("ours.kdl"));
  QString theirs = dir.filePath(QStringLiteral("theirs.kdl"));
  QString out = dir.filePath(QStringLiteral("out.kdl"));

  MergeFiles() {
    CTarnelDoc doc;
    doc.OnNewDocument();
    CRecord* pump = doc.NewObject(doc.RecordAt(nullptr, 1), "Pump");
    CRecord* ai = doc.NewAtom(pump, "AI");
    doc.NewProperty(ai, [](CPropertyItem& p) {
      p.name = "T";
      p.typeCode = kTypeInt;
      p.valueText = "5";
      p.UpdateRawFromText();
      return true;
    });
    doc.SaveFile(base.toStdString());
    Side(ours, "1", false);
    Side(theirs, "2", true);
  }
  void Side(const QString& path, const char* value, bool rename) {
    CTarnelDoc doc;
    doc.OpenFile(base.toStdString());
    auto* t = AsProperty(doc.LookupRecord(6));
    t->valueText = value;
    t->UpdateRawFromText();
    if (rename) doc.LookupRecord(4)->name = "Pump2";
    doc.SaveFile(path.toStdString());
  }
};

QString ValueOfT(UiFixture& f) {
  return QString::fromStdString(AsProperty(f.doc().LookupRecord(6))->valueText);
}

}  // namespace

class MergeTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void mergeFromTheMenuListsConflictsAndTakesSides() {
    MergeFiles files;
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(files.ours));
    CMergeOwner& m = *f.frame().merge();
    f.Expect(ChooseFile(files.base));
    f.Expect(ChooseFile(files.theirs));
    QAction* merge = f.frame().findChild<QAction*>(QStringLiteral("actionMerge"));
    QVERIFY(merge);
    merge->trigger();
    QVERIFY(f.AllAnswered());
    QVERIFY(m.IsOpen());
    QVERIFY(!m.dock()->isHidden());
    QCOMPARE(m.dock()->windowTitle(), QStringLiteral("Различия"));
    // THEIRS' rename came in; the value both changed keeps OURS' side, listed with both.
    QCOMPARE(f.doc().LookupRecord(4)->name, std::string("Pump2"));
    QCOMPARE(ValueOfT(f), QStringLiteral("1"));
    QCOMPARE(m.list()->topLevelItemCount(), 1);
    QTreeWidgetItem* row = m.list()->topLevelItem(0);
    QCOMPARE(row->text(0), QStringLiteral("/Logic/Pump2/AI/T"));
    QCOMPARE(row->text(1), QStringLiteral("value"));
    QCOMPARE(row->text(2), QStringLiteral("5"));
    QCOMPARE(row->text(3), QStringLiteral("1"));
    QCOMPARE(row->text(4), QStringLiteral("2"));
    size_t steps = f.frame().history().Count();

    QAction* ours = f.frame().findChild<QAction*>(QStringLiteral("actionTakeOurs"));
    QAction* theirs = f.frame().findChild<QAction*>(QStringLiteral("actionTakeTheirs"));
    m.list()->setCurrentItem(row);
    QVERIFY(theirs->isEnabled());
    theirs->trigger();
    QCOMPARE(ValueOfT(f), QStringLiteral("2"));
    QCOMPARE(f.frame().history().Count(), steps + 1);
    QCOMPARE(m.taken(), std::vector<int>{int(MergeSide::kTheirs)});
    ours->trigger();
    QCOMPARE(ValueOfT(f), QStringLiteral("1"));
    QCOMPARE(f.frame().history().Count(), steps + 2);
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(ValueOfT(f), QStringLiteral("2"));
    // The merge itself is a step too: undone, the document is OURS again.
    QVERIFY(f.frame().UndoChange());
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(f.doc().LookupRecord(4)->name, std::string("Pump"));
    QCOMPARE(ValueOfT(f), QStringLiteral("1"));
  }

  void openMergeSavesToOut() {
    MergeFiles files;
    UiFixture f;
    QVERIFY(f.frame().merge()->OpenMerge(files.base, files.ours, files.theirs, files.out));
    QCOMPARE(f.frame().filePath(), files.out);
    QVERIFY(f.frame().SaveDocument());
    CTarnelDoc saved;
    saved.OpenFile(files.out.toStdString());
    QCOMPARE(saved.LookupRecord(4)->name, std::string("Pump2"));
    QCOMPARE(AsProperty(saved.LookupRecord(6))->valueText, std::string("1"));
    // OURS is left as it was.
    CTarnelDoc ours;
    ours.OpenFile(files.ours.toStdString());
    QCOMPARE(ours.LookupRecord(4)->name, std::string("Pump"));

    // An unreadable THEIRS: one message, the document untouched.
    WriteFile(files.theirs, "not a base");
    f.ExpectMessage();
    QVERIFY(!f.frame().merge()->MergeWithFiles(files.base, files.theirs));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains(QStringLiteral("theirs.kdl")));
  }

  void commandLineAsksForAMerge() {
    EditorCommandLine c =
        ParseEditorCommandLine({"kandrel", "--merge", "b.kdl", "o.kdl", "t.kdl", "-o", "out.kdl"});
    QVERIFY(c.action == EditorCommandLine::Action::Run);
    QVERIFY(c.merging());
    QCOMPARE(c.mergeBase, QStringLiteral("b.kdl"));
    QCOMPARE(c.mergeOurs, QStringLiteral("o.kdl"));
    QCOMPARE(c.mergeTheirs, QStringLiteral("t.kdl"));
    QCOMPARE(c.mergeOut, QStringLiteral("out.kdl"));
    QVERIFY(ParseEditorCommandLine({"kandrel", "--merge", "b", "o", "-o", "x"}).action ==
            EditorCommandLine::Action::Error);
    QVERIFY(ParseEditorCommandLine({"kandrel", "--merge", "b", "o", "t"}).action ==
            EditorCommandLine::Action::Error);
    QVERIFY(ParseEditorCommandLine({"kandrel", "-o", "x", "a.kdl"}).action ==
            EditorCommandLine::Action::Error);
  }
};

QTEST_MAIN(MergeTest)
#include "merge_test.moc"
