// The property table with the 65,535-record document, on the offscreen platform. Each figure
// stands beside its baseline, measured in the same run:
//   BM_Baseline_Open      the file read into a document without a window
//   BM_TableShown         "Root" chosen with the table's tab open: every property's row, until
//                         the table is painted (goal: within 50 ms)
//   BM_FilterKeystroke    one more letter in the filter line, until the table is painted
//                         (goal: at most 30 ms)
//   BM_CsvExport          every property's row written as a CSV file (goal: at most 100 ms)
//   BM_ImportDifferences  a 65,535-row CSV read and its differences shown in the differences
//                         pane (goal: at most 3 times the open), with open_ms beside it, and
//                         the CPU time of each (import_cpu_ms, open_cpu_ms, cpu_ratio)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeView>
#include <chrono>
#include <cstring>
#include <ctime>

#include "model/document.h"
#include "model/property_table.h"
#include "model/value_types.h"
#include "sample_base.h"
#include "ui/app/main_frame.h"
#include "ui/compare/compare_owner.h"
#include "ui/table/property_table_model.h"
#include "ui/table/property_table_pane.h"

namespace {

const QString& SamplePath() {
  static const QString path = [] {
    QString p = QDir::temp().filePath(QStringLiteral("kandrel_table_bench_65535.kdl"));
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(QFile::encodeName(p).toStdString());
    return p;
  }();
  return path;
}

// The table of the whole sample with every tenth value changed, as a commissioning sheet
// brings it back.
const QString& EditedTablePath() {
  static const QString path = [] {
    QString p = QDir::temp().filePath(QStringLiteral("kandrel_table_bench_65535.csv"));
    CTarnelDoc doc;
    doc.OpenFile(QFile::encodeName(SamplePath()).toStdString());
    std::vector<CPropertyItem*> rows = TableProperties(doc, nullptr);
    for (size_t i = 0; i < rows.size(); i += 10)
      if (rows[i]->typeCode != kTypeLinkTo) rows[i]->valueText += "1";
    WriteFileAtomically(QFile::encodeName(p).toStdString(),
                        WriteTableCsv(doc, rows, {';', true, true}));
    return p;
  }();
  return path;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The CPU time the process has used, in seconds.
double CpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

CMainFrame& Frame() {
  static CMainFrame* frame = [] {
    auto* f = new CMainFrame;
    f->resize(1200, 800);
    f->show();
    f->OpenDocument(SamplePath());
    if (auto* tabs = f->findChild<QTabWidget*>(QStringLiteral("leftTabs")))
      tabs->setCurrentWidget(f->tablePane());
    QApplication::processEvents();
    return f;
  }();
  return *frame;
}

void Paint(CMainFrame& f) {
  QApplication::processEvents();
  f.tablePane()->view()->viewport()->repaint();
}

void BM_Baseline_Open(benchmark::State& state) {
  const std::string path = QFile::encodeName(SamplePath()).toStdString();
  for (auto _ : state) {
    CTarnelDoc doc;
    doc.OpenFile(path);
    benchmark::DoNotOptimize(doc.RowCount(nullptr));
  }
}
BENCHMARK(BM_Baseline_Open)->Unit(benchmark::kMillisecond);

void BM_TableShown(benchmark::State& state) {
  CMainFrame& f = Frame();
  CPropertyTablePane& pane = *f.tablePane();
  CRecord* first = f.document().RecordAt(nullptr, 0);
  for (auto _ : state) {
    state.PauseTiming();
    pane.OnRecordSelected(first->id);
    Paint(f);
    state.ResumeTiming();
    pane.OnRecordSelected(0);
    Paint(f);
  }
  state.counters["rows"] = double(pane.model()->rowCount());
}
BENCHMARK(BM_TableShown)->Unit(benchmark::kMillisecond);

void BM_FilterKeystroke(benchmark::State& state) {
  CMainFrame& f = Frame();
  CPropertyTablePane& pane = *f.tablePane();
  pane.OnRecordSelected(0);
  Paint(f);
  // Typed one letter at a time; a miss at the end, where every column of every row is searched.
  const char* const texts[] = {"d", "de", "dec", "decp", "decpx"};
  int shown = 0;
  size_t k = 0;
  for (auto _ : state) {
    pane.filterLine()->setText(QString::fromLatin1(texts[k]));
    Paint(f);
    shown = pane.proxy()->rowCount();
    k = (k + 1) % std::size(texts);
    if (k == 0) {
      state.PauseTiming();
      pane.filterLine()->clear();
      Paint(f);
      state.ResumeTiming();
    }
  }
  pane.filterLine()->clear();
  state.counters["rows_shown_last"] = shown;
}
BENCHMARK(BM_FilterKeystroke)->Unit(benchmark::kMillisecond);

void BM_CsvExport(benchmark::State& state) {
  CMainFrame& f = Frame();
  CPropertyTablePane& pane = *f.tablePane();
  pane.OnRecordSelected(0);
  Paint(f);
  QString out = QDir::temp().filePath(QStringLiteral("kandrel_table_bench_export.csv"));
  for (auto _ : state) pane.ExportTo(out, ';');
  state.counters["bytes"] = double(QFile(out).size());
  QFile::remove(out);
}
BENCHMARK(BM_CsvExport)->Unit(benchmark::kMillisecond);

void BM_ImportDifferences(benchmark::State& state) {
  CMainFrame& f = Frame();
  CPropertyTablePane& pane = *f.tablePane();
  pane.OnRecordSelected(0);
  Paint(f);
  EditedTablePath();
  const std::string path = QFile::encodeName(SamplePath()).toStdString();
  double open = 0, import = 0, openCpu = 0, importCpu = 0;
  size_t differences = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    double c0 = CpuSeconds();
    pane.ImportFrom(EditedTablePath());
    QApplication::processEvents();
    f.compare()->list()->viewport()->repaint();
    import += Seconds(t0);
    importCpu += CpuSeconds() - c0;
    state.PauseTiming();
    differences = f.compare()->result() ? f.compare()->result()->differences.size() : 0;
    auto t1 = std::chrono::steady_clock::now();
    double c1 = CpuSeconds();
    {
      CTarnelDoc doc;
      doc.OpenFile(path);
    }
    open += Seconds(t1);
    openCpu += CpuSeconds() - c1;
    f.compare()->Close();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  double n = double(state.iterations());
  state.counters["open_ms"] = open / n * 1e3;
  state.counters["import_ms"] = import / n * 1e3;
  state.counters["ratio"] = import / open;
  state.counters["open_cpu_ms"] = openCpu / n * 1e3;
  state.counters["import_cpu_ms"] = importCpu / n * 1e3;
  state.counters["cpu_ratio"] = importCpu / openCpu;
  state.counters["differences"] = double(differences);
}
BENCHMARK(BM_ImportDifferences)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  QFile::remove(SamplePath());
  QFile::remove(EditedTablePath());
  return 0;
}
