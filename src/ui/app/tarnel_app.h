// The application: settings key, the main window, the file named on the command line.
#pragma once

#include <QApplication>
#include <memory>

class CMainFrame;

class CTarnelApp : public QApplication {
  Q_OBJECT
 public:
  CTarnelApp(int& argc, char** argv);
  ~CTarnelApp() override;

  // An operation that runs out of memory is stopped and reported; the document stays open.
  bool notify(QObject* receiver, QEvent* event) override;

  // The program's name and version, also for the window-less answers to --help and --version.
  static void SetIdentity();

  // Creates and shows the main window with a new document, or with the file named on the
  // command line (already checked by ParseEditorCommandLine). False when the program cannot
  // start.
  bool InitInstance();
  CMainFrame* mainFrame() const { return frame_.get(); }

 private:
  std::unique_ptr<CMainFrame> frame_;
};
