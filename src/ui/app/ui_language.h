// The language of the editor's interface. Its texts are written in Russian in the source; an
// English translation is built from src/ui/translations/kandrel_en.ts.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// "ru" or "en": KANDREL_LANG when it names one of them, else the setting "language" (same
// values), else Russian when the system's language is Russian and English otherwise.
QString ChooseUiLanguage();

// Where the compiled translations are looked for, in order: beside the program (a build
// folder), then the installed data folder.
QStringList TranslationDirectories();

// Installs the translators of `language` ("ru" or "en") into the application: the editor's own
// texts and Qt's (file dialogs, standard buttons). False when the editor's translation is
// missing; the interface then stays in Russian.
bool InstallUiTranslations(QCoreApplication& app, const QString& language);
