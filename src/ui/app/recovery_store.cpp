#include "ui/app/recovery_store.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>

namespace {

bool WriteAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
    return true;
  if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
  return false;
}

bool ProcessRuns(qint64 pid) {
  if (pid <= 0) return false;
  if (pid == QCoreApplication::applicationPid()) return true;
  // Signal 0 only asks whether the process is there; EPERM means it is, under another user.
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

CRecoveryStore::CRecoveryStore()
    : CRecoveryStore(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                     QStringLiteral("/recovery")) {}

CRecoveryStore::CRecoveryStore(QString folder) : folder_(std::move(folder)) {}

QString CRecoveryStore::BaseFor(const QString& documentPath) const {
  // An unnamed document is this process's own; a named one is found again by its path.
  QString key = documentPath.isEmpty()
                    ? QStringLiteral("unsaved-%1").arg(QCoreApplication::applicationPid())
                    : QFileInfo(documentPath).absoluteFilePath();
  QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
  QString name = documentPath.isEmpty() ? QStringLiteral("Kandrel")
                                        : QFileInfo(documentPath).completeBaseName();
  return folder_ + QLatin1Char('/') + QString::fromLatin1(hash.left(16)) + QLatin1Char('-') + name;
}

QString CRecoveryStore::CopyPathFor(const QString& documentPath) const {
  return BaseFor(documentPath) + QStringLiteral(".kdl");
}

bool CRecoveryStore::Write(const QString& documentPath, const QByteArray& bytes, QString* error) {
  if (!QDir().mkpath(folder_)) {
    if (error) *error = QStringLiteral("%1: cannot create the folder").arg(folder_);
    return false;
  }
  QString base = BaseFor(documentPath);
  QJsonObject sidecar{
      {QStringLiteral("path"),
       documentPath.isEmpty() ? QString() : QFileInfo(documentPath).absoluteFilePath()},
      {QStringLiteral("written"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
      {QStringLiteral("pid"), QCoreApplication::applicationPid()}};
  // The copy first: a sidecar never names a copy that is not complete.
  return WriteAtomically(base + QStringLiteral(".kdl"), bytes, error) &&
         WriteAtomically(base + QStringLiteral(".json"),
                         QJsonDocument(sidecar).toJson(QJsonDocument::Compact), error);
}

void CRecoveryStore::Remove(const QString& documentPath) {
  QString base = BaseFor(documentPath);
  QFile::remove(base + QStringLiteral(".json"));
  QFile::remove(base + QStringLiteral(".kdl"));
}

QList<CRecoveryStore::Entry> CRecoveryStore::FindOrphans() const {
  QList<Entry> entries;
  const QFileInfoList sidecars =
      QDir(folder_).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
  for (const QFileInfo& info : sidecars) {
    QFile file(info.absoluteFilePath());
    if (info.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly)) continue;
    QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    Entry e;
    e.sidecarPath = info.absoluteFilePath();
    e.copyPath =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".kdl");
    e.originalPath = o.value(QStringLiteral("path")).toString();
    e.written =
        QDateTime::fromString(o.value(QStringLiteral("written")).toString(), Qt::ISODateWithMs);
    e.pid = o.value(QStringLiteral("pid")).toInteger();
    if (!e.written.isValid() || !QFileInfo(e.copyPath).isFile() || ProcessRuns(e.pid)) continue;
    entries << e;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.written < b.written; });
  return entries;
}

void CRecoveryStore::Discard(const Entry& entry) {
  QFile::remove(entry.sidecarPath);
  QFile::remove(entry.copyPath);
}
