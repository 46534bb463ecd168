// The property table: every property under one record (the whole base for "Root"), a row each,
// as a Qt table model. It holds no copy of the records: a row is a pointer to its property, and
// the document's events keep the rows in step (inserted and removed branches, moves, changed
// fields, live values, resets). Edits typed into cells go to an edit handler, which runs them
// as one step of the edit history.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <functional>
#include <vector>

#include "model/document_events.h"
#include "model/property_table.h"
#include "model/table_apply.h"

class CTarnelDoc;
class CPropertyItem;
class CRecord;

class CPropertyTableModel : public QAbstractTableModel, private IDocumentObserver {
  Q_OBJECT
 public:
  enum Role : int { kIdRole = Qt::UserRole };

  explicit CPropertyTableModel(CTarnelDoc& doc, QObject* parent = nullptr);
  ~CPropertyTableModel() override;

  // A table nobody sees holds no rows and ignores the document; made active again it reads
  // the rows afresh.
  void SetActive(bool on);
  bool active() const { return active_; }
  // The record whose properties are shown; 0 for the whole base. A scope that leaves the
  // document empties the table until another is set.
  void SetScope(uint32_t id);
  uint32_t scopeId() const { return scopeId_; }
  CPropertyItem* PropertyAt(int row) const;
  // The row of a property, -1 when it is not shown.
  int RowOf(const CPropertyItem* p) const;
  const std::vector<CPropertyItem*>& rows() const { return rows_; }
  CTarnelDoc& document() const { return doc_; }

  // Runs cell edits (windows-1251 texts) as one step; returns the refusal (index -1: done).
  using EditHandler = std::function<TableCellRefusal(const std::vector<TableCellEdit>&)>;
  void SetEditHandler(EditHandler handler) { editHandler_ = std::move(handler); }
  EditHandler editHandler() const { return editHandler_; }
  static bool Editable(int column);
  static QString ColumnTitle(int column);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  // A typed text that could not be taken, with the message the form gives for it.
  void editRefused(const QString& message);

 private:
  const CRecord* Scope() const;
  bool ScopeHolds(const CRecord* record) const;
  // Takes out the rows of the properties in rows first..first+count-1 of `parent`'s list.
  void RemoveBranches(CRecord* parent, int first, int count);
  // Brings the rows in step with the document where they differ, as one removal and one
  // insertion.
  void Sync();
  void Rebuild();

  // An inserted branch's rows go in at their place in tree order, found by a short walk.
  void RowsInserted(CRecord* parent, int first, int count) override;
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count) override;
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) override;
  void RowsMoved(CRecord* from, int first, int count, CRecord* to, int row) override;
  void RecordChanged(CRecord* record) override;
  void ValueChanged(CPropertyItem* property, uint32_t previous) override;
  void AboutToReset() override;
  void Reset() override;

  CTarnelDoc& doc_;
  uint32_t scopeId_ = 0;
  bool scopeLost_ = false;
  bool active_ = false;
  std::vector<CPropertyItem*> rows_;
  EditHandler editHandler_;
};

// Sorting by any column and the filter line over the table model. Sorting compares the cells'
// windows-1251 texts (identifiers as numbers); the keys of the sorted column are made once per
// sort, not per comparison.
class CPropertyTableProxy : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit CPropertyTableProxy(CPropertyTableModel* source, QObject* parent = nullptr);
  // Text in any column, or "column:text" for one (column names as in the file header).
  void SetFilterText(const QString& text);
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  std::string Key(int sourceRow, int column) const;

  CPropertyTableModel* source_;
  TableFilter filter_;
  // The sorted column's keys by source row; empty when the rows changed since they were made.
  std::vector<std::string> keys_;
  int keysColumn_ = -1;
};
