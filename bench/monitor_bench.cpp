// What a stream of value changes costs the client: on the 65,535-record base, a server thread
// sends 2,000 raw-value messages a second (in bursts every 10 ms, as a runtime's scan cycle
// does) while the client applies them, answers each new pattern as the editor does and records
// 1,000 watched properties in sample rings. The baseline is the same client on an idle
// connection, measured in the same run.
//
// Each iteration is one second of wall time; the time reported is the CPU time the client's
// thread spent in that second, and `lag_p99_ms` is the 99th percentile of how late a 5 ms timer
// fired on the client's event loop.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "loopback_listener.h"
#include "model/document.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "net/message_stream.h"
#include "net/monitor/property_number.h"
#include "net/monitor/value_ring.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "sample_base.h"

namespace {

constexpr int kRecords = 65535;
constexpr int kWatched = 1000;
constexpr size_t kRingCapacity = 6000;  // ten minutes of one change a tenth of a second

struct Sample {
  std::string baseMessage;
  std::vector<uint32_t> numeric;  // identifiers of the INT properties the server moves

  Sample() {
    CTarnelDoc doc;
    BuildSampleBase(doc, kRecords);
    for (uint32_t id = 1; id <= kRecords; ++id)
      if (auto* p = AsProperty(doc.LookupRecord(id)); p && p->typeCode == kTypeInt)
        numeric.push_back(id);
    CNetMessage base(net::kMsgBase);
    for (CBase* g : doc.Groups()) base.Append(CNetMessageData::Record(g));
    CNetMessageStream fresh;
    fresh.Encode(base, &baseMessage);
  }
};

Sample& TheSample() {
  static Sample sample;
  return sample;
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// A server on its own thread: answers the request for the base, then sends `perSecond`
// raw-value messages a second until it is destroyed, and reads whatever the client sends.
class StreamingServer {
 public:
  StreamingServer(const Sample& sample, int perSecond) : sample_(sample), perSecond_(perSecond) {
    listener_ = ListenOnLoopback(&port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StreamingServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    CNetMessageStream stream;
    bool streaming = false;
    uint32_t value = 0;
    size_t cursor = 0;
    const int perBurst = perSecond_ / 100;
    auto next = std::chrono::steady_clock::now();
    char buf[65536];
    while (!stop_) {
      int wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                         next - std::chrono::steady_clock::now())
                         .count());
      pollfd pfd{fd, POLLIN, 0};
      if (::poll(&pfd, 1, std::max(wait, 0)) > 0) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        stream.Feed(buf, size_t(n));
        CNetMessage m;
        while (stream.Next(&m)) {
          if (m.GetId() == net::kMsgBase) {
            SendAll(fd, sample_.baseMessage);
            stream.ResetTables();
            streaming = true;
            next = std::chrono::steady_clock::now();
          }
          m = CNetMessage();
        }
        continue;
      }
      if (std::chrono::steady_clock::now() < next) continue;
      next += std::chrono::milliseconds(10);
      if (!streaming || perBurst == 0) continue;
      std::string bytes;
      for (int i = 0; i < perBurst; ++i) {
        CNetMessage m(net::kMsgRawValue);
        m.AppendUInt(sample_.numeric[cursor]);
        m.AppendUInt(++value);
        cursor = (cursor + 1) % sample_.numeric.size();
        stream.Encode(m, &bytes);
      }
      SendAll(fd, bytes);
    }
    ::close(fd);
  }
  static void SendAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
      if (n <= 0) return;
      p += n;
      left -= size_t(n);
    }
  }

  const Sample& sample_;
  int perSecond_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_ClientUnderValueStream(benchmark::State& state) {
  Sample& sample = TheSample();
  StreamingServer server(sample, int(state.range(0)));
  CTarnelDoc doc;
  doc.OnNewDocument();
  CBaseSession session(doc);
  if (!session.Connect("127.0.0.1", server.Port())) {
    state.SkipWithError("cannot connect to the streaming server");
    return;
  }
  {
    QEventLoop loop;
    QObject::connect(&session, &CBaseSession::baseReplaced, &loop, &QEventLoop::quit);
    session.RequestBase();
    loop.exec();
  }

  // The watch list the editor would keep: the first kWatched moving properties.
  std::unordered_map<uint32_t, CValueRing> rings;
  for (size_t i = 0; i < kWatched && i < sample.numeric.size(); ++i)
    rings.emplace(sample.numeric[i], CValueRing(kRingCapacity));
  int64_t applied = 0;
  QElapsedTimer wall;
  wall.start();
  QObject::connect(&session, &CBaseSession::rawValueReceived, [&](quint32 id) {
    ++applied;
    auto it = rings.find(id);
    if (it == rings.end()) return;
    if (auto v = PropertyNumber(*AsProperty(doc.LookupRecord(id))))
      it->second.Push(wall.elapsed(), *v);
  });

  std::vector<double> lags;
  for (auto _ : state) {
    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QElapsedTimer since;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      lags.push_back(std::max(0.0, double(since.nsecsElapsed()) * 1e-6 - 5.0));
      since.restart();
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    double cpu = ThreadCpuSeconds();
    since.start();
    probe.start();
    loop.exec();
    state.SetIterationTime(ThreadCpuSeconds() - cpu);
  }
  std::sort(lags.begin(), lags.end());
  state.counters["lag_p99_ms"] = lags.empty() ? 0 : lags[lags.size() * 99 / 100];
  state.counters["changes_per_s"] = double(applied) / (double(wall.elapsed()) / 1000.0);
  session.Disconnect();
}
BENCHMARK(BM_ClientUnderValueStream)
    ->ArgName("changes_per_s")
    ->Arg(0)  // the baseline: an idle connection
    ->Arg(2000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
