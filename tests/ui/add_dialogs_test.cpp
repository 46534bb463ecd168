// The add commands through their real dialogs: names, the atom type spin, refusal of an empty
// name and of text windows-1251 cannot hold, cancel that uses no identifier, a full document,
// and where the new items appear in the tree.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_icons.h"
#include "ui_fixture.h"

class AddDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void addGroupRefusesBadNamesAndGoesLastUnderRootWithoutExpandingIt() {
    UiFixture f;
    bool emptyRefused = false, oddRefused = false;
    f.Expect([&](QDialog& d) {
      Press(d, "okButton");  // empty: refused without a message
      emptyRefused = d.isVisible();
      Type(d, "nameEdit", QStringLiteral("Zone ✓"));
      f.ExpectMessage();
      Press(d, "okButton");
      oddRefused = d.isVisible();  // still open after the message
      Type(d, "nameEdit", QStringLiteral("Котельная"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddGroup);
    QVERIFY(f.AllAnswered());
    QVERIFY(emptyRefused);
    QVERIFY(oddRefused);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("✓")));
    QCOMPARE(f.doc().Groups().Count(), 4);
    QCOMPARE(f.doc().Groups().At(3)->name, W("Котельная"));
    QCOMPARE(f.doc().Groups().At(3)->id, 4u);
    QCOMPARE(Label(Row(f.ItemOf(0), 3)), QStringLiteral("Котельная"));
    QVERIFY(!f.IsOpen(0));
    QVERIFY(f.frame().isWindowModified());
  }

  void addObjectAndAtomExpandTheirParent() {
    UiFixture f;
    f.Select(2);
    f.Expect([](QDialog& d) {
      Type(d, "nameEdit", QStringLiteral("Котёл"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddObject);
    CObj* object = AsObject(f.doc().Groups().At(1)->GetChild(0));
    QVERIFY(object);
    QVERIFY(f.IsOpen(2));

    // The spin stays in 0..20, typed digits wrap to a byte; an empty atom name is accepted.
    f.Select(object->id);
    QString shown;
    f.Expect([&](QDialog& d) {
      auto* type = Child<QLineEdit>(d, "typeEdit");
      Child<QToolButton>(d, "spinDown")->click();
      shown = type->text();
      for (int i = 0; i < 3; ++i) Child<QToolButton>(d, "spinUp")->click();
      shown += QStringLiteral(" ") + type->text();
      Type(d, "typeEdit", QStringLiteral("300"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddAtom);
    QCOMPARE(shown, QStringLiteral("0 3"));
    CAtom* atom = AsAtom(object->GetChild(0));
    QVERIFY(atom);
    QCOMPARE(atom->name, std::string());
    QCOMPARE(int(uint8_t(atom->type)), 44);
    QVERIFY(f.IsOpen(object->id));
  }

  void addPropertyFillsAllFieldsAndCancelUsesNoIdentifier() {
    UiFixture f;
    CAtom* atom = f.AddAtom(f.AddObject(f.doc().Groups().At(1), "Шкаф"), "Датчик");
    f.Rebuild();
    uint16_t lastId = f.doc().Ids().GetLastId();
    f.Select(atom->id);

    // Empty name: refused; then cancel: nothing is created.
    bool emptyRefused = false;
    f.Expect([&](QDialog& d) {
      Press(d, "applyButton");
      emptyRefused = d.isVisible();
      d.reject();
      return d.result();
    });
    f.Trigger(cmd::kAddProperty);
    QVERIFY(emptyRefused);
    QCOMPARE(atom->GetPropertyCount(), 0);
    QCOMPARE(f.doc().Ids().GetLastId(), lastId);
    QVERIFY(!f.frame().isWindowModified());

    auto add = [&](const QString& name, const QString& value, int type, int flagRow) {
      f.Expect([=](QDialog& d) {
        Type(d, "nameEdit", name);
        Type(d, "valueEdit", value);
        Child<QComboBox>(d, "typeList")->setCurrentIndex(type);
        if (flagRow >= 0)
          Child<QListWidget>(d, "flagList")->item(flagRow)->setCheckState(Qt::Checked);
        return Press(d, "applyButton");
      });
      f.Trigger(cmd::kAddProperty);
    };
    add(QStringLiteral("Давление"), QStringLiteral("12.5"), kTypeFloat, 1);
    QCOMPARE(atom->GetPropertyCount(), 1);
    CPropertyItem* p = atom->GetProperty(0);
    QCOMPARE(p->name, W("Давление"));
    QCOMPARE(p->valueText, std::string("12.5"));
    QCOMPARE(int(p->typeCode), int(kTypeFloat));
    QCOMPARE(int(p->flags), 0x02);
    QCOMPARE(p->id, uint32_t(lastId + 1));
    QVERIFY(!f.IsOpen(atom->id));

    // A new link shows the link icon at once and is known to its target at once.
    add(QStringLiteral("Ссылка"), QString::number(p->id), kTypeLinkTo, -1);
    CPropertyItem* link = atom->GetProperty(1);
    auto icon = [&](uint32_t id) {
      return f.ItemOf(id).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    QCOMPARE(icon(link->id), TreeIcons::Get().ForRecord(link).cacheKey());
    QVERIFY(icon(link->id) != icon(p->id));
    QCOMPARE(p->GetIncomingLinkCount(), 1);
  }

  void aFullDocumentSaysSo() {
    UiFixture f;
    // Fill the registry to the last identifier.
    CBase* g = f.doc().Groups().At(0);
    while (f.doc().Ids().Count() < 0xFFFF)
      if (!f.doc().NewObject(g)) break;
    f.ExpectMessage();
    f.Trigger(cmd::kAddGroup);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("65535")));
    QVERIFY(f.unexpected.isEmpty());
  }
};

QTEST_MAIN(AddDialogsTest)
#include "add_dialogs_test.moc"
