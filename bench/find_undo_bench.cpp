// Find and undo on the largest document (65,535 records). Find: one keystroke's search by
// name (case folded, Cyrillic included), by path and by identifier, beside a plain
// case-sensitive std::string::find over every name. Undo: the per-command cost of the two
// pictures and their difference, and taking a small change back, beside what a whole-document
// snapshot per command would cost (saving the document to bytes).
#include <benchmark/benchmark.h>

#include "model/change_recorder.h"
#include "model/document.h"
#include "model/document_diff.h"
#include "model/document_edits.h"
#include "model/record_search.h"
#include "sample_base.h"

namespace {

CTarnelDoc& Doc() {
  static CTarnelDoc* doc = [] {
    auto* d = new CTarnelDoc;
    BuildSampleBase(*d, 65535);
    return d;
  }();
  return *doc;
}

// What a user types, one keystroke after another: "насо" in windows-1251, mixed case.
const char* const kTyped[] = {"\xED", "\xED\xC0", "\xED\xC0\xF1", "\xED\xC0\xF1\xCE"};

// The same walk as the search, with a plain case-sensitive find.
void CountNames(const CRecord* r, const std::string& text, int* hits) {
  if (r->name.find(text) != std::string::npos) ++*hits;
  ForEachChild(r, [&](const CRecord* c) { CountNames(c, text, hits); });
}

void BM_Baseline_PlainNameScan(benchmark::State& state) {
  std::string text = kTyped[state.range(0)];
  for (auto _ : state) {
    int hits = 0;
    for (CBase* g : Doc().Groups()) CountNames(g, text, &hits);
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_Baseline_PlainNameScan)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_FindByName(benchmark::State& state) {
  size_t matches = 0;
  for (auto _ : state) {
    auto found = FindRecords(Doc(), kTyped[state.range(0)], FindMode::kName);
    matches = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["matches"] = double(matches);
}
BENCHMARK(BM_FindByName)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_FindByPath(benchmark::State& state) {
  // "/hardware/" then a Cyrillic object name, as it is typed into the bar.
  const char* text = state.range(0) == 0 ? "/hardware/" : "/hardware/\xED\xE0\xF1\xEE\xF1_29";
  size_t matches = 0;
  for (auto _ : state) {
    auto found = FindRecords(Doc(), text, FindMode::kPath);
    matches = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["matches"] = double(matches);
}
BENCHMARK(BM_FindByPath)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_FindById(benchmark::State& state) {
  for (auto _ : state) {
    auto found = FindRecords(Doc(), "40000", FindMode::kId);
    benchmark::DoNotOptimize(found.data());
  }
}
BENCHMARK(BM_FindById)->Unit(benchmark::kMillisecond);

void BM_Baseline_SnapshotBySaving(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    std::string saved = Doc().SaveToBytes();
    bytes = saved.size();
    benchmark::DoNotOptimize(saved.data());
  }
  state.counters["kept_bytes"] = double(bytes);
}
BENCHMARK(BM_Baseline_SnapshotBySaving)->Unit(benchmark::kMillisecond);

// Two pictures and their difference: what every command costs on top of its own work.
void BM_RecordOneCommand(benchmark::State& state) {
  CRecord* r = Doc().LookupRecord(40000);
  size_t kept = 0;
  for (auto _ : state) {
    DocumentState before = CaptureState(Doc());
    r->name.push_back('x');
    DocumentChange change = DiffStates(std::move(before), CaptureState(Doc()));
    r->name.pop_back();
    kept = change.MemoryBytes();
    benchmark::DoNotOptimize(change.changed.data());
  }
  state.counters["kept_bytes"] = double(kept);
}
BENCHMARK(BM_RecordOneCommand)->Unit(benchmark::kMillisecond);

// The same rename recorded from the document's events, as the edit history does now; the
// two-picture recording above is its baseline.
void BM_RecordOneCommandFromEvents(benchmark::State& state) {
  uint32_t id = 40000;  // the first atom or object from there: what the form renames
  while (GetKind(Doc().LookupRecord(id)) == kKindProperty) ++id;
  CRecord* r = Doc().LookupRecord(id);
  CChangeRecorder recorder(Doc());
  std::string name = r->name;
  size_t kept = 0;
  for (auto _ : state) {
    recorder.Begin();
    ApplyRecordEdit(Doc(), r, name + "x", false, 0);
    std::unique_ptr<DocumentChange> change = recorder.End();
    kept = change->MemoryBytes();
    benchmark::DoNotOptimize(change.get());
    state.PauseTiming();
    r->name = name;
    state.ResumeTiming();
  }
  state.counters["kept_bytes"] = double(kept);
}
BENCHMARK(BM_RecordOneCommandFromEvents)->Unit(benchmark::kMillisecond);

void BM_UndoRedoAMove(benchmark::State& state) {
  CTarnelDoc& doc = Doc();
  DocumentState before = CaptureState(doc);
  doc.MoveRecord(doc.Groups().At(1)->GetChild(0), doc.Groups().At(2), 0x7FFFFFFF);
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  for (auto _ : state) {
    ApplyChange(doc, change, false);
    ApplyChange(doc, change, true);
  }
  ApplyChange(doc, change, false);
  state.counters["kept_bytes"] = double(change.MemoryBytes());
}
BENCHMARK(BM_UndoRedoAMove)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
