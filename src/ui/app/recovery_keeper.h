// Keeps a recovery copy of the open document while it has unsaved changes: written at most
// once per interval (two minutes; KANDREL_RECOVERY_INTERVAL_MS sets another) and at once after
// large changes, removed by a save, a clean exit or a switch to another document. At start it
// offers every copy a session that no longer runs left behind.
#pragma once

#include <QObject>
#include <QTimer>

#include "ui/app/recovery_store.h"

class CMainFrame;

class CRecoveryKeeper : public QObject {
  Q_OBJECT
 public:
  explicit CRecoveryKeeper(CMainFrame* frame);

  static int IntervalMs();
  CRecoveryStore& store() { return store_; }

  // The document has unsaved changes: a copy follows within the interval.
  void DocumentChanged();
  // A large change: the copy is written now.
  void WriteNow();
  // The changes are saved or given up: the copy goes.
  void Forget();
  // Asks about each copy left behind: restore (opens it as a modified document, bound to its
  // original file when the copy was written for it), discard, or keep it for later. Then lists
  // the sidecars that cannot be read, once, with the offer to delete them.
  void OfferRecovery();
  // Whether the last copy could not be written (the status bar has said why).
  bool protectionOff() const { return protectionOff_; }

 private:
  void Write();
  void Restore(const CRecoveryStore::Entry& entry);
  void OfferUnreadable(const QList<CRecoveryStore::Unreadable>& found);

  CMainFrame* frame_;
  CRecoveryStore store_;
  QTimer timer_;
  bool hasCopy_ = false;
  bool protectionOff_ = false;
  QString writtenFor_;             // the document path the copy was written for
  CRecoveryStore::Entry adopted_;  // a restored copy, removed with ours
};
