#include "ui/watch/value_changes.h"

#include "model/document.h"
#include "model/records.h"

CValueChanges::CValueChanges(CTarnelDoc& doc, Listener onValue, StructureListener onStructure)
    : doc_(doc), onValue_(std::move(onValue)), onStructure_(std::move(onStructure)) {
  doc_.events().AddObserver(this);
}

CValueChanges::~CValueChanges() {
  doc_.events().RemoveObserver(this);
}

void CValueChanges::ValueChanged(CPropertyItem* property, uint32_t) {
  lastPatternId_ = property->id;
  if (onValue_) onValue_(property, true);
}

void CValueChanges::RecordAboutToChange(CRecord* record) {
  changingId_ = 0;
  if (GetKind(record) != kKindProperty) return;
  changingId_ = record->id;
  changingFollowsPattern_ = lastPatternId_ == record->id;
  changingText_ = static_cast<CPropertyItem*>(record)->GetValueText();
}

void CValueChanges::RecordChanged(CRecord* record) {
  lastPatternId_ = 0;
  if (GetKind(record) != kKindProperty || record->id != changingId_) return;
  changingId_ = 0;
  auto* p = static_cast<CPropertyItem*>(record);
  if (p->GetValueText() == changingText_) return;
  if (onValue_) onValue_(p, !changingFollowsPattern_);
}

void CValueChanges::RowsRemoved(CRecord*, int, int) {
  lastPatternId_ = 0;
  if (onStructure_) onStructure_(false);
}

void CValueChanges::Reset() {
  lastPatternId_ = 0;
  if (onStructure_) onStructure_(true);
}
