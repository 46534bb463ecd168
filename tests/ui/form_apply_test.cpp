// The property form: "Применить" on both forms, text windows-1251 cannot hold, picking a link
// target in the tree, the end-of-chain flag and "LinkError", the lists of links and the jump
// along one. (Where an edit lands and its link bookkeeping are document_edits_test's.)
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui/tree/tree_icons.h"
#include "ui_fixture.h"
#include "xml/text_codec.h"

namespace {

struct Plant {
  CBase* group;
  CObj* object;
  CAtom* atom;
  CPropertyItem* value;  // INT 42
  CPropertyItem* other;  // FLOAT 1.5
};

Plant Build(UiFixture& f) {
  Plant p;
  p.group = f.doc().Groups().At(1);
  p.object = f.AddObject(p.group, "Насосная");
  p.atom = f.AddAtom(p.object, "Насос");
  p.value = f.AddProperty(p.atom, "Обороты", kTypeInt, "42");
  p.other = f.AddProperty(p.atom, "Ток", kTypeFloat, "1.5");
  f.Rebuild();
  return p;
}

const FormControls& Form(UiFixture& f) {
  return f.frame().GetFormView()->controls();
}

void Apply(UiFixture& f) {
  Form(f).apply->click();
}

void ChooseType(UiFixture& f, int type) {
  Form(f).type->setCurrentIndex(type);
  emit Form(f).type->activated(type);
}

}  // namespace

class FormApplyTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void applyOnTheRecordForm() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.group->id);
    QVERIFY(!Form(f).atomType->isVisibleTo(f.frame().GetFormView()));
    // The atom type is a signed byte on the form; what is typed is kept to its low byte.
    p.atom->type = int8_t(200);
    f.Select(p.atom->id);
    QVERIFY(Form(f).atomTypeFrame->isVisibleTo(f.frame().GetFormView()));
    QCOMPARE(Form(f).atomType->text(), QStringLiteral("-56"));
    Form(f).name->setText(QStringLiteral("Насос №2"));
    Form(f).atomType->setText(QStringLiteral("300"));
    Apply(f);
    QCOMPARE(FromCp1251(p.atom->name), QStringLiteral("Насос №2"));
    QCOMPARE(Label(f.ItemOf(p.atom->id)), QStringLiteral("Насос №2"));
    QCOMPARE(int(uint8_t(p.atom->type)), 44);
    QVERIFY(f.frame().isWindowModified());
    Form(f).atomType->setText(QStringLiteral("abc"));
    Apply(f);
    QCOMPARE(int(p.atom->type), 0);
  }

  void textOutsideWindows1251IsRefused() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.object->id);
    Form(f).name->setText(QStringLiteral("Насос 😀"));
    f.ExpectMessage();
    Apply(f);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("windows-1251")));
    QCOMPARE(p.object->name, W("Насосная"));
    QCOMPARE(Label(f.ItemOf(p.object->id)), QStringLiteral("Насосная"));
    QVERIFY(!f.frame().isWindowModified());
  }

  void applyOnThePropertyForm() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.value->id);
    QCOMPARE(Form(f).type->currentText(), QStringLiteral("INT"));
    QVERIFY(!Form(f).incoming->isVisibleTo(f.frame().GetFormView()));
    Form(f).name->setText(QStringLiteral("Скорость"));
    Form(f).value->setPlainText(QStringLiteral("1234"));
    Form(f).flags->item(0)->setCheckState(Qt::Checked);
    Form(f).flags->item(5)->setCheckState(Qt::Checked);
    Apply(f);
    QCOMPARE(p.value->valueText, std::string("1234"));
    QCOMPARE(p.value->GetRawValue(), 1234u);  // through SetNumericValue
    QCOMPARE(int(p.value->flags), 0x21);
    QCOMPARE(Label(f.ItemOf(p.value->id)), QStringLiteral("Скорость"));
    // Bits 6 and 7 are never touched by the form.
    p.value->flags |= 0xC0;
    f.Select(p.atom->id);
    f.Select(p.value->id);
    Form(f).flags->item(0)->setCheckState(Qt::Unchecked);
    Apply(f);
    QCOMPARE(int(p.value->flags), 0xE0);
  }

  void pickingALinkTargetAndApplying() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.value->id);
    CTarnelView* form = f.frame().GetFormView();
    ChooseType(f, kTypeLinkTo);
    QVERIFY(f.frame().linkPickMode());
    QVERIFY(Form(f).path->isVisibleTo(form));
    // Picked in the tree: the identifier goes into the form, which stays in place; no record
    // command runs on the picked record meanwhile.
    f.Select(p.other->id);
    QCOMPARE(f.frame().GetFormView(), form);
    QCOMPARE(Form(f).value->toPlainText(), QString::number(p.other->id));
    QVERIFY(f.Enabled(cmd::kAddGroup) && !f.Enabled(cmd::kDeleteProperty));
    Apply(f);
    QCOMPARE(p.value->valueText, std::to_string(p.other->id));
    QCOMPARE(int(p.value->typeCode), int(kTypeLinkTo));
    QCOMPARE(p.other->GetIncomingLinkCount(), 1);
    QVERIFY(!f.frame().linkPickMode());
    // The link icon, and the target's path in the form.
    QCOMPARE(f.ItemOf(p.value->id).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
             TreeIcons::Get().ForRecord(p.value).cacheKey());
    QCOMPARE(Form(f).linkTarget->count(), 1);
    QCOMPARE(Form(f).linkTarget->item(0)->text(), QStringLiteral("/Logic/Насосная/Насос/Ток"));

    // Double-clicking the target entry shows the target.
    emit Form(f).linkTarget->itemDoubleClicked(Form(f).linkTarget->item(0));
    QCOMPARE(f.frame().shownRecord(), static_cast<CRecord*>(p.other));
    QCOMPARE(Form(f).incoming->count(), 1);
    QVERIFY(Form(f).incoming->isVisibleTo(f.frame().GetFormView()));

    // Back to INT without touching the value: the target loses its incoming link.
    f.Select(p.value->id);
    ChooseType(f, kTypeInt);
    Apply(f);
    QCOMPARE(int(p.value->typeCode), int(kTypeInt));
    QCOMPARE(p.other->GetIncomingLinkCount(), 0);
  }

  // Where the edit lands is the model's (document_edits_test); the form shows the chain's end.
  void endOfChainShowsTheEndOfTheChain() {
    UiFixture f;
    Plant p = Build(f);
    CPropertyItem* a = f.AddProperty(p.atom, "A", kTypeLinkTo, std::to_string(p.other->id));
    CPropertyItem* b = f.AddProperty(p.atom, "B", kTypeLinkTo, std::to_string(a->id));
    f.Rebuild();
    f.Select(b->id);
    Form(f).eoc->click();  // stored at once
    QVERIFY(b->eoc);
    QCOMPARE(Form(f).value->toPlainText(), QStringLiteral("1.5"));
    QCOMPARE(Form(f).type->currentText(), QStringLiteral("FLOAT"));
    Form(f).value->setPlainText(QStringLiteral("2.25"));
    Form(f).name->setText(QStringLiteral("B2"));
    Apply(f);
    QCOMPARE(p.other->valueText, std::string("2.25"));
    QCOMPARE(b->name, std::string("B2"));
    QCOMPARE(b->valueText, std::to_string(a->id));
  }

  void aLoopReportsLinkError() {
    UiFixture f;
    Plant p = Build(f);
    CPropertyItem* self = f.AddProperty(p.atom, "Петля", kTypeLinkTo, "0");
    self->valueText = std::to_string(self->id);
    self->eoc = true;
    f.Rebuild();
    f.ExpectMessage();
    f.Select(self->id);
    QCOMPARE(f.messages, QStringList{QStringLiteral("Error: LinkError")});
    QCOMPARE(Form(f).value->toPlainText(), QString::number(self->id));
    // Applying reports it too and works on the property itself.
    f.ExpectMessage();
    f.ExpectMessage();  // the form's refresh after the apply meets the loop again
    Form(f).flags->item(3)->setCheckState(Qt::Checked);
    Apply(f);
    QCOMPARE(f.messages.size(), 3);
    QCOMPARE(int(self->flags), 0x08);
    QVERIFY(f.AllAnswered());
  }

  void incomingLinksAreListedSorted() {
    UiFixture f;
    Plant p = Build(f);
    f.AddProperty(p.atom, "Я", kTypeLinkTo, std::to_string(p.other->id));
    f.AddProperty(p.atom, "Б", kTypeLinkTo, std::to_string(p.other->id));
    f.Rebuild();
    f.Select(p.other->id);
    QCOMPARE(Form(f).incoming->count(), 2);
    QCOMPARE(Form(f).incoming->item(0)->text(), QStringLiteral("/Logic/Насосная/Насос/Б"));
    QCOMPARE(Form(f).incoming->item(1)->text(), QStringLiteral("/Logic/Насосная/Насос/Я"));
  }
};

QTEST_MAIN(FormApplyTest)
#include "form_apply_test.moc"
