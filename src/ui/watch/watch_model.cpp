#include "ui/watch/watch_model.h"

#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "model/document.h"
#include "model/record_lookup.h"
#include "model/records.h"
#include "model/value_types.h"
#include "net/monitor/property_number.h"
#include "ui/watch/value_changes.h"
#include "xml/text_codec.h"

CWatchModel::CWatchModel(CTarnelDoc& doc, QObject* parent)
    : QAbstractTableModel(parent),
      doc_(doc),
      changes_(std::make_unique<CValueChanges>(
          doc, [this](CPropertyItem* p, bool counts) { OnValue(p, counts); },
          [this](bool reset) { SchedulePrune(reset); })) {}

CWatchModel::~CWatchModel() = default;

int CWatchModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(entries_.size());
}

int CWatchModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant CWatchModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(entries_.size())) return {};
  const Entry& e = entries_[size_t(index.row())];
  if (role == Qt::UserRole) return e.id;
  if ((role == Qt::DecorationRole || role == Qt::ToolTipRole) && index.column() == kValueColumn)
    return valueMarks_ ? valueMarks_(e.id, role) : QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const CPropertyItem* p = AsProperty(doc_.LookupRecord(e.id));
  switch (index.column()) {
    case kPathColumn:
      return FromCp1251(p ? GetRecordPath(p) : e.path);
    case kTypeColumn:
      return p ? QString::fromLatin1(TypeCodeToName(p->typeCode)) : QString();
    case kValueColumn:
      return p ? FromCp1251(p->GetValueText()) : QString();
    case kTimeColumn:
      return e.lastChange.isValid() ? e.lastChange.toString(QStringLiteral("HH:mm:ss.zzz"))
                                    : QString();
    case kCountColumn:
      return e.changes;
    default:
      return {};
  }
}

QVariant CWatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kPathColumn:
      return tr("Путь");
    case kTypeColumn:
      return tr("Тип");
    case kValueColumn:
      return tr("Значение");
    case kTimeColumn:
      return tr("Изменено");
    case kCountColumn:
      return tr("Изменений");
    default:
      return {};
  }
}

Qt::ItemFlags CWatchModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kValueColumn && editor_) f |= Qt::ItemIsEditable;
  return f;
}

bool CWatchModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.column() != kValueColumn || !editor_ ||
      index.row() >= int(entries_.size()))
    return false;
  // The document tells the new value back through its events, which update the row.
  return editor_(entries_[size_t(index.row())].id, value.toString());
}

CWatchModel::Entry CWatchModel::MakeEntry(const CPropertyItem& p) {
  Entry e;
  e.id = p.id;
  e.path = GetRecordPath(&p);
  // The trend starts from the value the property has when it is added.
  Record(e, p, QDateTime::currentMSecsSinceEpoch());
  return e;
}

void CWatchModel::AddProperty(const CPropertyItem* p, std::vector<Entry>* added) {
  added->push_back(MakeEntry(*p));
}

void CWatchModel::Record(Entry& e, const CPropertyItem& p, int64_t msecs) {
  std::optional<double> number = PropertyNumber(p);
  if (!number) return;
  if (!e.series) {
    e.series = std::make_unique<RecordedSeries>();
    e.series->id = e.id;
    e.series->path = e.path;
    e.series->samples = CValueRing(samplesPerSeries_);
  }
  CValueRing& ring = e.series->samples;
  // A new text over the same pattern (message 4) is no new number: the ring keeps its room.
  if (!ring.Empty() && ring.Latest().value == *number) return;
  ring.Push(msecs, *number);
}

void CWatchModel::ReindexRows() {
  rows_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) rows_[entries_[i].id] = int(i);
}

const RecordedSeries* CWatchModel::SeriesOf(uint32_t id) const {
  int row = RowOf(id);
  return row < 0 ? nullptr : entries_[size_t(row)].series.get();
}

std::vector<const RecordedSeries*> CWatchModel::AllSeries() const {
  std::vector<const RecordedSeries*> out;
  for (const Entry& e : entries_)
    if (e.series) out.push_back(e.series.get());
  return out;
}

bool CWatchModel::IsNumericAt(int row) const {
  if (row < 0 || row >= int(entries_.size())) return false;
  const CPropertyItem* p = AsProperty(doc_.LookupRecord(entries_[size_t(row)].id));
  return p && IsTrendableType(p->typeCode);
}

int CWatchModel::Add(const std::vector<uint32_t>& ids) {
  std::unordered_set<uint32_t> have;
  for (const Entry& e : entries_) have.insert(e.id);
  std::vector<Entry> added;
  for (uint32_t id : ids) {
    std::vector<CPropertyItem*> props;
    CollectProperties(doc_.LookupRecord(id), &props);
    for (const CPropertyItem* p : props)
      if (have.insert(p->id).second) AddProperty(p, &added);
  }
  if (added.empty()) return 0;
  int first = int(entries_.size());
  beginInsertRows({}, first, first + int(added.size()) - 1);
  for (Entry& e : added) entries_.push_back(std::move(e));
  ReindexRows();
  endInsertRows();
  emit listChanged();
  return int(added.size());
}

void CWatchModel::RemoveRowsAt(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  bool removed = false;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (*it < 0 || *it >= int(entries_.size())) continue;
    beginRemoveRows({}, *it, *it);
    entries_.erase(entries_.begin() + *it);
    ReindexRows();
    endRemoveRows();
    removed = true;
  }
  if (removed) emit listChanged();
}

void CWatchModel::Clear() {
  if (entries_.empty()) return;
  beginResetModel();
  entries_.clear();
  rows_.clear();
  endResetModel();
  emit listChanged();
}

uint32_t CWatchModel::IdAt(int row) const {
  return row >= 0 && row < int(entries_.size()) ? entries_[size_t(row)].id : 0;
}

int CWatchModel::RowOf(uint32_t id) const {
  auto it = rows_.find(id);
  return it == rows_.end() ? -1 : it->second;
}

int CWatchModel::ChangesAt(int row) const {
  return row >= 0 && row < int(entries_.size()) ? entries_[size_t(row)].changes : 0;
}

void CWatchModel::OnValue(CPropertyItem* p, bool counts) {
  int row = RowOf(p->id);
  if (row < 0) return;
  Entry& e = entries_[size_t(row)];
  if (counts) {
    e.lastChange = QDateTime::currentDateTime();
    ++e.changes;
    // The pattern is already new when it is told, so the number is the new one.
    Record(e, *p, e.lastChange.toMSecsSinceEpoch());
  }
  emit dataChanged(index(row, kValueColumn), index(row, kCountColumn));
}

void CWatchModel::ValueTakenOver(uint32_t id) {
  if (CPropertyItem* p = AsProperty(doc_.LookupRecord(id))) OnValue(p, true);
}

void CWatchModel::ValueMarkChanged(uint32_t id) {
  for (size_t row = 0; row < entries_.size(); ++row)
    if (entries_[row].id == id) {
      QModelIndex cell = index(int(row), kValueColumn);
      emit dataChanged(cell, cell, {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

void CWatchModel::SchedulePrune(bool reset) {
  resetSeen_ = resetSeen_ || reset;
  // Records leave in the middle of an operation that may bring them back with the same
  // identifier (undo puts a changed list back whole); look once it has finished.
  if (prunePending_ || entries_.empty()) return;
  prunePending_ = true;
  QTimer::singleShot(0, this, &CWatchModel::Prune);
}

void CWatchModel::Prune() {
  prunePending_ = false;
  bool reset = std::exchange(resetSeen_, false);
  int gone = 0;
  bool moved = false;
  for (int row = int(entries_.size()) - 1; row >= 0; --row) {
    Entry& e = entries_[size_t(row)];
    const CPropertyItem* p = AsProperty(doc_.LookupRecord(e.id));
    if (reset) {
      // New contents: the value watched is the one at the path, whatever its identifier now.
      p = FindKeptProperty(
          doc_, e.id, e.path, [&](uint32_t id) { return RowOf(id) >= 0; }, true);
      if (p && p->id != e.id) {
        moved = true;
        e.id = p->id;
        if (e.series) e.series->id = p->id;
      }
    }
    if (p) {
      e.path = GetRecordPath(p);  // a rename is followed
      continue;
    }
    beginRemoveRows({}, row, row);
    entries_.erase(entries_.begin() + row);
    ReindexRows();
    endRemoveRows();
    ++gone;
  }
  if (moved) {
    ReindexRows();
    emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
  }
  if (gone == 0 && !moved) return;
  emit listChanged();
  if (gone > 0) emit propertiesLeft(gone);
}

QStringList CWatchModel::Entries() const {
  QStringList out;
  for (const Entry& e : entries_) {
    const CPropertyItem* p = AsProperty(doc_.LookupRecord(e.id));
    out << QString::number(e.id) + QLatin1Char('\t') + FromCp1251(p ? GetRecordPath(p) : e.path);
  }
  return out;
}

int CWatchModel::SetEntries(const QStringList& list) {
  beginResetModel();
  entries_.clear();
  std::unordered_set<uint32_t> have;
  int missing = 0;
  for (const QString& line : list) {
    int tab = line.indexOf(QLatin1Char('\t'));
    uint32_t id = tab > 0 ? line.left(tab).toUInt() : 0;
    std::string path;
    ToCp1251Lossy(tab >= 0 ? line.mid(tab + 1) : line, &path);
    const CPropertyItem* p = FindKeptProperty(doc_, id, path, nullptr, false);
    if (!p) {
      ++missing;
      continue;
    }
    if (!have.insert(p->id).second) continue;
    entries_.push_back(MakeEntry(*p));
  }
  ReindexRows();
  endResetModel();
  return missing;
}

QString CWatchModel::SettingsKey(const QString& filePath) {
  // A path holds slashes, which the settings read as groups.
  return QStringLiteral("watch/") +
         QString::fromLatin1(filePath.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                        QByteArray::OmitTrailingEquals));
}

void CWatchModel::Save(QSettings& settings, const QString& filePath) const {
  if (filePath.isEmpty()) return;
  if (entries_.empty())
    settings.remove(SettingsKey(filePath));
  else
    settings.setValue(SettingsKey(filePath), Entries());
}

int CWatchModel::Load(QSettings& settings, const QString& filePath) {
  QStringList list;
  if (!filePath.isEmpty()) list = settings.value(SettingsKey(filePath)).toStringList();
  return SetEntries(list);
}
