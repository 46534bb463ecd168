#include "net/monitor/reconnect_schedule.h"

#include <algorithm>

int CReconnectSchedule::NextDelaySeconds() {
  // 1 << 5 is already past the longest wait; a larger shift would overflow.
  int shift = std::min(attempts_, 5);
  ++attempts_;
  return std::min(kFirstDelaySeconds << shift, kLongestDelaySeconds);
}

CReconnectTimer::CReconnectTimer(QObject* parent) : QObject(parent) {
  second_.setInterval(1000);
  connect(&second_, &QTimer::timeout, this, &CReconnectTimer::OnSecond);
}

void CReconnectTimer::ConnectionLost() {
  secondsLeft_ = schedule_.NextDelaySeconds();
  second_.start();
  emit countdown(secondsLeft_);
}

void CReconnectTimer::ConnectionUp() {
  second_.stop();
  secondsLeft_ = 0;
  schedule_.Reset();
}

void CReconnectTimer::Cancel() {
  ConnectionUp();
}

void CReconnectTimer::OnSecond() {
  if (secondsLeft_ <= 0) return;
  if (--secondsLeft_ > 0) {
    emit countdown(secondsLeft_);
    return;
  }
  second_.stop();
  emit attemptDue();
}
