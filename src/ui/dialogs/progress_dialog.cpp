#include "ui/dialogs/progress_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The bar's resolution; finer steps would not show.
constexpr int kBarScale = 1000;
// How often, at most, the event loop runs during an operation on the interface thread: often
// enough that the dialog paints and answers at once, rarely enough to cost nothing.
constexpr int kEventsEveryMs = 40;

int& BusyCount() {
  static int count = 0;
  return count;
}

}  // namespace

namespace {
// A modal dialog that is open (the import dialog) would block one that belongs to the main
// window: the progress goes over it instead.
QWidget* Owner(QWidget* parent) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal ? modal : parent;
}
}  // namespace

CProgressDialog::CProgressDialog(QWidget* parent, const QString& label, bool mayStop)
    : QDialog(Owner(parent)), mayStop_(mayStop) {
  setObjectName(QStringLiteral("progressDialog"));
  setWindowTitle(QStringLiteral("Kandrel"));
  setWindowModality(Qt::WindowModal);
  // No close button on the frame when there is nothing to stop.
  if (!mayStop) setWindowFlag(Qt::WindowCloseButtonHint, false);
  label_ = new QLabel(label, this);
  label_->setObjectName(QStringLiteral("progressLabel"));
  label_->setMinimumWidth(360);
  detail_ = new QLabel(this);
  detail_->setObjectName(QStringLiteral("progressDetail"));
  detail_->hide();
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(0, kBarScale);
  bar_->setValue(0);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(detail_);
  layout->addWidget(bar_);
  if (mayStop) {
    cancel_ = new QPushButton(tr("Отмена"), this);
    cancel_->setObjectName(QStringLiteral("progressCancelButton"));
    connect(cancel_, &QPushButton::clicked, this, &CProgressDialog::Cancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
  }
  appearTimer_.setSingleShot(true);
  connect(&appearTimer_, &QTimer::timeout, this, &CProgressDialog::Appear);
  sinceStart_.start();
}

CProgressDialog::~CProgressDialog() {
  if (stepping_) --BusyCount();
}

bool CProgressDialog::Busy() {
  return BusyCount() > 0;
}

bool CProgressDialog::Step(uint64_t done, uint64_t total) {
  if (total == 0) {
    if (bar_->maximum() != 0) bar_->setRange(0, 0);  // busy: the amount is not known
  } else {
    if (bar_->maximum() == 0) bar_->setRange(0, kBarScale);
    bar_->setValue(int(double(done > total ? total : done) / double(total) * kBarScale));
  }
  if (driven_ || finished_) return !cancelled_;
  if (!stepping_) {
    stepping_ = true;
    ++BusyCount();
  }
  if (!isVisible()) {
    if (sinceStart_.elapsed() < kMinimumDurationMs) return !cancelled_;
    Appear();
  } else if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventsEveryMs) {
    return !cancelled_;
  }
  sinceEvents_.start();
  // The window-modal dialog keeps input away from the main window; network input waits for
  // the operation to end.
  QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
  return !cancelled_;
}

void CProgressDialog::Start() {
  driven_ = true;
  sinceStart_.start();
  appearTimer_.start(kMinimumDurationMs);
}

void CProgressDialog::Finish() {
  finished_ = true;
  appearTimer_.stop();
  hide();
}

void CProgressDialog::AddReceived(qint64 bytes) {
  received_ += bytes;
  detail_->setText(tr("Получено: %1 КиБ").arg(QLocale().toString(received_ / 1024)));
  detail_->show();
  Step(uint64_t(received_), 0);
}

void CProgressDialog::Appear() {
  if (finished_) return;
  show();
  raise();
}

void CProgressDialog::Cancel() {
  if (!mayStop_ || cancelled_) return;
  cancelled_ = true;
  label_->setText(tr("Остановка…"));
  if (cancel_) cancel_->setEnabled(false);
  emit cancelled();
}

void CProgressDialog::reject() {
  // Esc stops what may be stopped; a save goes on.
  Cancel();
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  Cancel();
}
