// Comparing two full documents (65,535 records each, the second with a few hundred edits)
// against opening one of them: comparing should take at most as long as the open.
//
// Two bases with nothing in common (every record of the second renamed, compared by path:
// 131,070 differences) against opening and saving both: the comparison takes at most twice
// that processor time, and the whole job (both opened, then compared) at most 80 MB at its
// peak. BM_Baseline_OpenAndSaveBoth and BM_Compare_NothingInCommon give the times (cpu column),
// BM_PeakMemory_NothingInCommon the peaks, each job in a fresh child process.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "model/archive.h"
#include "model/base_compare.h"
#include "model/base_takeover.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

std::vector<CRecord*> RecordsOfKind(CTarnelDoc& doc, int kind) {
  std::vector<CRecord*> out;
  std::function<void(CRecord*)> walk = [&](CRecord* r) {
    if (r->Kind() == kind) out.push_back(r);
    ForEachChild(r, [&](const CRecord* c) { walk(const_cast<CRecord*>(c)); });
  };
  for (CBase* g : doc.Groups()) walk(g);
  return out;
}

// A day of edits: renames, values, properties deleted and added, atoms moved to other
// objects, properties reordered.
void EditADay(CTarnelDoc& doc) {
  std::mt19937 rng(11);
  auto props = RecordsOfKind(doc, kKindProperty);
  auto atoms = RecordsOfKind(doc, kKindAtom);
  auto objects = RecordsOfKind(doc, kKindObject);
  auto any = [&](std::vector<CRecord*>& v) { return v[rng() % v.size()]; };
  for (int i = 0; i < 100; ++i) any(rng() % 2 ? props : objects)->name += "_renamed";
  for (int i = 0; i < 100; ++i) {
    auto* p = AsProperty(any(props));
    if (p->typeCode == kTypeLinkTo) continue;
    p->valueText = std::to_string(rng() % 1000);
    p->UpdateRawFromText();
  }
  std::vector<CAtom*> grown;
  for (int i = 0; i < 50; ++i) {  // deleted first: the document has no identifier left
    CRecord* atom = any(atoms);
    if (auto* a = AsAtom(atom); a->GetPropertyCount() > 1) {
      DeleteRecord(doc, a->GetProperty(a->GetPropertyCount() - 1));
      grown.push_back(AsAtom(any(atoms)));
    }
  }
  for (CAtom* a : grown)
    if (CPropertyItem* p = doc.NewProperty(a)) p->name = "Added";
  for (int i = 0; i < 50; ++i) {
    CRecord* atom = any(atoms);
    doc.MoveRecord(atom, any(objects), 0);
  }
  for (int i = 0; i < 20; ++i) {
    auto* a = AsAtom(any(atoms));
    if (a->GetPropertyCount() > 1) doc.MoveRecord(a->GetProperty(1), a, 0);
  }
}

struct Files {
  std::string base;
  std::string edited;
};

const Files& SampleFiles() {
  static const Files files = [] {
    auto dir = std::filesystem::temp_directory_path();
    Files f{(dir / "kandrel-bench-compare-a.kdl").string(),
            (dir / "kandrel-bench-compare-b.kdl").string()};
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(f.base);
    EditADay(doc);
    doc.SaveFile(f.edited);
    return f;
  }();
  return files;
}

// The sample with every record renamed, groups included.
const std::string& UnrelatedFile() {
  static const std::string path = [] {
    std::string p =
        (std::filesystem::temp_directory_path() / "kandrel-bench-compare-c.kdl").string();
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    for (uint32_t id = 1; id <= 65535; ++id)
      if (CRecord* r = doc.LookupRecord(id)) r->name += "'";
    doc.SaveFile(p);
    return p;
  }();
  return path;
}

// Compares the two documents each iteration and reports how many differences they have.
void MeasureCompare(benchmark::State& state, CTarnelDoc& a, CTarnelDoc& b) {
  size_t differences = 0;
  for (auto _ : state) {
    CompareResult r = CompareDocuments(a, b);
    differences = r.differences.size();
    benchmark::DoNotOptimize(r.differences.data());
  }
  state.counters["differences"] = double(differences);
}

void OpenAndSaveBoth() {
  std::string out =
      (std::filesystem::temp_directory_path() / "kandrel-bench-compare-out.kdl").string();
  CTarnelDoc a, b;
  a.OpenFile(SampleFiles().base);
  b.OpenFile(UnrelatedFile());
  a.SaveFile(out);
  b.SaveFile(out);
}

void BM_Baseline_OpenAndSaveBoth(benchmark::State& state) {
  for (auto _ : state) OpenAndSaveBoth();
}
BENCHMARK(BM_Baseline_OpenAndSaveBoth)->Unit(benchmark::kMillisecond);

void BM_Compare_NothingInCommon(benchmark::State& state) {
  CTarnelDoc a, b;
  a.OpenFile(SampleFiles().base);
  b.OpenFile(UnrelatedFile());
  size_t differences = 0;
  for (auto _ : state) {
    CompareResult r = CompareDocuments(a, b, {true, false});
    differences = r.differences.size();
    benchmark::DoNotOptimize(r.differences.data());
  }
  state.counters["differences"] = double(differences);
}
BENCHMARK(BM_Compare_NothingInCommon)->Unit(benchmark::kMillisecond);

// What the differences pane shows in ui_bench: every record renamed, compared by identifier.
void BM_Compare_EveryRecordRenamed(benchmark::State& state) {
  CTarnelDoc a, b;
  a.OpenFile(SampleFiles().base);
  b.OpenFile(UnrelatedFile());
  MeasureCompare(state, a, b);
}
BENCHMARK(BM_Compare_EveryRecordRenamed)->Unit(benchmark::kMillisecond);

// The peak resident memory, in MB, of a child process that runs `job`.
double ChildPeakMb(const std::function<void()>& job) {
  SampleFiles();
  UnrelatedFile();
  pid_t pid = ::fork();
  if (pid == 0) {
    job();
    ::_exit(0);
  }
  int status = 0;
  struct rusage usage = {};
  ::wait4(pid, &status, 0, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

void BM_PeakMemory_NothingInCommon(benchmark::State& state) {
  double baseline = 0, both = 0, compared = 0;
  for (auto _ : state) {
    baseline = ChildPeakMb(OpenAndSaveBoth);
    both = ChildPeakMb([] {
      CTarnelDoc a, b;
      a.OpenFile(SampleFiles().base);
      b.OpenFile(UnrelatedFile());
    });
    compared = ChildPeakMb([] {
      CTarnelDoc a, b;
      a.OpenFile(SampleFiles().base);
      b.OpenFile(UnrelatedFile());
      CompareResult r = CompareDocuments(a, b, {true, false});
      benchmark::DoNotOptimize(r.differences.data());
    });
  }
  state.counters["open_save_both_mb"] = baseline;
  state.counters["open_both_mb"] = both;
  state.counters["open_both_compare_mb"] = compared;
}
BENCHMARK(BM_PeakMemory_NothingInCommon)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Baseline_Open(benchmark::State& state) {
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(SampleFiles().base);  // read, load, RebuildTree
    benchmark::DoNotOptimize(doc.Groups().Count());
  }
  state.counters["records"] = 65535;
}
BENCHMARK(BM_Baseline_Open)->Unit(benchmark::kMillisecond);

void Compare(benchmark::State& state, const CompareOptions& options) {
  CTarnelDoc a, b;
  a.OpenFile(SampleFiles().base);
  b.OpenFile(SampleFiles().edited);
  size_t differences = 0;
  for (auto _ : state) {
    CompareResult r = CompareDocuments(a, b, options);
    differences = r.differences.size();
    benchmark::DoNotOptimize(r.differences.data());
  }
  state.counters["differences"] = double(differences);
}

void BM_Compare_ById(benchmark::State& state) {
  Compare(state, {});
}
BENCHMARK(BM_Compare_ById)->Unit(benchmark::kMillisecond);

void BM_Compare_ByPath(benchmark::State& state) {
  Compare(state, {true, false});
}
BENCHMARK(BM_Compare_ByPath)->Unit(benchmark::kMillisecond);

// Nearly every record differs: the second document is the first with every identifier moved on
// by one, compared by identifier (about the largest result a comparison can give).
void BM_Compare_EveryIdentifierShifted(benchmark::State& state) {
  CTarnelDoc a, b;
  a.OpenFile(SampleFiles().base);
  auto shift = [](uint32_t id) { return id % 65535 + 1; };
  std::function<void(CRecord*)> walk = [&](CRecord* r) {
    r->id = shift(r->id);
    if (auto* p = AsProperty(r); p && p->typeCode == kTypeLinkTo)
      p->valueText = std::to_string(shift(uint32_t(AtoI(p->valueText))));
    ForEachChild(r, [&](const CRecord* c) { walk(const_cast<CRecord*>(c)); });
  };
  std::string bytes = ReadFileBytes(SampleFiles().base);
  ArchiveReader ar(bytes.data(), bytes.size());
  DocumentContents contents = CTarnelDoc::ReadContents(ar);
  for (auto& g : contents.groups) walk(g.get());
  b.TakeContents(std::move(contents));
  MeasureCompare(state, a, b);
}
BENCHMARK(BM_Compare_EveryIdentifierShifted)->Unit(benchmark::kMillisecond);

// What `kandrel-cli diff` does: both files opened, then compared.
void BM_OpenBothAndCompare(benchmark::State& state) {
  for (auto _ : state) {
    CTarnelDoc a, b;
    a.OpenFile(SampleFiles().base);
    b.OpenFile(SampleFiles().edited);
    CompareResult r = CompareDocuments(a, b);
    benchmark::DoNotOptimize(r.differences.data());
  }
}
BENCHMARK(BM_OpenBothAndCompare)->Unit(benchmark::kMillisecond);

void BM_TakeOverAll(benchmark::State& state) {
  CTarnelDoc b;
  b.OpenFile(SampleFiles().edited);
  for (auto _ : state) {
    state.PauseTiming();
    auto a = std::make_unique<CTarnelDoc>();
    a->OpenFile(SampleFiles().base);
    CompareResult r = CompareDocuments(*a, b);
    state.ResumeTiming();
    TakeOverAll(*a, r);
    state.PauseTiming();
    a.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TakeOverAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
