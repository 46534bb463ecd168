// kandrel.fetch and kandrel.watch: a running server's base and its values. The connection
// runs on a Qt event loop, turned inside the call without the interpreter lock; Ctrl-C ends
// the wait.

// Python's headers go before Qt's, which define `slots` as a word of their own.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bindings.h"
#include "errors.h"
#include "model/cp1251.h"
#include "net/base_session.h"
#include "text.h"

namespace py = pybind11;

namespace kpy {

namespace {

// The whole download ends within the timeout; a server that sends nothing for this long is
// given up sooner.
constexpr int kSilenceSeconds = 10;
// How often a wait looks up from the event loop for Ctrl-C.
constexpr int kSignalPollMs = 100;

// Qt's networking needs an application object; a script has none, so the module makes one
// the first time and keeps it.
void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kandrel";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

[[noreturn]] void ThrowNetworkError(const std::string& peer, const std::string& message) {
  std::string cause = message;
  if (cause.rfind(peer + ": ", 0) == 0) cause = cause.substr(peer.size() + 2);
  throw ScriptError(ErrorClass::kNetwork, message, peer, cause);
}

// Turns the loop until `done` says so, without the interpreter lock, looking up for signals
// (Ctrl-C raises KeyboardInterrupt) every few milliseconds.
void RunUntil(QEventLoop& loop, const std::function<bool()>& done) {
  QTimer poll;
  poll.setInterval(kSignalPollMs);
  QObject::connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start();
  while (!done()) {
    {
      py::gil_scoped_release unlocked;
      loop.exec();
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  }
}

int CheckPort(int port) {
  if (port < 1 || port > 65535) throw py::value_error("a port is a number from 1 to 65535");
  return port;
}

bool ConnectReleased(CBaseSession& session, const std::string& host, int port) {
  py::gil_scoped_release unlocked;
  return session.Connect(host, port);
}

DocumentPtr Fetch(const std::string& host, int port, double timeout) {
  CheckPort(port);
  if (!(timeout > 0)) throw py::value_error("the timeout is a number of seconds above 0");
  EnsureApplication();
  std::string peer = host + ":" + std::to_string(port);
  auto h = std::make_shared<DocumentHandle>();
  h->doc().OnNewDocument();
  h->doc().RebuildTree();

  const qint64 timeoutMs = qint64(std::min(timeout, 86400.0) * 1000);
  QDeadlineTimer deadline{std::chrono::milliseconds(timeoutMs)};
  const int silenceMs = int(std::min<qint64>(timeoutMs, kSilenceSeconds * 1000));
  auto seconds = [](qint64 ms) { return std::to_string((ms + 999) / 1000) + " s"; };

  CBaseSession session(h->doc());
  // A script that fetches only reads: nothing of its own goes to the server.
  session.SetReportsValues(false);
  session.SetConnectTimeout(silenceMs);
  if (!ConnectReleased(session, host, port)) {
    if (deadline.hasExpired())
      ThrowNetworkError(peer, peer + ": no answer within " + seconds(timeoutMs));
    ThrowNetworkError(peer, session.LastError().toStdString());
  }

  bool replaced = false, closed = false, silent = false, heard = false, expired = false;
  QEventLoop loop;
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
  QObject::connect(&whole, &QTimer::timeout, &loop, [&] {
    expired = true;
    loop.quit();
  });
  QObject::connect(&session, &CBaseSession::baseReplaced, &loop, [&] {
    replaced = true;
    loop.quit();
  });
  QObject::connect(&session, &CBaseSession::disconnected, &loop, [&] {
    closed = true;
    loop.quit();
  });
  if (!session.RequestBase()) ThrowNetworkError(peer, session.LastError().toStdString());
  idle.start();
  whole.start(std::max<qint64>(deadline.remainingTime(), 0));
  RunUntil(loop, [&] { return replaced || closed || silent || expired; });
  if (!replaced) {
    if (closed) ThrowNetworkError(peer, session.LastError().toStdString());
    if (!heard)
      ThrowNetworkError(peer,
                        peer + ": no answer within " + seconds(silent ? silenceMs : timeoutMs));
    if (silent)
      ThrowNetworkError(
          peer, peer + ": silent for " + seconds(silenceMs) + " before the base was complete");
    ThrowNetworkError(peer, peer + ": no complete base within " + seconds(timeoutMs));
  }
  session.Disconnect();
  return h;
}

// One change of a watched value.
struct Sample {
  qint64 msecs;
  uint32_t id;
  std::string path;   // UTF-8
  std::string value;  // UTF-8
};

class Watch {
 public:
  Watch(const std::string& host, int port, std::optional<std::vector<long>> ids,
        std::optional<std::vector<std::string>> paths, std::optional<double> seconds)
      : peer_(host + ":" + std::to_string(port)) {
    CheckPort(port);
    if (seconds && !(*seconds > 0)) throw py::value_error("seconds is a number above 0");
    for (long id : ids.value_or(std::vector<long>{})) {
      if (id < 1 || id > 0xFFFFFFFFl) throw py::value_error("an identifier is a positive number");
      ids_.push_back(uint32_t(id));
    }
    for (const std::string& p : paths.value_or(std::vector<std::string>{})) {
      std::string bytes;
      if (Utf8ToCp1251(p, &bytes) > 0)
        throw py::value_error("windows-1251 cannot hold the path " + p);
      paths_.push_back(std::move(bytes));
    }
    EnsureApplication();
    doc_.OnNewDocument();
    doc_.RebuildTree();
    session_ = std::make_unique<CBaseSession>(doc_);
    // A watcher only listens: values the server sets are not reported back to it.
    session_->SetReportsValues(false);
    session_->SetConnectTimeout(kSilenceSeconds * 1000);
    if (!ConnectReleased(*session_, host, port))
      ThrowNetworkError(peer_, session_->LastError().toStdString());
    Follow();
    if (!session_->RequestBase()) ThrowNetworkError(peer_, session_->LastError().toStdString());
    baseDeadline_.start();
    RunUntil(loop_, [&] { return watching_ || !failure_.empty(); });
    if (!failure_.empty()) Fail();
    if (seconds) {
      stopAfter_.setSingleShot(true);
      QObject::connect(&stopAfter_, &QTimer::timeout, &loop_, [this] {
        finished_ = true;
        loop_.quit();
      });
      stopAfter_.start(int(std::min(*seconds, 2000000.0) * 1000));
    }
  }

  py::object Next() {
    if (queue_.empty() && !finished_ && failure_.empty())
      RunUntil(loop_, [&] { return !queue_.empty() || finished_ || !failure_.empty(); });
    if (!queue_.empty()) {
      Sample s = std::move(queue_.front());
      queue_.pop_front();
      py::object datetime = py::module_::import("datetime");
      py::object time = datetime.attr("datetime")
                            .attr("fromtimestamp")(double(s.msecs) / 1000.0,
                                                   datetime.attr("timezone").attr("utc"));
      return py::make_tuple(time, s.id, py::str(s.path), py::str(s.value));
    }
    if (!failure_.empty()) Fail();
    Close();
    throw py::stop_iteration();
  }

  void Close() {
    finished_ = true;
    if (session_) session_->Disconnect();
  }

 private:
  [[noreturn]] void Fail() {
    std::string failure = failure_;
    Close();
    ThrowNetworkError(peer_, failure);
  }

  void Follow() {
    baseDeadline_.setSingleShot(true);
    baseDeadline_.setInterval(kSilenceSeconds * 1000);
    QObject::connect(&baseDeadline_, &QTimer::timeout, &loop_, [this] {
      failure_ = peer_ + ": no answer within " + std::to_string(kSilenceSeconds) + " s";
      loop_.quit();
    });
    QObject::connect(session_.get(), &CNetClient::bytesArrived, &baseDeadline_, [this] {
      if (!watching_) baseDeadline_.start();
    });
    QObject::connect(session_.get(), &CBaseSession::baseReplaced, &loop_, [this] {
      if (watching_) {
        Snapshot();  // the server sent a base of its own: follow its values from here
        return;
      }
      baseDeadline_.stop();
      failure_ = Choose();
      if (failure_.empty()) {
        Snapshot();
        watching_ = true;
      }
      loop_.quit();
    });
    auto changed = [this](quint32 id) {
      if (!watching_ || finished_) return;
      auto it = watched_.find(id);
      if (it == watched_.end()) return;
      const CPropertyItem* p = AsProperty(doc_.LookupRecord(id));
      if (!p || (p->GetRawValue() == it->second.first && p->valueText == it->second.second)) return;
      it->second = {p->GetRawValue(), p->valueText};
      queue_.push_back({QDateTime::currentMSecsSinceEpoch(), id, Cp1251ToUtf8(GetRecordPath(p)),
                        Cp1251ToUtf8(p->valueText)});
      loop_.quit();
    };
    QObject::connect(session_.get(), &CBaseSession::rawValueReceived, &loop_, changed);
    QObject::connect(session_.get(), &CBaseSession::valueTextReceived, &loop_, changed);
    QObject::connect(session_.get(), &CBaseSession::disconnected, &loop_, [this] {
      if (finished_) return;
      if (failure_.empty()) failure_ = session_->LastError().toStdString();
      if (failure_.empty()) failure_ = peer_ + ": the connection ended";
      loop_.quit();
    });
  }

  // The watched properties from the identifiers and paths; the reason when one names nothing.
  std::string Choose() {
    watched_.clear();
    watchAll_ = ids_.empty() && paths_.empty();
    for (uint32_t id : ids_) {
      const CPropertyItem* p = AsProperty(doc_.LookupRecord(id));
      if (!p || p->id != id)
        return peer_ + ": no property has the identifier " + std::to_string(id);
      watched_[id] = {};
    }
    if (paths_.empty()) return {};
    std::unordered_set<std::string> wanted(paths_.begin(), paths_.end()), found;
    std::function<void(const CRecord*, bool)> collect = [&](const CRecord* r, bool inside) {
      std::string path = GetRecordPath(r);
      if (wanted.count(path)) {
        found.insert(path);
        inside = true;
      }
      if (const CPropertyItem* p = AsProperty(r)) {
        if (inside) watched_[p->id] = {};
        return;
      }
      ForEachChild(r, [&](const CRecord* c) { collect(c, inside); });
    };
    for (int i = 0, n = doc_.RowCount(nullptr); i < n; ++i)
      collect(doc_.RecordAt(nullptr, i), false);
    for (const std::string& path : paths_)
      if (!found.count(path)) return peer_ + ": no record has the path " + Cp1251ToUtf8(path);
    return {};
  }

  // The values the watch starts from: only what differs from them is told.
  void Snapshot() {
    if (watchAll_) watched_.clear();
    std::function<void(const CRecord*)> take = [&](const CRecord* r) {
      if (const CPropertyItem* p = AsProperty(r)) {
        if (watchAll_ || watched_.count(p->id)) watched_[p->id] = {p->GetRawValue(), p->valueText};
        return;
      }
      ForEachChild(r, take);
    };
    for (int i = 0, n = doc_.RowCount(nullptr); i < n; ++i) take(doc_.RecordAt(nullptr, i));
  }

  std::string peer_;
  std::vector<uint32_t> ids_;
  std::vector<std::string> paths_;
  CTarnelDoc doc_;
  QEventLoop loop_;
  QTimer baseDeadline_;
  QTimer stopAfter_;
  std::unique_ptr<CBaseSession> session_;  // goes before the document and the loop
  bool watching_ = false;
  bool watchAll_ = false;
  bool finished_ = false;
  std::string failure_;
  std::unordered_map<uint32_t, std::pair<uint32_t, std::string>> watched_;
  std::deque<Sample> queue_;
};

}  // namespace

void RegisterNetwork(py::module_& m) {
  m.def("fetch", &Fetch, py::arg("host"), py::arg("port"), py::arg("timeout") = 60.0, R"doc(
Downloads a running server's base into a new Document.

The whole download, connecting included, ends within `timeout` seconds; a server that sends
nothing for 10 seconds is given up sooner. Nothing is sent to the server but the request for
its base. Raises NetworkError naming the server and the cause.
)doc");

  py::class_<Watch>(m, "Watch", R"doc(
The changes of a server's values as they arrive: iterate to get (time, id, path, value)
tuples, `time` a timezone-aware datetime, `value` the new value text. Made by kandrel.watch.
Close it (or use it in a `with` block) to leave the server.
)doc")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &Watch::Next)
      .def("close", &Watch::Close, "Disconnects; iteration ends.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Watch& w, py::args) {
        w.Close();
        return false;
      });

  m.def(
      "watch",
      [](const std::string& host, int port, std::optional<std::vector<long>> ids,
         std::optional<std::vector<std::string>> paths, std::optional<double> seconds) {
        return std::make_unique<Watch>(host, port, std::move(ids), std::move(paths), seconds);
      },
      py::arg("host"), py::arg("port"), py::arg("ids") = py::none(), py::arg("paths") = py::none(),
      py::arg("seconds") = py::none(), R"doc(
Follows a server's values: connects, takes its base, and yields (time, id, path, value) for
every change of a watched property the moment it arrives.

`ids` and `paths` choose the properties (a path may name a branch: all its properties); none
given watches every property. `seconds` ends the watch after that long (None: until the
server closes, which raises NetworkError, or the loop is left). Only listens: nothing goes to
the server but the request for its base.

    for time, id, path, value in kandrel.watch("127.0.0.1", 6000, paths=["/Hardware"]):
        print(time, path, value)
)doc");
}

}  // namespace kpy
