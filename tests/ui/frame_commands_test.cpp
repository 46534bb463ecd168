// The frame's command table on a live window: enable rules by selection, the paste rules, copy
// and paste of branches, delete with its link bookkeeping.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_icons.h"
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
  t.group = f.doc().groups[1].get();  // "Logic"
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

  void enableRulesAtStart() {
    UiFixture f;
    QCOMPARE(EnabledRecordCommands(f), QList<int>{cmd::kAddGroup});
    for (int id :
         {cmd::kEditCopy, cmd::kEditCut, cmd::kImport, cmd::kExport, cmd::kGetBase, cmd::kConnect})
      QVERIFY2(f.Enabled(id), qPrintable(QString::number(id)));
    QVERIFY(!f.Enabled(cmd::kEditPaste));
    QVERIFY(!f.Enabled(cmd::kDisconnect));
    QVERIFY(!f.Enabled(cmd::kFilePrint));
    // Every action carries its identifier and a stable name.
    QCOMPARE(f.frame().action(cmd::kAddGroup)->data().toInt(), int(cmd::kAddGroup));
    QCOMPARE(f.frame().action(cmd::kAddGroup)->objectName(), QStringLiteral("actionAddGroup"));
    QCOMPARE(f.frame().GetTreeView()->model()->rowCount(), 1);
    QCOMPARE(Rows(f.ItemOf(0)), 3);
    QCOMPARE(Label(Row(f.ItemOf(0), 2)), QStringLiteral("Network"));
  }

  void enableRulesFollowTheSelectedKind() {
    UiFixture f;
    Tree t = BuildTree(f);
    f.Select(t.group->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddGroup, cmd::kDeleteGroup, cmd::kAddObject}));
    f.Select(t.object->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddAtom, cmd::kAddGroup, cmd::kAddObject, cmd::kDeleteObject}));
    f.Select(t.atom->id);
    QCOMPARE(EnabledRecordCommands(f),
             (QList<int>{cmd::kAddGroup, cmd::kDeleteAtom, cmd::kAddProperty}));
    f.Select(t.property->id);
    QCOMPARE(EnabledRecordCommands(f), (QList<int>{cmd::kAddGroup, cmd::kDeleteProperty}));

    // "Root" keeps the form as it was and disables everything but adding a group.
    f.Select(0);
    QCOMPARE(EnabledRecordCommands(f), QList<int>{cmd::kAddGroup});
    QCOMPARE(f.frame().GetFormView()->formTemplate(), 135);
    QCOMPARE(f.frame().GetFormView()->controls().name->text(), QStringLiteral("Температура"));
  }

  void groupObjectAtomShareOneFormView() {
    UiFixture f;
    Tree t = BuildTree(f);
    int before = f.frame().formReplacements();
    f.Select(t.group->id);
    f.Select(t.object->id);
    f.Select(t.atom->id);
    QCOMPARE(f.frame().formReplacements(), before + 1);
    f.Select(t.property->id);
    QCOMPARE(f.frame().formReplacements(), before + 2);
  }

  void linkPickModeWritesThePickedIdentifier() {
    UiFixture f;
    Tree t = BuildTree(f);
    CPropertyItem* other = f.AddProperty(t.atom, "Давление", kTypeInt, "3");
    f.Rebuild();
    f.Select(t.property->id);
    CTarnelView* form = f.frame().GetFormView();
    form->controls().type->setCurrentIndex(kTypeLinkTo);
    emit form->controls().type->activated(kTypeLinkTo);
    QVERIFY(f.frame().linkPickMode());
    QVERIFY(form->controls().path->isVisibleTo(form));
    f.Select(other->id);
    QCOMPARE(form->controls().value->toPlainText(), QString::number(other->id));
    QCOMPARE(EnabledRecordCommands(f), QList<int>{cmd::kAddGroup});
    QCOMPARE(f.frame().GetFormView(), form);  // the form stays in place
  }

  void pasteFollowsTheCopiedKindAndTheFocus() {
    UiFixture f;
    Tree t = BuildTree(f);
    // Where a copy may go is the model's rule; the action follows it.
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
  }
  void pasteCopiesADeepBranchWithFreshIdentifiers() {
    UiFixture f;
    Tree t = BuildTree(f);
    f.Select(t.inner->id);
    f.Trigger(cmd::kEditCopy);
    f.Select(t.group->id);
    f.Trigger(cmd::kEditPaste);
    QCOMPARE(t.group->GetChildCount(), 2);
    auto* copy = AsObject(t.group->GetChild(1));
    QVERIFY(copy);
    QCOMPARE(copy->name, t.inner->name);
    QVERIFY(copy->id != t.inner->id);
    CAtom* atom = AsAtom(copy->GetChild(0));
    QVERIFY(atom && atom->GetPropertyCount() == 1);
    QCOMPARE(atom->GetProperty(0)->valueText, std::string("21.5"));
    QCOMPARE(Rows(f.ItemOf(t.group->id)), 2);
    QVERIFY(f.frame().windowTitle().contains(QStringLiteral("[*]")));
    QVERIFY(f.frame().isWindowModified());
  }

  void copiedRecordThatWasDeletedPastesNothing() {
    UiFixture f;
    Tree t = BuildTree(f);
    f.Select(t.property->id);
    f.Trigger(cmd::kEditCopy);
    f.Select(t.atom->id);
    QVERIFY(f.Enabled(cmd::kEditPaste));
    f.Select(t.property->id);
    f.Trigger(cmd::kDeleteProperty);
    f.Select(t.atom->id);
    QVERIFY(!f.Enabled(cmd::kEditPaste));
    QCOMPARE(t.atom->GetPropertyCount(), 0);
  }

  void deletingALinkTargetUnlinksItsThreeSources() {
    UiFixture f;
    Tree t = BuildTree(f);
    std::vector<CPropertyItem*> sources;
    for (int i = 0; i < 3; ++i)
      sources.push_back(f.AddProperty(t.atom, "Ссылка " + std::to_string(i), kTypeLinkTo,
                                      std::to_string(t.property->id)));
    f.Rebuild();
    QCOMPARE(t.property->GetIncomingLinkCount(), 3);
    uint32_t targetId = t.property->id;
    f.Select(targetId);
    f.Trigger(cmd::kDeleteProperty);
    QVERIFY(!f.doc().LookupRecord(targetId));
    QVERIFY(!f.ItemOf(targetId).isValid());
    for (CPropertyItem* s : sources) QCOMPARE(int(s->typeCode), int(kTypeBin));
    // The tree shows them as plain properties now.
    for (CPropertyItem* s : sources)
      QCOMPARE(f.ItemOf(s->id).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
               TreeIcons::Get().ForKind(kKindProperty).cacheKey());
  }

  void deletingAGroupTakesItsBranchAndIdentifiers() {
    UiFixture f;
    Tree t = BuildTree(f);
    uint32_t atomId = t.atom->id;
    f.Select(t.group->id);
    f.Trigger(cmd::kDeleteGroup);
    QCOMPARE(f.doc().groups.size(), size_t(2));
    QVERIFY(!f.doc().LookupRecord(atomId));
    QCOMPARE(Rows(f.ItemOf(0)), 2);
  }
};

QTEST_MAIN(FrameCommandsTest)
#include "frame_commands_test.moc"
