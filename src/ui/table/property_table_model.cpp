#include "ui/table/property_table_model.h"

#include <algorithm>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/record_search.h"
#include "model/records.h"
#include "ui/form/cp1251_input.h"
#include "xml/text_codec.h"

CPropertyTableModel::CPropertyTableModel(CTarnelDoc& doc, QObject* parent)
    : QAbstractTableModel(parent), doc_(doc) {
  doc_.events().AddObserver(this);
}

CPropertyTableModel::~CPropertyTableModel() {
  doc_.events().RemoveObserver(this);
}

const CRecord* CPropertyTableModel::Scope() const {
  return scopeId_ ? doc_.LookupRecord(scopeId_) : nullptr;
}

bool CPropertyTableModel::ScopeHolds(const CRecord* record) const {
  if (scopeLost_) return false;
  return !scopeId_ || IsInBranch(record, Scope());
}

void CPropertyTableModel::SetActive(bool on) {
  if (on == active_) return;
  beginResetModel();
  active_ = on;
  scopeLost_ = scopeId_ && !doc_.LookupRecord(scopeId_);
  Rebuild();
  endResetModel();
}

void CPropertyTableModel::SetScope(uint32_t id) {
  if (id == scopeId_ && !scopeLost_ && active_) return;
  beginResetModel();
  scopeId_ = id;
  scopeLost_ = id && !doc_.LookupRecord(id);
  Rebuild();
  endResetModel();
}

void CPropertyTableModel::Rebuild() {
  rows_ = scopeLost_ || !active_ ? std::vector<CPropertyItem*>() : TableProperties(doc_, Scope());
}

CPropertyItem* CPropertyTableModel::PropertyAt(int row) const {
  return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)] : nullptr;
}

int CPropertyTableModel::RowOf(const CPropertyItem* p) const {
  // A scan of pointers: cheaper than keeping an index in step with every inserted row.
  if (!p) return -1;
  auto it = std::find(rows_.begin(), rows_.end(), p);
  return it == rows_.end() ? -1 : int(it - rows_.begin());
}

void CPropertyTableModel::RemoveBranches(CRecord* parent, int first, int count) {
  std::vector<CPropertyItem*> gone;
  for (int i = first; i < first + count; ++i) {
    CRecord* child = doc_.RecordAt(parent, i);
    if (!child) continue;
    if (scopeId_ && !scopeLost_ && IsInBranch(Scope(), child)) {
      // The shown record goes (or moves, which leaves its rows as they are).
      return;
    }
    std::vector<CPropertyItem*> props = TableProperties(doc_, child);
    gone.insert(gone.end(), props.begin(), props.end());
  }
  if (gone.empty()) return;
  // A branch's properties stand together in tree order, so they are one block of rows.
  int lo = RowOf(gone.front());
  if (lo < 0) return;
  int hi = lo + int(gone.size()) - 1;
  beginRemoveRows({}, lo, hi);
  rows_.erase(rows_.begin() + lo, rows_.begin() + hi + 1);
  endRemoveRows();
}

void CPropertyTableModel::Sync() {
  std::vector<CPropertyItem*> now =
      scopeLost_ ? std::vector<CPropertyItem*>() : TableProperties(doc_, Scope());
  size_t head = 0;
  while (head < rows_.size() && head < now.size() && rows_[head] == now[head]) ++head;
  size_t tail = 0;
  while (tail < rows_.size() - head && tail < now.size() - head &&
         rows_[rows_.size() - 1 - tail] == now[now.size() - 1 - tail])
    ++tail;
  if (head + tail < rows_.size()) {
    beginRemoveRows({}, int(head), int(rows_.size() - tail - 1));
    rows_.erase(rows_.begin() + long(head), rows_.end() - long(tail));
    endRemoveRows();
  }
  if (head + tail < now.size()) {
    beginInsertRows({}, int(head), int(now.size() - tail - 1));
    rows_.insert(rows_.begin() + long(head), now.begin() + long(head), now.end() - long(tail));
    endInsertRows();
  }
}

namespace {

CPropertyItem* FirstPropertyIn(CRecord* r) {
  if (CPropertyItem* p = AsProperty(r)) return p;
  CPropertyItem* found = nullptr;
  ForEachChild(r, [&](CRecord* c) {
    if (!found) found = FirstPropertyIn(c);
  });
  return found;
}

}  // namespace

void CPropertyTableModel::RowsInserted(CRecord* parent, int first, int count) {
  if (!active_ || scopeLost_ || (scopeId_ && !IsInBranch(parent, Scope()))) return;
  std::vector<CPropertyItem*> added;
  for (int i = first; i < first + count; ++i) {
    std::vector<CPropertyItem*> props = TableProperties(doc_, doc_.RecordAt(parent, i));
    added.insert(added.end(), props.begin(), props.end());
  }
  if (added.empty()) return;
  // The rows go in front of the first property that follows the new branches in tree order.
  CPropertyItem* next = nullptr;
  const CRecord* scope = Scope();
  CRecord* list = parent;
  int from = first + count;
  for (;;) {
    for (int i = from, n = doc_.RowCount(list); i < n && !next; ++i)
      next = FirstPropertyIn(doc_.RecordAt(list, i));
    if (next || !list || list == scope) break;
    from = doc_.RowOf(list) + 1;
    list = CTarnelDoc::ListOf(list);
  }
  int at = next ? RowOf(next) : int(rows_.size());
  if (at < 0) {
    Sync();
    return;
  }
  beginInsertRows({}, at, at + int(added.size()) - 1);
  rows_.insert(rows_.begin() + at, added.begin(), added.end());
  endInsertRows();
}

void CPropertyTableModel::RowsAboutToBeRemoved(CRecord* parent, int first, int count) {
  if (!active_) return;
  for (int i = first; i < first + count; ++i) {
    if (scopeId_ && !scopeLost_ && IsInBranch(Scope(), doc_.RecordAt(parent, i))) {
      // The shown record goes: the table is empty until another is chosen.
      beginResetModel();
      scopeLost_ = true;
      rows_.clear();
      endResetModel();
      return;
    }
  }
  RemoveBranches(parent, first, count);
}

void CPropertyTableModel::RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord*, int) {
  if (!active_) return;
  RemoveBranches(from, first, count);
}

void CPropertyTableModel::RowsMoved(CRecord*, int, int, CRecord*, int) {
  if (active_) Sync();
}

void CPropertyTableModel::RecordChanged(CRecord* record) {
  if (rows_.empty()) return;
  if (CPropertyItem* p = AsProperty(record)) {
    int row = RowOf(p);
    if (row >= 0) emit dataChanged(index(row, 0), index(row, kTableColumnCount - 1));
    // The properties that link here show its path.
    for (const CIncomingLink& link : p->incomingLinks) {
      int source = RowOf(AsProperty(doc_.LookupRecord(link.sourceId)));
      if (source >= 0) emit dataChanged(index(source, kColumnLink), index(source, kColumnLink));
    }
    return;
  }
  // A renamed group, object or atom changes the paths below it, and the links that show them.
  emit dataChanged(index(0, kColumnPath), index(int(rows_.size()) - 1, kColumnPath));
  emit dataChanged(index(0, kColumnLink), index(int(rows_.size()) - 1, kColumnLink));
}

void CPropertyTableModel::ValueChanged(CPropertyItem* property, uint32_t) {
  int row = RowOf(property);
  if (row >= 0) emit dataChanged(index(row, kColumnValue), index(row, kColumnValue));
}

void CPropertyTableModel::AboutToReset() {
  if (!active_) return;
  beginResetModel();
  rows_.clear();
}

void CPropertyTableModel::Reset() {
  if (!active_) return;
  scopeLost_ = scopeId_ && !doc_.LookupRecord(scopeId_);
  Rebuild();
  endResetModel();
}

int CPropertyTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int CPropertyTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kTableColumnCount;
}

QVariant CPropertyTableModel::data(const QModelIndex& index, int role) const {
  const CPropertyItem* p = PropertyAt(index.row());
  if (!p || index.column() < 0 || index.column() >= kTableColumnCount) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
      if (role == Qt::ToolTipRole && index.column() != kColumnPath && index.column() != kColumnLink)
        return {};
      return FromCp1251(TableCellText(doc_, *p, index.column()));
    case Qt::TextAlignmentRole:
      if (index.column() == kColumnId || index.column() == kColumnEoc)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case kIdRole:
      return p->id;
    default:
      return {};
  }
}

QString CPropertyTableModel::ColumnTitle(int column) {
  switch (column) {
    case kColumnPath:
      return tr("Путь");
    case kColumnName:
      return tr("Название");
    case kColumnId:
      return tr("Идентификатор");
    case kColumnType:
      return tr("Тип");
    case kColumnValue:
      return tr("Значение");
    case kColumnFlags:
      return tr("Флаги");
    case kColumnEoc:
      return QStringLiteral("EOC");
    case kColumnLink:
      return tr("Ссылка");
    default:
      return {};
  }
}

QVariant CPropertyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (role == Qt::DisplayRole) return ColumnTitle(section);
  if (role == Qt::ToolTipRole && section == kColumnFlags)
    return tr("Номера установленных флагов 1-6 через пробел, например «2 6»");
  if (role == Qt::ToolTipRole && section == kColumnLink)
    return tr("Путь записи, на которую ссылается свойство типа LINK_TO");
  return {};
}

bool CPropertyTableModel::Editable(int column) {
  return column != kColumnPath && column != kColumnId && column >= 0 && column < kTableColumnCount;
}

Qt::ItemFlags CPropertyTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && editHandler_ && Editable(index.column())) f |= Qt::ItemIsEditable;
  return f;
}

bool CPropertyTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  const CPropertyItem* p = PropertyAt(index.row());
  if (role != Qt::EditRole || !p || !editHandler_ || !Editable(index.column())) return false;
  std::string text;
  if (!ToCp1251(value.toString(), &text)) {
    emit editRefused(UnencodableTextMessage(ColumnTitle(index.column()), value.toString()));
    return false;
  }
  if (text == TableCellText(doc_, *p, index.column())) return false;
  // The handler tells the user why an edit was refused; the model only reports the outcome.
  return editHandler_({{p->id, index.column(), std::move(text)}}).index < 0;
}

CPropertyTableProxy::CPropertyTableProxy(CPropertyTableModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), source_(source) {
  // The filter keeps the path last asked about; the source's changes, connected before the
  // proxy's own handlers that filter again, make it forget.
  auto forget = [this] { filter_.ForgetPaths(); };
  connect(source, &QAbstractItemModel::dataChanged, this, forget);
  connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, forget);
  connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, forget);
  connect(source, &QAbstractItemModel::rowsAboutToBeMoved, this, forget);
  connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, forget);
  connect(source, &QAbstractItemModel::modelAboutToBeReset, this, forget);
  setSourceModel(source);
  // Any change of the rows makes the keys stale; lessThan then makes keys as it goes.
  auto stale = [this] { keys_.clear(); };
  connect(source, &QAbstractItemModel::rowsInserted, this, stale);
  connect(source, &QAbstractItemModel::rowsRemoved, this, stale);
  connect(source, &QAbstractItemModel::modelReset, this, stale);
  connect(source, &QAbstractItemModel::dataChanged, this, stale);
}

void CPropertyTableProxy::SetFilterText(const QString& text) {
  std::string bytes;
  ToCp1251Lossy(text, &bytes);
  filter_ = TableFilter(bytes);
  // One layout change: telling the view of each removed and inserted range would cost far more
  // than the filter itself at tens of thousands of rows.
  invalidate();
}

bool CPropertyTableProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const CPropertyItem* p = source_->PropertyAt(sourceRow);
  return p && filter_.Matches(source_->document(), *p);
}

std::string CPropertyTableProxy::Key(int sourceRow, int column) const {
  const CPropertyItem* p = source_->PropertyAt(sourceRow);
  if (!p) return {};
  if (column == kColumnId) {
    // Fixed width, so the text order is the number order.
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010u", unsigned(p->id));
    return digits;
  }
  return FoldCp1251(TableCellText(source_->document(), *p, column));
}

void CPropertyTableProxy::sort(int column, Qt::SortOrder order) {
  keys_.clear();
  if (column >= 0 && column < kTableColumnCount) {
    keys_.reserve(source_->rows().size());
    for (int r = 0; r < int(source_->rows().size()); ++r) keys_.push_back(Key(r, column));
    keysColumn_ = column;
  }
  QSortFilterProxyModel::sort(column, order);
}

bool CPropertyTableProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  int column = left.column();
  if (column == keysColumn_ && keys_.size() == source_->rows().size())
    return keys_[size_t(left.row())] < keys_[size_t(right.row())];
  return Key(left.row(), column) < Key(right.row(), column);
}
