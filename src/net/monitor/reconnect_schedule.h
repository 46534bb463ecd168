// When to try a lost connection again: after 1, 2, 4 ... seconds, never waiting longer than
// 30, and from 1 again once a connection has come up.
#pragma once

#include <QObject>
#include <QTimer>

class CReconnectSchedule {
 public:
  static constexpr int kFirstDelaySeconds = 1;
  static constexpr int kLongestDelaySeconds = 30;

  // The wait before the next attempt; each call doubles the one after it.
  int NextDelaySeconds();
  // A connection came up: the next loss starts at the first delay again.
  void Reset() { attempts_ = 0; }
  int Attempts() const { return attempts_; }

 private:
  int attempts_ = 0;
};

// Drives a schedule on the event loop: counts the wait down a second at a time (for a status
// text such as "Переподключение через N с") and says when an attempt is due. The owner makes
// the attempt and reports how it went.
class CReconnectTimer : public QObject {
  Q_OBJECT

 public:
  explicit CReconnectTimer(QObject* parent = nullptr);

  // The connection was lost, or an attempt failed: wait for the next delay.
  void ConnectionLost();
  // An attempt succeeded: stop waiting, and start from the first delay next time.
  void ConnectionUp();
  // The user gave up ("Отключиться"): stop waiting; the next loss starts from the first delay.
  void Cancel();
  bool IsWaiting() const { return secondsLeft_ > 0; }
  int SecondsLeft() const { return secondsLeft_; }
  const CReconnectSchedule& Schedule() const { return schedule_; }
  // The length of one counted second; tests shorten it.
  void SetSecondLength(int milliseconds) { second_.setInterval(milliseconds); }

 signals:
  // Seconds left before the next attempt, once when the wait starts and then every second.
  void countdown(int seconds);
  // The wait is over: make the attempt now, then call ConnectionUp or ConnectionLost.
  void attemptDue();

 private:
  void OnSecond();

  CReconnectSchedule schedule_;
  QTimer second_;
  int secondsLeft_ = 0;
};
