// The find bar over the tree (search as you type, next and previous with wrap-around, "n из m",
// branches opened to the match, matches that follow edits) and the references list with its jump
// to a link. What matches, and which links point into a record, RecordSearchTest holds.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStandardPaths>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/dialogs/references_dlg.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

struct Plant {
  uint32_t boiler, burner, flame, temp, pump, link, self;
};

Plant Build(UiFixture& f) {
  CObj* boiler = f.AddObject(f.doc().Groups().At(1), "Котёл");
  CObj* burner = f.AddObject(boiler, "Горелка");
  CAtom* flame = f.AddAtom(burner, "Пламя");
  CPropertyItem* temp = f.AddProperty(flame, "Температура", kTypeFloat, "21.5");
  CObj* pump = f.AddObject(f.doc().Groups().At(2), "КОТЁЛЬНАЯ");
  CAtom* remote = f.AddAtom(pump, "Связь");
  CPropertyItem* link = f.AddProperty(remote, "Источник", kTypeLinkTo, std::to_string(temp->id));
  CPropertyItem* self = f.AddProperty(flame, "Своя", kTypeLinkTo, std::to_string(temp->id));
  f.Rebuild();
  return {boiler->id, burner->id, flame->id, temp->id, pump->id, link->id, self->id};
}

QLineEdit* FindText(UiFixture& f) {
  return Child<QLineEdit>(*f.frame().GetFindBar(), "findText");
}

QString CountText(UiFixture& f) {
  return Child<QLabel>(*f.frame().GetFindBar(), "findCount")->text();
}

void Key(UiFixture& f, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(FindText(f), key, mods);
}

}  // namespace

class FindReferencesTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void findAsYouTypeStepsThroughTheMatches() {
    UiFixture f;
    Plant p = Build(f);
    CFindBar* bar = f.frame().GetFindBar();
    QVERIFY(!bar->isVisible());
    f.Trigger(cmd::kEditFind);
    QVERIFY(bar->isVisible());
    QVERIFY(FindText(f)->hasFocus() || !f.frame().isActiveWindow());
    // Typing searches at once and goes to the first match, opening its branch.
    for (QChar c : QStringLiteral("котё")) {
      QTest::sendKeyEvent(QTest::Click, FindText(f), Qt::Key_unknown, QString(c), {});
      QVERIFY(f.frame().selectedId() != 0);
    }
    QCOMPARE(CountText(f), QStringLiteral("1 из 2"));
    QCOMPARE(f.frame().selectedId(), p.boiler);
    Key(f, Qt::Key_Return);
    QCOMPARE(CountText(f), QStringLiteral("2 из 2"));
    QCOMPARE(f.frame().selectedId(), p.pump);
    QVERIFY(f.frame().GetTreeView()->isExpanded(f.ItemOf(p.pump).parent()));
    QCOMPARE(f.frame().GetTreeView()->currentIndex(), f.ItemOf(p.pump));
    Key(f, Qt::Key_Return);  // wraps around
    QCOMPARE(f.frame().selectedId(), p.boiler);
    Key(f, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(f.frame().selectedId(), p.pump);
    QCOMPARE(CountText(f), QStringLiteral("2 из 2"));

    // The mode list reaches the search; a deep record opens every branch above it.
    auto* mode = Child<QComboBox>(*f.frame().GetFindBar(), "findMode");
    mode->setCurrentIndex(1);
    FindText(f)->setText(QStringLiteral("пламя/своя"));
    QCOMPARE(f.frame().selectedId(), p.self);
    mode->setCurrentIndex(2);
    FindText(f)->setText(QString::number(p.temp));
    QCOMPARE(CountText(f), QStringLiteral("1 из 1"));
    QCOMPARE(f.frame().selectedId(), p.temp);
    for (QModelIndex i = f.ItemOf(p.temp).parent(); i.isValid(); i = i.parent())
      QVERIFY(f.frame().GetTreeView()->isExpanded(i));
    // Text the code page cannot hold is in no name.
    mode->setCurrentIndex(0);
    FindText(f)->setText(QStringLiteral("温度"));
    QCOMPARE(CountText(f), QStringLiteral("0 из 0"));
    FindText(f)->clear();
    QCOMPARE(CountText(f), QString());
    Key(f, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
  }

  void matchesFollowEditsMadeSinceTyping() {
    UiFixture f;
    Plant p = Build(f);
    f.Trigger(cmd::kEditFind);
    FindText(f)->setText(QStringLiteral("котё"));
    QCOMPARE(f.frame().selectedId(), p.boiler);
    // The first match is deleted; Enter goes on to what is there now.
    f.Select(p.boiler);
    f.Trigger(cmd::kDeleteObject);
    Key(f, Qt::Key_Return);
    QCOMPARE(f.frame().selectedId(), p.pump);
    QCOMPARE(CountText(f), QStringLiteral("1 из 1"));
  }

  void referencesListsLinksAndJumps() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.temp);
    QVERIFY(f.Enabled(cmd::kEditReferences));
    f.Trigger(cmd::kEditReferences);
    auto* dlg = f.frame().findChild<CReferencesDlg*>(QStringLiteral("referencesDialog"));
    QVERIFY(dlg && dlg->isVisible());
    QCOMPARE(dlg->list()->count(), 2);
    QCOMPARE(dlg->list()->item(0)->text(), QStringLiteral("/Logic/Котёл/Горелка/Пламя/Своя"));
    QCOMPARE(dlg->list()->item(1)->text(), QStringLiteral("/Network/КОТЁЛЬНАЯ/Связь/Источник"));
    // A double-click selects the link in the tree.
    QListWidget* list = dlg->list();
    QVERIFY(QTest::qWaitForWindowExposed(dlg));
    QRect rect = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(f.frame().selectedId(), p.link);
    QCOMPARE(f.frame().GetTreeView()->currentIndex(), f.ItemOf(p.link));

    // A branch lists the links into anything inside it, with their targets.
    f.Select(p.boiler);
    f.Trigger(cmd::kEditReferences);
    QCOMPARE(dlg->list()->count(), 2);
    QVERIFY(dlg->list()->item(1)->text().endsWith(
        QStringLiteral("→  /Logic/Котёл/Горелка/Пламя/Температура")));
    QCOMPARE(f.frame().findChildren<CReferencesDlg*>().size(), 1);  // one window, refilled
    f.Select(0);
    QVERIFY(!f.Enabled(cmd::kEditReferences));
  }
};

QTEST_MAIN(FindReferencesTest)
#include "find_references_test.moc"
