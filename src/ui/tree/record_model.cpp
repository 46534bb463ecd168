#include "ui/tree/record_model.h"

#include "model/document.h"
#include "model/records.h"
#include "ui/form/cp1251_input.h"
#include "ui/tree/tree_icons.h"
#include "xml/text_codec.h"

namespace {

// The "Root" row's internal pointer: an address that is no record's.
char gRootTag;

}  // namespace

// The record whose list the rows below `parent` show: null for the groups (below "Root", or at
// the top without it). False for an index that holds no rows.
bool CRecordModel::ListOf(const QModelIndex& parent, const CRecord** holder) const {
  *holder = nullptr;
  if (!parent.isValid()) return true;
  if (parent.column() != 0) return false;
  if (IsRootRow(parent)) return true;
  *holder = RecordOf(parent);
  return *holder != nullptr;
}

CRecordModel::CRecordModel(CTarnelDoc& doc, Top top, QObject* parent)
    : QAbstractItemModel(parent), doc_(doc), top_(top) {
  doc_.events().AddObserver(this);
}

CRecordModel::~CRecordModel() {
  doc_.events().RemoveObserver(this);
}

CRecord* CRecordModel::RecordOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this || index.internalPointer() == &gRootTag)
    return nullptr;
  return static_cast<CRecord*>(index.internalPointer());
}

uint32_t CRecordModel::IdOf(const QModelIndex& index) const {
  const CRecord* r = RecordOf(index);
  return r ? r->id : 0;
}

bool CRecordModel::IsRootRow(const QModelIndex& index) const {
  return index.isValid() && index.model() == this && index.internalPointer() == &gRootTag;
}

QModelIndex CRecordModel::RootRow() const {
  return top_ == Top::kRootRow ? createIndex(0, 0, &gRootTag) : QModelIndex();
}

QModelIndex CRecordModel::IndexOf(const CRecord* record) const {
  int row = doc_.RowOf(record);
  return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<CRecord*>(record));
}

QModelIndex CRecordModel::IndexOfId(uint32_t id) const {
  return id ? IndexOf(doc_.LookupRecord(id)) : QModelIndex();
}

QModelIndex CRecordModel::ListIndex(const CRecord* holder) const {
  return holder ? IndexOf(holder) : RootRow();
}

QModelIndex CRecordModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= columnCount()) return {};
  if (!parent.isValid() && top_ == Top::kRootRow)
    return row == 0 ? createIndex(0, column, &gRootTag) : QModelIndex();
  const CRecord* holder = nullptr;
  if (!ListOf(parent, &holder)) return {};
  CRecord* child = doc_.RecordAt(holder, row);
  return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex CRecordModel::parent(const QModelIndex& child) const {
  const CRecord* r = RecordOf(child);
  if (!r) return {};  // "Root" and the invalid index have no parent
  if (r->Kind() == kKindGroup) return RootRow();
  return IndexOf(r->parent);
}

int CRecordModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid() && top_ == Top::kRootRow) return 1;
  const CRecord* holder = nullptr;
  return ListOf(parent, &holder) ? doc_.RowCount(holder) : 0;
}

int CRecordModel::columnCount(const QModelIndex&) const {
  return showsValues_ ? 2 : 1;
}

void CRecordModel::SetShowsValues(bool on) {
  if (on == showsValues_) return;
  beginResetModel();
  showsValues_ = on;
  endResetModel();
}

void CRecordModel::RefreshValue(const CRecord* record) {
  if (!showsValues_ || GetKind(record) != kKindProperty) return;
  int row = doc_.RowOf(record);
  if (row < 0) return;
  QModelIndex cell = createIndex(row, kValueColumn, const_cast<CRecord*>(record));
  emit dataChanged(cell, cell,
                   {Qt::DisplayRole, Qt::BackgroundRole, Qt::DecorationRole, Qt::ToolTipRole});
}

QVariant CRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == 0) return tr("Структура");
  if (section == kValueColumn) return tr("Значение");
  return {};
}

bool CRecordModel::hasChildren(const QModelIndex& parent) const {
  return rowCount(parent) > 0;
}

QVariant CRecordModel::data(const QModelIndex& index, int role) const {
  if (index.column() == kValueColumn) {
    const CRecord* r = RecordOf(index);
    if (GetKind(r) != kKindProperty) return {};
    const auto* p = static_cast<const CPropertyItem*>(r);
    switch (role) {
      case Qt::DisplayRole:
        return FromCp1251(p->GetValueText());
      case Qt::BackgroundRole:
        return valueBackground_ ? valueBackground_(p->id) : QVariant();
      case Qt::DecorationRole:
      case Qt::ToolTipRole:
        return valueMarks_ ? valueMarks_(p->id, role) : QVariant();
      case kIdRole:
        return p->id;
      case kKindRole:
        return int(kKindProperty);
      default:
        return {};
    }
  }
  if (IsRootRow(index)) {
    switch (role) {
      case Qt::DisplayRole:
        return QStringLiteral("Root");
      case Qt::DecorationRole:
        return TreeIcons::Get().Root();
      case kIdRole:
      case kKindRole:
        return 0;
      default:
        return {};
    }
  }
  const CRecord* r = RecordOf(index);
  if (!r) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return FromCp1251(r->name);
    case Qt::DecorationRole:
      return TreeIcons::Get().ForRecord(r);
    case kIdRole:
      return r->id;
    case kKindRole:
      return int(r->Kind());
    case Qt::ForegroundRole:
    case Qt::BackgroundRole:
    case Qt::ToolTipRole:
      return marks_ ? marks_->MarkData(r->id, role) : QVariant();
    default:
      return {};
  }
}

void CRecordModel::SetMarks(const IRecordMarks* marks) {
  marks_ = marks;
}

Qt::ItemFlags CRecordModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Only the name is typed in place; the value goes through the form or the watch list.
  if (renameHandler_ && RecordOf(index) && index.column() == 0) flags |= Qt::ItemIsEditable;
  return flags;
}

bool CRecordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const CRecord* r = RecordOf(index);
  if (role != Qt::EditRole || !r || !renameHandler_ || index.column() != 0) return false;
  QString text = value.toString();
  std::string name;
  if (text.isEmpty()) {
    emit renameRefused(QString());
    return false;
  }
  if (!ToCp1251(text, &name)) {
    emit renameRefused(UnencodableTextMessage(tr("Название"), text));
    return false;
  }
  if (name != r->name) renameHandler_(r->id, name);
  return true;
}

void CRecordModel::Reload() {
  BeginReload();
  EndReload();
}

void CRecordModel::BeginReload() {
  if (reloading_++ == 0) beginResetModel();
}

void CRecordModel::EndReload() {
  if (--reloading_ == 0) endResetModel();
}

void CRecordModel::RowsAboutToBeInserted(CRecord* parent, int first, int count) {
  if (!reloading_) beginInsertRows(ListIndex(parent), first, first + count - 1);
}

void CRecordModel::RowsInserted(CRecord*, int, int) {
  if (!reloading_) endInsertRows();
}

void CRecordModel::RowsAboutToBeRemoved(CRecord* parent, int first, int count) {
  if (!reloading_) beginRemoveRows(ListIndex(parent), first, first + count - 1);
}

void CRecordModel::RowsRemoved(CRecord*, int, int) {
  if (!reloading_) endRemoveRows();
}

void CRecordModel::RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) {
  if (reloading_) return;
  // Qt refuses a move that changes nothing; then there is nothing to end either.
  movesStarted_.push_back(
      beginMoveRows(ListIndex(from), first, first + count - 1, ListIndex(to), row));
}

void CRecordModel::RowsMoved(CRecord*, int, int, CRecord*, int) {
  if (reloading_ || movesStarted_.empty()) return;
  bool started = movesStarted_.back();
  movesStarted_.pop_back();
  if (started) endMoveRows();
}

void CRecordModel::RecordChanged(CRecord* record) {
  if (reloading_) return;
  QModelIndex index = IndexOf(record);
  if (index.isValid()) emit dataChanged(index, index, {Qt::DisplayRole, Qt::DecorationRole});
}

void CRecordModel::AboutToReset() {
  BeginReload();
}

void CRecordModel::Reset() {
  EndReload();
}
