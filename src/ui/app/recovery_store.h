// Recovery copies of documents with unsaved changes, kept in the user's application data folder
// ("recovery" under QStandardPaths::AppDataLocation). Every running editor is a session with a
// name of its own; its copies are named after the session and the document
// ("SESSION-HASH-NAME.kdl", HASH from the document's full path), each with a sidecar
// (recovery_sidecar.h). While the session runs, its process holds a lock on "SESSION.lock";
// the kernel lets go of it when the process dies, however it dies, so a copy whose session's
// lock nobody holds is left behind and offered. Copies are written atomically and never touch
// the user's file; a session removes only its own. QtCore only, so the rules can be tried
// without a window.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class CRecoveryStore {
 public:
  struct Entry {
    QString copyPath;      // the recovery copy (.kdl)
    QString sidecarPath;   // its sidecar (.json)
    QString originalPath;  // the document's file as the sidecar names it; empty: never saved
    QDateTime written;
    QString session;  // the session that wrote it; empty for copies of earlier versions
    // Whether the copy's own name was made from originalPath: only then is the restored
    // document bound to that file.
    bool nameMatchesPath = false;
  };
  // A sidecar that cannot be read (or names no copy) and whose session does not run.
  struct Unreadable {
    QString sidecarPath;
    QString reason;
  };
  struct LeftBehind {
    QList<Entry> copies;  // oldest first
    QList<Unreadable> unreadable;
  };

  // The default folder: "recovery" in the application data folder.
  CRecoveryStore();
  explicit CRecoveryStore(QString folder);
  // A clean end: the session's lock goes (its file too when no copy of the session is left).
  ~CRecoveryStore();
  CRecoveryStore(const CRecoveryStore&) = delete;
  CRecoveryStore& operator=(const CRecoveryStore&) = delete;

  const QString& folder() const { return folder_; }
  const QString& session() const { return session_; }

  // This session's copy for a document (empty path: the unnamed document).
  QString CopyPathFor(const QString& documentPath) const;
  // Writes the bytes as this session's copy of the document and its sidecar, each atomically,
  // taking the session's lock first. False (and `error` set) when the folder, the lock or a
  // file cannot be written.
  bool Write(const QString& documentPath, const QByteArray& bytes, QString* error = nullptr);
  // Removes this session's copy of the document and its sidecar, if any.
  void Remove(const QString& documentPath);
  // What sessions that no longer run have left behind.
  LeftBehind FindLeftBehind() const;
  QList<Entry> FindOrphans() const { return FindLeftBehind().copies; }
  // Whether the session's process still runs: somebody holds its lock.
  bool SessionRuns(const QString& session) const;
  // Remove a copy and its sidecar (and the lock file of a session that has nothing left).
  // False with `error` naming the file and the cause when a file stays.
  static bool Discard(const Entry& entry, QString* error = nullptr);
  static bool DiscardSidecar(const QString& sidecarPath, QString* error = nullptr);

 private:
  QString BaseFor(const QString& documentPath) const;
  bool HoldLock(QString* error);
  QString folder_;
  QString session_;
  int lockFd_ = -1;
};
