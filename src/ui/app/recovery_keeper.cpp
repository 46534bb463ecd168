#include "ui/app/recovery_keeper.h"

#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/network/frame_network.h"

int CRecoveryKeeper::IntervalMs() {
  bool ok = false;
  int ms = qEnvironmentVariableIntValue("KANDREL_RECOVERY_INTERVAL_MS", &ok);
  return ok && ms > 0 ? ms : 2 * 60 * 1000;
}

CRecoveryKeeper::CRecoveryKeeper(CMainFrame* frame) : QObject(frame), frame_(frame) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &CRecoveryKeeper::Write);
}

void CRecoveryKeeper::DocumentChanged() {
  // The first change after a copy starts the clock; later ones ride along with it.
  if (!timer_.isActive()) timer_.start(IntervalMs());
}

void CRecoveryKeeper::WriteNow() {
  if (frame_->isWindowModified()) Write();
}

void CRecoveryKeeper::Write() {
  timer_.stop();
  if (!frame_->isWindowModified()) return;
  if (CProgressDialog::Busy()) {
    // Not in the middle of an import or a save: the copy follows once it has ended.
    timer_.start(1000);
    return;
  }
  QString path = frame_->filePath();
  if (hasCopy_ && writtenFor_ != path) store_.Remove(writtenFor_);
  // Writing derives patterns from texts as a save does; what changes goes through the gate.
  CWriteGate::Action writes(frame_->network() ? &frame_->network()->gate() : nullptr,
                            WriteOrigin::kSave);
  QByteArray bytes = QByteArray::fromStdString(frame_->document().SaveToBytes());
  // A copy that cannot be written is no reason to disturb the user's work; the next change
  // tries again.
  hasCopy_ = store_.Write(path, bytes);
  writtenFor_ = path;
}

void CRecoveryKeeper::Forget() {
  timer_.stop();
  if (hasCopy_) store_.Remove(writtenFor_);
  hasCopy_ = false;
  if (!adopted_.copyPath.isEmpty()) CRecoveryStore::Discard(adopted_);
  adopted_ = {};
}

void CRecoveryKeeper::OfferRecovery() {
  for (const CRecoveryStore::Entry& entry : store_.FindOrphans()) {
    QString name =
        entry.originalPath.isEmpty() ? tr("без имени") : QFileInfo(entry.originalPath).fileName();
    QMessageBox box(
        QMessageBox::Question, QStringLiteral("Kandrel"),
        tr("Kandrel был завершён, не сохранив документ «%1». Найдена его копия "
           "восстановления, записанная %2.\n\nВосстановить документ из неё?")
            .arg(name, QLocale().toString(entry.written.toLocalTime(), QLocale::ShortFormat)),
        QMessageBox::NoButton, frame_);
    box.setObjectName(QStringLiteral("recoveryDialog"));
    if (!entry.originalPath.isEmpty()) box.setInformativeText(entry.originalPath);
    QPushButton* restore = box.addButton(tr("Восстановить"), QMessageBox::AcceptRole);
    restore->setObjectName(QStringLiteral("recoverButton"));
    QPushButton* discard = box.addButton(tr("Удалить копию"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("discardButton"));
    QPushButton* later = box.addButton(tr("Позже"), QMessageBox::RejectRole);
    later->setObjectName(QStringLiteral("laterButton"));
    box.setDefaultButton(restore);
    box.setEscapeButton(later);
    RunModal(box);
    if (box.clickedButton() == discard) {
      CRecoveryStore::Discard(entry);
    } else if (box.clickedButton() == restore &&
               frame_->OpenRecoveryCopy(entry.copyPath, entry.originalPath)) {
      adopted_ = entry;  // it goes when the restored document is saved or given up
    }
  }
}
