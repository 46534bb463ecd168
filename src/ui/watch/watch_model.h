// The watch list: properties the user follows while connected, one row each with its record
// path, type, value, the time of its last change and how many changes came since it was added.
// Rows are kept by identifier; the value is read from the document when a view asks, so a
// change costs one cell update. The list belongs to the document file: it is written to and
// read from the settings under the file's path.
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

  // Adds the properties among the records (with the properties of atoms, objects and groups
  // given, so a whole branch can be added at once) that are not watched yet. The number added.
  int Add(const std::vector<uint32_t>& ids);
  void RemoveRowsAt(std::vector<int> rows);
  void Clear();
  uint32_t IdAt(int row) const;
  int RowOf(uint32_t id) const;
  int ChangesAt(int row) const;
  // Records may have left the document: the rows of those that did go, once the current
  // operation is over.
  void SchedulePrune();
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
  };
  void OnValue(CPropertyItem* p, bool counts);
  void Prune();
  void AddProperty(const CPropertyItem* p, std::vector<Entry>* added);

  CTarnelDoc& doc_;
  std::vector<Entry> entries_;
  std::unique_ptr<CValueChanges> changes_;
  ValueEditor editor_;
  bool prunePending_ = false;
};
