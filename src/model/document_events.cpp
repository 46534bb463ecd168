#include "document_events.h"

#include <algorithm>

void CDocumentEvents::AddObserver(IDocumentObserver* observer) {
  if (!observer || std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
    return;
  observers_.push_back(observer);
  ++live_;
}

void CDocumentEvents::RemoveObserver(IDocumentObserver* observer) {
  auto it = std::find(observers_.begin(), observers_.end(), observer);
  if (!observer || it == observers_.end()) return;
  --live_;
  if (telling_)
    *it = nullptr;  // the list is being walked: compacted once the walk ends
  else
    observers_.erase(it);
}

template <class Fn>
void CDocumentEvents::Tell(Fn&& fn) {
  if (!live_ || resetting_) return;
  ++telling_;
  // Only those registered when the event began hear it.
  size_t n = observers_.size();
  for (size_t i = 0; i < n; ++i)
    if (IDocumentObserver* o = observers_[i]) fn(*o);
  if (--telling_ == 0) std::erase(observers_, nullptr);
}

void CDocumentEvents::RowsAboutToBeInserted(CRecord* parent, int first, int count) {
  Tell([&](IDocumentObserver& o) { o.RowsAboutToBeInserted(parent, first, count); });
}
void CDocumentEvents::RowsInserted(CRecord* parent, int first, int count) {
  Tell([&](IDocumentObserver& o) { o.RowsInserted(parent, first, count); });
}
void CDocumentEvents::RowsAboutToBeRemoved(CRecord* parent, int first, int count) {
  Tell([&](IDocumentObserver& o) { o.RowsAboutToBeRemoved(parent, first, count); });
}
void CDocumentEvents::RowsRemoved(CRecord* parent, int first, int count) {
  Tell([&](IDocumentObserver& o) { o.RowsRemoved(parent, first, count); });
}
void CDocumentEvents::RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to,
                                         int row) {
  Tell([&](IDocumentObserver& o) { o.RowsAboutToBeMoved(from, first, count, to, row); });
}
void CDocumentEvents::RowsMoved(CRecord* from, int first, int count, CRecord* to, int row) {
  Tell([&](IDocumentObserver& o) { o.RowsMoved(from, first, count, to, row); });
}
void CDocumentEvents::RecordAboutToChange(CRecord* record) {
  Tell([&](IDocumentObserver& o) { o.RecordAboutToChange(record); });
}
void CDocumentEvents::RecordChanged(CRecord* record) {
  Tell([&](IDocumentObserver& o) { o.RecordChanged(record); });
}
void CDocumentEvents::ValueChanged(CPropertyItem* property, uint32_t previous) {
  Tell([&](IDocumentObserver& o) { o.ValueChanged(property, previous); });
}
void CDocumentEvents::BeginReset() {
  if (resetting_ == 0) Tell([](IDocumentObserver& o) { o.AboutToReset(); });
  ++resetting_;
}
void CDocumentEvents::EndReset() {
  if (resetting_ == 0) return;
  if (--resetting_ == 0) Tell([](IDocumentObserver& o) { o.Reset(); });
}
