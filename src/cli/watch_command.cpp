// watch: follows a server's values as they change and prints each change of the chosen
// properties as one line, JSON or CSV, the moment it arrives.
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "base_download.h"
#include "command.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "model/record_lookup.h"
#include "net/base_session.h"
#include "net/console_app.h"
#include "net/monitor/sample_csv.h"

namespace {

// How long the base may take to start and to keep arriving, and to arrive whole.
constexpr int kBaseTimeoutSeconds = 10;
constexpr int kWholeBaseSeconds = kDefaultTimeoutSeconds;
// The longest --seconds: what a timer's milliseconds can count (over three weeks).
constexpr long kMaxSeconds = 2000000;

long ParseNumber(const std::string& text, long lo, long hi, const std::string& usage) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < lo || v > hi) throw CliError(kExitUsage, usage);
  return v;
}

struct Options {
  std::string host;
  int port = 0;
  std::vector<uint32_t> ids;
  std::vector<std::string> paths;  // windows-1251
  long count = 0;                  // 0: no limit
  long seconds = 0;                // 0: no limit
  bool csv = false;
};

// The last value printed (or found in the base) of each watched property.
struct Watched {
  uint32_t raw = 0;
  std::string text;
};

class WatchCommand : public Command {
 public:
  const char* Name() const override { return "watch"; }
  const char* Usage() const override {
    return "HOST PORT [--id N ...] [--path P ...] [--count K] [--seconds S] [--csv]";
  }

  int Run(const std::vector<std::string>& args) override {
    Options o = Parse(args);
    std::string peer = o.host + ":" + std::to_string(o.port);

    std::unique_ptr<QCoreApplication> app = StartConsoleApp("kandrel-cli");

    // --seconds counts from here: connecting and the wait for the base are part of it.
    QDeadlineTimer end = o.seconds > 0 ? QDeadlineTimer(std::chrono::seconds(o.seconds))
                                       : QDeadlineTimer(QDeadlineTimer::Forever);
    QDeadlineTimer baseEnd{std::chrono::seconds(kWholeBaseSeconds)};
    if (end.deadline() < baseEnd.deadline()) baseEnd = end;
    auto remainingMs = [](const QDeadlineTimer& t) {
      if (t.isForever()) return int(kMaxSeconds * 1000);
      return int(std::clamp<qint64>(t.remainingTime(), 0, qint64(kMaxSeconds) * 1000));
    };
    bool heard = false;  // any byte of the server's
    auto noBase = [&] {
      return peer + (heard ? ": no complete base within " : ": no answer within ") +
             std::to_string(o.seconds > 0 && o.seconds < kWholeBaseSeconds ? o.seconds
                                                                           : kWholeBaseSeconds) +
             " s";
    };

    QEventLoop loop;
    // From here on an interrupt ends the watch as a success, even while connecting.
    CStopSignals interrupts([&loop] { loop.quit(); });
    if (!interrupts.Ready()) throw CliError(kExitFailure, "cannot watch for interrupts");
    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.RebuildTree();
    CBaseSession session(doc);
    // A watcher only listens: values the server sets are not reported back to it.
    session.SetReportsValues(false);
    session.SetConnectTimeout(std::max(1, std::min(kBaseTimeoutSeconds * 1000, remainingMs(end))));
    if (!session.Connect(o.host, o.port)) {
      if (end.hasExpired()) throw CliError(kExitFailure, noBase());
      throw CliError(kExitFailure, session.LastError().toStdString());
    }

    std::string failure;  // set when the watch cannot go on
    bool watching = false;
    bool over = false;  // the time is up: what still arrives is not printed
    long printed = 0;

    // The base must not go silent for long, and must be complete in time however the server
    // keeps the connection busy.
    QTimer silence;  // restarted by every read while the base comes in
    silence.setSingleShot(true);
    silence.setInterval(kBaseTimeoutSeconds * 1000);
    QObject::connect(&silence, &QTimer::timeout, &loop, [&] {
      failure = peer + ": no answer within " + std::to_string(kBaseTimeoutSeconds) + " s";
      loop.quit();
    });
    QTimer baseLimit;
    baseLimit.setSingleShot(true);
    QObject::connect(&baseLimit, &QTimer::timeout, &loop, [&] {
      failure = noBase();
      loop.quit();
    });
    // The end of --seconds; also checked as bytes arrive, since a flood of messages can hold
    // the timer back.
    QTimer stopAfter;
    stopAfter.setSingleShot(true);
    auto stop = [&] {
      over = true;
      if (!watching && failure.empty()) failure = noBase();
      loop.quit();
    };
    QObject::connect(&stopAfter, &QTimer::timeout, &loop, stop);
    QObject::connect(&session, &CNetClient::bytesArrived, &loop, [&] {
      heard = true;
      if (end.hasExpired()) {
        stop();
        return;
      }
      if (!watching) silence.start();
    });

    QObject::connect(&session, &CBaseSession::baseReplaced, &loop, [&] {
      if (over) return;
      if (watching) {
        Snapshot(doc);  // the server sent a base of its own: follow its values from here
        return;
      }
      silence.stop();
      baseLimit.stop();
      failure = Choose(doc, o, peer);
      if (!failure.empty()) {
        loop.quit();
        return;
      }
      Snapshot(doc);
      watching = true;
      if (o.csv) Print(CsvRow({"time", "id", "path", "value", "raw"}));
    });
    auto changed = [&](quint32 id) {
      if (!watching || over || !failure.empty() || (o.count > 0 && printed >= o.count)) return;
      if (end.hasExpired()) {
        stop();
        return;
      }
      bool shown = PrintIfChanged(doc, id, o.csv);
      if (writeFailed_) {
        failure = "standard output: write error";
        loop.quit();
      } else if (shown && ++printed == o.count) {
        loop.quit();
      }
    };
    QObject::connect(&session, &CBaseSession::rawValueReceived, &loop, changed);
    QObject::connect(&session, &CBaseSession::valueTextReceived, &loop, changed);
    QObject::connect(&session, &CBaseSession::disconnected, &loop, [&] {
      if (over) return;
      if (failure.empty()) failure = session.LastError().toStdString();
      if (failure.empty()) failure = peer + ": the connection ended";
      loop.quit();
    });

    if (!session.RequestBase()) throw CliError(kExitFailure, session.LastError().toStdString());
    silence.start();
    baseLimit.start(remainingMs(baseEnd));
    if (o.seconds > 0) stopAfter.start(remainingMs(end));
    if (!interrupts.Fired() && !end.hasExpired()) loop.exec();
    if (end.hasExpired() && !watching && failure.empty()) failure = noBase();
    if (!failure.empty()) throw CliError(kExitFailure, failure);
    session.Disconnect();
    return kExitOk;
  }

 private:
  Options Parse(const std::vector<std::string>& args) const {
    std::string usage = std::string("usage: kandrel-cli watch ") + Usage();
    Options o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--csv") {
        o.csv = true;
      } else if (a == "--id" || a == "--path" || a == "--count" || a == "--seconds") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        const std::string& v = args[++i];
        if (a == "--id") {
          o.ids.push_back(uint32_t(ParseNumber(v, 1, 0xFFFFFFFFl, usage)));
        } else if (a == "--path") {
          std::string path;
          if (Utf8ToCp1251(v, &path) > 0)
            throw CliError(kExitUsage, "--path " + v + ": windows-1251 cannot hold this path");
          o.paths.push_back(std::move(path));
        } else if (a == "--count") {
          o.count = ParseNumber(v, 1, 1000000000l, usage);
        } else {
          o.seconds = ParseNumber(v, 1, kMaxSeconds, usage);
        }
      } else if (a.size() > 1 && a[0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(a);
      }
    }
    if (positional.size() != 2) throw CliError(kExitUsage, usage);
    o.host = positional[0];
    o.port = int(ParseNumber(positional[1], 1, 65535, usage));
    return o;
  }

  // Fills watched_ from the options; the reason when one of them names nothing.
  std::string Choose(CTarnelDoc& doc, const Options& o, const std::string& peer) {
    watched_.clear();
    watchAll_ = o.ids.empty() && o.paths.empty();
    for (uint32_t id : o.ids) {
      const CPropertyItem* p = AsProperty(doc.LookupRecord(id));
      if (!p || p->id != id) return peer + ": no property has the identifier " + std::to_string(id);
      watched_.emplace(id, Watched{});
    }
    if (o.paths.empty()) return {};
    // A path names a property, or a branch whose properties are all watched.
    for (const std::string& path : o.paths) {
      std::vector<CRecord*> found = FindRecordsByPath(doc, path);
      if (found.empty()) return peer + ": no record has the path " + EscapedText(path);
      std::vector<CPropertyItem*> properties;
      for (const CRecord* r : found) CollectProperties(r, &properties);
      for (const CPropertyItem* p : properties) watched_.emplace(p->id, Watched{});
    }
    return {};
  }

  // The values the watch starts from: only what differs from them is printed.
  void Snapshot(CTarnelDoc& doc) {
    if (watchAll_) {
      watched_.clear();
      for (CBase* g : doc.Groups()) SnapshotAll(g);
      return;
    }
    for (auto& [id, w] : watched_)
      if (const CPropertyItem* p = AsProperty(doc.LookupRecord(id)))
        w = {p->GetRawValue(), p->valueText};
  }
  void SnapshotAll(const CRecord* r) {
    if (const CPropertyItem* p = AsProperty(r)) {
      watched_[p->id] = {p->GetRawValue(), p->valueText};
      return;
    }
    ForEachChild(r, [&](const CRecord* c) { SnapshotAll(c); });
  }

  bool PrintIfChanged(CTarnelDoc& doc, uint32_t id, bool csv) {
    auto it = watched_.find(id);
    if (it == watched_.end()) return false;
    const CPropertyItem* p = AsProperty(doc.LookupRecord(id));
    if (!p || (p->GetRawValue() == it->second.raw && p->valueText == it->second.text)) return false;
    it->second = {p->GetRawValue(), p->valueText};
    std::string time = IsoTimeMs(QDateTime::currentMSecsSinceEpoch());
    std::string path = Cp1251ToUtf8(GetRecordPath(p));
    std::string value = Cp1251ToUtf8(p->valueText);
    if (csv) {
      Print(CsvRow({time, std::to_string(id), path, value, std::to_string(p->GetRawValue())}));
    } else {
      QJsonObject line;
      line["time"] = QString::fromStdString(time);
      line["id"] = qint64(id);
      line["path"] = QString::fromStdString(path);
      line["value"] = QString::fromStdString(value);
      line["raw"] = qint64(p->GetRawValue());
      QByteArray json = QJsonDocument(line).toJson(QJsonDocument::Compact);
      json.append('\n');
      Print(json.toStdString());
    }
    return true;
  }

  // Each line leaves at once, so a pipe sees the change when it happens. Runs inside the event
  // loop, so a failure is noted for the caller instead of thrown.
  void Print(const std::string& line) {
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0)
      writeFailed_ = true;
  }

  std::unordered_map<uint32_t, Watched> watched_;
  bool watchAll_ = false;
  bool writeFailed_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeWatchCommand() {
  return std::make_unique<WatchCommand>();
}
