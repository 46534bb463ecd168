#include "console_app.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

volatile int gWriteEnd = -1;

void OnStopSignal(int) {
  char c = 1;
  ssize_t ignored = ::write(gWriteEnd, &c, 1);
  (void)ignored;
}

}  // namespace

std::unique_ptr<QCoreApplication> StartConsoleApp(const char* name) {
  if (QCoreApplication::instance()) return nullptr;
  // Qt keeps the references for the application's life.
  static int argc = 1;
  static std::string storedName;
  static char* argv[] = {nullptr, nullptr};
  storedName = name;
  argv[0] = storedName.data();
  return std::make_unique<QCoreApplication>(argc, argv);
}

struct CStopSignals::Saved {
  struct sigaction interrupt = {};
  struct sigaction terminate = {};
};

CStopSignals::CStopSignals(std::function<void()> stop) : stop_(std::move(stop)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipe_) != 0) return;
  gWriteEnd = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    char c;
    ssize_t ignored = ::read(pipe_[0], &c, 1);
    (void)ignored;
    fired_ = true;
    if (stop_) stop_();
  });
  saved_ = std::make_unique<Saved>();
  struct sigaction sa = {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, &saved_->interrupt);
  sigaction(SIGTERM, &sa, &saved_->terminate);
}

CStopSignals::~CStopSignals() {
  if (!notifier_) return;
  sigaction(SIGINT, &saved_->interrupt, nullptr);
  sigaction(SIGTERM, &saved_->terminate, nullptr);
  notifier_.reset();
  gWriteEnd = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}
