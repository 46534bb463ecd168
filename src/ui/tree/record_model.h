// The document's records as a Qt item model. An index points at its record (internalPointer);
// the model holds nothing per record, so rows exist only while a view asks for them, and a
// record's index is found from the record itself: its parent and its place in the parent's
// list. The structure tree shows the groups under one "Root" row; the link target picker
// shows them at the top. The document's events drive the model: rows inserted, removed and
// moved, a record's label or icon changed, and resets.
#pragma once

#include <QAbstractItemModel>
#include <cstdint>
#include <functional>
#include <vector>

#include <functional>
#include <string>
#include "model/document_events.h"

class CRecord;
class CTarnelDoc;

// Extra looks of single records, asked by identifier (a comparison marks what differs). Only
// the colour and tooltip roles are asked, so a provider keeps a hash of identifiers at most.
class IRecordMarks {
 public:
  virtual ~IRecordMarks() = default;
  // The value of `role` for the record, or an invalid QVariant for the model's own.
  virtual QVariant MarkData(uint32_t id, int role) const = 0;
};

class CRecordModel : public QAbstractItemModel, private IDocumentObserver {
  Q_OBJECT
 public:
  enum Role : int {
    kIdRole = Qt::UserRole,  // the record's identifier (0 for "Root")
    kKindRole,               // RecordKind (0 for "Root")
  };
  enum class Top { kRootRow, kGroups };

  CRecordModel(CTarnelDoc& doc, Top top, QObject* parent = nullptr);
  ~CRecordModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A name typed in place (F2). The name must be windows-1251 text and not empty; a refused one
  // is told through renameRefused (with the form's message, or empty for an empty name), an
  // accepted one goes to the rename handler, which makes the change. Without a handler no
  // record is editable.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  using RenameHandler = std::function<void(uint32_t id, const std::string& name)>;
  void SetRenameHandler(RenameHandler handler) { renameHandler_ = std::move(handler); }
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The value column (1): each property's value text beside its name. Off for the link picker.
  static constexpr int kValueColumn = 1;
  void SetShowsValues(bool on);
  bool showsValues() const { return showsValues_; }
  // Background of a property's value cell, by identifier (a value the server just changed).
  void SetValueBackground(std::function<QVariant(uint32_t id)> background) {
    valueBackground_ = std::move(background);
  }
  // A mark and a tooltip for a property's value cell, by identifier and role (where a value
  // sent to the server stands).
  void SetValueMarks(std::function<QVariant(uint32_t id, int role)> marks) {
    valueMarks_ = std::move(marks);
  }
  // The value cell of the record changed: only that cell is told, so a view that does not show
  // the row does nothing.
  void RefreshValue(const CRecord* record);

  CTarnelDoc& document() const { return doc_; }
  // The record of the index; null for "Root" and for an invalid index.
  CRecord* RecordOf(const QModelIndex& index) const;
  uint32_t IdOf(const QModelIndex& index) const;
  bool IsRootRow(const QModelIndex& index) const;
  // The "Root" row; invalid when the model shows the groups at the top.
  QModelIndex RootRow() const;
  // The index of a record of the document; invalid for null.
  QModelIndex IndexOf(const CRecord* record) const;
  QModelIndex IndexOfId(uint32_t id) const;
  // The index that stands for a list's holder: the record's, or for the groups' list the
  // "Root" row (or the invalid index when there is none).
  QModelIndex ListIndex(const CRecord* holder) const;

  // The marks shown from now on (null: none). They only colour rows, which a view asks for as
  // it paints, so no row is reported changed: the caller has the views repaint (a change of
  // every row would make a tree that sizes its columns to contents measure its rows again).
  // The provider must outlive the model or be taken away first.
  void SetMarks(const IRecordMarks* marks);
  const IRecordMarks* marks() const { return marks_; }

  // Everything may have changed: the views ask again.
  void Reload();

 signals:
  void renameRefused(const QString& message);

 private:
  // Around a reset of the document (which may nest): Begin while the records are still as the
  // views know them, End when the document is as it will stay.
  void BeginReload();
  void EndReload();
  bool ListOf(const QModelIndex& parent, const CRecord** holder) const;

  // IDocumentObserver
  void RowsAboutToBeInserted(CRecord* parent, int first, int count) override;
  void RowsInserted(CRecord* parent, int first, int count) override;
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count) override;
  void RowsRemoved(CRecord* parent, int first, int count) override;
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) override;
  void RowsMoved(CRecord* from, int first, int count, CRecord* to, int row) override;
  void RecordChanged(CRecord* record) override;
  void AboutToReset() override;
  void Reset() override;

  CTarnelDoc& doc_;
  Top top_;
  int reloading_ = 0;               // inside a reset: the events in it are covered
  std::vector<bool> movesStarted_;  // per move told: whether Qt took it as a move
  RenameHandler renameHandler_;
  const IRecordMarks* marks_ = nullptr;
  bool showsValues_ = false;
  std::function<QVariant(uint32_t)> valueBackground_;
  std::function<QVariant(uint32_t, int)> valueMarks_;
};
