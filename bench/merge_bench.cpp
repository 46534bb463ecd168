// Merging two changed copies of a full base (65,535 records, 1,000 records changed on each
// side) against opening one of them: the merge should take at most three times the open.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "model/base_merge.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "random_edits.h"
#include "sample_base.h"

namespace {

// A thousand records changed as a day of work changes them: values, names, atoms moved to
// other objects, properties deleted. The base has no identifier left, so nothing is added.
void ChangeAThousand(CTarnelDoc& doc, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<CRecord*> all = AllRecords(doc);
  std::vector<CPropertyItem*> props;
  std::vector<CRecord*> atoms, objects;
  for (CRecord* r : all) {
    if (CPropertyItem* p = AsProperty(r)) props.push_back(p);
    if (r->Kind() == kKindAtom) atoms.push_back(r);
    if (r->Kind() == kKindObject) objects.push_back(r);
  }
  for (int i = 0; i < 500; ++i) {
    CPropertyItem* p = props[rng() % props.size()];
    ApplyPropertyEdit(doc, *p, {p->name, p->eoc, std::to_string(rng() % 1000), -1, p->flags});
  }
  for (int i = 0; i < 300; ++i) {
    CRecord* r = objects[rng() % objects.size()];
    ApplyRecordEdit(doc, r, r->name + "_" + std::to_string(seed), false, 0);
  }
  for (int i = 0; i < 100; ++i)
    MoveUnder(doc, atoms[rng() % atoms.size()], objects[rng() % objects.size()]);
  for (int i = 0; i < 100; ++i) {
    CPropertyItem* p = props[rng() % props.size()];
    if (doc.LookupRecord(p->id) == p) DeleteRecord(doc, p);
  }
}

struct Files {
  std::string base, ours, theirs;
};

const Files& SampleFiles() {
  static const Files files = [] {
    auto dir = std::filesystem::temp_directory_path();
    Files f{(dir / "kandrel-bench-merge-base.kdl").string(),
            (dir / "kandrel-bench-merge-ours.kdl").string(),
            (dir / "kandrel-bench-merge-theirs.kdl").string()};
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(f.base);
    for (auto [path, seed] : {std::pair{&f.ours, 1u}, std::pair{&f.theirs, 2u}}) {
      CTarnelDoc side;
      side.OpenFile(f.base);
      ChangeAThousand(side, seed);
      side.SaveFile(*path);
    }
    return f;
  }();
  return files;
}

void BM_Baseline_Open(benchmark::State& state) {
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(SampleFiles().base);  // read, load, RebuildTree
    benchmark::DoNotOptimize(doc.RecordAt(nullptr, 0));
  }
  state.counters["records"] = 65535;
}
BENCHMARK(BM_Baseline_Open)->Unit(benchmark::kMillisecond);

// The merge of the three documents as they are in memory, into a fourth (what `kandrel-cli
// merge` adds to opening its three inputs and saving its output).
void BM_Merge(benchmark::State& state) {
  CTarnelDoc base, ours, theirs;
  base.OpenFile(SampleFiles().base);
  ours.OpenFile(SampleFiles().ours);
  theirs.OpenFile(SampleFiles().theirs);
  size_t conflicts = 0;
  for (auto _ : state) {
    CTarnelDoc out;
    MergeResult r = MergeDocuments(base, ours, theirs, out);
    conflicts = r.conflicts.size();
    benchmark::DoNotOptimize(out.RecordAt(nullptr, 0));
  }
  state.counters["conflicts"] = double(conflicts);
}
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
