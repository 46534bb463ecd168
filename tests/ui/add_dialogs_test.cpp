// The add commands through their real dialogs: names, the atom type spin, refusal of an empty
// name, cancel that uses no identifier, and where the new items appear in the tree.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_icons.h"
#include "ui_fixture.h"
#include "xml/text_codec.h"

class AddDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void addGroupGoesLastUnderRootWithoutExpandingIt() {
    UiFixture f;
    QString title;
    f.Expect([&](QDialog& d) {
      title = d.windowTitle();
      Press(d, "okButton");  // empty: refused without a message
      if (!d.isVisible()) return -1;
      Type(d, "nameEdit", QStringLiteral("Котельная"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddGroup);
    QVERIFY(f.AllAnswered());
    QVERIFY(f.unexpected.isEmpty());
    QCOMPARE(title, QStringLiteral("Добавить базу"));
    QCOMPARE(f.doc().groups.size(), size_t(4));
    QCOMPARE(f.doc().groups.back()->name, W("Котельная"));
    QCOMPARE(f.doc().groups.back()->id, 4u);
    QCOMPARE(Label(Row(f.ItemOf(0), 3)), QStringLiteral("Котельная"));
    QVERIFY(!f.IsOpen(0));
    QVERIFY(f.frame().isWindowModified());
  }

  void addObjectAndAtomExpandTheirParent() {
    UiFixture f;
    f.Select(2);
    f.Expect([](QDialog& d) {
      if (d.windowTitle() != QStringLiteral("Добавить объект")) return -1;
      Type(d, "nameEdit", QStringLiteral("Котёл"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddObject);
    CRecord* object = f.doc().groups[1]->GetChild(0);
    QVERIFY(AsObject(object));
    QVERIFY(f.IsOpen(2));

    f.Select(object->id);
    QString shownType;
    f.Expect([&](QDialog& d) {
      shownType = Child<QLineEdit>(d, "typeEdit")->text();
      for (int i = 0; i < 3; ++i) Child<QToolButton>(d, "spinUp")->click();
      shownType += QStringLiteral(" ") + Child<QLineEdit>(d, "typeEdit")->text();
      return Press(d, "okButton");  // an empty atom name is accepted
    });
    f.Trigger(cmd::kAddAtom);
    QCOMPARE(shownType, QStringLiteral("0 3"));
    CAtom* atom = AsAtom(AsObject(object)->GetChild(0));
    QVERIFY(atom);
    QCOMPARE(atom->name, std::string());
    QCOMPARE(int(atom->type), 3);
    QVERIFY(f.IsOpen(object->id));
  }

  void atomSpinStaysInItsRangeButTypedDigitsWrap() {
    UiFixture f;
    CObj* object = f.AddObject(f.doc().groups[0].get(), "Шкаф");
    f.Rebuild();
    f.Select(object->id);
    QString afterDown;
    f.Expect([&](QDialog& d) {
      Child<QToolButton>(d, "spinDown")->click();
      afterDown = Child<QLineEdit>(d, "typeEdit")->text();
      Type(d, "nameEdit", QStringLiteral("Датчик"));
      Type(d, "typeEdit", QStringLiteral("300"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddAtom);
    QCOMPARE(afterDown, QStringLiteral("0"));
    QCOMPARE(int(uint8_t(AsAtom(object->GetChild(0))->type)), 44);
  }

  void addPropertyFillsAllFieldsAndCancelUsesNoIdentifier() {
    UiFixture f;
    CObj* object = f.AddObject(f.doc().groups[1].get(), "Шкаф");
    CAtom* atom = f.AddAtom(object, "Датчик");
    f.Rebuild();
    uint16_t lastId = f.doc().idMap.GetLastId();
    f.Select(atom->id);

    // Empty name: refused; then Escape-like cancel: nothing is created.
    f.Expect([](QDialog& d) {
      if (d.windowTitle() != QStringLiteral("Добавить свойство")) return -1;
      Press(d, "applyButton");
      if (!d.isVisible()) return -1;
      d.reject();
      return d.result();
    });
    f.Trigger(cmd::kAddProperty);
    QCOMPARE(atom->GetPropertyCount(), 0);
    QCOMPARE(f.doc().idMap.GetLastId(), lastId);
    QVERIFY(!f.frame().isWindowModified());

    f.Expect([](QDialog& d) {
      Type(d, "nameEdit", QStringLiteral("Давление"));
      Type(d, "valueEdit", QStringLiteral("12.5"));
      Child<QComboBox>(d, "typeList")->setCurrentIndex(kTypeFloat);
      Child<QListWidget>(d, "flagList")->item(1)->setCheckState(Qt::Checked);
      QStringList labels;
      for (int i = 0; i < 6; ++i) labels << Child<QListWidget>(d, "flagList")->item(i)->text();
      if (labels[3] != QStringLiteral("4 save on disk value (on change)")) return -1;
      return Press(d, "applyButton");
    });
    f.Trigger(cmd::kAddProperty);
    QCOMPARE(atom->GetPropertyCount(), 1);
    CPropertyItem* p = atom->GetProperty(0);
    QCOMPARE(p->name, W("Давление"));
    QCOMPARE(p->valueText, std::string("12.5"));
    QCOMPARE(int(p->typeCode), int(kTypeFloat));
    QCOMPARE(int(p->flags), 0x02);
    QCOMPARE(p->id, uint32_t(lastId + 1));
    QVERIFY(!f.IsOpen(atom->id));
  }

  void newLinkShowsTheLinkIconAtOnce() {
    UiFixture f;
    CObj* object = f.AddObject(f.doc().groups[1].get(), "Шкаф");
    CAtom* atom = f.AddAtom(object, "Датчик");
    CPropertyItem* target = f.AddProperty(atom, "Цель", kTypeInt, "1");
    f.Rebuild();
    f.Select(atom->id);
    f.Expect([&](QDialog& d) {
      Type(d, "nameEdit", QStringLiteral("Ссылка"));
      Type(d, "valueEdit", QString::number(target->id));
      Child<QComboBox>(d, "typeList")->setCurrentIndex(kTypeLinkTo);
      return Press(d, "applyButton");
    });
    f.Trigger(cmd::kAddProperty);
    CPropertyItem* link = atom->GetProperty(1);
    auto icon = [&](uint32_t id) {
      return f.ItemOf(id).data(Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    QCOMPARE(icon(link->id), TreeIcons::Get().ForRecord(link).cacheKey());
    QVERIFY(icon(link->id) != icon(target->id));
    QCOMPARE(target->GetIncomingLinkCount(), 1);  // known to its target at once
  }

  void namesOutsideWindows1251AreRefusedInTheDialogs() {
    UiFixture f;
    int outcome = 0;
    f.Expect([&](QDialog& d) {
      Type(d, "nameEdit", QStringLiteral("Zone ✓"));
      f.ExpectMessage();
      Press(d, "okButton");
      outcome = d.isVisible() ? 1 : 2;  // still open after the message
      d.reject();
      return d.result();
    });
    f.Trigger(cmd::kAddGroup);
    QCOMPARE(outcome, 1);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("✓")));
    QCOMPARE(f.doc().groups.size(), size_t(3));
  }

  void aFullDocumentSaysSo() {
    UiFixture f;
    // Fill the registry to the last identifier.
    CBase* g = f.doc().groups[0].get();
    while (f.doc().idMap.Count() < 0xFFFF)
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
