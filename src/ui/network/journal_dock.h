// The "Журнал записи" dock: the journal of values sent to the connected server (the last one
// connected to while there is none), newest first, filtered by path, origin and time, and saved
// as CSV ("Сохранить CSV…"). It reads the journal files; the gate writes them.
#pragma once

#include <QDockWidget>
#include <QTimer>
#include <string>
#include <vector>

#include "net/journal/write_journal.h"

class CMainFrame;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QTableWidget;

class CJournalDock : public QDockWidget {
  Q_OBJECT
 public:
  explicit CJournalDock(CMainFrame* frame);

  // Reads the server's journal anew (soon, once, however often it is asked).
  void ScheduleReload();
  void Reload();
  // The server whose journal is shown, "HOST:PORT"; empty before any connection.
  const std::string& server() const { return server_; }
  QTableWidget* table() const { return table_; }
  QLineEdit* pathFilter() const { return path_; }
  QComboBox* originFilter() const { return origin_; }
  // The rows shown, newest first.
  const std::vector<JournalEntry>& shown() const { return shown_; }
  // Writes the rows shown, oldest first; false with `error` set when the file cannot be written.
  bool WriteCsv(const QString& path, QString* error) const;

 private:
  void Show();
  void OnSaveCsv();

  CMainFrame* frame_;
  std::string server_;
  std::vector<JournalEntry> entries_;  // as read, oldest first
  std::vector<JournalEntry> shown_;
  QLineEdit* path_;
  QComboBox* origin_;
  QCheckBox* sinceOn_;
  QDateTimeEdit* since_;
  QTableWidget* table_;
  QTimer reload_;
};
