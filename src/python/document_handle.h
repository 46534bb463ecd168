// The document a script holds, and the handles of its records. A handle keeps the record's
// identifier and finds the record again whenever the document may have lost records since it
// last looked, so a handle whose record is gone raises instead of reaching freed memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/document.h"
#include "model/document_events.h"
#include "model/edit_history.h"

namespace kpy {

class DocumentHandle : private IDocumentObserver {
 public:
  DocumentHandle();
  ~DocumentHandle() override;
  DocumentHandle(const DocumentHandle&) = delete;
  DocumentHandle& operator=(const DocumentHandle&) = delete;

  CTarnelDoc& doc() { return doc_; }
  // The undo and redo of the script's edits, as the editor keeps them.
  CEditHistory& history() { return history_; }
  // Grows whenever a record may have been destroyed (rows removed, everything replaced).
  uint64_t generation() const { return generation_; }

  // The file the document was opened from or last saved to; empty for a new one.
  std::string path;

  // A long call (open, save, compare) runs without the interpreter lock while holding this;
  // any other use of the document from another thread waits for it (see WaitIdle).
  std::mutex busy;
  std::atomic<bool> running{false};
  // Called with the interpreter lock held before the document is touched.
  void WaitIdle();

 private:
  void RowsAboutToBeRemoved(CRecord*, int, int) override { ++generation_; }
  void AboutToReset() override { ++generation_; }
  void Reset() override { ++generation_; }

  CTarnelDoc doc_;
  CEditHistory history_;  // listens to doc_, so it goes first
  uint64_t generation_ = 0;
};

using DocumentPtr = std::shared_ptr<DocumentHandle>;

// Holds documents for a long call made without the interpreter lock: made with the lock
// held, it waits for other threads' long calls on them to end and keeps the others waiting
// until it goes. Release the lock inside its scope.
class LongCall {
 public:
  explicit LongCall(std::vector<DocumentHandle*> docs);
  ~LongCall();
  LongCall(const LongCall&) = delete;
  LongCall& operator=(const LongCall&) = delete;

 private:
  std::vector<DocumentHandle*> docs_;
};

// A record of a document as a script holds it.
class RecordRef {
 public:
  RecordRef(DocumentPtr doc, CRecord* record);

  // The record, or DeletedRecordError when it has left the document.
  CRecord* Get() const;
  const DocumentPtr& document() const { return doc_; }
  uint32_t id() const { return id_; }

 private:
  CRecord* Find() const;

  DocumentPtr doc_;
  uint32_t id_;
  int kind_;
  mutable CRecord* record_;
  mutable uint64_t generation_;
};

}  // namespace kpy
