// The editor watching a busy server: the 65,535-record base opened in the editor (offscreen),
// connected to kandrel-sim serving the same file, the base fetched, 1,000 moving properties in
// the watch list and two trends of two lines each shown.
//   BM_AnswerIdleServer     baseline: the server moves nothing
//   BM_AnswerMovingValues   the server moves 2,000 values a second (--tick 1000 over 2,000
//                           movable properties, --move by their cabinets)
//   BM_MemoryOverTime/N     ten minutes of values at ten times the rate (--tick 100) in one:
//                           the editor's RSS when the watching starts, after five and after ten
//                           minutes' worth of values, with rings of N samples per series; run
//                           in a process of its own
// The answer time is how late a 0-ms timer posted every 10 ms runs on the editor's event loop.
// changes_per_s counts the values the editor took in a second of the run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/document.h"
#include "net/base_session.h"
#include "sample_base.h"
#include "sim_motion.h"
#include "ui/app/main_frame.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/trend_dock.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"

namespace {

constexpr int kRecords = 65535;
constexpr int kMovingWanted = 2000;
constexpr int kWatched = 1000;

struct Sample {
  QString path;
  std::vector<QString> prefixes;  // cabinets whose movable properties add up to kMoving
  std::vector<uint32_t> moving;   // their identifiers, in tree order
};

// The base file, and the cabinets (Latin names, so the command line needs no code page) that
// hold about 2,000 movable properties.
const Sample& TheSample() {
  static const Sample sample = [] {
    Sample s;
    s.path = QDir::temp().filePath(QStringLiteral("kandrel_editor_watch_bench_65535.kdl"));
    CTarnelDoc doc;
    BuildSampleBase(doc, kRecords);
    doc.SaveFile(QFile::encodeName(s.path).toStdString());
    for (CBase* group : doc.Groups()) {
      ForEachChild(group, [&](const CRecord* cabinet) {
        if (int(s.moving.size()) >= kMovingWanted) return;
        if (cabinet->name.rfind("Controller", 0) != 0 && cabinet->name.rfind("Drive", 0) != 0)
          return;
        std::vector<uint32_t> under;
        std::function<void(const CRecord*)> walk = [&](const CRecord* r) {
          if (const CPropertyItem* p = AsProperty(r)) {
            if (IsMovable(*p)) under.push_back(p->id);
            return;
          }
          ForEachChild(r, walk);
        };
        walk(cabinet);
        if (int(s.moving.size() + under.size()) > kMovingWanted) return;
        s.prefixes.push_back(QString::fromStdString(GetRecordPath(cabinet) + "/"));
        s.moving.insert(s.moving.end(), under.begin(), under.end());
      });
    }
    return s;
  }();
  return sample;
}

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Runs the event loop for `ms`, sleeping when there is nothing to do, as the editor's does.
void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// kandrel-sim on a free port, serving the sample; `tickMs` 0 moves nothing.
class Sim {
 public:
  explicit Sim(int tickMs) : port_(FreePort()) {
    const Sample& s = TheSample();
    QStringList args{QStringLiteral("--port"), QString::number(port_), QStringLiteral("--base"),
                     s.path};
    if (tickMs > 0) {
      args << QStringLiteral("--tick") << QString::number(tickMs);
      for (const QString& prefix : s.prefixes) args << QStringLiteral("--move") << prefix;
    }
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(KANDREL_SIM), args);
    process_.waitForStarted(5000);
    for (int i = 0; i < 100; ++i) {
      QTcpSocket s;
      s.connectToHost(QHostAddress::LocalHost, port_);
      if (s.waitForConnected(100)) return;
      Pump(50);
    }
  }
  ~Sim() {
    process_.terminate();
    process_.waitForFinished(5000);
  }
  quint16 Port() const { return port_; }

 private:
  quint16 port_;
  QProcess process_;
};

// The editor with the file open, connected, the base fetched, the watch list and two trends.
class Editor {
 public:
  explicit Editor(quint16 port, size_t samplesPerSeries = CWatchModel::kDefaultSamplesPerSeries)
      : frame_(std::make_unique<CMainFrame>()) {
    frame_->resize(1400, 900);
    frame_->show();
    const Sample& s = TheSample();
    ok_ = frame_->OpenDocument(s.path);
    CBaseSession& session = frame_->network()->session();
    ok_ = ok_ && session.Connect("127.0.0.1", port);
    bool replaced = false;
    QObject::connect(&session, &CBaseSession::baseReplaced, [&] { replaced = true; });
    ok_ = ok_ && session.RequestBase();
    for (int i = 0; ok_ && !replaced && i < 600; ++i) Pump(50);
    ok_ = ok_ && replaced;
    if (!ok_) std::fprintf(stderr, "no base\n");
    QObject::connect(&session, &CBaseSession::rawValueReceived, [this](quint32) { ++changes_; });
    CWatchDock* watch = frame_->watchDock();
    std::vector<uint32_t> watched(s.moving.begin(),
                                  s.moving.begin() + std::min<size_t>(kWatched, s.moving.size()));
    // The list of an earlier run came back with the file: start from an empty one.
    watch->model()->Clear();
    watch->model()->SetSamplesPerSeries(samplesPerSeries);
    ok_ = ok_ && watch->AddRecords(watched) == int(watched.size());
    if (!ok_) std::fprintf(stderr, "watch list short\n");
    // Two trends of two numeric lines each, from the watched properties.
    std::vector<uint32_t> numeric;
    for (uint32_t id : watched)
      if (watch->model()->SeriesOf(id)) numeric.push_back(id);
    ok_ = ok_ && numeric.size() >= 4 && watch->ShowTrend({numeric[0], numeric[1]}) &&
          watch->ShowTrend({numeric[2], numeric[3]});
    // The tree as a user has it: the groups open and the first moving values in view, so
    // the value column has rows to redraw.
    CLeftView* tree = frame_->GetTreeView();
    tree->expandToDepth(1);
    QModelIndex first = tree->IndexOfId(s.moving.front());
    for (QModelIndex at = first.parent(); at.isValid(); at = at.parent()) tree->expand(at);
    tree->scrollTo(first, QAbstractItemView::PositionAtTop);
    Pump(500);
  }
  ~Editor() { frame_->SetModified(false); }
  bool ok() const { return ok_; }
  long changes() const { return changes_; }
  CMainFrame& frame() { return *frame_; }

 private:
  std::unique_ptr<CMainFrame> frame_;
  bool ok_ = false;
  long changes_ = 0;
};

struct Answers {
  std::vector<double> lateMs;
  double Percentile(double q) {
    if (lateMs.empty()) return 0;
    std::sort(lateMs.begin(), lateMs.end());
    return lateMs[std::min(lateMs.size() - 1, size_t(q * double(lateMs.size())))];
  }
};

// Every 10 ms a 0-ms timer is posted; how long it waits for the event loop is recorded.
Answers ProbeAnswers(int seconds) {
  Answers a;
  QElapsedTimer clock;
  clock.start();
  QTimer every;
  every.setTimerType(Qt::PreciseTimer);
  every.setInterval(10);
  QObject::connect(&every, &QTimer::timeout, [&] {
    qint64 posted = clock.nsecsElapsed();
    QTimer::singleShot(0, [&a, &clock, posted] {
      a.lateMs.push_back(double(clock.nsecsElapsed() - posted) / 1e6);
    });
  });
  every.start();
  Pump(seconds * 1000);
  every.stop();
  Pump(50);
  return a;
}

void Answer(benchmark::State& state, int tickMs) {
  Sim sim(tickMs);
  Editor editor(sim.Port());
  if (!editor.ok()) {
    state.SkipWithError("the editor did not get the base, the watch list or the trends");
    return;
  }
  constexpr int kSeconds = 12;
  long before = editor.changes();
  Answers a;
  for (auto _ : state) a = ProbeAnswers(kSeconds);
  state.counters["p50_ms"] = a.Percentile(0.50);
  state.counters["p99_ms"] = a.Percentile(0.99);
  state.counters["max_ms"] = a.Percentile(1.0);
  state.counters["changes_per_s"] = double(editor.changes() - before) / kSeconds;
  state.counters["moving"] = double(tickMs > 0 ? TheSample().moving.size() : 0);
}

void BM_AnswerIdleServer(benchmark::State& state) {
  Answer(state, 0);
}

void BM_AnswerMovingValues(benchmark::State& state) {
  Answer(state, 1000);
}

// The memory run in a process of its own, so that what earlier runs freed does not hide what
// this one takes: prints "start five ten changes samples bound".
int MemoryChild(size_t samplesPerSeries) {
  Sim sim(100);
  Editor editor(sim.Port(), samplesPerSeries);
  if (!editor.ok()) return 1;
  CWatchModel* model = editor.frame().watchDock()->model();
  long start = RssKb();
  long before = editor.changes();
  Pump(30 * 1000);
  long five = RssKb();
  Pump(30 * 1000);
  long ten = RssKb();
  size_t samples = 0;
  for (const RecordedSeries* s : model->AllSeries()) samples += s->samples.Size();
  std::printf("%ld %ld %ld %ld %zu %zu\n", start, five, ten, editor.changes() - before, samples,
              model->AllSeries().size() * samplesPerSeries);
  return 0;
}

void BM_MemoryOverTime(benchmark::State& state) {
  // Ten times the rate: each watched value changes about ten times a second, so a minute of the
  // run records what about ten minutes at the benchmark's rate would. The argument is the number
  // of samples each series keeps: the editor's own, and a tenth of it, which fills the rings in
  // the first half of the run so that the second half shows memory once they are full.
  QString out;
  for (auto _ : state) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory-child=%1").arg(state.range(0))});
    child.waitForFinished(300 * 1000);
    out = QString::fromLatin1(child.readAllStandardOutput()).trimmed();
  }
  QStringList f = out.split(QLatin1Char(' '));
  if (f.size() != 6) {
    state.SkipWithError("the memory run did not finish");
    return;
  }
  state.counters["rss_start_mb"] = f[0].toDouble() / 1024;
  state.counters["rss_5min_mb"] = f[1].toDouble() / 1024;
  state.counters["rss_10min_mb"] = f[2].toDouble() / 1024;
  state.counters["changes_per_s"] = f[3].toDouble() / 60;
  state.counters["samples_held"] = f[4].toDouble();
  state.counters["samples_bound"] = f[5].toDouble();
}

}  // namespace

BENCHMARK(BM_AnswerIdleServer)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_AnswerMovingValues)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_MemoryOverTime)
    ->Arg(int(CWatchModel::kDefaultSamplesPerSeries))
    ->Arg(int(CWatchModel::kDefaultSamplesPerSeries / 10))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::string first = argc > 1 ? argv[1] : "";
  // The editor keeps per-file watch lists in the settings: these runs keep theirs apart.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  if (first.rfind("--memory-child=", 0) == 0)
    return MemoryChild(size_t(std::stoul(first.substr(15))));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  QFile::remove(TheSample().path);
  return 0;
}
