// Opening and saving a full document (65,535 records) against reading its file and passing
// over its bytes once; opening and saving with a progress that only counts its reports against
// the same without one (what following the work for a progress dialog costs); opening 60,000
// "DecPoint" properties of one atom against the full document of ordinary names (the first should
// cost no more per record than the second).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>

#include "model/archive.h"
#include "model/document.h"
#include "model/progress.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

const std::string& SamplePath() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "kandrel-bench-65535.kdl").string();
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(p);
    return p;
  }();
  return path;
}

// One atom holding 60,000 properties, every one named "DecPoint".
const std::string& DecPointPath() {
  static const std::string path = [] {
    std::string p =
        (std::filesystem::temp_directory_path() / "kandrel-bench-decpoint.kdl").string();
    CTarnelDoc doc;
    doc.OnNewDocument();
    CAtom* atom = doc.NewAtom(doc.NewObject(doc.Groups().At(1)));
    for (int i = 0; i < 60000; ++i) {
      CPropertyItem* p = doc.NewProperty(atom);
      p->name = "DecPoint";
      p->typeCode = kTypeShort;
      p->valueText = "2";
    }
    doc.SaveFile(p);
    return p;
  }();
  return path;
}

size_t HeapInUse() {
  return mallinfo2().uordblks;
}

void BM_Baseline_ReadAndScan(benchmark::State& state) {
  const std::string& path = SamplePath();
  for (auto _ : state) {
    std::string bytes = ReadFileBytes(path);
    uint32_t sum = 0;
    for (char c : bytes) sum = sum * 31 + uint8_t(c);
    benchmark::DoNotOptimize(sum);
    state.SetBytesProcessed(state.bytes_processed() + int64_t(bytes.size()));
  }
}
BENCHMARK(BM_Baseline_ReadAndScan)->Unit(benchmark::kMillisecond);

void BM_Open(benchmark::State& state) {
  const std::string& path = SamplePath();
  size_t fileSize = std::filesystem::file_size(path);
  size_t memory = 0;
  for (auto _ : state) {
    CTarnelDoc doc;
    size_t before = HeapInUse();
    doc.OpenFile(path);  // read, load, RebuildTree
    memory = HeapInUse() - before;
    benchmark::DoNotOptimize(doc.Groups().Count());
    state.SetBytesProcessed(state.bytes_processed() + int64_t(fileSize));
  }
  state.counters["records"] = 65535;
  state.counters["doc_MB"] = double(memory) / (1024 * 1024);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

// A progress with no dialog behind it: only the reports are paid for.
struct CountingProgress : IProgress {
  int64_t reports = 0;
  bool Step(uint64_t, uint64_t) override {
    ++reports;
    return true;
  }
};

void BM_Open_WithProgress(benchmark::State& state) {
  const std::string& path = SamplePath();
  CountingProgress progress;
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(path, &progress);
    benchmark::DoNotOptimize(doc.Groups().Count());
  }
  state.counters["reports_per_open"] = double(progress.reports) / double(state.iterations());
}
BENCHMARK(BM_Open_WithProgress)->Unit(benchmark::kMillisecond);

void BM_SerializeOnly_WithProgress(benchmark::State& state) {
  CTarnelDoc doc;
  doc.OpenFile(SamplePath());
  CountingProgress progress;
  for (auto _ : state) benchmark::DoNotOptimize(doc.SaveToBytes(&progress));
  state.counters["reports_per_save"] = double(progress.reports) / double(state.iterations());
}
BENCHMARK(BM_SerializeOnly_WithProgress)->Unit(benchmark::kMillisecond);

void BM_Open_DecPoint60000(benchmark::State& state) {
  const std::string& path = DecPointPath();
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(path);
    benchmark::DoNotOptimize(doc.Groups().Count());
  }
  state.counters["records"] = 60000;
}
BENCHMARK(BM_Open_DecPoint60000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
  CTarnelDoc doc;
  doc.OpenFile(SamplePath());
  std::string out = SamplePath() + ".saved";
  for (auto _ : state) doc.SaveFile(out);  // serialise, write, flush to disk, rename
  std::remove(out.c_str());
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_SerializeOnly(benchmark::State& state) {
  CTarnelDoc doc;
  doc.OpenFile(SamplePath());
  for (auto _ : state) benchmark::DoNotOptimize(doc.SaveToBytes());
}
BENCHMARK(BM_SerializeOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
