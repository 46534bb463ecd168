#include "ui/watch/value_highlight.h"

#include <vector>

#include "model/document.h"
#include "model/records.h"
#include "ui/tree/record_model.h"

CValueHighlight::CValueHighlight(CTarnelDoc& doc, CRecordModel* model, QObject* parent)
    : QObject(parent),
      doc_(doc),
      model_(model),
      changes_(doc, [this](CPropertyItem* p, bool) { OnValue(p); }),
      colour_(255, 230, 140) {
  clock_.start();
  sweep_.setInterval(200);
  connect(&sweep_, &QTimer::timeout, this, &CValueHighlight::ClearExpired);
  model_->SetValueBackground([this](uint32_t id) { return Background(id); });
}

CValueHighlight::~CValueHighlight() {
  model_->SetValueBackground({});
}

QVariant CValueHighlight::Background(uint32_t id) const {
  return IsHighlighted(id) ? QVariant(colour_) : QVariant();
}

void CValueHighlight::OnValue(CPropertyItem* property) {
  until_[property->id] = clock_.elapsed() + kHighlightMs;
  model_->RefreshValue(property);
  if (!sweep_.isActive()) sweep_.start();
}

void CValueHighlight::Mark(uint32_t id) {
  if (CPropertyItem* p = AsProperty(doc_.LookupRecord(id))) OnValue(p);
}

void CValueHighlight::ClearExpired() {
  qint64 now = clock_.elapsed();
  std::vector<uint32_t> ended;
  for (const auto& [id, until] : until_)
    if (until <= now) ended.push_back(id);
  for (uint32_t id : ended) {
    until_.erase(id);
    // The record may have gone meanwhile; then there is no cell to clear.
    if (CRecord* r = doc_.LookupRecord(id)) model_->RefreshValue(r);
  }
  if (until_.empty()) sweep_.stop();
}
