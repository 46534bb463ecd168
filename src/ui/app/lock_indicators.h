// The status bar's Caps Lock, Num Lock and Scroll Lock indicators: dimmed while the lock is
// off. The state is read from the X server where there is one; elsewhere they stay dimmed.
#pragma once

#include <QWidget>

class QLabel;

class LockIndicators : public QWidget {
  Q_OBJECT
 public:
  explicit LockIndicators(QWidget* parent = nullptr);
  // Bit 0 Caps, bit 1 Num, bit 2 Scroll.
  void SetState(unsigned bits);

 private:
  void Poll();
  QLabel* labels_[3];
};
