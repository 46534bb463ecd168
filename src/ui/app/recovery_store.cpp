#include "ui/app/recovery_store.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ui/app/recovery_sidecar.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("RecoveryStore", text);
}

bool WriteAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
    return true;
  if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
  return false;
}

bool RemoveFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.exists() || file.remove()) return true;
  if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
  return false;
}

// The name part of a copy: the hash of the path as written (or of the session for the unnamed
// document) and the file's base name, cut so that the whole name stays well inside what file
// systems allow.
QString NamePart(const QString& path, const QString& unnamedKey) {
  QString key = path.isEmpty() ? unnamedKey : path;
  QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
  QString name = path.isEmpty() ? QStringLiteral("Kandrel") : QFileInfo(path).completeBaseName();
  return QString::fromLatin1(hash.left(16)) + QLatin1Char('-') + name.left(64);
}

// The session a file name starts with ("SESSION-..." or "SESSION.lock"), or nothing.
QString SessionOfName(const QString& fileName) {
  int end = fileName.indexOf(QLatin1Char('-'));
  QString session = end > 0 ? fileName.left(end) : QString();
  return IsRecoverySessionName(session) ? session : QString();
}

QString LockPath(const QString& folder, const QString& session) {
  return folder + QLatin1Char('/') + session + QStringLiteral(".lock");
}

QString NewSessionName() {
  // The time makes names of sessions after a power cut differ even when process numbers and
  // random numbers repeat; the random part separates sessions started in the same second.
  return QStringLiteral("s%1%2")
      .arg(QDateTime::currentSecsSinceEpoch(), 0, 36)
      .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

// Removes the lock file of a session that no longer runs once nothing of it is left.
void TidySession(const QString& folder, const QString& session) {
  if (session.isEmpty()) return;
  if (!QDir(folder).entryList({session + QStringLiteral("-*")}, QDir::Files).isEmpty()) return;
  if (CRecoveryStore(folder).SessionRuns(session)) return;
  QFile::remove(LockPath(folder, session));
}

}  // namespace

CRecoveryStore::CRecoveryStore()
    : CRecoveryStore(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                     QStringLiteral("/recovery")) {}

CRecoveryStore::CRecoveryStore(QString folder)
    : folder_(std::move(folder)), session_(NewSessionName()) {}

CRecoveryStore::~CRecoveryStore() {
  if (lockFd_ < 0) return;
  // A copy still here belongs to a document the user neither saved nor gave up: with the lock
  // gone it is offered at the next start.
  if (QDir(folder_).entryList({session_ + QStringLiteral("-*")}, QDir::Files).isEmpty())
    QFile::remove(LockPath(folder_, session_));
  ::close(lockFd_);
}

QString CRecoveryStore::BaseFor(const QString& documentPath) const {
  QString path = documentPath.isEmpty() ? QString() : QFileInfo(documentPath).absoluteFilePath();
  return folder_ + QLatin1Char('/') + session_ + QLatin1Char('-') + NamePart(path, session_);
}

QString CRecoveryStore::CopyPathFor(const QString& documentPath) const {
  return BaseFor(documentPath) + QStringLiteral(".kdl");
}

bool CRecoveryStore::HoldLock(QString* error) {
  if (lockFd_ >= 0) return true;
  QByteArray path = QFile::encodeName(LockPath(folder_, session_));
  int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lockFd_ = fd;
    return true;
  }
  if (error) *error = QStringLiteral("%1: %2").arg(QFile::decodeName(path), qt_error_string(errno));
  if (fd >= 0) ::close(fd);
  return false;
}

bool CRecoveryStore::SessionRuns(const QString& session) const {
  if (session == session_) return lockFd_ >= 0;
  QByteArray path = QFile::encodeName(LockPath(folder_, session));
  int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;  // no lock file: its process has ended (or never locked)
  // A lock is held by an open file, not a process: this test lock of our own is refused while
  // the session's process holds its lock, and granted once the kernel has let go of it.
  bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

bool CRecoveryStore::Write(const QString& documentPath, const QByteArray& bytes, QString* error) {
  if (!QDir().mkpath(folder_)) {
    if (error)
      *error = QStringLiteral("%1: %2").arg(
          folder_, Tr(QT_TRANSLATE_NOOP("RecoveryStore", "папку нельзя создать")));
    return false;
  }
  if (!HoldLock(error)) return false;
  QString base = BaseFor(documentPath);
  RecoverySidecar sidecar;
  sidecar.path = documentPath.isEmpty() ? QString() : QFileInfo(documentPath).absoluteFilePath();
  sidecar.written = QDateTime::currentDateTimeUtc();
  sidecar.session = session_;
  sidecar.pid = QCoreApplication::applicationPid();
  // The copy first: a sidecar never names a copy that is not complete.
  return WriteAtomically(base + QStringLiteral(".kdl"), bytes, error) &&
         WriteAtomically(base + QStringLiteral(".json"), WriteRecoverySidecar(sidecar), error);
}

void CRecoveryStore::Remove(const QString& documentPath) {
  QString base = BaseFor(documentPath);
  QFile::remove(base + QStringLiteral(".json"));
  QFile::remove(base + QStringLiteral(".kdl"));
}

CRecoveryStore::LeftBehind CRecoveryStore::FindLeftBehind() const {
  LeftBehind found;
  const QFileInfoList sidecars =
      QDir(folder_).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  for (const QFileInfo& info : sidecars) {
    const QString named = SessionOfName(info.fileName());
    if (!named.isEmpty() && SessionRuns(named)) continue;  // its writer is still at work
    Entry e;
    e.sidecarPath = info.absoluteFilePath();
    e.copyPath =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".kdl");
    QString why;
    std::optional<RecoverySidecar> sidecar;
    QFile file(e.sidecarPath);
    if (info.size() > kMaxRecoverySidecarBytes)
      why = Tr(QT_TRANSLATE_NOOP("RecoveryStore", "слишком большой файл"));
    else if (!file.open(QIODevice::ReadOnly))
      why = file.errorString();
    else
      sidecar = ReadRecoverySidecar(file.read(kMaxRecoverySidecarBytes + 1), &why);
    if (sidecar && !QFileInfo(e.copyPath).isFile()) {
      sidecar.reset();
      why = Tr(QT_TRANSLATE_NOOP("RecoveryStore", "копии рядом нет"));
    }
    if (!sidecar) {
      found.unreadable << Unreadable{e.sidecarPath, why};
      continue;
    }
    // Sidecars of earlier versions have no session and so no lock: nothing says their writer
    // runs, and they are offered.
    if (!sidecar->session.isEmpty() && SessionRuns(sidecar->session)) continue;
    e.originalPath = sidecar->path;
    e.written = sidecar->written;
    e.session = sidecar->session;
    if (!e.originalPath.isEmpty()) {
      // The name this copy would have had if it had been written for that path (earlier
      // versions named copies without the session).
      QString expected = NamePart(e.originalPath, QString());
      if (!e.session.isEmpty()) expected = e.session + QLatin1Char('-') + expected;
      e.nameMatchesPath = info.completeBaseName() == expected;
    }
    found.copies << e;
  }
  std::sort(found.copies.begin(), found.copies.end(),
            [](const Entry& a, const Entry& b) { return a.written < b.written; });
  return found;
}

bool CRecoveryStore::Discard(const Entry& entry, QString* error) {
  // The copy first: a sidecar left without its copy is listed as unreadable and can go then,
  // a copy left without its sidecar would never be seen again.
  bool ok = RemoveFile(entry.copyPath, error) && RemoveFile(entry.sidecarPath, error);
  if (ok) TidySession(QFileInfo(entry.sidecarPath).absolutePath(), entry.session);
  return ok;
}

bool CRecoveryStore::DiscardSidecar(const QString& sidecarPath, QString* error) {
  QFileInfo info(sidecarPath);
  QString copy =
      info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".kdl");
  bool ok = RemoveFile(copy, error) && RemoveFile(sidecarPath, error);
  if (ok) TidySession(info.absolutePath(), SessionOfName(info.fileName()));
  return ok;
}
