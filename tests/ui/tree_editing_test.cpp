// The structure tree's keys and context menu: what the menu offers for each kind, Del, F2,
// Ins and Alt+Up/Down on the real tree, several records at once and the form for several
// properties, each change one undo step.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "ui_fixture.h"

namespace {

struct Tree {
  CObj* object;
  CAtom* atom;
  CPropertyItem* first;
  CPropertyItem* second;
};

Tree BuildTree(UiFixture& f) {
  Tree t;
  t.object = f.AddObject(f.doc().Groups().At(1), "Котёл");
  t.atom = f.AddAtom(t.object, "Пламя");
  t.first = f.AddProperty(t.atom, "Температура", kTypeFloat, "21.5");
  t.second = f.AddProperty(t.atom, "Давление", kTypeInt, "3");
  f.Rebuild();
  return t;
}

// The add commands the context menu offers, in its order.
QList<int> AddEntries(UiFixture& f) {
  std::unique_ptr<QMenu> menu(f.frame().treeEditing()->BuildContextMenu(nullptr));
  QList<int> entries;
  for (QAction* a : menu->actions())
    if (int id = a->data().toInt(); id == cmd::kAddGroup || id == cmd::kAddObject ||
                                    id == cmd::kAddAtom || id == cmd::kAddProperty)
      entries << id;
  return entries;
}

// Selects the records' rows as Ctrl clicks would, the last one current.
void SelectRows(UiFixture& f, std::initializer_list<uint32_t> ids) {
  CLeftView* tree = f.frame().GetTreeView();
  tree->setFocus();
  tree->selectionModel()->clearSelection();
  for (uint32_t id : ids)
    tree->selectionModel()->setCurrentIndex(
        f.ItemOf(id), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void Key(UiFixture& f, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  f.frame().activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f.frame()));
  f.frame().GetTreeView()->setFocus();
  QTest::keyClick(f.frame().GetTreeView(), Qt::Key(key), mods);
}

}  // namespace

class TreeEditingTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void contextMenuOffersWhatTheKindHolds() {
    UiFixture f;
    Tree t = BuildTree(f);
    // The add entries are those of the kinds the selected record may hold.
    const std::pair<uint32_t, QList<int>> menus[] = {
        {0u, {cmd::kAddGroup}},
        {f.doc().Groups().At(1)->id, {cmd::kAddObject}},
        {t.object->id, {cmd::kAddObject, cmd::kAddAtom}},
        {t.atom->id, {cmd::kAddProperty}},
        {t.first->id, {}}};
    for (const auto& [id, want] : menus) {
      f.Select(id);
      QCOMPARE(AddEntries(f), want);
    }

    // The path goes to the clipboard; find from here finds only inside the branch.
    f.Select(t.first->id);
    f.Trigger(cmd::kCopyPath);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("/Logic/Котёл/Пламя/Температура"));
    f.Select(t.atom->id);
    f.Trigger(cmd::kFindFromHere);
    CFindBar* bar = f.frame().GetFindBar();
    QCOMPARE(bar->scopeId(), t.atom->id);
    Type(*bar, "findText", QStringLiteral("а"));  // "Пламя" itself and both properties
    QCOMPARE(bar->matchCount(), 3);
    f.Trigger(cmd::kCollapseBranch);
    f.Select(0);
    f.Trigger(cmd::kExpandBranch);
    QVERIFY(f.IsOpen(t.atom->id));
  }

  void keysDeleteRenameInsertAndMove() {
    UiFixture f;
    Tree t = BuildTree(f);
    // Alt+Down, Alt+Up: a step among the siblings, each one undo step; none past the end.
    f.Select(t.first->id);
    QVERIFY(!f.Enabled(cmd::kMoveUp));
    Key(f, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(t.atom->GetProperty(1), t.first);
    QCOMPARE(f.frame().GetTreeView()->currentId(), t.first->id);
    QVERIFY(!f.Enabled(cmd::kMoveDown));
    Key(f, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(t.atom->GetProperty(0), t.first);
    QCOMPARE(f.frame().history().Count(), size_t(2));

    // F2: the name in place; text windows-1251 cannot hold is refused with the form's
    // message, an empty name leaves the old one; a good one is one undo step.
    auto rename = [&](const QString& text) {
      Key(f, Qt::Key_F2);
      auto* editor = f.frame().GetTreeView()->viewport()->findChild<QLineEdit*>();
      QVERIFY(editor);
      editor->setText(text);
      QTest::keyClick(editor, Qt::Key_Return);
      QTest::qWait(0);
    };
    f.ExpectMessage();
    rename(QStringLiteral("Темп ☃"));
    QTRY_VERIFY(f.AllAnswered());
    QVERIFY(f.messages.first().contains(QStringLiteral("windows-1251")));
    QCOMPARE(t.first->name, W("Температура"));
    rename(QString());
    QCOMPARE(t.first->name, W("Температура"));
    rename(QStringLiteral("Т1"));
    QTRY_COMPARE(t.first->name, W("Т1"));
    QCOMPARE(f.frame().history().Count(), size_t(3));
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(AsProperty(f.doc().LookupRecord(t.first->id))->name, W("Температура"));

    // Del: the current record, no question asked, undoable; the row below becomes current.
    uint32_t firstId = t.first->id, secondId = t.second->id;
    f.Select(firstId);
    Key(f, Qt::Key_Delete);
    QVERIFY(!f.doc().LookupRecord(firstId));
    QCOMPARE(f.frame().GetTreeView()->currentId(), secondId);
    QVERIFY(f.frame().UndoChange());
    QVERIFY(f.doc().LookupRecord(firstId));

    // Ins: under a property, another property of its atom, through the add dialog.
    f.Select(secondId);
    f.Expect([](QDialog& d) {
      if (d.windowTitle() != QStringLiteral("Добавить свойство")) return -1;
      Type(d, "nameEdit", QStringLiteral("Расход"));
      return Press(d, "applyButton");
    });
    Key(f, Qt::Key_Insert);
    CAtom* atom = AsAtom(f.doc().LookupRecord(t.atom->id));
    QCOMPARE(atom->GetPropertyCount(), 3);
    QCOMPARE(atom->GetProperty(2)->name, W("Расход"));
    QVERIFY(f.unexpected.isEmpty());
  }

  void severalRecordsAtOnce() {
    UiFixture f;
    Tree t = BuildTree(f);
    CObj* other = f.AddObject(f.doc().Groups().At(1), "Щит");
    CAtom* empty = f.AddAtom(other, "Пустой");
    f.Rebuild();
    // Only the two objects and the groups show, so that every row fits in the window.
    f.frame().GetTreeView()->SetExpanded(0, true);
    f.frame().GetTreeView()->SetExpanded(f.doc().Groups().At(1)->id, true);

    // Copy and paste of two properties: both arrive under the atom, one undo step.
    SelectRows(f, {t.first->id, t.second->id});
    QCOMPARE(f.frame().treeEditing()->SelectedIds(),
             std::vector<uint32_t>({t.first->id, t.second->id}));
    f.Trigger(cmd::kEditCopy);
    f.Select(empty->id);
    f.Trigger(cmd::kEditPaste);
    QCOMPARE(empty->GetPropertyCount(), 2);
    QCOMPARE(empty->GetProperty(1)->name, W("Давление"));
    QCOMPARE(f.frame().history().Count(), size_t(1));

    // A drag of the object with a record inside it and another object: both objects go under
    // "Network", the atom inside stays in its object.
    SelectRows(f, {t.object->id, t.atom->id, other->id});
    f.Drag(t.object->id, f.doc().Groups().At(2)->id);
    QCOMPARE(t.object->parent, static_cast<CRecord*>(f.doc().Groups().At(2)));
    QCOMPARE(other->parent, static_cast<CRecord*>(f.doc().Groups().At(2)));
    QCOMPARE(t.atom->parent, static_cast<CRecord*>(t.object));
    QCOMPARE(f.frame().history().Count(), size_t(2));

    // Delete of a branch with a record inside it and another record: one step, undone whole.
    uint32_t ids[] = {t.object->id, t.first->id, other->id};
    SelectRows(f, {ids[0], ids[1], ids[2]});
    f.Trigger(cmd::kEditDelete);
    for (uint32_t id : ids) QVERIFY(!f.doc().LookupRecord(id));
    QCOMPARE(f.frame().history().Count(), size_t(3));
    QVERIFY(f.frame().UndoChange());
    for (uint32_t id : ids) QVERIFY(f.doc().LookupRecord(id));
  }

  void bulkFormSetsOnlyTheChangedFields() {
    UiFixture f;
    Tree t = BuildTree(f);
    CPropertyItem* third = f.AddProperty(t.atom, "Уровень", kTypeFloat, "1.5");
    t.first->flags = 0x01;
    third->flags = 0x03;
    f.Rebuild();
    f.Select(0);
    f.Trigger(cmd::kExpandBranch);
    SelectRows(f, {t.first->id, t.second->id, third->id});
    CTarnelView* form = f.frame().GetFormView();
    QVERIFY(form->bulk());
    const FormControls& c = form->controls();
    QCOMPARE(c.value->toPlainText(), QString());
    QCOMPARE(c.value->placeholderText(), QStringLiteral("(разные)"));
    QCOMPARE(c.type->currentIndex(), -1);  // FLOAT, INT, FLOAT
    QVERIFY(!c.name->isEnabled());
    QCOMPARE(c.flags->item(0)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(c.flags->item(1)->checkState(), Qt::PartiallyChecked);
    QCOMPARE(c.flags->item(2)->checkState(), Qt::Unchecked);

    // Bit 2 on and the type, one undo step; which fields change is the model's (bulk edit test).
    c.flags->item(2)->setCheckState(Qt::Checked);
    c.type->setCurrentIndex(kTypeDouble);
    c.apply->click();
    for (CPropertyItem* p : {t.first, t.second, third})
      QCOMPARE(int(p->typeCode), int(kTypeDouble));
    QCOMPARE(t.first->flags, uint8_t(0x05));
    QCOMPARE(third->flags, uint8_t(0x07));
    QCOMPARE(f.frame().history().Count(), size_t(1));
    QVERIFY(f.frame().GetFormView()->bulk());  // still the three after "Применить"
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(AsProperty(f.doc().LookupRecord(third->id))->flags, uint8_t(0x03));

    // Back to one selected property: the plain form.
    f.Select(t.second->id);
    f.frame().GetTreeView()->selectionModel()->select(f.ItemOf(t.second->id),
                                                      QItemSelectionModel::ClearAndSelect);
    QVERIFY(!f.frame().GetFormView()->bulk());
    QVERIFY(f.frame().GetFormView()->controls().name->isEnabled());
  }
};

QTEST_MAIN(TreeEditingTest)
#include "tree_editing_test.moc"
