// The sidecar beside each recovery copy: a small JSON object with the document's path as it
// was when the copy was written, the time, the writing session and its process. Reading it is
// kept apart from everything else (QtCore only, no files) because the bytes come from a folder
// anybody may have put anything into.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

struct RecoverySidecar {
  QString path;       // absolute; empty for a document never saved
  QDateTime written;  // UTC
  QString session;    // the writing session; empty in sidecars of earlier versions
  qint64 pid = 0;     // the writing process, for the user's information only
};

// A sidecar larger than this is not one of ours.
inline constexpr qint64 kMaxRecoverySidecarBytes = 64 * 1024;

// Whether the text can be a session name: a lower-case letter "s" followed by 1 to 40 lower-case
// letters and digits (so it can stand at the start of a file name, before a dash).
bool IsRecoverySessionName(const QString& session);

QByteArray WriteRecoverySidecar(const RecoverySidecar& sidecar);
// The sidecar the bytes hold, or nothing with `error` saying why (not JSON, a field missing or
// of the wrong kind, a relative path, a session name that cannot be one).
std::optional<RecoverySidecar> ReadRecoverySidecar(const QByteArray& bytes,
                                                   QString* error = nullptr);
