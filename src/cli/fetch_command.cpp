// fetch: downloads a server's base into a new document and saves it.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "command.h"
#include "model/document.h"
#include "net/base_session.h"

namespace {

constexpr int kDefaultTimeoutSeconds = 10;

int ParseNumber(const std::string& text, int lo, int hi, const std::string& usage) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < lo || v > hi) throw CliError(kExitUsage, usage);
  return int(v);
}

class FetchCommand : public Command {
 public:
  const char* Name() const override { return "fetch"; }
  const char* Usage() const override { return "HOST PORT -o OUT.kdl [--timeout SECONDS]"; }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli fetch ") + Usage();
    std::vector<std::string> positional;
    std::string out;
    int timeout = kDefaultTimeoutSeconds;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "-o" || args[i] == "--timeout") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        if (args[i] == "-o")
          out = args[++i];
        else
          timeout = ParseNumber(args[++i], 1, 3600, usage);
      } else if (args[i].size() > 1 && args[i][0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(args[i]);
      }
    }
    if (positional.size() != 2 || out.empty()) throw CliError(kExitUsage, usage);
    const std::string& host = positional[0];
    int port = ParseNumber(positional[1], 1, 65535, usage);
    std::string peer = host + ":" + positional[1];

    // The connection runs on a Qt event loop.
    static int argc = 1;
    static char name[] = "kandrel-cli";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);

    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.RebuildTree();
    CBaseSession session(doc);
    session.SetConnectTimeout(timeout * 1000);
    if (!session.Connect(host, port))
      throw CliError(kExitFailure, session.LastError().toStdString());

    bool replaced = false;
    bool closed = false;
    QEventLoop loop;
    // The answer may be large: the deadline counts from the last bytes that came in.
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(timeout * 1000);
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
      throw CliError(kExitFailure, peer + ": no answer within " + std::to_string(timeout) + " s");
    }
    SaveDocument(doc, out);
    session.Disconnect();
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeFetchCommand() {
  return std::make_unique<FetchCommand>();
}
