#include "ui/app/recovery_keeper.h"

#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/network/frame_network.h"

namespace {

// The unreadable sidecars already listed once.
const QString kListedKey = QStringLiteral("recovery/listedUnreadable");

}  // namespace

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
  // tries again. The user hears of it once, until a copy is written again.
  QString error;
  hasCopy_ = store_.Write(path, bytes, &error);
  writtenFor_ = path;
  if (!hasCopy_ && !protectionOff_)
    frame_->statusBar()->showMessage(
        tr("Защита от сбоев отключена: копию восстановления не удалось записать (%1)").arg(error));
  protectionOff_ = !hasCopy_;
}

void CRecoveryKeeper::Forget() {
  timer_.stop();
  if (hasCopy_) store_.Remove(writtenFor_);
  hasCopy_ = false;
  if (!adopted_.copyPath.isEmpty()) CRecoveryStore::Discard(adopted_);
  adopted_ = {};
}

void CRecoveryKeeper::OfferRecovery() {
  const CRecoveryStore::LeftBehind found = store_.FindLeftBehind();
  for (const CRecoveryStore::Entry& entry : found.copies) {
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
    QString error;
    if (box.clickedButton() == discard) {
      if (!CRecoveryStore::Discard(entry, &error))
        ShowError(frame_, QStringLiteral("Kandrel"),
                  tr("Копию восстановления не удалось удалить: %1").arg(error));
    } else if (box.clickedButton() == restore) {
      Restore(entry);
    }
  }
  if (!found.unreadable.isEmpty()) OfferUnreadable(found.unreadable);
}

void CRecoveryKeeper::Restore(const CRecoveryStore::Entry& entry) {
  // An empty copy would come back as an empty document bound to the user's file.
  if (QFileInfo(entry.copyPath).size() == 0) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Копия восстановления %1 пуста; документ не восстановлен.").arg(entry.copyPath));
    return;
  }
  // Only a copy that was written for that file goes back to it; any other is restored without
  // a name, and "Сохранить как" asks where it goes.
  QString original = entry.nameMatchesPath ? entry.originalPath : QString();
  if (!frame_->OpenRecoveryCopy(entry.copyPath, original)) return;
  adopted_ = entry;  // it goes when the restored document is saved or given up
  if (original.isEmpty() && !entry.originalPath.isEmpty())
    frame_->statusBar()->showMessage(
        tr("Копия восстановлена как документ без имени: она записана не для файла %1")
            .arg(entry.originalPath));
}

void CRecoveryKeeper::OfferUnreadable(const QList<CRecoveryStore::Unreadable>& found) {
  // Each is listed once: those the user chose to keep are not asked about again.
  QSettings settings;
  const QStringList listedBefore = settings.value(kListedKey).toStringList();
  QStringList listed;
  QList<CRecoveryStore::Unreadable> unreadable;
  for (const CRecoveryStore::Unreadable& u : found) {
    QString name = QFileInfo(u.sidecarPath).fileName();
    listed << name;
    if (!listedBefore.contains(name)) unreadable << u;
  }
  settings.setValue(kListedKey, listed);
  if (unreadable.isEmpty()) return;
  QStringList lines;
  for (const CRecoveryStore::Unreadable& u : unreadable)
    lines << QStringLiteral("%1: %2").arg(QFileInfo(u.sidecarPath).fileName(), u.reason);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Kandrel"),
                  tr("В папке копий восстановления есть описания, которые не удалось прочитать "
                     "(%1). Удалить их вместе с их копиями?")
                      .arg(unreadable.size()),
                  QMessageBox::NoButton, frame_);
  box.setObjectName(QStringLiteral("unreadableRecoveryDialog"));
  box.setInformativeText(store_.folder());
  box.setDetailedText(lines.join(QLatin1Char('\n')));
  QPushButton* remove = box.addButton(tr("Удалить"), QMessageBox::DestructiveRole);
  remove->setObjectName(QStringLiteral("deleteUnreadableButton"));
  QPushButton* keep = box.addButton(tr("Оставить"), QMessageBox::RejectRole);
  keep->setObjectName(QStringLiteral("keepUnreadableButton"));
  box.setDefaultButton(keep);
  box.setEscapeButton(keep);
  RunModal(box);
  if (box.clickedButton() != remove) return;
  QStringList failed;
  for (const CRecoveryStore::Unreadable& u : unreadable) {
    QString error;
    if (!CRecoveryStore::DiscardSidecar(u.sidecarPath, &error)) failed << error;
  }
  if (!failed.isEmpty())
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не удалось удалить:\n%1").arg(failed.join(QLatin1Char('\n'))));
}
