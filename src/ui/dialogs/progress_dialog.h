// The editor's side of IProgress: a window-modal dialog with what is being done, a bar and,
// where stopping loses nothing, "Отмена". It appears only once an operation has run for half a
// second, so quick ones never flash it.
//
// Two ways of use. An operation that runs on the interface thread (open, save, import, export,
// compare) calls Step now and then; the dialog then lets the event loop run briefly, so it
// paints and the button can be pressed. Network input waits meanwhile: a message that arrived
// in the middle of an import could change the very records being made. A download that the
// event loop drives (Start) only has its figures updated from the arriving bytes.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include "model/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDialog : public QDialog, public IProgress {
  Q_OBJECT
 public:
  static constexpr int kMinimumDurationMs = 500;

  // `mayStop`: whether "Отмена" is offered (a save has none).
  CProgressDialog(QWidget* parent, const QString& label, bool mayStop);
  ~CProgressDialog() override;

  // From the operation, on the interface thread: the bar follows; false once the user has
  // pressed "Отмена".
  bool Step(uint64_t done, uint64_t total) override;
  bool WasCancelled() const { return cancelled_; }

  // For an operation the event loop drives: the dialog appears after the minimum duration
  // unless Finish comes first.
  void Start();
  // The operation has ended (or the dialog goes for another reason): it closes.
  void Finish();
  // For a download of unknown size: `bytes` more have arrived; the dialog says how much so far.
  void AddReceived(qint64 bytes);

  // Whether an operation with a dialog of this kind is running on the interface thread, so
  // timers and window closing keep away from the document meanwhile.
  static bool Busy();

  QProgressBar* bar() const { return bar_; }
  QPushButton* cancelButton() const { return cancel_; }

 signals:
  // "Отмена" was pressed (or Esc, or the dialog's close button).
  void cancelled();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Cancel();
  void Appear();

  QLabel* label_;
  QLabel* detail_;
  QProgressBar* bar_;
  QPushButton* cancel_ = nullptr;
  bool mayStop_;
  bool cancelled_ = false;
  bool stepping_ = false;  // counted in Busy()
  bool finished_ = false;
  bool driven_ = false;
  qint64 received_ = 0;  // by the event loop (Start), not by calls from an operation
  QElapsedTimer sinceStart_;
  QElapsedTimer sinceEvents_;
  QTimer appearTimer_;
};
