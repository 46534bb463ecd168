#include "ui/app/tarnel_app.h"

#include <QIcon>
#include <new>

#include "ui/app/command_line.h"
#include "ui/app/frame_layout.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/app/recovery_keeper.h"
#include "ui/app/ui_language.h"
#include "ui/app/ui_resources.h"
#include "ui/compare/merge_owner.h"
#include "ui/network/frame_network.h"

void CTarnelApp::SetIdentity() {
  setOrganizationName(QStringLiteral("Kandrel"));
  setApplicationName(QStringLiteral("Kandrel"));
  setApplicationVersion(QStringLiteral(KANDREL_VERSION));
}

CTarnelApp::CTarnelApp(int& argc, char** argv) : QApplication(argc, argv) {
  SetIdentity();
  setApplicationDisplayName(QStringLiteral("Kandrel"));
  setDesktopFileName(QStringLiteral("kandrel"));
  InitUiResources();
  setWindowIcon(QIcon(QStringLiteral(":/kandrel/app/kandrel.svg")));
  // Russian, the texts of the source, or English; Qt's own dialogs follow.
  InstallUiTranslations(*this, ChooseUiLanguage());
}

CTarnelApp::~CTarnelApp() = default;

bool CTarnelApp::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    // The operations read into documents of their own and change the open one only when they
    // succeed, so what failed is what was asked, not the work done before.
    ShowError(frame_.get(), QStringLiteral("Kandrel"),
              tr("Не хватило памяти: действие прервано. Документ остался открытым."));
    return false;
  }
}

bool CTarnelApp::InitInstance() {
  // Qt has taken its own options out of the arguments by now.
  const EditorCommandLine commandLine = ParseEditorCommandLine(arguments());
  frame_ = std::make_unique<CMainFrame>();
  frame_->LoadRecentFiles();
  frame_->workspace()->Restore();
  frame_->NewDocument();
  frame_->showMaximized();
  // A file that cannot be opened has been reported; the new document stays open then.
  if (!commandLine.file.isEmpty()) frame_->OpenDocument(commandLine.file);
  // Connected as "Подключиться" does; the base is not downloaded by itself.
  if (commandLine.connectPort > 0)
    frame_->network()->ConnectTo(
        commandLine.connectHost.toStdString(), commandLine.connectPort,
        commandLine.monitorOnly ? WriteMode::kMonitorOnly : WriteMode::kWrite);
  if (commandLine.merging())
    frame_->merge()->OpenMerge(commandLine.mergeBase, commandLine.mergeOurs,
                               commandLine.mergeTheirs, commandLine.mergeOut);
  // Copies a crashed Kandrel left behind are offered once the window is up.
  frame_->recovery()->OfferRecovery();
  return true;
}
