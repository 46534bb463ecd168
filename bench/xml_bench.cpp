// Export and import of a full document (65,535 records) through the XML interchange file,
// against libxml2 parsing the same file, as a library and as the xmllint process.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "model/document.h"
#include "sample_base.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"

namespace {

const CTarnelDoc& SampleDoc() {
  static CTarnelDoc* doc = [] {
    auto* d = new CTarnelDoc;
    BuildSampleBase(*d, 65535);
    return d;
  }();
  return *doc;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

const std::string& SampleXml() {
  static const std::string path = [] {
    std::string p = TempPath("kandrel-bench-65535.xml");
    CExportFile file(SampleDoc(), nullptr, p);
    if (!file.Export()) std::abort();
    return p;
  }();
  return path;
}

int64_t FileSize(const std::string& path) {
  return int64_t(std::filesystem::file_size(path));
}

// Baseline: libxml2 builds its tree of the same file.
void BM_Baseline_Libxml2Parse(benchmark::State& state) {
  const std::string& path = SampleXml();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (!doc) state.SkipWithError("libxml2 could not parse the file");
    xmlFreeDoc(doc);
    state.SetBytesProcessed(state.bytes_processed() + FileSize(path));
  }
}
BENCHMARK(BM_Baseline_Libxml2Parse)->Unit(benchmark::kMillisecond);

// Baseline as a process: `xmllint --noout`, beside our own import run as kandrel-cli would.
void BM_Baseline_XmllintProcess(benchmark::State& state) {
  std::string cmd = "xmllint --noout '" + SampleXml() + "'";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("xmllint failed");
}
BENCHMARK(BM_Baseline_XmllintProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportToBytes(benchmark::State& state) {
  const CTarnelDoc& doc = SampleDoc();
  CExportFile file(doc, nullptr, "unused.xml");
  for (auto _ : state) {
    std::string bytes = file.ExportToBytes({1, 1, 2026});
    benchmark::DoNotOptimize(bytes.data());
    state.SetBytesProcessed(state.bytes_processed() + int64_t(bytes.size()));
  }
}
BENCHMARK(BM_ExportToBytes)->Unit(benchmark::kMillisecond);

// The whole export command: the text, the temporary file, flush to disk and rename.
void BM_ExportFile(benchmark::State& state) {
  const CTarnelDoc& doc = SampleDoc();
  std::string path = TempPath("kandrel-bench-export.xml");
  for (auto _ : state) {
    CExportFile file(doc, nullptr, path);
    if (!file.Export()) state.SkipWithError("export failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * FileSize(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_ExportFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the file into the import tree.
void BM_ImportParse(benchmark::State& state) {
  const std::string& path = SampleXml();
  for (auto _ : state) {
    CImportParser parser;
    if (!parser.Load(path)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(parser.GetRecordCount());
    state.SetBytesProcessed(state.bytes_processed() + FileSize(path));
  }
}
BENCHMARK(BM_ImportParse)->Unit(benchmark::kMillisecond);

// The whole import: parse, import tree with default ticks, merge into an empty document,
// rebuild and ResolveImportedLinks.
void BM_ImportAll(benchmark::State& state) {
  const std::string& path = SampleXml();
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = std::make_unique<CTarnelDoc>();
    state.ResumeTiming();
    CImportParser parser;
    if (!parser.Load(path)) state.SkipWithError("load failed");
    auto root = FillImportTree(parser, nullptr);
    ImportOutcome outcome = ApplyImport(*doc, *root, nullptr);
    if (outcome.merge.notCopied) state.SkipWithError("records not copied");
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
    state.SetBytesProcessed(state.bytes_processed() + FileSize(path));
  }
}
BENCHMARK(BM_ImportAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
