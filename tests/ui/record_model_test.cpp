// The record model under Qt's model checker while the document changes at random: edits,
// undos and redos through the editor, each followed by a comparison of every row with the
// document's lists.
#include <QAbstractItemModelTester>
#include <QTest>
#include <functional>
#include <random>

#include "model/value_types.h"
#include "ui/history/drop_commands.h"
#include "ui/history/record_commands.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"
#include "xml/text_codec.h"

namespace {

// The rows below `index` are the record's list, record for record, label for label.
bool SameRows(const CRecordModel& model, const QModelIndex& index, const CRecord* holder,
              const CTarnelDoc& doc, QString* why) {
  std::vector<const CRecord*> list;
  if (holder)
    ForEachChild(holder, [&](const CRecord* c) { list.push_back(c); });
  else
    for (CBase* g : doc.Groups()) list.push_back(g);
  if (model.rowCount(index) != int(list.size())) {
    *why = QStringLiteral("row count below %1").arg(holder ? holder->id : 0);
    return false;
  }
  for (int i = 0; i < int(list.size()); ++i) {
    QModelIndex row = model.index(i, 0, index);
    if (model.RecordOf(row) != list[size_t(i)] || row.parent() != index ||
        row.data().toString() != FromCp1251(list[size_t(i)]->name) ||
        model.IndexOf(list[size_t(i)]) != row) {
      *why = QStringLiteral("row %1 below %2").arg(i).arg(holder ? holder->id : 0);
      return false;
    }
    if (!SameRows(model, row, list[size_t(i)], doc, why)) return false;
  }
  return true;
}

}  // namespace

class RecordModelTest : public QObject {
  Q_OBJECT
 private slots:
  void rowsFollowRandomEditsUndosAndRedos() {
    UiFixture f;
    CObj* plant = f.AddObject(f.doc().Groups().At(0), "Plant");
    CAtom* pump = f.AddAtom(plant, "Pump");
    f.AddProperty(pump, "DecPoint", kTypeShort, "1");
    f.AddProperty(pump, "Speed", kTypeInt, "5");
    f.Rebuild();
    CRecordModel& model = *f.frame().GetTreeView()->recordModel();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    f.frame().GetTreeView()->expandAll();

    std::mt19937 rng(77);
    auto pick = [&](int kind) -> uint32_t {
      std::vector<uint32_t> ids;
      std::function<void(const CRecord*)> walk = [&](const CRecord* r) {
        if (kind == 0 || r->Kind() == kind) ids.push_back(r->id);
        ForEachChild(r, walk);
      };
      for (CBase* g : f.doc().Groups()) walk(g);
      return ids.empty() ? 0 : ids[rng() % ids.size()];
    };
    for (int step = 0; step < 300; ++step) {
      switch (rng() % 9) {
        case 0:
          f.frame().RunCommand(std::make_unique<AddChildCommand>(
              rng() % 2 ? AddChildCommand::kObject : AddChildCommand::kAtom, pick(kKindObject),
              "N" + std::to_string(step)));
          break;
        case 1:
          f.frame().RunCommand(std::make_unique<AddPropertyCommand>(
              pick(kKindAtom), PropertyDraft{"P", std::to_string(pick(kKindProperty)),
                                             uint8_t(rng() % 2 ? kTypeLinkTo : kTypeInt), 0}));
          break;
        case 2:
          if (f.doc().Groups().Count() > 1 || rng() % 4 == 0)
            f.frame().RunCommand(std::make_unique<DeleteRecordCommand>(pick(0)));
          break;
        case 3:
          f.frame().RunCommand(std::make_unique<ApplyRecordCommand>(
              pick(kKindObject), "R" + std::to_string(step), false, 0));
          break;
        case 4:
          f.frame().RunCommand(std::make_unique<DropMoveCommand>(pick(0), pick(0)));
          break;
        case 5:
          f.frame().RunCommand(std::make_unique<DropReorderCommand>(pick(0), pick(0)));
          break;
        case 6:
          f.frame().RunCommand(std::make_unique<PasteCommand>(pick(0), pick(0)));
          break;
        case 7:
          f.frame().UndoChange();
          break;
        default:
          f.frame().RedoChange();
          break;
      }
      QString why;
      QVERIFY2(SameRows(model, model.RootRow(), nullptr, f.doc(), &why),
               qPrintable(QStringLiteral("step %1: %2").arg(step).arg(why)));
    }
    QVERIFY(f.frame().history().Count() > 20);
  }

  // The picker's model shows the groups at the top, with nothing above them.
  void groupsAtTheTopWithoutRoot() {
    UiFixture f;
    CRecordModel model(f.doc(), CRecordModel::Top::kGroups);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QString why;
    QVERIFY2(SameRows(model, QModelIndex(), nullptr, f.doc(), &why), qPrintable(why));
    QVERIFY(!model.RootRow().isValid());
    QCOMPARE(model.IndexOfId(2).parent(), QModelIndex());
  }
};

QTEST_MAIN(RecordModelTest)
#include "record_model_test.moc"
