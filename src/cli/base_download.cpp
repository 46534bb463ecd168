#include "base_download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "command.h"
#include "model/document.h"
#include "net/base_session.h"

int ParseNumber(const std::string& text, int lo, int hi, const std::string& usage) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < lo || v > hi) throw CliError(kExitUsage, usage);
  return int(v);
}

void DownloadBase(CTarnelDoc& doc, const std::string& host, int port, int timeoutSeconds) {
  std::string peer = host + ":" + std::to_string(port);
  // The connection runs on a Qt event loop.
  static int argc = 1;
  static char name[] = "kandrel-cli";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);

  CBaseSession session(doc);
  session.SetConnectTimeout(timeoutSeconds * 1000);
  if (!session.Connect(host, port)) throw CliError(kExitFailure, session.LastError().toStdString());

  bool replaced = false;
  bool closed = false;
  QEventLoop loop;
  // The answer may be large: the deadline counts from the last bytes that came in.
  QTimer idle;
  idle.setSingleShot(true);
  idle.setInterval(timeoutSeconds * 1000);
  QObject::connect(&idle, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&session, &CNetClient::bytesArrived, &idle, [&idle] { idle.start(); });
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
  loop.exec();
  if (!replaced) {
    if (closed) throw CliError(kExitFailure, session.LastError().toStdString());
    throw CliError(kExitFailure,
                   peer + ": no answer within " + std::to_string(timeoutSeconds) + " s");
  }
  session.Disconnect();
}
