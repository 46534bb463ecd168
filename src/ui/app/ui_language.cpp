#include "ui/app/ui_language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include "ui/app/data_paths.h"

namespace {

QString Known(QString value) {
  value = value.trimmed().toLower();
  return value == QLatin1String("ru") || value == QLatin1String("en") ? value : QString();
}

}  // namespace

QString ChooseUiLanguage() {
  if (QString env = Known(qEnvironmentVariable("KANDREL_LANG")); !env.isEmpty()) return env;
  if (QString setting = Known(QSettings().value(QStringLiteral("language")).toString());
      !setting.isEmpty())
    return setting;
  // The first language the user asked for decides: a Russian desktop keeps the source texts.
  const QStringList wanted = QLocale::system().uiLanguages();
  if (!wanted.isEmpty() && QLocale(wanted.first()).language() == QLocale::Russian)
    return QStringLiteral("ru");
  return QStringLiteral("en");
}

QStringList TranslationDirectories() {
  const QString program = QCoreApplication::applicationDirPath();
  QStringList dirs{program + QStringLiteral("/translations"),
                   InstalledDataDirectory() + QStringLiteral("/translations"),
                   QDir::cleanPath(program + QStringLiteral("/../share/kandrel/translations"))};
  dirs.removeDuplicates();
  return dirs;
}

bool InstallUiTranslations(QCoreApplication& app, const QString& language) {
  const QLocale locale(language == QLatin1String("en") ? QLocale::English : QLocale::Russian);
  // Qt's own texts are English in the source; Russian needs Qt's translation.
  if (language != QLatin1String("en")) {
    auto* qtTexts = new QTranslator(&app);
    if (qtTexts->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      app.installTranslator(qtTexts);
    else
      delete qtTexts;
    return true;
  }
  auto* own = new QTranslator(&app);
  for (const QString& dir : TranslationDirectories()) {
    if (own->load(QStringLiteral("kandrel_") + language, dir)) {
      app.installTranslator(own);
      return true;
    }
  }
  delete own;
  return false;
}
