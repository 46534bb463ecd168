// Drag and drop in the structure tree, driven with the mouse: a move with its branch, refused
// gestures, Shift reorders, Ctrl, and the feedback while dragging. (Where a drop may go and
// where it places the record are document_edits_test's.)
#include <QCursor>
#include <QGuiApplication>
#include <QTest>

#include "model/value_types.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

struct Plant {
  CObj* boiler;   // Hardware/Boiler
  CAtom* burner;  // Hardware/Boiler/Burner: DecPoint, Flame, Fuel, Air
  CPropertyItem* dec;
  CPropertyItem* flame;
  CPropertyItem* fuel;
  CPropertyItem* air;
  CObj* pumps;  // Hardware/Pumps
  CObj* pump1;  // Hardware/Pumps/Pump1
  CObj* loops;  // Logic/Loops
  CAtom* pid;   // Logic/Loops/Pid: Gain
};

Plant Build(UiFixture& f) {
  Plant p;
  p.boiler = f.AddObject(f.doc().Groups().At(0), "Boiler");
  p.burner = f.AddAtom(p.boiler, "Burner");
  p.dec = f.AddProperty(p.burner, "DecPoint", kTypeShort, "4");
  p.flame = f.AddProperty(p.burner, "Flame", kTypeInt, "1");
  p.fuel = f.AddProperty(p.burner, "Fuel", kTypeInt, "2");
  p.air = f.AddProperty(p.burner, "Air", kTypeLinkTo, std::to_string(p.flame->id));
  p.pumps = f.AddObject(f.doc().Groups().At(0), "Pumps");
  p.pump1 = f.AddObject(p.pumps, "Pump1");
  p.loops = f.AddObject(f.doc().Groups().At(1), "Loops");
  p.pid = f.AddAtom(p.loops, "Pid");
  f.AddProperty(p.pid, "Gain", kTypeFloat, "0.5");
  f.Rebuild();
  f.frame().resize(1200, 800);
  f.frame().GetTreeView()->setMinimumWidth(500);  // every label within the viewport
  f.frame().GetTreeView()->expandAll();
  return p;
}

std::vector<uint32_t> PropertyIds(const CAtom* atom) {
  std::vector<uint32_t> ids;
  for (CPropertyItem* q : atom->properties) ids.push_back(q->id);
  return ids;
}

}  // namespace

class DragDropTest : public QObject {
  Q_OBJECT
 private slots:
  // Which kind may go where is the model's rule (tested there); here the gestures reach it.
  void refusedDropsChangeNothing() {
    UiFixture f;
    Plant p = Build(f);
    f.Drag(p.burner->id, 2);                              // an atom onto a group
    f.Drag(p.pumps->id, p.pump1->id);                     // into its own branch
    f.Drag(p.pump1->id, 0);                               // released over nothing
    f.Drag(0, 1);                                         // "Root"
    f.Drag(p.flame->id, p.loops->id, Qt::ShiftModifier);  // a property next to an object
    QCOMPARE(p.burner->parent, p.boiler);
    QCOMPARE(p.pump1->parent, static_cast<CRecord*>(p.pumps));
    QCOMPARE(p.flame->parent, p.burner);
    QCOMPARE(f.ItemOf(p.burner->id).parent(), f.ItemOf(p.boiler->id));
    QVERIFY(!f.frame().isWindowModified());
    QVERIFY(!f.frame().GetTreeView()->dragging());
  }

  // The move itself (identifiers, links, paths) is the model's; the tree shows it.
  void objectMovesIntoAnObjectOfAnotherGroupWithItsBranch() {
    UiFixture f;
    Plant p = Build(f);
    f.Drag(p.boiler->id, p.loops->id);
    QCOMPARE(p.boiler->parent, static_cast<CRecord*>(p.loops));
    QCOMPARE(p.loops->GetChild(1), static_cast<CRecord*>(p.boiler));
    QModelIndex moved = f.ItemOf(p.boiler->id);
    QCOMPARE(moved.parent(), f.ItemOf(p.loops->id));
    QCOMPARE(RowIds(Row(moved, 0)).size(), size_t(4));
    // It arrives collapsed and unselected.
    CLeftView* tree = f.frame().GetTreeView();
    QVERIFY(!tree->isExpanded(moved));
    QVERIFY(!tree->isExpanded(Row(moved, 0)));
    QVERIFY(!tree->selectionModel()->isSelected(moved));
    QVERIFY(f.frame().isWindowModified());
  }

  // Where a Shift drop places the record is the model's rule; Ctrl changes nothing.
  void shiftReordersAndCtrlIsAPlainMove() {
    UiFixture f;
    Plant p = Build(f);
    f.Drag(p.dec->id, p.fuel->id, Qt::ShiftModifier);
    std::vector<uint32_t> want = {p.flame->id, p.fuel->id, p.dec->id, p.air->id};
    QCOMPARE(PropertyIds(p.burner), want);
    QCOMPARE(RowIds(f.ItemOf(p.burner->id)), want);
    QVERIFY(f.frame().isWindowModified());
    f.Drag(p.boiler->id, p.loops->id, Qt::ControlModifier);
    QCOMPARE(p.boiler->parent, static_cast<CRecord*>(p.loops));
    QCOMPARE(RowIds(f.ItemOf(p.loops->id)).back(), p.boiler->id);
  }

  void feedbackWhileDragging() {
    UiFixture f;
    Plant p = Build(f);
    CLeftView* tree = f.frame().GetTreeView();
    QWidget* vp = tree->viewport();
    QPoint a = tree->visualRect(f.ItemOf(p.pump1->id)).center();
    QPoint b = tree->visualRect(f.ItemOf(p.loops->id)).center();
    QTest::mousePress(vp, Qt::LeftButton, {}, a);
    QTest::mouseMove(vp, a + QPoint(12, 6));
    QVERIFY(tree->dragging());
    QCOMPARE(tree->draggedId(), p.pump1->id);
    QVERIFY(tree->dragImage() && tree->dragImage()->isVisible());
    QTest::mouseMove(vp, b);
    // Any item under the cursor is highlighted, whatever the rules say.
    QCOMPARE(tree->dropHighlight(), f.ItemOf(p.loops->id));
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    QTest::mouseMove(vp, QPoint(vp->width() + 40, b.y()));
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
    QCOMPARE(tree->dropHighlight(), f.ItemOf(p.loops->id));  // kept outside the tree
    // A release outside the tree drops onto the item last highlighted.
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(vp->width() + 40, b.y()));
    QVERIFY(!tree->dragging());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(!tree->dropHighlight().isValid());
    QCOMPARE(p.pump1->parent, static_cast<CRecord*>(p.loops));
    // Escape ends a drag without a drop.
    tree->expandAll();
    a = tree->visualRect(f.ItemOf(p.boiler->id)).center();
    QTest::mousePress(vp, Qt::LeftButton, {}, a);
    QTest::mouseMove(vp, a + QPoint(12, 6));
    QVERIFY(tree->dragging());
    QTest::keyClick(tree, Qt::Key_Escape);
    QVERIFY(!tree->dragging());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, b);
    QCOMPARE(p.boiler->parent, static_cast<CRecord*>(f.doc().Groups().At(0)));
  }
};

QTEST_MAIN(DragDropTest)
#include "drag_drop_test.moc"
