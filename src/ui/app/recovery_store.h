// Recovery copies of documents with unsaved changes, kept in the user's application data folder
// ("recovery" under QStandardPaths::AppDataLocation). Each copy is named after its document (a
// hash of the full path and the file's base name) and has a small sidecar with the original
// path, the time it was written and the writing process. Copies are written atomically and
// never touch the user's file. QtCore only, so the rule can be tried without a window.
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
    QString originalPath;  // the document's file; empty for a document never saved
    QDateTime written;
    qint64 pid = 0;  // the process that wrote it
  };

  // The default folder: "recovery" in the application data folder.
  CRecoveryStore();
  explicit CRecoveryStore(QString folder);
  const QString& folder() const { return folder_; }

  // The copy's path for a document (empty path: an unnamed document of this process).
  QString CopyPathFor(const QString& documentPath) const;
  // Writes the bytes as the document's recovery copy and its sidecar, each atomically. False
  // (and `error` set) when the folder or a file cannot be written.
  bool Write(const QString& documentPath, const QByteArray& bytes, QString* error = nullptr);
  // Removes the document's copy and sidecar, if any.
  void Remove(const QString& documentPath);
  // The copies left by processes that are no longer running, oldest first. Copies without a
  // readable sidecar are skipped.
  QList<Entry> FindOrphans() const;
  static void Discard(const Entry& entry);

 private:
  QString BaseFor(const QString& documentPath) const;
  QString folder_;
};
