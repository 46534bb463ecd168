// Records one step of the edit history from the document's events: the lists a step touched
// and the records it changed, added or removed, as they were before and are after. A step costs
// what it changed, not what the document holds. A step in which the whole document was
// replaced (an open, a base download) keeps whole pictures from the reset on.
#pragma once

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document_diff.h"
#include "document_events.h"

class CTarnelDoc;

class CChangeRecorder : private IDocumentObserver {
 public:
  // Listens to `doc` from now on; the document must outlive the recorder.
  explicit CChangeRecorder(CTarnelDoc& doc);
  ~CChangeRecorder() override;
  CChangeRecorder(const CChangeRecorder&) = delete;
  CChangeRecorder& operator=(const CChangeRecorder&) = delete;

  CTarnelDoc& document() const { return doc_; }
  // A step begins: what changes from here on is recorded. A step already begun goes on.
  void Begin();
  bool Recording() const { return recording_; }
  // The step ends: what it changed (an empty change when nothing did).
  std::unique_ptr<DocumentChange> End();

 private:
  void RowsAboutToBeInserted(CRecord* parent, int first, int count) override;
  void RowsInserted(CRecord* parent, int first, int count) override;
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count) override;
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) override;
  void RecordAboutToChange(CRecord* record) override;
  void ValueChanged(CPropertyItem* property, uint32_t previous) override;
  void AboutToReset() override;
  void Reset() override;

  bool Incremental() const { return recording_ && !whole_; }
  void TouchList(const CRecord* parent);
  void Snap(const CRecord* record);
  void SnapBranch(const CRecord* record);
  void AfterOfAdded(const CRecord* record, DocumentChange* change);

  CTarnelDoc& doc_;
  bool recording_ = false;
  // Whether every record has a key of its own that the registry maps to it; only then can a
  // step be kept as records and lists. -1: not known since the last reset.
  int keyed_ = -1;
  bool whole_ = false;  // this step keeps whole pictures
  uint16_t lastIdBefore_ = 0;
  DocumentState wholeBefore_;
  // The part of the step before a reset, when one came in the middle of it.
  std::unique_ptr<DocumentChange> beforeReset_;

  std::unordered_map<uint16_t, std::vector<uint16_t>> lists_;  // list key -> keys before
  std::vector<uint16_t> listOrder_;
  std::unordered_map<uint16_t, RecordData> before_;  // records as they were
  std::vector<uint16_t> snapOrder_;
  std::unordered_set<const CRecord*> fresh_;  // made during the step
};
