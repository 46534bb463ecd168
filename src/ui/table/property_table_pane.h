// The "Таблица свойств" tab beside the structure tree: the property table with its filter
// line, sorting, cell editing, copy and paste of tab-separated blocks, export to CSV or XLSX,
// and import of a CSV shown first as differences in the "Различия" dock.
#pragma once

#include <QString>
#include <QTableView>
#include <QWidget>
#include <vector>

#include "model/table_apply.h"

class CMainFrame;
class CPropertyTableModel;
class CPropertyTableProxy;
class QCheckBox;
class QLineEdit;
class QToolButton;

// Ctrl+C and Ctrl+V in the table copy and paste cells, before the window's record commands
// would take the keys.
class CPropertyTableView : public QTableView {
  Q_OBJECT
 public:
  using QTableView::QTableView;

 signals:
  void copyRequested();
  void pasteRequested();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class CPropertyTablePane : public QWidget {
  Q_OBJECT
 public:
  CPropertyTablePane(CMainFrame* frame, QWidget* parent = nullptr);

  // The tree selected a record: the table shows the properties under it, or, for a property
  // it shows already, stands on its row.
  void OnRecordSelected(uint32_t id);

  // The selected block as tab-separated text, rows and columns as shown.
  QString CopyText() const;
  void Copy();
  // Pastes a tab-separated block at the current cell (a single value into every selected
  // cell) as one step; refused whole, naming the first cell that cannot take its text.
  bool Paste(const QString& text);
  // Writes the rows shown: .xlsx as a workbook, anything else as CSV with `separator`.
  bool ExportTo(const QString& path, char separator);
  // Reads the CSV and shows what it would change in the differences dock; the document
  // changes only when differences are taken over there.
  bool ImportFrom(const QString& path);

  CPropertyTableModel* model() const { return model_; }
  CPropertyTableProxy* proxy() const { return proxy_; }
  CPropertyTableView* view() const { return view_; }
  QLineEdit* filterLine() const { return filter_; }
  QCheckBox* deleteMissing() const { return deleteMissing_; }
  QCheckBox* byId() const { return byId_; }
  // Why the last import refused rows, one line each ("строка N: причина"); empty for none.
  const QStringList& refusedRows() const { return refusedRows_; }
  static QString ProblemText(TableRowProblem problem);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  TableCellRefusal RunEdits(const std::vector<TableCellEdit>& edits, const QString& what);
  void OnCurrentChanged(const QModelIndex& current);
  void OnExport();
  void OnImport();
  void ApplyPendingScope();

  CMainFrame* frame_;
  CPropertyTableModel* model_;
  CPropertyTableProxy* proxy_;
  CPropertyTableView* view_;
  QLineEdit* filter_;
  QToolButton* export_;
  QToolButton* import_;
  QCheckBox* deleteMissing_;
  QCheckBox* byId_;
  QStringList refusedRows_;
  uint32_t pendingScope_ = 0;
  bool scopePending_ = false;
  bool revealing_ = false;  // the table itself selects the record in the tree
  // Cell edits of the last RunEdits, kept to name a refused cell by its shown row.
  std::vector<std::pair<int, int>> editCells_;
};
