// Undo and redo in the editor with the 65,535-record document, on the offscreen platform: a
// rename (labels follow) and a deleted atom (open branches and the selection kept) taken back
// and made again, views included, beside the document's own RebuildTree shown in the same
// tree, which is what reopening the document would cost. Also one keystroke in the
// find bar, revealing the first match.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <memory>

#include "model/document.h"
#include "sample_base.h"
#include "ui/app/main_frame.h"
#include "ui/history/record_commands.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"

namespace {

// An atom deep in the tree: the renamed record.
uint32_t AtomId(CMainFrame& f) {
  return f.document().LookupRecord(40000)->parent->id;
}

CMainFrame& Frame() {
  static CMainFrame* frame = [] {
    auto* f = new CMainFrame;
    f->resize(1200, 800);
    f->show();
    f->document().DeleteContents();
    BuildSampleBase(f->document(), 65535);
    f->GetTreeView()->OnInitialUpdate();
    return f;
  }();
  return *frame;
}

void BM_Baseline_RebuildTree(benchmark::State& state) {
  CMainFrame& f = Frame();
  for (auto _ : state) {
    f.document().RebuildTree();
    f.GetTreeView()->recordModel()->Reload();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_Baseline_RebuildTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RunCommandRecorded(benchmark::State& state) {
  CMainFrame& f = Frame();
  int i = 0;
  for (auto _ : state)
    f.RunCommand(
        std::make_unique<ApplyRecordCommand>(AtomId(f), "N" + std::to_string(i++), false, 0));
  state.counters["steps"] = double(f.history().Count());
  state.counters["history_bytes"] = double(f.history().MemoryBytes());
}
BENCHMARK(BM_RunCommandRecorded)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_UndoRedoRename(benchmark::State& state) {
  CMainFrame& f = Frame();
  f.RevealRecord(AtomId(f));
  for (auto _ : state) {
    f.UndoChange();
    f.RedoChange();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_UndoRedoRename)->Unit(benchmark::kMillisecond)->Iterations(5);

// A change of shape: the tree is refilled, open branches and selection kept. (The document
// is full, so the change is a deletion.)
void BM_UndoRedoDeletedAtom(benchmark::State& state) {
  CMainFrame& f = Frame();
  uint32_t atom = AtomId(f);
  f.RevealRecord(atom);
  f.RunCommand(std::make_unique<DeleteRecordCommand>(atom));
  f.RevealRecord(f.document().LookupRecord(40100)->id);
  for (auto _ : state) {
    f.UndoChange();
    f.RedoChange();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_UndoRedoDeletedAtom)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FindKeystroke(benchmark::State& state) {
  CMainFrame& f = Frame();
  auto* text = f.GetFindBar()->findChild<QLineEdit*>(QStringLiteral("findText"));
  f.GetFindBar()->Open();
  const QString typed[] = {QStringLiteral("д"), QStringLiteral("др"), QStringLiteral("дри"),
                           QStringLiteral("driv")};
  int i = 0;
  for (auto _ : state) {
    text->setText(typed[i++ % 4]);
    QApplication::processEvents();
  }
  state.counters["matches"] = f.GetFindBar()->matchCount();
}
BENCHMARK(BM_FindKeystroke)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
