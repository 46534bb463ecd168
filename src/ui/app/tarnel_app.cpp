#include "ui/app/tarnel_app.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/app/main_frame.h"
#include "ui/app/ui_resources.h"

CTarnelApp::CTarnelApp(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("Kandrel"));
  setApplicationName(QStringLiteral("Kandrel"));
  setApplicationDisplayName(QStringLiteral("Kandrel"));
  setApplicationVersion(QStringLiteral(KANDREL_VERSION));
  setDesktopFileName(QStringLiteral("kandrel"));
  InitUiResources();
  setWindowIcon(QIcon(QStringLiteral(":/kandrel/app/kandrel.svg")));
  // The editor speaks Russian; Qt's own dialogs (file dialogs, standard buttons) follow.
  auto* qtTexts = new QTranslator(this);
  if (qtTexts->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(qtTexts);
}

CTarnelApp::~CTarnelApp() = default;

bool CTarnelApp::InitInstance() {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Kandrel: редактор базы конфигурации"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Документ .kdl"));
  parser.process(*this);

  frame_ = std::make_unique<CMainFrame>();
  frame_->LoadRecentFiles();
  frame_->NewDocument();
  const QStringList files = parser.positionalArguments();
  frame_->showMaximized();
  // A file that cannot be opened has been reported; the new document stays open then.
  if (!files.isEmpty()) frame_->OpenDocument(files.first());
  return true;
}
