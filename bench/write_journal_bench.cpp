// What the journal of values sent costs: one line appended (beside sending the value itself),
// and a take-over that sends 10,000 values with and without the journal, in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <thread>

#include "loopback_listener.h"
#include "model/base_compare.h"
#include "model/base_takeover.h"
#include "model/document.h"
#include "net/base_session.h"
#include "net/journal/write_journal.h"
#include "net/write_gate.h"

namespace {

constexpr int kValues = 10000;

// Takes one client and reads whatever it sends into the void.
class DrainServer {
 public:
  DrainServer() {
    listener_ = ListenOnLoopback(&port_);
    thread_ = std::thread([this] {
      int client = ::accept(listener_, nullptr, nullptr);
      char buffer[65536];
      while (::read(client, buffer, sizeof buffer) > 0) {
      }
      ::close(client);
    });
  }
  ~DrainServer() {
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

// The journals of this run, in a folder of their own.
struct JournalFolder {
  QTemporaryDir dir;
  JournalFolder() { qputenv("XDG_DATA_HOME", dir.path().toUtf8()); }
};
JournalFolder& Folder() {
  static JournalFolder folder;
  return folder;
}

// A document of kValues INT properties, 100 to an atom.
void Build(CTarnelDoc& doc) {
  doc.OnNewDocument();
  doc.RebuildTree();
  CAtom* atom = nullptr;
  for (int i = 0; i < kValues; ++i) {
    if (i % 100 == 0) {
      CObj* obj = doc.NewObject(doc.Groups().At(1));
      obj->name = "Unit" + std::to_string(i / 100);
      atom = doc.NewAtom(obj);
      atom->name = "AI";
    }
    CPropertyItem* p = doc.NewProperty(atom);
    p->name = "Value" + std::to_string(i % 100);
    p->typeCode = 3;
    p->valueText = "0";
  }
}

JournalEntry SomeEntry(uint32_t id) {
  // Looked up once, as the gate does.
  static const std::string user = JournalUser(), host = JournalHost();
  JournalEntry e;
  e.time = JournalTimeNow();
  e.server = "127.0.0.1:6000";
  e.user = user;
  e.host = host;
  e.id = id;
  e.path = "/Logic/Unit12/AI/Value34";
  e.type = "INT";
  e.oldText = "1234";
  e.newText = "1235";
  e.origin = "takeover";
  e.result = kJournalSent;
  return e;
}

// Baseline: one message 203 sent to a server.
void BM_SendOneValue(benchmark::State& state) {
  DrainServer server;
  CTarnelDoc doc;
  CBaseSession session(doc);
  if (!session.Connect("127.0.0.1", server.Port())) {
    state.SkipWithError("cannot connect to the loopback server");
    return;
  }
  uint32_t raw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(session.SendRawValue(7, ++raw));
  session.Disconnect();
}
BENCHMARK(BM_SendOneValue)->Unit(benchmark::kMicrosecond);

// One journal line, as the gate writes it for each value sent (the time taken anew each time).
void BM_JournalOneValue(benchmark::State& state) {
  Folder();
  CWriteJournal journal(JournalPathFor("bench-append", 1));
  uint32_t id = 0;
  for (auto _ : state) benchmark::DoNotOptimize(journal.Append(SomeEntry(++id)));
}
BENCHMARK(BM_JournalOneValue)->Unit(benchmark::kMicrosecond);

// "Перенести все" of 10,000 changed values into a connected document: the take-over and every
// value through the gate to the server, without (0) and with (1) the journal.
void BM_TakeOver10000Values(benchmark::State& state) {
  Folder();
  DrainServer server;
  CTarnelDoc doc, other;
  Build(doc);
  Build(other);
  CBaseSession session(doc);
  session.Gate().SetJournaling(state.range(0) != 0);
  if (!session.Connect("127.0.0.1", server.Port())) {
    state.SkipWithError("cannot connect to the loopback server");
    return;
  }
  std::vector<CPropertyItem*> theirs;
  for (uint32_t id = 1; id < 65536; ++id)
    if (CPropertyItem* p = AsProperty(other.LookupRecord(id))) theirs.push_back(p);
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ++round;
    for (CPropertyItem* p : theirs) {
      p->valueText = std::to_string(round);
      p->InitRawValue(uint32_t(round));
    }
    CompareResult result = CompareDocuments(doc, other, CompareOptions{});
    QCoreApplication::processEvents();
    state.ResumeTiming();
    {
      CWriteGate::Action action(&session.Gate(), WriteOrigin::kTakeover);
      TakeOverAll(doc, result);
    }
    session.Gate().Flush();
  }
  state.counters["values"] = double(theirs.size());
  session.Disconnect();
}
BENCHMARK(BM_TakeOver10000Values)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
