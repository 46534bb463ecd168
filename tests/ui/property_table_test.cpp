// The property table: the model under Qt's model checker while the document changes at random
// (edits, undos, redos), each step compared with the document's properties; cell edits and
// pastes as one undo step each, refused whole with the cell named; the row selecting the
// record; the filter; an import shown as differences before anything changes.
#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <random>

#include "model/base_compare.h"
#include "model/document_edits.h"
#include "model/property_table.h"
#include "model/value_types.h"
#include "random_edits.h"
#include "sample_base.h"
#include "ui/compare/compare_owner.h"
#include "ui/table/property_table_model.h"
#include "ui/table/property_table_pane.h"
#include "ui_fixture.h"
#include "xml/text_codec.h"

namespace {

// One random edit as a step of the editor's history.
class RandomEditCommand : public CEditCommand {
 public:
  explicit RandomEditCommand(std::mt19937& rng) : rng_(rng) {}
  bool Execute(EditContext& ctx) override { return RandomEdit(ctx.doc, rng_); }

 private:
  std::mt19937& rng_;
};

// The table's tab, brought to the front as a click on it does.
CPropertyTablePane& ShowTable(UiFixture& f) {
  f.frame()
      .findChild<QTabWidget*>(QStringLiteral("leftTabs"))
      ->setCurrentWidget(f.frame().tablePane());
  return *f.frame().tablePane();
}

}  // namespace

class PropertyTableTest : public QObject {
  Q_OBJECT
 private slots:
  void rowsFollowRandomEditsUndosAndRedos() {
    UiFixture f;
    BuildSampleBase(f.doc(), 400);
    f.Rebuild();
    CPropertyTablePane& pane = ShowTable(f);
    CPropertyTableModel& model = *pane.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester proxyTester(pane.proxy(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.view()->sortByColumn(kColumnPath, Qt::DescendingOrder);
    pane.filterLine()->setText(QStringLiteral("a"));
    std::mt19937 rng(23);
    for (int step = 0; step < 400; ++step) {
      if (step % 50 == 0) {
        // Now and then another record's properties (a branch with atoms, or everything).
        std::vector<CRecord*> all = AllRecords(f.doc());
        CRecord* scope = step % 100 ? all[rng() % all.size()] : nullptr;
        pane.OnRecordSelected(scope ? scope->id : 0);
      }
      switch (rng() % 6) {
        case 0:
          f.frame().UndoChange();
          break;
        case 1:
          f.frame().RedoChange();
          break;
        default:
          f.frame().RunCommand(std::make_unique<RandomEditCommand>(rng));
          break;
      }
      const CRecord* scope = model.scopeId() ? f.doc().LookupRecord(model.scopeId()) : nullptr;
      std::vector<CPropertyItem*> expected = model.scopeId() && !scope
                                                 ? std::vector<CPropertyItem*>()
                                                 : TableProperties(f.doc(), scope);
      QVERIFY2(model.rows() == expected, qPrintable(QStringLiteral("step %1").arg(step)));
      for (int r = 0; r < model.rowCount(); r += 7)
        QCOMPARE(model.index(r, kColumnValue).data().toString(),
                 FromCp1251(expected[size_t(r)]->valueText));
    }
    QVERIFY(f.frame().history().Count() > 50);
  }

  void cellEditsAndPastesAreOneStepEachOrRefusedWhole() {
    UiFixture f;
    CAtom* atom = f.AddAtom(f.AddObject(f.doc().Groups().At(1), "Pump"), "AI");
    CPropertyItem* a = f.AddProperty(atom, "A", kTypeInt, "1");
    CPropertyItem* b = f.AddProperty(atom, "B", kTypeInt, "2");
    f.Rebuild();
    CPropertyTablePane& pane = ShowTable(f);
    pane.OnRecordSelected(0);
    QCOMPARE(pane.proxy()->rowCount(), 2);
    const size_t steps = f.frame().history().Count();

    QVERIFY(pane.proxy()->setData(pane.proxy()->index(0, kColumnValue), QStringLiteral("5")));
    QCOMPARE(a->valueText, std::string("5"));
    QCOMPARE(f.frame().history().Count(), steps + 1);
    // A type the form does not list: refused with the cell named, nothing changed.
    f.ExpectMessage();
    QVERIFY(!pane.proxy()->setData(pane.proxy()->index(0, kColumnType), QStringLiteral("LONG")));
    QVERIFY(f.messages.last().contains(QStringLiteral("LONG")));
    QCOMPARE(f.frame().history().Count(), steps + 1);

    // A 2x2 block from a spreadsheet at the value cell of A: values and flags of both rows.
    pane.view()->setCurrentIndex(pane.proxy()->index(0, kColumnValue));
    QVERIFY(pane.Paste(QStringLiteral("7\t2 6\r\n8\t1\r\n")));
    QCOMPARE(a->valueText, std::string("7"));
    QCOMPARE(int(a->flags), 0x22);
    QCOMPARE(b->valueText, std::string("8"));
    QCOMPARE(int(b->flags), 0x01);
    QCOMPARE(f.frame().history().Count(), steps + 2);
    // The second row's flags are bad: nothing of the block is taken, the cell is named.
    f.ExpectMessage();
    QVERIFY(!pane.Paste(QStringLiteral("9\t3\n10\t7\n")));
    QVERIFY(f.messages.last().contains(QStringLiteral("строка 2")));
    QCOMPARE(a->valueText, std::string("7"));
    QCOMPARE(f.frame().history().Count(), steps + 2);
    // Copy gives the block back as it was pasted.
    pane.view()->selectionModel()->select(
        QItemSelection(pane.proxy()->index(0, kColumnValue), pane.proxy()->index(1, kColumnFlags)),
        QItemSelectionModel::ClearAndSelect);
    QCOMPARE(pane.CopyText(), QStringLiteral("7\t2 6\n8\t1\n"));
    // One undo takes the whole paste back.
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(a->valueText, std::string("5"));
    QCOMPARE(b->valueText, std::string("2"));

    // The row selects its record in the tree and the form.
    pane.view()->setCurrentIndex(pane.proxy()->index(1, kColumnName));
    QCOMPARE(f.frame().selectedId(), b->id);
    QCOMPARE(pane.model()->scopeId(), 0u);  // the table stays on the whole base
    // The filter: one column, or any.
    pane.filterLine()->setText(QStringLiteral("name:b"));
    QCOMPARE(pane.proxy()->rowCount(), 1);
    pane.filterLine()->setText(QStringLiteral("pump/ai"));
    QCOMPARE(pane.proxy()->rowCount(), 2);
    // A renamed atom filters its rows again by their new paths.
    QVERIFY(RenameRecord(f.doc(), atom, "AX").changed);
    QCOMPARE(pane.proxy()->rowCount(), 0);
    QVERIFY(RenameRecord(f.doc(), atom, "AI").changed);
    QCOMPARE(pane.proxy()->rowCount(), 2);
    QVERIFY(f.AllAnswered());
  }

  void cellsShowTheirTextWhereItBelongs() {
    UiFixture f;
    CAtom* atom = f.AddAtom(f.AddObject(f.doc().Groups().At(1), "Pump"), "AI");
    f.AddProperty(atom, "A", kTypeInt, "12345");
    f.Rebuild();
    CPropertyTablePane& pane = ShowTable(f);
    pane.OnRecordSelected(0);
    pane.view()->resize(900, 300);
    pane.view()->setColumnWidth(kColumnId, 160);
    const QImage shot = pane.view()->viewport()->grab().toImage();
    // The columns of ink in a cell: where its text was drawn.
    auto inked = [&](int column) {
      QRect cell = pane.view()->visualRect(pane.proxy()->index(0, column)) & shot.rect();
      int first = -1, last = -1;
      for (int x = cell.left() + 1; x < cell.right(); ++x)
        for (int y = cell.top() + 1; y < cell.bottom(); ++y)
          if (qGray(shot.pixel(x, y)) < 128) {
            if (first < 0) first = x - cell.left();
            last = x - cell.left();
            break;
          }
      return std::make_pair(first, last * 2 > cell.width() ? 1 : 0);
    };
    // A value left-aligned, an identifier right-aligned, the empty flags cell blank.
    QVERIFY(inked(kColumnValue).first >= 0 && inked(kColumnValue).first < 10);
    QVERIFY(inked(kColumnId).first > 80 && inked(kColumnId).second == 1);
    QVERIFY(shot.rect().contains(pane.view()->visualRect(pane.proxy()->index(0, kColumnFlags))));
    QCOMPARE(inked(kColumnFlags).first, -1);
  }

  void importShowsDifferencesBeforeAnythingChanges() {
    UiFixture f;
    CAtom* atom = f.AddAtom(f.AddObject(f.doc().Groups().At(1), "Pump"), "AI");
    CPropertyItem* a = f.AddProperty(atom, "A", kTypeInt, "1");
    f.AddProperty(atom, "B", kTypeInt, "2");
    f.Rebuild();
    CPropertyTablePane& pane = ShowTable(f);
    pane.OnRecordSelected(0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.csv"));
    // A changed value, a new property, a bad row; B is missing.
    WriteFile(path,
              "path;value\r\n/Logic/Pump/AI/A;10\r\n/Logic/Pump/AI/C;3\r\n"
              "/Logic/Nowhere/X;1\r\n");
    const std::string before = f.doc().SaveToBytes();
    f.ExpectMessage();  // the refused row
    QVERIFY(pane.ImportFrom(path));
    QCOMPARE(pane.refusedRows().size(), 1);
    QVERIFY(pane.refusedRows().first().startsWith(QStringLiteral("строка 4")));
    QCOMPARE(f.doc().SaveToBytes(), before);
    CCompareOwner& compare = *f.frame().compare();
    QVERIFY(compare.IsOpen());
    QCOMPARE(compare.result()->differences.size(), size_t(2));  // A changed, C added
    const size_t steps = f.frame().history().Count();
    QVERIFY(compare.TakeOverAll());
    QCOMPARE(a->valueText, std::string("10"));
    QCOMPARE(f.frame().history().Count(), steps + 1);
    QCOMPARE(pane.model()->rowCount(), 3);  // B stays
    // The rows gone through again for the document as it is now: nothing is left to take.
    QVERIFY(compare.result()->Equal());
    // Undone, the two come back; with values left out only the new property stays.
    QVERIFY(f.frame().UndoChange());
    compare.Refresh();
    QCOMPARE(compare.result()->differences.size(), size_t(2));
    compare.SetValuesToo(false);
    QCOMPARE(compare.result()->differences.size(), size_t(1));
    QCOMPARE(compare.result()->differences[0].kind, DifferenceKind::kAdded);
    compare.SetValuesToo(true);
    QVERIFY(compare.TakeOverAll());
    compare.Close();

    // With "Удалить отсутствующие" B goes too (once taken over).
    pane.deleteMissing()->setChecked(true);
    WriteFile(path, "path,value\n/Logic/Pump/AI/A,10\n/Logic/Pump/AI/C,3\n");
    QVERIFY(pane.ImportFrom(path));
    QCOMPARE(compare.result()->differences.size(), size_t(1));
    QCOMPARE(compare.result()->differences[0].kind, DifferenceKind::kRemoved);
    QVERIFY(f.AllAnswered());
  }
};

QTEST_MAIN(PropertyTableTest)
#include "property_table_test.moc"
