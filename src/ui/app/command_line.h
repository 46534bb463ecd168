// The editor's command line. It is read before the application object exists, so --help,
// --version and a mistyped option answer on a machine without a display.
#pragma once

#include <QString>
#include <QStringList>

struct EditorCommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  QString file;  // the document to open; empty for a new document
  // --merge BASE OURS THEIRS -o OUT: the merge to open instead of a document.
  QString mergeBase, mergeOurs, mergeTheirs, mergeOut;
  bool merging() const { return !mergeBase.isEmpty(); }
  // --connect HOST:PORT: connect once the document is open (port 0: not asked for), in
  // monitor-only mode with --monitor-only.
  QString connectHost;
  int connectPort = 0;
  bool monitorOnly = false;
};

// Reads the arguments (the program's name first). Qt's own options (-platform, -style, ...)
// are accepted and left to the application object.
EditorCommandLine ParseEditorCommandLine(const QStringList& arguments);

// Prints the help, the version or the usage error for a command line that does not run the
// editor and returns the process's exit code: 0, or 2 for a usage error. A QCoreApplication
// must exist (its translators apply).
int ReportEditorCommandLine(const QStringList& arguments);
