#include "ui/app/lock_indicators.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#ifdef KANDREL_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace {

// The LED state of the X keyboard as bits Caps, Num, Scroll; 0 without an X display.
unsigned ReadLocks() {
#ifdef KANDREL_HAVE_X11
  if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
    if (Display* display = x11->display()) {
      unsigned leds = 0;
      if (XkbGetIndicatorState(display, XkbUseCoreKbd, &leds) == Success)
        return (leds & 1 ? 1u : 0u) | (leds & 2 ? 2u : 0u) | (leds & 4 ? 4u : 0u);
    }
  }
#endif
  return 0;
}

}  // namespace

LockIndicators::LockIndicators(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("lockIndicators"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  const char* const names[] = {"CAP", "NUM", "SCRL"};
  for (int i = 0; i < 3; ++i) {
    labels_[i] = new QLabel(QLatin1String(names[i]), this);
    labels_[i]->setObjectName(QStringLiteral("indicator%1").arg(QLatin1String(names[i])));
    labels_[i]->setFrameShape(QFrame::Panel);
    labels_[i]->setFrameShadow(QFrame::Sunken);
    labels_[i]->setAlignment(Qt::AlignCenter);
    labels_[i]->setMinimumWidth(
        labels_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    layout->addWidget(labels_[i]);
  }
  SetState(0);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &LockIndicators::Poll);
  timer->start(300);
}

void LockIndicators::SetState(unsigned bits) {
  for (int i = 0; i < 3; ++i) labels_[i]->setEnabled(bits >> i & 1);
}

void LockIndicators::Poll() {
  SetState(ReadLocks());
}
