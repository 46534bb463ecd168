// The structure tree's value column follows the document: a changed value's cell is told to the
// view (which redraws it only when it shows it) and is highlighted for a second. Highlights are
// kept by identifier with the time they end; one timer clears those that have ended.
#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariant>
#include <cstdint>
#include <unordered_map>

#include "ui/watch/value_changes.h"

class CRecordModel;
class CTarnelDoc;

class CValueHighlight : public QObject {
  Q_OBJECT
 public:
  static constexpr int kHighlightMs = 1000;

  CValueHighlight(CTarnelDoc& doc, CRecordModel* model, QObject* parent = nullptr);
  ~CValueHighlight() override;

  // The value cell's background: the highlight colour while the change is fresh.
  QVariant Background(uint32_t id) const;
  bool IsHighlighted(uint32_t id) const { return until_.count(id) != 0; }
  // The property's value changed without the document's events telling it (a value resync).
  void Mark(uint32_t id);

 private:
  void OnValue(CPropertyItem* property);
  void ClearExpired();

  CTarnelDoc& doc_;
  CRecordModel* model_;
  CValueChanges changes_;
  QElapsedTimer clock_;
  QTimer sweep_;
  std::unordered_map<uint32_t, qint64> until_;  // identifier -> end of its highlight (clock ms)
  QColor colour_;
};
