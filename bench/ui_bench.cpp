// The editor with the 65,535-record document, on the offscreen platform.
//   BM_OpenIntoDocument     baseline: the file read into a document without a window
//   BM_OpenInEditor         the same file opened in the editor until the tree is painted
//   BM_SelectAndFillForm    one selection in the tree: the frame's report and the form filled
//   BM_ComparePane          "Сравнить с файлом…" against a copy in which every record is renamed,
//                           until the differences pane is painted; baseline: opening that copy
//                           into a document alone
//   BM_Memory               the editor's memory: with the file open, with a new document, and
//                           the document alone; each measured in a fresh process of this program
// extra_ms and extra_mb are what the editor adds to the document alone.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTreeView>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "model/document.h"
#include "sample_base.h"
#include "ui/app/main_frame.h"
#include "ui/compare/compare_owner.h"
#include "ui/compare/difference_model.h"

namespace {

const QString& SamplePath() {
  static const QString path = [] {
    QString p = QDir::temp().filePath(QStringLiteral("kandrel_ui_bench_65535.kdl"));
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(QFile::encodeName(p).toStdString());
    return p;
  }();
  return path;
}

// The editor's window with the tree in it, painted.
CMainFrame& Frame() {
  static CMainFrame* frame = [] {
    auto* f = new CMainFrame;
    f->resize(1200, 800);
    f->show();
    QApplication::processEvents();
    return f;
  }();
  return *frame;
}

void ShowTree(CMainFrame& f) {
  QApplication::processEvents();
  if (auto* tree = f.findChild<QTreeView*>(QStringLiteral("CLeftView"))) {
    tree->expandToDepth(1);  // "Root" and the groups open: what a user opens first
    tree->viewport()->repaint();
  }
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The processor time of the whole process, in seconds: on a busy machine it tells more than
// the clock on the wall.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_OpenIntoDocument(benchmark::State& state) {
  std::string path = QFile::encodeName(SamplePath()).toStdString();
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(path);
    benchmark::DoNotOptimize(doc.Groups().Count());
  }
}
BENCHMARK(BM_OpenIntoDocument)->Unit(benchmark::kMillisecond)->Iterations(5);

// Each round opens the file and shows the tree, then goes back to a new document (untimed).
void BM_OpenInEditor(benchmark::State& state) {
  CMainFrame& f = Frame();
  std::string path = QFile::encodeName(SamplePath()).toStdString();
  double editor = 0, alone = 0;
  int records = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    f.OpenDocument(SamplePath());
    ShowTree(f);
    editor += Seconds(t0);
    state.PauseTiming();
    records = f.document().Ids().Count();
    auto t1 = std::chrono::steady_clock::now();
    {
      CTarnelDoc doc;
      doc.OpenFile(path);
      alone += Seconds(t1);
    }
    f.NewDocument();
    ShowTree(f);
    state.ResumeTiming();
  }
  double n = double(state.iterations());
  state.counters["alone_ms"] = alone / n * 1e3;
  state.counters["extra_ms"] = (editor - alone) / n * 1e3;
  state.counters["records"] = records;
}
BENCHMARK(BM_OpenInEditor)->Unit(benchmark::kMillisecond)->Iterations(5);

// Properties deep in the tree, one with a link and one with incoming links, selected in turn.
void BM_SelectAndFillForm(benchmark::State& state) {
  CMainFrame& f = Frame();
  f.OpenDocument(SamplePath());
  ShowTree(f);
  std::vector<uint32_t> ids;
  for (uint32_t id = 40000; id < 65535 && ids.size() < 2; ++id)
    if (const CPropertyItem* p = AsProperty(f.document().LookupRecord(id)))
      if (p->typeCode == 7 || p->GetIncomingLinkCount() > 0) ids.push_back(id);
  size_t i = 0;
  for (auto _ : state) f.RevealRecord(ids[i++ % ids.size()]);
}
BENCHMARK(BM_SelectAndFillForm)->Unit(benchmark::kMicrosecond);

// The sample with every record renamed: as many differences as records.
const QString& RenamedPath() {
  static const QString path = [] {
    QString p = QDir::temp().filePath(QStringLiteral("kandrel_ui_bench_65535_renamed.kdl"));
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    for (uint32_t id = 1; id <= 65535; ++id)
      if (CRecord* r = doc.LookupRecord(id)) r->name += "'";
    doc.SaveFile(QFile::encodeName(p).toStdString());
    return p;
  }();
  return path;
}

void BM_ComparePane(benchmark::State& state) {
  CMainFrame& f = Frame();
  f.OpenDocument(SamplePath());
  ShowTree(f);
  CCompareOwner& compare = *f.compare();
  std::string other = QFile::encodeName(RenamedPath()).toStdString();
  double pane = 0, alone = 0, paneCpu = 0, aloneCpu = 0;
  size_t differences = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    double c0 = CpuSeconds();
    compare.CompareWithFile(RenamedPath());
    QApplication::processEvents();
    compare.list()->viewport()->repaint();
    pane += Seconds(t0);
    paneCpu += CpuSeconds() - c0;
    state.PauseTiming();
    differences = compare.result() ? compare.result()->differences.size() : 0;
    auto t1 = std::chrono::steady_clock::now();
    double c1 = CpuSeconds();
    {
      CTarnelDoc doc;
      doc.OpenFile(other);
      alone += Seconds(t1);
      aloneCpu += CpuSeconds() - c1;
    }
    compare.Close();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  double n = double(state.iterations());
  state.counters["open_alone_ms"] = alone / n * 1e3;
  state.counters["pane_ms"] = pane / n * 1e3;
  state.counters["open_alone_cpu_ms"] = aloneCpu / n * 1e3;
  state.counters["pane_cpu_ms"] = paneCpu / n * 1e3;
  state.counters["differences"] = double(differences);
}
BENCHMARK(BM_ComparePane)->Unit(benchmark::kMillisecond)->Iterations(3);

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// In a child process: the resident memory that the file adds, in kB, on the first line.
int MeasureChild(const char* what) {
  std::string path = QFile::encodeName(SamplePath()).toStdString();
  CMainFrame* frame = nullptr;
  if (std::strcmp(what, "doc") != 0) {
    frame = new CMainFrame;
    frame->resize(1200, 800);
    frame->show();
    frame->NewDocument();
    ShowTree(*frame);
  }
  malloc_trim(0);
  long before = RssKb();
  std::unique_ptr<CTarnelDoc> doc;
  if (frame) {
    frame->OpenDocument(SamplePath());
    ShowTree(*frame);
  } else {
    doc = std::make_unique<CTarnelDoc>();
    doc->OpenFile(path);
  }
  malloc_trim(0);
  std::printf("%ld\n", RssKb() - before);
  return 0;
}

double ChildMb(const char* what) {
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--rss-child=%1").arg(what)});
  child.waitForFinished(120000);
  return child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
}

void BM_Memory(benchmark::State& state) {
  SamplePath();
  double editor = 0, doc = 0;
  for (auto _ : state) {
    editor = ChildMb("editor");
    doc = ChildMb("doc");
  }
  state.counters["editor_file_mb"] = editor;  // the editor: file open minus a new document
  state.counters["document_mb"] = doc;        // the document alone
  state.counters["extra_mb"] = editor - doc;
}
BENCHMARK(BM_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc > 1 && std::strncmp(argv[1], "--rss-child=", 12) == 0) return MeasureChild(argv[1] + 12);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  QFile::remove(SamplePath());
  return 0;
}
