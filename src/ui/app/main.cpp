#include <QCoreApplication>

#include "ui/app/command_line.h"
#include "ui/app/tarnel_app.h"
#include "ui/app/ui_language.h"

int main(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  // Help, version and usage errors are answered before anything asks for a display.
  if (ParseEditorCommandLine(arguments).action != EditorCommandLine::Action::Run) {
    QCoreApplication core(argc, argv);
    CTarnelApp::SetIdentity();
    InstallUiTranslations(core, ChooseUiLanguage());
    return ReportEditorCommandLine(core.arguments());
  }
  CTarnelApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
