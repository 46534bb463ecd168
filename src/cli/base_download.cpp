#include "base_download.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "command.h"
#include "model/document.h"
#include "net/base_session.h"
#include "net/console_app.h"

int ParseNumber(const std::string& text, int lo, int hi, const std::string& usage) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < lo || v > hi) throw CliError(kExitUsage, usage);
  return int(v);
}

void EnsureCoreApplication() {
  // The connection runs on a Qt event loop; the application lives until the program ends.
  StartConsoleApp("kandrel-cli").release();
}

void DownloadBase(CTarnelDoc& doc, const std::string& host, int port, int timeoutSeconds) {
  EnsureCoreApplication();
  CBaseSession session(doc);
  DownloadBase(session, host, port, timeoutSeconds);
  session.Disconnect();
}

void DownloadBase(CBaseSession& session, const std::string& host, int port, int timeoutSeconds) {
  std::string peer = host + ":" + std::to_string(port);
  EnsureCoreApplication();

  QDeadlineTimer deadline{std::chrono::seconds(timeoutSeconds)};
  const int silenceMs = std::min(timeoutSeconds, kSilenceSeconds) * 1000;
  auto noAnswer = [&](int seconds) {
    return CliError(kExitFailure, peer + ": no answer within " + std::to_string(seconds) + " s");
  };

  session.SetConnectTimeout(silenceMs);
  if (!session.Connect(host, port)) {
    if (deadline.hasExpired()) throw noAnswer(timeoutSeconds);
    throw CliError(kExitFailure, session.LastError().toStdString());
  }

  bool replaced = false;
  bool closed = false;
  bool silent = false;
  bool heard = false;
  QEventLoop loop;
  // Probes and trickled bytes keep the connection from being silent, not the download from
  // its deadline.
  QTimer idle;
  idle.setSingleShot(true);
  idle.setInterval(silenceMs);
  QObject::connect(&idle, &QTimer::timeout, &loop, [&] {
    silent = true;
    loop.quit();
  });
  QObject::connect(&session, &CNetClient::bytesArrived, &idle, [&] {
    heard = true;
    idle.start();
  });
  QTimer whole;
  whole.setSingleShot(true);
  QObject::connect(&whole, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&session, &CBaseSession::baseReplaced, &loop, [&] {
    replaced = true;
    loop.quit();
  });
  QObject::connect(&session, &CBaseSession::disconnected, &loop, [&] {
    closed = true;
    loop.quit();
  });
  if (!session.RequestBase()) throw CliError(kExitFailure, session.LastError().toStdString());
  idle.start();
  whole.start(std::max<qint64>(deadline.remainingTime(), 0));
  loop.exec();
  if (!replaced) {
    if (closed) throw CliError(kExitFailure, session.LastError().toStdString());
    if (!heard) throw noAnswer(silent ? silenceMs / 1000 : timeoutSeconds);
    if (silent)
      throw CliError(kExitFailure, peer + ": silent for " + std::to_string(silenceMs / 1000) +
                                       " s before the base was complete");
    throw CliError(kExitFailure,
                   peer + ": no complete base within " + std::to_string(timeoutSeconds) + " s");
  }
}
