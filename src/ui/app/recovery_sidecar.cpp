#include "ui/app/recovery_sidecar.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("RecoverySidecar", text);
}

std::optional<RecoverySidecar> Fail(QString* error, const QString& why) {
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace

bool IsRecoverySessionName(const QString& session) {
  if (session.size() < 2 || session.size() > 41 || session[0] != QLatin1Char('s')) return false;
  for (QChar c : session)
    if (!(c >= QLatin1Char('a') && c <= QLatin1Char('z')) &&
        !(c >= QLatin1Char('0') && c <= QLatin1Char('9')))
      return false;
  return true;
}

QByteArray WriteRecoverySidecar(const RecoverySidecar& sidecar) {
  QJsonObject o{{QStringLiteral("path"), sidecar.path},
                {QStringLiteral("written"), sidecar.written.toUTC().toString(Qt::ISODateWithMs)},
                {QStringLiteral("pid"), sidecar.pid}};
  if (!sidecar.session.isEmpty()) o.insert(QStringLiteral("session"), sidecar.session);
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<RecoverySidecar> ReadRecoverySidecar(const QByteArray& bytes, QString* error) {
  if (bytes.size() > kMaxRecoverySidecarBytes)
    return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "слишком большой файл")));
  QJsonParseError parse{};
  QJsonDocument json = QJsonDocument::fromJson(bytes, &parse);
  if (parse.error != QJsonParseError::NoError)
    return Fail(error,
                Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "не JSON (%1)")).arg(parse.errorString()));
  if (!json.isObject())
    return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "не объект JSON")));
  const QJsonObject o = json.object();
  RecoverySidecar s;
  const QJsonValue path = o.value(QStringLiteral("path"));
  if (!path.isString())
    return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "нет пути документа")));
  s.path = path.toString();
  if (!s.path.isEmpty() && (!QDir::isAbsolutePath(s.path) || s.path.contains(QChar(0))))
    return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "путь документа не абсолютный")));
  s.written =
      QDateTime::fromString(o.value(QStringLiteral("written")).toString(), Qt::ISODateWithMs);
  if (!s.written.isValid())
    return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "нет времени записи")));
  const QJsonValue session = o.value(QStringLiteral("session"));
  if (!session.isUndefined()) {
    if (!session.isString() || !IsRecoverySessionName(session.toString()))
      return Fail(error, Tr(QT_TRANSLATE_NOOP("RecoverySidecar", "неверное имя сеанса")));
    s.session = session.toString();
  }
  const QJsonValue pid = o.value(QStringLiteral("pid"));
  if (pid.isDouble()) s.pid = pid.toInteger();
  return s;
}
