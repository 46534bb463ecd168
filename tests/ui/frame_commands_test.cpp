// The frame's command table on a live window: the enable rules follow the selected kind, Paste
// follows the copied record and the focus. (Copy, paste and delete themselves are the model's
// tests; undo_redo_test runs them through these commands.)
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui_fixture.h"

namespace {

const int kRecordCommands[] = {cmd::kAddAtom,     cmd::kAddGroup,      cmd::kDeleteGroup,
                               cmd::kAddObject,   cmd::kDeleteObject,  cmd::kDeleteAtom,
                               cmd::kAddProperty, cmd::kDeleteProperty};

// The record commands that are enabled, as a sorted list of identifiers.
QList<int> EnabledRecordCommands(UiFixture& f) {
  QList<int> on;
  for (int id : kRecordCommands)
    if (f.Enabled(id)) on << id;
  std::sort(on.begin(), on.end());
  return on;
}

struct Tree {
  CBase* group;
  CObj* object;
  CObj* inner;
  CAtom* atom;
  CPropertyItem* property;
};

Tree BuildTree(UiFixture& f) {
  Tree t;
  t.group = f.doc().Groups().At(1);  // "Logic"
  t.object = f.AddObject(t.group, "Котёл");
  t.inner = f.AddObject(t.object, "Горелка");
  t.atom = f.AddAtom(t.inner, "Пламя");
  t.property = f.AddProperty(t.atom, "Температура", kTypeFloat, "21.5");
  f.Rebuild();
  return t;
}

}  // namespace

class FrameCommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  // Which kind holds which is the model's table (document_edits_test); here the actions follow it.
  void enableRulesFollowTheSelectedKind() {
    UiFixture f;
    QCOMPARE(EnabledRecordCommands(f), QList<int>{cmd::kAddGroup});
    QVERIFY(!f.Enabled(cmd::kEditPaste));
    Tree t = BuildTree(f);
    int forms = f.frame().formReplacements();
    f.Select(t.group->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddGroup, cmd::kDeleteGroup, cmd::kAddObject}));
    f.Select(t.object->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddAtom, cmd::kAddGroup, cmd::kAddObject, cmd::kDeleteObject}));
    f.Select(t.atom->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddGroup, cmd::kDeleteAtom, cmd::kAddProperty}));
    // Group, object and atom share one form; a property has its own.
    QCOMPARE(f.frame().formReplacements(), forms + 1);
    f.Select(t.property->id);
    QCOMPARE(EnabledRecordCommands(f), (QList<int>{cmd::kAddGroup, cmd::kDeleteProperty}));
    QCOMPARE(f.frame().formReplacements(), forms + 2);

    // "Root" keeps the property form as it was and disables everything but adding a group.
    f.Select(0);
    QCOMPARE(EnabledRecordCommands(f), QList<int>{cmd::kAddGroup});
    QCOMPARE(f.frame().GetFormView()->controls().name->text(), QStringLiteral("Температура"));
  }

  void pasteFollowsTheCopiedKindTheFocusAndTheCopiedRecord() {
    UiFixture f;
    Tree t = BuildTree(f);
    // Enabled exactly where the model would paste.
    f.Select(t.property->id);
    f.Trigger(cmd::kEditCopy);
    f.Select(t.object->id);
    QVERIFY(!f.Enabled(cmd::kEditPaste));
    f.Select(t.atom->id);
    QVERIFY(f.Enabled(cmd::kEditPaste));
    // The form's name field with the focus enables it whatever was copied.
    f.Select(t.object->id);
    QLineEdit* name = f.frame().GetFormView()->controls().name;
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    QVERIFY(f.Enabled(cmd::kEditPaste));
    // The copy is the record itself: deleted, there is nothing to paste.
    f.Select(t.property->id);
    f.Trigger(cmd::kDeleteProperty);
    f.Select(t.atom->id);
    QVERIFY(!f.Enabled(cmd::kEditPaste));
  }
};

QTEST_MAIN(FrameCommandsTest)
#include "frame_commands_test.moc"
