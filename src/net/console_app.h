// The Qt start-up that kandrel-cli and kandrel-sim share: the application object of a program
// without windows, and a clean stop on SIGINT and SIGTERM.
#pragma once

#include <functional>
#include <memory>

class QCoreApplication;
class QSocketNotifier;

// The application object a command needs for its event loop, named `name`; null when one
// exists already (a test makes its own).
std::unique_ptr<QCoreApplication> StartConsoleApp(const char* name);

// While it lives, SIGINT and SIGTERM call `stop` from the event loop, through a socket pair:
// nothing else is safe in a handler. The handlers before it come back when it goes. One lives
// at a time.
class CStopSignals {
 public:
  explicit CStopSignals(std::function<void()> stop);
  ~CStopSignals();
  CStopSignals(const CStopSignals&) = delete;
  CStopSignals& operator=(const CStopSignals&) = delete;

  // False when the socket pair could not be made: then no signal is caught.
  bool Ready() const { return notifier_ != nullptr; }
  // A signal came and was handed to `stop`, perhaps before the loop that waits ran.
  bool Fired() const { return fired_; }

 private:
  std::function<void()> stop_;
  bool fired_ = false;
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct Saved;
  std::unique_ptr<Saved> saved_;
};
