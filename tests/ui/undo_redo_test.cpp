// Undo and redo in the editor: every kind of change goes back to the saved bytes and incoming
// links of the moment before it and forward to those after it, through the real commands; the
// history's limits, the modified mark following the saved state, the selection and open branches
// kept, Ctrl+Z knowing where the focus is. (The tree's rows through undo and redo are
// record_model_test's.)
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <random>

#include "model/document_diff.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "ui/app/command_ids.h"
#include "ui/form/property_form.h"
#include "ui/history/drop_commands.h"
#include "ui/history/link_commands.h"
#include "ui/history/record_commands.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

// A moment of the document: the bytes a save would write and every incoming-link list. The
// bytes come from a copy, since saving converts values and would post them.
struct Moment {
  std::string bytes;
  std::vector<std::pair<uint32_t, std::vector<uint32_t>>> incoming;
  bool operator==(const Moment&) const = default;
};

Moment Take(CTarnelDoc& doc) {
  DocumentState state = CaptureState(doc);
  Moment m;
  {
    CTarnelDoc copy;  // nobody listens to the copy
    RestoreState(copy, state);
    m.bytes = copy.SaveToBytes();
  }
  for (const RecordData& d : state.records)
    if (d.kind == kKindProperty) m.incoming.emplace_back(d.id, d.incoming);
  return m;
}

struct Plant {
  uint32_t object, atom, value, other, link;
};

Plant Build(UiFixture& f) {
  CObj* object = f.AddObject(f.doc().Groups().At(1), "Насосная");
  CAtom* atom = f.AddAtom(object, "Насос");
  CPropertyItem* value = f.AddProperty(atom, "Обороты", kTypeInt, "42");
  CPropertyItem* other = f.AddProperty(atom, "Ток", kTypeFloat, "1.5");
  CAtom* remote = f.AddAtom(f.AddObject(f.doc().Groups().At(2), "Щит"), "Связь");
  CPropertyItem* link = f.AddProperty(remote, "Источник", kTypeLinkTo, std::to_string(value->id));
  f.Rebuild();
  return {object->id, atom->id, value->id, other->id, link->id};
}

std::function<int(QDialog&)> ChooseFile(const QString& path) {
  return [path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  };
}

}  // namespace

class UndoRedoTest : public QObject {
  Q_OBJECT

  // Runs a change and checks undo and redo around it from the menu actions.
  void Check(UiFixture& f, const std::function<void()>& change, const char* what) {
    Moment before = Take(f.doc());
    size_t steps = f.frame().history().Count();
    change();
    QVERIFY2(f.frame().history().Count() == steps + 1, what);
    Moment after = Take(f.doc());
    QVERIFY2(!(after == before), what);
    QVERIFY2(f.Enabled(cmd::kEditUndoChange), what);
    f.Trigger(cmd::kEditUndoChange);
    QVERIFY2(Take(f.doc()) == before, what);
    QVERIFY2(f.Enabled(cmd::kEditRedo), what);
    f.Trigger(cmd::kEditRedo);
    QVERIFY2(Take(f.doc()) == after, what);
  }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  // Each command once where its bookkeeping matters most (the form's own clicks, a link's target
  // deleted, a whole group, both imports); the random sequence below runs the common ones in many
  // orders.
  void eachKindOfChangeGoesBackAndForth() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QVERIFY(!f.Enabled(cmd::kEditUndoChange));
    QVERIFY(!f.Enabled(cmd::kEditRedo));
    auto run = [&](CEditCommand* c) { f.frame().RunCommand(std::unique_ptr<CEditCommand>(c)); };
    // The form is made anew when the kind shown changes: its controls are looked up each time.
    auto form = [&]() -> const FormControls& { return f.frame().GetFormView()->controls(); };
    QString c2ko = dir.filePath(QStringLiteral("extra.c2ko"));
    WriteFile(c2ko, PumpC2ko());
    // An XML export of the whole tree, imported back below: every group once more.
    QString xml = dir.filePath(QStringLiteral("all.xml"));
    f.Select(0);
    f.Expect(ChooseFile(xml));
    f.ExpectMessage();
    f.Trigger(cmd::kExport);
    uint32_t network = f.doc().Groups().At(2)->id;
    // The object that holds the link, beside which the moved object lands.
    auto panel = [&] { return f.doc().LookupRecord(p.link)->parent->parent->id; };

    auto trigger = [&](uint32_t id, int command) {
      f.Select(id);
      f.Trigger(command);
    };
    auto apply = [&](uint32_t id, const QString& name, const QString& value, int flag) {
      f.Select(id);
      form().name->setText(name);
      if (!value.isEmpty()) form().value->setPlainText(value);
      if (flag >= 0) form().flags->item(flag)->setCheckState(Qt::Checked);
      form().apply->click();
    };
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"apply on the record form", [&] { apply(p.atom, QStringLiteral("Главный"), {}, -1); }},
        {"apply on the property form", [&] { apply(p.value, "Speed", "1234", 2); }},
        {"end-of-chain click", [&] { f.Select(p.link), form().eoc->click(); }},
        {"paste", [&] { trigger(p.atom, cmd::kEditCopy), trigger(p.object, cmd::kEditPaste); }},
        {"drop: move a branch", [&] { run(new DropMoveCommand(p.object, network)); }},
        {"drop: reorder objects", [&] { run(new DropReorderCommand(panel(), p.object)); }},
        {"links editor: unlink", [&] { run(new UnlinkCommand({p.link})); }},
        {"links editor: link",
         [&] {
           run(new MakeLinksCommand(p.atom, {{p.link, W("Ток")}}));
         }},
        // The link turns into BIN; undo gives back its type and the target's list.
        {"delete a link target", [&] { trigger(p.other, cmd::kDeleteProperty); }},
        {"delete a group", [&] { trigger(f.doc().Groups().At(0)->id, cmd::kDeleteGroup); }},
        {"c2ko import",
         [&] {
           f.Expect(ChooseFile(c2ko));
           trigger(f.doc().Groups().At(0)->id, cmd::kImport);
         }},
        {"XML import",
         [&] {
           f.Expect(ChooseFile(xml));
           f.Expect([](QDialog& d) { return Press(d, "applyButton"); });
           trigger(0, cmd::kImport);
         }},
    };
    for (const auto& [what, change] : changes) {
      Check(f, change, what);
      if (QTest::currentTestFailed()) return;
    }
    QVERIFY(f.AllAnswered());
    QVERIFY(f.unexpected.isEmpty());
  }

  void baseDownloadIsOneStep() {
    UiFixture f;
    Plant p = Build(f);
    // What the session does when a base arrives, with its two signals around it.
    auto download = [&] {
      CTarnelDoc server;
      server.OnNewDocument();
      CObj* o = server.NewObject(server.Groups().At(0));  // id 4, an object again
      o->name = W("Контроллер");
      CAtom* a = server.NewAtom(o);  // 5: an atom where the form's atom had another number
      CPropertyItem* q = server.NewProperty(a);
      q->name = "Q";
      q->valueText = "7";
      q->InitRawValue(7);
      CBaseSession& session = f.frame().network()->session();
      emit session.aboutToReplaceBase();
      f.doc().ReplaceGroups(server.TakeGroups());
      emit session.baseReplaced();
    };
    f.Select(p.value);
    Check(f, download, "base download");
    // The form shows nothing of the old base after undo unless its record is back.
    f.Trigger(cmd::kEditUndoChange);
    QCOMPARE(f.frame().selectedId(), 0u);
    f.Select(p.value);
    QCOMPARE(f.frame().GetFormView()->controls().value->toPlainText(), QStringLiteral("42"));
  }

  // The editor's commands, step after step through its history, against the saved bytes: the
  // commands' own parts (picks, focus, what they bracket as one step) are what this adds to
  // document_diff_test's sequence of model edits.
  void fiftyRandomEditsUndoAndRedoInSequence() {
    UiFixture f;
    Build(f);
    std::mt19937 rng(20240607);
    std::vector<Moment> moments{Take(f.doc())};
    auto pick = [&](int kind) -> uint32_t {
      std::vector<uint32_t> ids;
      for (const RecordData& d : CaptureState(f.doc()).records)
        if (kind == 0 || d.kind == kind) ids.push_back(d.id);
      return ids.empty() ? 0 : ids[rng() % ids.size()];
    };
    auto run = [&](auto command) { f.frame().RunCommand(std::move(command)); };
    for (int guard = 0; moments.size() < 51 && guard < 2000; ++guard) {
      size_t steps = f.frame().history().Count();
      uint32_t id = 0;
      switch (rng() % 11) {
        case 0:
          if ((id = pick(kKindObject)))
            run(std::make_unique<AddChildCommand>(
                rng() % 2 ? AddChildCommand::kObject : AddChildCommand::kAtom, id, "N"));
          break;
        case 1:
          if ((id = pick(kKindAtom)))
            run(std::make_unique<AddPropertyCommand>(
                id, PropertyDraft{"L", std::to_string(pick(kKindProperty)), kTypeLinkTo, 0}));
          break;
        case 2:  // a record of any kind, groups among them, but never the last group
          if ((id = pick(0)) && f.doc().Groups().Count() > 1) {
            f.Select(id);
            f.Trigger(cmd::kEditDelete);
          }
          break;
        case 3:
          if ((id = pick(kKindProperty))) {
            int type = int(rng() % 9);
            uint32_t value = type == kTypeLinkTo ? pick(kKindProperty) : rng() % 1000;
            run(std::make_unique<ApplyPropertyCommand>(
                id, PropertyEdit{"P" + std::to_string(rng() % 100), false, std::to_string(value),
                                 type, uint8_t(rng() % 64)}));
          }
          break;
        case 4:
          if ((id = pick(kKindAtom)))
            run(std::make_unique<ApplyRecordCommand>(id, W("Имя"), true, 4));
          break;
        case 5:
          if ((id = pick(kKindProperty)))
            run(std::make_unique<SetEndOfChainCommand>(id,
                                                       !AsProperty(f.doc().LookupRecord(id))->eoc));
          break;
        case 6:  // picks that fit, so that the sequence pastes and moves at all
          f.Select(pick(kKindAtom));
          f.Trigger(cmd::kEditCopy);
          f.Select(pick(kKindObject));
          f.Trigger(cmd::kEditPaste);
          break;
        case 7:
          run(std::make_unique<DropMoveCommand>(pick(kKindAtom), pick(kKindObject)));
          break;
        case 8:
          if ((id = pick(kKindProperty)))
            run(std::make_unique<SetLinkTargetCommand>(id, pick(kKindProperty)));
          break;
        case 9:
          run(std::make_unique<DropReorderCommand>(pick(kKindProperty), pick(kKindProperty)));
          break;
        default:
          run(std::make_unique<AddGroupCommand>("G"));
          break;
      }
      if (f.frame().history().Count() == steps + 1) moments.push_back(Take(f.doc()));
    }
    QCOMPARE(moments.size(), size_t(51));
    for (size_t i = 50; i-- > 0;) {
      QVERIFY(f.frame().UndoChange());
      QVERIFY2(Take(f.doc()) == moments[i], qPrintable(QStringLiteral("undo to %1").arg(i)));
    }
    QVERIFY(!f.frame().UndoChange());
    for (size_t i = 1; i <= 50; ++i) {
      QVERIFY(f.frame().RedoChange());
      QVERIFY2(Take(f.doc()) == moments[i], qPrintable(QStringLiteral("redo to %1").arg(i)));
    }
    QVERIFY(!f.frame().RedoChange());
  }

  void modifiedMarkFollowsTheSavedState() {
    QTemporaryDir dir;
    UiFixture f;
    Plant p = Build(f);
    QString path = dir.filePath(QStringLiteral("plant.kdl"));
    f.Expect(ChooseFile(path));
    QVERIFY(f.frame().SaveDocumentAs());
    QVERIFY(!f.frame().isWindowModified());
    f.frame().RunCommand(std::make_unique<ApplyRecordCommand>(p.atom, "A", false, 0));
    f.frame().RunCommand(std::make_unique<ApplyRecordCommand>(p.atom, "B", false, 0));
    QVERIFY(f.frame().isWindowModified());
    f.frame().UndoChange();
    QVERIFY(f.frame().isWindowModified());
    f.frame().UndoChange();
    QVERIFY(!f.frame().isWindowModified());  // back at the saved state
    f.frame().RedoChange();
    QVERIFY(f.frame().isWindowModified());
    // Saved after one step: undoing both leaves the saved state behind.
    QVERIFY(f.frame().SaveDocument());
    f.frame().UndoChange();
    QVERIFY(f.frame().isWindowModified());
    f.frame().RedoChange();
    QVERIFY(!f.frame().isWindowModified());
    // A new change after undoing past the saved state: that state cannot come back.
    f.frame().UndoChange();
    f.frame().RunCommand(std::make_unique<ApplyRecordCommand>(p.atom, "C", false, 0));
    f.frame().UndoChange();
    QVERIFY(f.frame().isWindowModified());
    // Opening a file starts a new history.
    f.frame().SetModified(false);
    QVERIFY(f.frame().OpenDocument(path));
    QVERIFY(!f.Enabled(cmd::kEditUndoChange));
    QVERIFY(!f.Enabled(cmd::kEditRedo));
  }

  void aHundredStepsAreKeptWithinTheMemoryLimit() {
    UiFixture f;
    Plant p = Build(f);
    for (int i = 0; i < 120; ++i)
      f.frame().RunCommand(
          std::make_unique<ApplyRecordCommand>(p.atom, "N" + std::to_string(i), false, 0));
    QCOMPARE(f.frame().history().Count(), size_t(100));
    while (f.frame().UndoChange()) {
    }
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, std::string("N19"));
    QVERIFY(f.frame().isWindowModified());  // the saved state fell off the end
    // Each step kept only the renamed record, not the document.
    QVERIFY(f.frame().history().MemoryBytes() < 100 * 1024);

    // A file may hold two records with one identifier: then each step keeps the whole document,
    // and the oldest go when the memory limit is reached.
    CObj* twin = f.AddObject(f.doc().Groups().At(0), "Двойник");
    twin->id = p.object;
    f.Rebuild();
    QVERIFY(!CaptureState(f.doc()).keyed);
    size_t whole = CaptureState(f.doc()).MemoryBytes();
    CEditHistory history(100, 5 * whole);
    EditContext ctx{f.doc(), {}, {}, {}};
    for (int i = 0; i < 6; ++i)
      history.Run(std::make_unique<ApplyRecordCommand>(p.atom, "M" + std::to_string(i), false, 0),
                  ctx);
    QVERIFY(history.Count() < 6);
    QVERIFY(history.MemoryBytes() <= 5 * whole);
    Moment last = Take(f.doc());
    while (history.Undo(f.doc())) {
    }
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, "M" + std::to_string(5 - history.RedoCount()));
    while (history.Redo(f.doc())) {
    }
    QVERIFY(Take(f.doc()) == last);
  }

  void undoKeepsSelectionAndOpenBranches() {
    UiFixture f;
    Plant p = Build(f);
    f.Select(p.value);
    f.frame().GetTreeView()->SetExpanded(p.object, true);
    f.frame().GetTreeView()->SetExpanded(p.atom, true);
    f.frame().GetFormView()->controls().value->setPlainText(QStringLiteral("77"));
    f.frame().GetFormView()->controls().apply->click();
    f.Trigger(cmd::kEditUndoChange);
    QCOMPARE(f.frame().selectedId(), p.value);
    QCOMPARE(f.frame().GetFormView()->controls().value->toPlainText(), QStringLiteral("42"));
    QVERIFY(f.IsOpen(p.object));
    QVERIFY(f.IsOpen(p.atom));
    QCOMPARE(f.frame().GetTreeView()->currentIndex(), f.ItemOf(p.value));
    // An undone add leaves nothing selected when the selected record goes with it.
    f.Select(p.atom);
    f.frame().RunCommand(
        std::make_unique<AddPropertyCommand>(p.atom, PropertyDraft{"X", "1", 3, 0}));
    uint32_t added = f.doc().Ids().GetLastId();
    f.Select(added);
    f.Trigger(cmd::kEditUndoChange);
    QCOMPARE(f.frame().selectedId(), 0u);
    QVERIFY(!f.ItemOf(added).isValid());
    QVERIFY(f.IsOpen(p.object));
    QVERIFY(f.IsOpen(p.atom));
    // A deleted branch comes back with its inner branches open as they were.
    f.Select(p.object);
    f.Trigger(cmd::kDeleteObject);
    f.Trigger(cmd::kEditUndoChange);
    QVERIFY(f.IsOpen(p.object));
    QVERIFY(f.IsOpen(p.atom));
    QCOMPARE(f.frame().selectedId(), f.doc().Groups().At(1)->id);  // where the deletion left it
  }

  void ctrlZFollowsTheFocus() {
    UiFixture f;
    Plant p = Build(f);
    f.frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.frame()));
    f.frame().RunCommand(std::make_unique<ApplyRecordCommand>(p.atom, "Renamed", false, 0));
    f.Select(p.value);
    // In a form field, Ctrl+Z takes back typing, not the document change.
    QLineEdit* name = f.frame().GetFormView()->controls().name;
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("xy"));
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, std::string("Renamed"));
    // In the tree, Ctrl+Z undoes the change; Ctrl+Y and Ctrl+Shift+Z redo it.
    CLeftView* tree = f.frame().GetTreeView();
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, W("Насос"));
    QTest::keyClick(f.frame().GetTreeView(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, std::string("Renamed"));
    QTest::keyClick(f.frame().GetTreeView(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(f.frame().GetTreeView(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f.doc().LookupRecord(p.atom)->name, std::string("Renamed"));
  }
};

QTEST_MAIN(UndoRedoTest)
#include "undo_redo_test.moc"
