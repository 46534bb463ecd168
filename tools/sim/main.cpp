// kandrel-sim: a small base server for demos and tests.
//   kandrel-sim [--port 6000] [--address 127.0.0.1] [--base FILE.kdl] [--tick MS]
//               [--move PATH-PREFIX ...] [--drop-after S] [--probe MS] [--save-on-exit FILE.kdl]
//               [--max-clients 64] [--max-buffer-mb 256] [--read-only]
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "model/cp1251.h"
#include "model/document.h"
#include "net/console_app.h"
#include "sim_server.h"

namespace {

struct Options {
  quint16 port = 6000;
  QHostAddress address = QHostAddress::LocalHost;
  std::string base;
  std::string saveOnExit;
  int tickMs = 0;
  int probeMs = 5000;
  int dropAfterSeconds = 0;
  std::vector<std::string> movePrefixes;  // windows-1251
  int maxClients = 64;
  int maxBufferMb = 256;
  bool readOnly = false;
};

[[noreturn]] void Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "kandrel-sim: %s\n", EscapedUtf8(problem).c_str());
  std::fprintf(problem ? stderr : stdout,
               "usage: kandrel-sim [--port 6000] [--address 127.0.0.1] [--base FILE.kdl]\n"
               "                   [--tick MS] [--move PATH-PREFIX ...] [--drop-after S]\n"
               "                   [--probe MS] [--save-on-exit FILE.kdl]\n"
               "                   [--max-clients 64] [--max-buffer-mb 256] [--read-only]\n");
  std::exit(problem ? 2 : 0);
}

std::optional<long> Number(const char* text, long lo, long hi) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < lo || v > hi) return std::nullopt;
  return v;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") Usage(nullptr);
    if (a == "--read-only") {
      o.readOnly = true;
      continue;
    }
    if (i + 1 >= argc) Usage(("missing value after " + a).c_str());
    const char* v = argv[++i];
    if (a == "--port") {
      auto n = Number(v, 0, 65535);
      if (!n) Usage("--port takes a number from 0 to 65535");
      o.port = quint16(*n);
    } else if (a == "--address") {
      if (!o.address.setAddress(QString::fromLocal8Bit(v))) Usage("--address takes an IP address");
    } else if (a == "--base") {
      o.base = v;
    } else if (a == "--save-on-exit") {
      o.saveOnExit = v;
    } else if (a == "--tick" || a == "--probe") {
      auto n = Number(v, 0, 3600000);
      if (!n) Usage((a + " takes milliseconds (0 turns it off)").c_str());
      (a == "--tick" ? o.tickMs : o.probeMs) = int(*n);
    } else if (a == "--move") {
      // Record paths are windows-1251; the command line is the locale's text.
      std::string prefix;
      if (Utf8ToCp1251(QString::fromLocal8Bit(v).toStdString(), &prefix) > 0 || prefix.empty())
        Usage("--move takes the start of a record path that windows-1251 can hold");
      o.movePrefixes.push_back(std::move(prefix));
    } else if (a == "--drop-after") {
      auto n = Number(v, 1, 86400);
      if (!n) Usage("--drop-after takes seconds from 1 to 86400");
      o.dropAfterSeconds = int(*n);
    } else if (a == "--max-clients" || a == "--max-buffer-mb") {
      auto n = Number(v, 1, 1000000);
      if (!n) Usage((a + " takes a number from 1 to 1000000").c_str());
      (a == "--max-clients" ? o.maxClients : o.maxBufferMb) = int(*n);
    } else {
      Usage(("unknown option " + a).c_str());
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = Parse(argc, argv);
  QCoreApplication app(argc, argv);

  CSimServer server;
  if (!options.base.empty()) {
    try {
      server.LoadFile(options.base);
    } catch (const DocumentFileError& e) {
      std::fprintf(stderr, "kandrel-sim: %s\n", EscapedUtf8(e.what()).c_str());
      return 3;
    }
  }
  QString error;
  if (!server.Listen(options.address, options.port, &error)) {
    std::fprintf(stderr, "kandrel-sim: %s\n", EscapedUtf8(error.toStdString()).c_str());
    return 3;
  }
  QObject::connect(&server, &CSimServer::logLine, [](const QString& line) {
    std::fprintf(stderr, "kandrel-sim: %s\n", EscapedUtf8(line.toStdString()).c_str());
  });
  server.SetMovePrefixes(options.movePrefixes);
  server.SetTickInterval(options.tickMs);
  server.SetProbeInterval(options.probeMs);
  server.SetDropInterval(options.dropAfterSeconds * 1000);
  server.SetLimits(options.maxClients, size_t(options.maxBufferMb) << 20);
  server.SetReadOnly(options.readOnly);

  CStopSignals stopSignals([] { QCoreApplication::quit(); });
  if (!stopSignals.Ready()) {
    std::perror("kandrel-sim: socketpair");
    return 3;
  }

  std::printf("kandrel-sim: serving %d groups on %s:%u\n", server.Document().Groups().Count(),
              qPrintable(options.address.toString()), unsigned(server.Port()));
  std::fflush(stdout);

  app.exec();

  server.Shutdown();
  int rc = 0;
  if (!options.saveOnExit.empty()) {
    try {
      server.Document().SaveFile(options.saveOnExit);
    } catch (const DocumentFileError& e) {
      std::fprintf(stderr, "kandrel-sim: %s\n", EscapedUtf8(e.what()).c_str());
      rc = 3;
    }
  }
  std::fprintf(stderr, "kandrel-sim: stopped\n");
  return rc;
}
