// Under KANDREL_LANG=en the main window, its menus, toolbar and forms, every dialog and the
// message boxes show no Russian text: each text the user sees goes through the translation.
// The document holds only Latin names, so any Cyrillic letter found is an untranslated text.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui/app/ui_language.h"
#include "ui/form/property_form.h"
#include "ui_fixture.h"

namespace {

bool HasCyrillic(const QString& text) {
  for (QChar c : text)
    if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF) return true;
  return false;
}

// Every text of `top` and its children that a user reads, as "where: text" for those in Russian.
void Collect(QWidget* top, const QString& where, QStringList* found) {
  auto check = [&](const QObject* o, const char* what, const QString& text) {
    if (HasCyrillic(text))
      *found << QStringLiteral("%1 / %2 %3 %4: %5")
                    .arg(where, QLatin1String(o->metaObject()->className()), o->objectName(),
                         QLatin1String(what), text);
  };
  auto checkAction = [&](const QAction* a) {
    check(a, "text", a->text());
    check(a, "toolTip", a->toolTip());
    check(a, "statusTip", a->statusTip());
  };
  QList<QWidget*> widgets = top->findChildren<QWidget*>();
  widgets.prepend(top);
  for (QWidget* w : widgets) {
    check(w, "windowTitle", w->windowTitle());
    check(w, "toolTip", w->toolTip());
    check(w, "statusTip", w->statusTip());
    if (auto* l = qobject_cast<QLabel*>(w)) check(l, "text", l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) check(b, "text", b->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) check(g, "title", g->title());
    if (auto* e = qobject_cast<QLineEdit*>(w)) check(e, "placeholder", e->placeholderText());
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) check(e, "placeholder", e->placeholderText());
    if (auto* m = qobject_cast<QMenu*>(w)) check(m, "title", m->title());
    if (auto* t = qobject_cast<QTextBrowser*>(w)) check(t, "page", t->toPlainText());
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) check(c, "item", c->itemText(i));
    if (auto* t = qobject_cast<QTreeWidget*>(w))
      for (int i = 0; i < t->columnCount(); ++i) check(t, "header", t->headerItem()->text(i));
    if (auto* s = qobject_cast<QStatusBar*>(w)) check(s, "message", s->currentMessage());
    for (const QAction* a : w->actions()) checkAction(a);
  }
}

}  // namespace

class EnglishInterfaceTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("KANDREL_LANG", "ru");
    QCOMPARE(ChooseUiLanguage(), QStringLiteral("ru"));
    qputenv("KANDREL_LANG", " EN ");
    QCOMPARE(ChooseUiLanguage(), QStringLiteral("en"));
    QVERIFY2(InstallUiTranslations(*qApp, ChooseUiLanguage()),
             "kandrel_en.qm is not beside the test program");
  }

  void noRussianTextInTheWindowDialogsAndMessages() {
    QTemporaryDir dir;
    UiFixture f;
    CObj* boiler = f.AddObject(f.doc().Groups().At(0), "Boiler");
    CAtom* burner = f.AddAtom(boiler, "Burner");
    CPropertyItem* flame = f.AddProperty(burner, "Flame", kTypeInt, "1");
    CPropertyItem* link = f.AddProperty(burner, "Link", kTypeLinkTo, std::to_string(flame->id));
    f.Rebuild();

    QStringList found;
    QStringList seen;  // the dialogs met, so a dialog that stops opening is noticed
    auto inspect = [&](const char* name, int result = QDialog::Rejected) {
      f.Expect([&, name, result](QDialog& d) {
        seen << QLatin1String(name);
        Collect(&d, QLatin1String(name), &found);
        if (auto* box = qobject_cast<QMessageBox*>(&d)) {
          if (QAbstractButton* cancel =
                  box->findChild<QPushButton*>(QStringLiteral("cancelButton")))
            cancel->click();
          return int(QMessageBox::Ok);
        }
        return result;
      });
    };

    // The window with every form layout, the find bar and the links editor's widgets.
    f.Trigger(cmd::kEditFind);
    for (uint32_t id : {0u, 1u, boiler->id, burner->id, flame->id, link->id}) {
      f.Select(id);
      Collect(&f.frame(), QStringLiteral("main window"), &found);
    }

    struct Step {
      uint32_t select;
      int command;
      const char* name;
    };
    for (const Step& s :
         {Step{0, cmd::kAddGroup, "add group"}, Step{1, cmd::kAddObject, "add object"},
          Step{boiler->id, cmd::kAddAtom, "add atom"},
          Step{burner->id, cmd::kAddProperty, "add property"}}) {
      f.Select(s.select);
      inspect(s.name);
      f.Trigger(s.command);
    }
    // The references list is modeless, a child of the window.
    f.Select(flame->id);
    f.Trigger(cmd::kEditReferences);
    Collect(&f.frame(), QStringLiteral("references"), &found);
    f.Select(link->id);
    inspect("link picker");
    QTest::mouseClick(f.frame().GetFormView()->controls().path, Qt::LeftButton);
    for (const Step& s : {Step{0, cmd::kConnect, "connect"}, Step{0, cmd::kAppAbout, "about"},
                          Step{0, cmd::kFileOpen, "open"}, Step{0, cmd::kFileSaveAs, "save as"}}) {
      inspect(s.name);
      f.Trigger(s.command);
    }

    // Export, then import the file: the file dialogs, the message and the import dialog.
    const QString xml = dir.filePath(QStringLiteral("all.xml"));
    f.Select(0);
    f.Expect([&](QDialog& d) {
      Collect(&d, QStringLiteral("export"), &found);
      static_cast<QFileDialog&>(d).selectFile(xml);
      return int(QDialog::Accepted);
    });
    inspect("export done");
    f.Trigger(cmd::kExport);
    f.Expect([&](QDialog& d) {
      Collect(&d, QStringLiteral("import file"), &found);
      static_cast<QFileDialog&>(d).selectFile(xml);
      return int(QDialog::Accepted);
    });
    inspect("import");
    f.Trigger(cmd::kImport);

    // A name windows-1251 cannot hold is refused with a message.
    f.Select(flame->id);
    Type(*f.frame().GetFormView(), "nameEdit", QStringLiteral("Flame ☃"));
    inspect("refused text");
    QTest::mouseClick(f.frame().GetFormView()->controls().apply, Qt::LeftButton);

    // Unsaved changes are asked about.
    f.frame().SetModified(true);
    inspect("save changes");
    f.Trigger(cmd::kFileNew);

    QVERIFY2(found.isEmpty(),
             qPrintable(QStringLiteral("Texts the English interface shows in Russian: put them "
                                       "through tr(), run `cmake --build build --target "
                                       "update_translations` and translate them in "
                                       "src/ui/translations/kandrel_en.ts:\n  ") +
                        found.join(QStringLiteral("\n  "))));
    QCOMPARE(seen, QStringList({"add group", "add object", "add atom", "add property",
                                "link picker", "connect", "about", "open", "save as", "export done",
                                "import", "refused text", "save changes"}));
    QVERIFY2(f.unexpected.isEmpty(), qPrintable(f.unexpected.join(QStringLiteral(", "))));
  }
};

QTEST_MAIN(EnglishInterfaceTest)
#include "english_interface_test.moc"
