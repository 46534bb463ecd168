// The links editor over the property form and the "Ссилка" picker of the "Путь" button, on
// the real widgets: loading and matching a template, picking an atom, checking and unchecking
// entries, the template path kept inside the program's directory, and the picker's OK.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "model/value_types.h"
#include "ui/form/property_form.h"
#include "ui/links/link_picker.h"
#include "ui/links/links_dialog.h"
#include "ui/links/ts_tree_ctrl.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\n"
    "<PartQuorvantis>\n"
    "<Atom Name=\"Ind1\" ID=\"1\" Type=\"0\">\n"
    "<Property Name=\"IN1\" ID=\"2\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" "
    "B5=\"0\" B6=\"0\">\nX\n</Property>\n"
    "<Property Name=\"IN2\" ID=\"3\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" "
    "B5=\"0\" B6=\"0\">\nY\n</Property>\n"
    "</Atom>\n"
    "<Atom Name=\"Ind2\" ID=\"4\" Type=\"0\">\n"
    "<Property Name=\"A\" ID=\"5\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" "
    "B5=\"0\" B6=\"0\">\nOUT\n</Property>\n"
    "<Property Name=\"B\" ID=\"6\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" "
    "B5=\"0\" B6=\"0\">\nOUT\n</Property>\n"
    "</Atom>\n"
    "<Atom Name=\"Missing\" ID=\"7\" Type=\"0\">\n"
    "<Property Name=\"Z\" ID=\"8\" Type=\"LINK_TO\" B1=\"0\" B2=\"0\" B3=\"0\" B4=\"0\" "
    "B5=\"0\" B6=\"0\">\nOUT\n</Property>\n"
    "</Atom>\n"
    "</PartQuorvantis>\n";

struct Panel {
  CObj* panel;
  CPropertyItem* links;
  CPropertyItem* in1;  // Ind1: IN1 links to Src/Chan/Other
  CPropertyItem* in2;
  CPropertyItem* a;  // Ind2: A and B are plain
  CPropertyItem* b;
  CObj* src;
  CAtom* chan;
  CPropertyItem* out;
  CPropertyItem* other;
};

Panel Build(UiFixture& f) {
  Panel p;
  p.src = f.AddObject(f.doc().Groups().At(0), "Src");
  p.chan = f.AddAtom(p.src, "Chan");
  p.out = f.AddProperty(p.chan, "OUT", kTypeInt, "5");
  p.other = f.AddProperty(p.chan, "Other", kTypeInt, "6");
  p.panel = f.AddObject(f.doc().Groups().At(1), "Panel");
  CAtom* settings = f.AddAtom(p.panel, "Settings");
  p.links = f.AddProperty(settings, "Links", kTypeFile, "panel.xml");
  CAtom* ind1 = f.AddAtom(p.panel, "Ind1");
  p.in1 = f.AddProperty(ind1, "IN1", kTypeLinkTo, std::to_string(p.other->id));
  p.in2 = f.AddProperty(ind1, "IN2", kTypeShort, "0");
  CAtom* ind2 = f.AddAtom(p.panel, "Ind2");
  p.a = f.AddProperty(ind2, "A", kTypeShort, "0");
  p.b = f.AddProperty(ind2, "B", kTypeShort, "0");
  f.Rebuild();
  f.frame().resize(1200, 800);
  return p;
}

QTreeWidgetItem* Entry(CTSTreeCtrl* tree, const QString& label) {
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->text(0) == label) return *it;
  qFatal("no entry %s", qPrintable(label));
}

int State(CTSTreeCtrl* tree, const QString& label) {
  return CTSTreeCtrl::GetState(Entry(tree, label));
}

void ClickMark(CTSTreeCtrl* tree, const QString& label) {
  QTreeWidgetItem* item = Entry(tree, label);
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->CheckMarkRect(item).center());
}

// A press anywhere in the editor starts picking, as the user's first click does.
void PressInEditor(CLinksDialog* editor) {
  QTest::mouseClick(editor->currentLinkText(), Qt::LeftButton);
}

class TemplateDir {
 public:
  explicit TemplateDir(CMainFrame& frame) {
    QFile file(dir.filePath(QStringLiteral("panel.xml")));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write the template");
    file.write(kTemplate);
    file.close();
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    QFile::copy(file.fileName(), dir.filePath(QStringLiteral("sub/panel.xml")));
    frame.SetTemplateDirectories({dir.path()});
  }
  QTemporaryDir dir;
};

}  // namespace

class LinksEditorTest : public QObject {
  Q_OBJECT
 private slots:
  void showsOverTheFormAndChecksTheLinksThatExist() {
    UiFixture f;
    TemplateDir t(f.frame());
    Panel p = Build(f);
    QVERIFY(!f.frame().linksEditor());
    f.Select(p.links->id);
    CLinksDialog* editor = f.frame().linksEditor();
    QVERIFY(editor && editor->isVisible());
    // The lower third of the form.
    QWidget* form = f.frame().GetFormView();
    QRect g = form->geometry();
    QPoint formTop = form->mapToGlobal(QPoint(0, 0));
    QCOMPARE(editor->geometry().width(), g.width());
    QCOMPARE(editor->geometry().height(), g.height() / 3);
    QCOMPARE(editor->geometry().bottom(), formTop.y() + g.height() - 1);

    CTSTreeCtrl* tree = editor->tree();
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(State(tree, QStringLiteral("IN1=X")), 2);
    QCOMPARE(State(tree, QStringLiteral("IN2=Y")), 0);
    QCOMPARE(State(tree, QStringLiteral("Ind1")), 1);
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 0);
    QCOMPARE(State(tree, QStringLiteral("Missing")), 0);
    // Selecting another record hides it; the form's "Links" shows it again.
    f.Select(p.a->id);
    QVERIFY(!editor->isVisible());
    f.Select(p.links->id);
    QVERIFY(editor->isVisible());
    QVERIFY(!f.frame().isWindowModified());
  }

  void checkingAnAtomEntryLinksItsPropertiesToThePickedAtom() {
    UiFixture f;
    TemplateDir t(f.frame());
    Panel p = Build(f);
    f.Select(p.links->id);
    CLinksDialog* editor = f.frame().linksEditor();
    CTSTreeCtrl* tree = editor->tree();
    PressInEditor(editor);
    QVERIFY(f.frame().linksEditorPicking());
    // While picking, the tree's selection goes to the editor; the form stays.
    f.Select(p.chan->id);
    QCOMPARE(f.frame().shownRecord(), static_cast<CRecord*>(p.links));
    QCOMPARE(editor->pickedId(), p.chan->id);
    tree->setCurrentItem(Entry(tree, QStringLiteral("A=OUT")));
    QCOMPARE(editor->newLinkText()->text(), QStringLiteral("/Hardware/Src/Chan"));
    QCOMPARE(editor->currentLinkText()->text(), QStringLiteral("A=OUT-->>/Logic/Panel/Ind2/A"));

    ClickMark(tree, QStringLiteral("Ind2"));
    std::string out = std::to_string(p.out->id);
    QCOMPARE(int(p.a->typeCode), int(kTypeLinkTo));
    QCOMPARE(int(p.b->typeCode), int(kTypeLinkTo));
    QCOMPARE(p.a->valueText, out);
    QCOMPARE(p.b->valueText, out);
    QCOMPARE(State(tree, QStringLiteral("A=OUT")), 2);
    QCOMPARE(State(tree, QStringLiteral("B=OUT")), 2);
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 2);
    QCOMPARE(State(tree, QStringLiteral("IN1=X")), 2);  // untouched
    QCOMPARE(State(tree, QStringLiteral("Missing")), 0);
    QVERIFY(f.frame().isWindowModified());
    tree->setCurrentItem(Entry(tree, QStringLiteral("B=OUT")));
    QCOMPARE(editor->currentLinkText()->text(), QStringLiteral("B=OUT-->>/Hardware/Src/Chan/OUT"));

    // Unchecking the atom entry unlinks them (SHORT properties, as the model's Unlink makes).
    ClickMark(tree, QStringLiteral("Ind2"));
    QCOMPARE(int(p.a->typeCode), int(kTypeShort));
    QCOMPARE(int(p.b->typeCode), int(kTypeShort));
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 0);
    QCOMPARE(State(tree, QStringLiteral("A=OUT")), 0);
    // Closing the editor ends picking: the tree shows records in the form again.
    editor->close();
    QVERIFY(!f.frame().linksEditorPicking());
    f.Select(p.out->id);
    QCOMPARE(f.frame().shownRecord(), static_cast<CRecord*>(p.out));
  }

  void pickingAnObjectLocksTheMarksAndLabelsOnlySelect() {
    UiFixture f;
    TemplateDir t(f.frame());
    Panel p = Build(f);
    f.Select(p.links->id);
    CLinksDialog* editor = f.frame().linksEditor();
    CTSTreeCtrl* tree = editor->tree();
    // Before anything is picked the marks are locked too.
    PressInEditor(editor);
    ClickMark(tree, QStringLiteral("Ind2"));
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 0);
    f.Select(p.src->id);  // an object
    PressInEditor(editor);
    ClickMark(tree, QStringLiteral("Ind2"));
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 0);
    QCOMPARE(int(p.a->typeCode), int(kTypeShort));
    QCOMPARE(editor->newLinkText()->text(), QString());
    // With an atom picked, a click on the label selects without checking.
    f.Select(p.chan->id);
    PressInEditor(editor);
    QTreeWidgetItem* ind2 = Entry(tree, QStringLiteral("Ind2"));
    QRect r = tree->visualItemRect(ind2);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(tree->CheckMarkRect(ind2).right() + 12, r.center().y()));
    QCOMPARE(tree->currentItem(), ind2);
    QCOMPARE(State(tree, QStringLiteral("Ind2")), 0);
    QCOMPARE(int(p.a->typeCode), int(kTypeShort));
    QCOMPARE(editor->currentLinkText()->text(), QStringLiteral("Ind2-->>"));
    QVERIFY(!f.frame().isWindowModified());
  }

  void templatesComeOnlyFromTheProgramDirectory() {
    QCOMPARE(CLinksDialog::TemplatePath(QStringLiteral("/opt/k"), QStringLiteral("t.xml")),
             QStringLiteral("/opt/k/t.xml"));
    QCOMPARE(CLinksDialog::TemplatePath(QStringLiteral("/opt/k"), QStringLiteral("sub\\t.xml")),
             QStringLiteral("/opt/k/sub/t.xml"));
    QVERIFY(
        CLinksDialog::TemplatePath(QStringLiteral("/opt/k"), QStringLiteral("../t.xml")).isEmpty());

    // Beside the program first, then the data folder; a name that climbs out finds nothing
    // even where such a file exists.
    QTemporaryDir program, data;
    QDir(data.path()).mkdir(QStringLiteral("k"));
    for (const QString& file :
         {data.filePath(QStringLiteral("k/t.xml")), data.filePath(QStringLiteral("u.xml")),
          program.filePath(QStringLiteral("u.xml"))}) {
      QFile f(file);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QStringList dirs{program.path(), data.filePath(QStringLiteral("k"))};
    QCOMPARE(CLinksDialog::FindTemplate(dirs, QStringLiteral("t.xml")),
             data.filePath(QStringLiteral("k/t.xml")));
    QCOMPARE(CLinksDialog::FindTemplate({program.path(), data.path()}, QStringLiteral("u.xml")),
             program.filePath(QStringLiteral("u.xml")));
    QVERIFY(CLinksDialog::FindTemplate(dirs, QStringLiteral("none.xml")).isEmpty());
    QVERIFY(CLinksDialog::FindTemplate(dirs, QStringLiteral("../u.xml")).isEmpty());

    UiFixture f;
    TemplateDir t(f.frame());
    Panel p = Build(f);
    f.Select(p.links->id);
    CTSTreeCtrl* tree = f.frame().linksEditor()->tree();
    QCOMPARE(tree->topLevelItemCount(), 3);
    // A value that climbs out, or names no file, loads nothing: the tree keeps its content.
    for (QString bad : {QStringLiteral("../panel.xml"), t.dir.filePath(QStringLiteral("panel.xml")),
                        QStringLiteral("none.xml")}) {
      tree->clear();
      new QTreeWidgetItem(tree, {QStringLiteral("kept")});
      f.frame().ShowLinksEditor(bad);
      QCOMPARE(tree->topLevelItemCount(), 1);
      QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("kept"));
    }
    f.frame().ShowLinksEditor(QStringLiteral("sub/panel.xml"));
    QCOMPARE(tree->topLevelItemCount(), 3);
    // A "Links" property that is not FILE shows the editor with its previous content.
    tree->clear();
    new QTreeWidgetItem(tree, {QStringLiteral("kept")});
    p.links->typeCode = kTypeInt;
    f.Select(p.a->id);
    f.Select(p.links->id);
    QVERIFY(f.frame().linksEditor()->isVisible());
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("kept"));
  }

  void pickerLinksTheShownPropertyToAChosenProperty() {
    UiFixture f;
    Panel p = Build(f);
    f.Select(p.in1->id);
    QPushButton* path = f.frame().GetFormView()->controls().path;
    QVERIFY(path->isVisibleTo(f.frame().GetFormView()));
    bool okForObject = true, okForProperty = false, startsAtTarget = false;
    f.Expect([&](QDialog& d) {
      auto& picker = static_cast<CLinksTree&>(d);
      if (d.windowTitle() != QStringLiteral("Ссилка")) return -1;
      startsAtTarget = picker.tree()->currentIndex() == picker.ItemOf(p.other->id);
      picker.tree()->setCurrentIndex(picker.ItemOf(p.src->id));
      okForObject = Child<QPushButton>(d, "okButton")->isEnabled();
      d.accept();  // refused: an object is no link target
      if (d.result() == QDialog::Accepted) return -2;
      picker.tree()->setCurrentIndex(picker.ItemOf(p.out->id));
      okForProperty = Child<QPushButton>(d, "okButton")->isEnabled();
      return Press(d, "okButton");
    });
    path->click();
    QVERIFY(f.AllAnswered());
    QVERIFY(startsAtTarget);
    QVERIFY(!okForObject);
    QVERIFY(okForProperty);
    QCOMPARE(p.in1->valueText, std::to_string(p.out->id));
    QCOMPARE(int(p.in1->typeCode), int(kTypeLinkTo));
    auto* target = f.frame().GetFormView()->controls().linkTarget;
    QCOMPARE(target->count(), 1);
    QCOMPARE(target->item(0)->text(), QStringLiteral("/Hardware/Src/Chan/OUT"));
    QVERIFY(f.frame().isWindowModified());

    // Cancel changes nothing.
    f.frame().SetModified(false);
    f.Expect([&](QDialog& d) {
      auto& picker = static_cast<CLinksTree&>(d);
      picker.tree()->setCurrentIndex(picker.ItemOf(p.a->id));
      return Press(d, "cancelButton");
    });
    f.frame().GetFormView()->controls().path->click();
    QCOMPARE(p.in1->valueText, std::to_string(p.out->id));
    QVERIFY(!f.frame().isWindowModified());
  }

  // The bundled sample base names the template that is shipped beside the program.
  void sampleBaseOpensItsTemplate() {
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    CRecord* links = nullptr;
    for (uint32_t id = 1; !links && id <= f.doc().Ids().GetLastId(); ++id)
      if (CRecord* r = f.doc().LookupRecord(id); r && AsProperty(r) && r->name == "Links")
        links = r;
    QVERIFY(links);
    QCOMPARE(int(AsProperty(links)->typeCode), int(kTypeFile));
    f.Select(links->id);
    CTSTreeCtrl* tree = f.frame().linksEditor()->tree();
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(CTSTreeCtrl::GetState(tree->topLevelItem(0)), 1);  // one of two already linked
    QCOMPARE(CTSTreeCtrl::GetState(tree->topLevelItem(1)), 0);
  }
};

QTEST_MAIN(LinksEditorTest)
#include "links_editor_test.moc"
