// The watch list: properties the user follows while connected, one row each with its record
// path, type, value, the time of its last change and how many changes came since it was added.
// Rows are kept by identifier; the value is read from the document when a view asks, so a
// change costs one cell update. Numeric values are recorded as they change, each in a ring of a
// fixed number of samples, for trends and CSV files. The list belongs to the document file: it is
// written to and read from the settings under the file's path.
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/monitor/sample_csv.h"

class CPropertyItem;
class CTarnelDoc;
class CValueChanges;
class QSettings;

class CWatchModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kPathColumn, kTypeColumn, kValueColumn, kTimeColumn, kCountColumn, kColumnCount };
  // Sets a property's value text as "Применить" does (through the edit history); false when
  // the value was not taken.
  using ValueEditor = std::function<bool(uint32_t id, const QString& text)>;

  explicit CWatchModel(CTarnelDoc& doc, QObject* parent = nullptr);
  ~CWatchModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  void SetValueEditor(ValueEditor editor) { editor_ = std::move(editor); }
  // A mark and a tooltip for the value cells, by identifier and role.
  void SetValueMarks(std::function<QVariant(uint32_t id, int role)> marks) {
    valueMarks_ = std::move(marks);
  }
  // Where the value of this property stands with the server changed.
  void ValueMarkChanged(uint32_t id);

  // Samples each numeric property keeps: a trend of ten minutes at five changes a second.
  static constexpr size_t kDefaultSamplesPerSeries = 3000;
  // For properties added from now on.
  void SetSamplesPerSeries(size_t count) { samplesPerSeries_ = count; }
  // What was recorded of a watched numeric property (its value when added, then each change);
  // null for other types and for properties not watched.
  const RecordedSeries* SeriesOf(uint32_t id) const;
  // Every recorded series, in the list's order.
  std::vector<const RecordedSeries*> AllSeries() const;
  // Whether the row's property is a number a trend can plot.
  bool IsNumericAt(int row) const;

  // Adds the properties among the records (with the properties of atoms, objects and groups
  // given, so a whole branch can be added at once) that are not watched yet. The number added.
  int Add(const std::vector<uint32_t>& ids);
  void RemoveRowsAt(std::vector<int> rows);
  void Clear();
  uint32_t IdAt(int row) const;
  int RowOf(uint32_t id) const;
  int ChangesAt(int row) const;
  // Records may have left the document: the rows of those that did go, once the current
  // operation is over. After a reset (a file opened, a base downloaded) a row's property is the
  // one at its record path, should the identifier now name another one.
  void SchedulePrune(bool reset = false);
  // The property's value changed without the document's events telling it (a value resync).
  void ValueTakenOver(uint32_t id);

  // The list as written to the settings: "identifier<TAB>record path" per property.
  QStringList Entries() const;
  // Replaces the list by the entries; a property is taken when the identifier still names a
  // property at that path, else the property at that path. The number of entries not found.
  int SetEntries(const QStringList& entries);
  // The settings key of a file's list.
  static QString SettingsKey(const QString& filePath);
  void Save(QSettings& settings, const QString& filePath) const;
  int Load(QSettings& settings, const QString& filePath);

 signals:
  // Rows were added or removed by the user (the owner writes the list to the settings).
  void listChanged();
  // Watched properties left the document (deleted, or a new document without them).
  void propertiesLeft(int count);

 private:
  struct Entry {
    uint32_t id = 0;
    std::string path;  // as when added, for the settings and while the record is gone
    QDateTime lastChange;
    int changes = 0;
    std::unique_ptr<RecordedSeries> series;  // numeric properties only
  };
  void OnValue(CPropertyItem* p, bool counts);
  // Adds the property's current value to its series (made when the type became numeric).
  void Record(Entry& e, const CPropertyItem& p, int64_t msecs);
  Entry MakeEntry(const CPropertyItem& p);
  void ReindexRows();
  void Prune();
  void AddProperty(const CPropertyItem* p, std::vector<Entry>* added);

  CTarnelDoc& doc_;
  std::vector<Entry> entries_;
  std::unique_ptr<CValueChanges> changes_;
  ValueEditor editor_;
  std::function<QVariant(uint32_t, int)> valueMarks_;
  bool prunePending_ = false;
  bool resetSeen_ = false;  // a reset came since the last prune
  size_t samplesPerSeries_ = kDefaultSamplesPerSeries;
  std::unordered_map<uint32_t, int> rows_;  // identifier -> row, for the value changes
};
