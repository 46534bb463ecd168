// What a batch of values will send before it goes: path, type, the value the server has (as
// last heard) and the new value, with "Записать" and "Отмена" (Escape and closing the window
// cancel). Also lists the values held back when monitor-only ends.
#pragma once

#include <QDialog>
#include <vector>

#include "net/write_gate.h"

class QTableWidget;

class CWritePreviewDlg : public QDialog {
  Q_OBJECT
 public:
  CWritePreviewDlg(const std::vector<ValueWrite>& batch, const QString& server,
                   QWidget* parent = nullptr);
  // The question above the list and the text of the button that keeps the values back.
  void SetQuestion(const QString& text);
  void SetCancelText(const QString& text);
  QTableWidget* table() const { return table_; }

 private:
  class QLabel* question_;
  class QPushButton* cancel_;
  QTableWidget* table_;
};
