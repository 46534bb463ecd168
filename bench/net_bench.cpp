// Base download of the 65,535-record sample over loopback into a rebuilt document, beside the
// baseline of opening the same base from its .kdl file; and the decoder alone, fed in reads of
// 64 KB as a socket delivers them.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "loopback_listener.h"
#include "model/document.h"
#include "net/base_session.h"
#include "net/message_stream.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "sample_base.h"

namespace {

constexpr int kRecords = 65535;

// The sample base as a file, and the base message a server sends for it.
struct Sample {
  std::string path;
  std::string fileBytes;
  std::string baseMessage;

  Sample() {
    path = (std::filesystem::temp_directory_path() / "kandrel_net_bench.kdl").string();
    {
      CTarnelDoc built;
      BuildSampleBase(built, kRecords);
      built.SaveFile(path);
    }
    CTarnelDoc opened;
    opened.OpenFile(path);
    fileBytes = ReadFileBytes(path);
    CNetMessage base(net::kMsgBase);
    for (CBase* g : opened.Groups()) base.Append(CNetMessageData::Record(g));
    CNetMessageStream fresh;
    fresh.Encode(base, &baseMessage);
  }
  ~Sample() { std::filesystem::remove(path); }
};

Sample& TheSample() {
  static Sample sample;
  return sample;
}

// A server on its own thread with plain blocking sockets: answers each request for the base
// with the whole message, numbered afresh as after every base.
class LoopbackServer {
 public:
  explicit LoopbackServer(const std::string& answer) : answer_(answer) {
    listener_ = ListenOnLoopback(&port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    thread_.join();
    ::close(listener_);
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    CNetMessageStream in;
    char buf[65536];
    for (;;) {
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      in.Feed(buf, size_t(n));
      CNetMessage m;
      bool leave = false;
      while (in.Next(&m)) {
        if (m.GetId() == net::kMsgBase) SendAll(fd);
        leave |= m.GetId() == net::kCtlClientLeaves;
        m = CNetMessage();
      }
      if (leave) break;
    }
    ::close(fd);
  }
  void SendAll(int fd) {
    const char* p = answer_.data();
    size_t left = answer_.size();
    while (left > 0) {
      ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
      if (n <= 0) return;
      p += n;
      left -= size_t(n);
    }
  }

  std::string answer_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

void BM_OpenBaseFromFile(benchmark::State& state) {
  Sample& sample = TheSample();
  CTarnelDoc doc;
  for (auto _ : state) doc.OpenFile(sample.path);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sample.fileBytes.size()));
  state.counters["records"] = double(doc.Ids().Count());
}
BENCHMARK(BM_OpenBaseFromFile)->Unit(benchmark::kMillisecond);

void BM_DownloadBaseOverLoopback(benchmark::State& state) {
  Sample& sample = TheSample();
  LoopbackServer server(sample.baseMessage);
  CTarnelDoc doc;
  auto session = std::make_unique<CBaseSession>(doc);
  doc.OnNewDocument();
  if (!session->Connect("127.0.0.1", server.Port())) {
    state.SkipWithError("cannot connect to the loopback server");
    return;
  }
  QEventLoop loop;
  QObject::connect(session.get(), &CBaseSession::baseReplaced, &loop, &QEventLoop::quit);
  QObject::connect(session.get(), &CBaseSession::disconnected, &loop, &QEventLoop::quit);
  for (auto _ : state) {
    session->RequestBase();
    loop.exec();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(sample.baseMessage.size()));
  state.counters["records"] = double(doc.Ids().Count());
  session->Disconnect();
}
BENCHMARK(BM_DownloadBaseOverLoopback)->Unit(benchmark::kMillisecond)->UseRealTime();

// The decoder alone: the message arrives in 64 KB reads and each read tries to decode.
void BM_DecodeBaseIn64KReads(benchmark::State& state) {
  Sample& sample = TheSample();
  const std::string& bytes = sample.baseMessage;
  for (auto _ : state) {
    CNetMessageStream stream;
    CNetMessage m;
    for (size_t at = 0; at < bytes.size(); at += 65536) {
      stream.Feed(bytes.data() + at, std::min<size_t>(65536, bytes.size() - at));
      if (stream.Next(&m)) break;
    }
    benchmark::DoNotOptimize(m.GetElementCount());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_DecodeBaseIn64KReads)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
