#include "document_handle.h"

#include <pybind11/pybind11.h>

#include <algorithm>

#include "errors.h"

namespace kpy {

DocumentHandle::DocumentHandle() {
  doc_.events().AddObserver(this);
}

DocumentHandle::~DocumentHandle() {
  doc_.events().RemoveObserver(this);
}

void DocumentHandle::WaitIdle() {
  if (!running.load()) return;
  pybind11::gil_scoped_release unlocked;
  std::lock_guard<std::mutex> wait(busy);
}

LongCall::LongCall(std::vector<DocumentHandle*> docs) {
  for (DocumentHandle* d : docs)
    if (d && std::find(docs_.begin(), docs_.end(), d) == docs_.end()) docs_.push_back(d);
  {
    // Waiting without the lock: the thread that holds a document needs it to finish.
    pybind11::gil_scoped_release unlocked;
    if (docs_.size() == 2)
      std::lock(docs_[0]->busy, docs_[1]->busy);
    else
      for (DocumentHandle* d : docs_) d->busy.lock();
  }
  for (DocumentHandle* d : docs_) d->running = true;
}

LongCall::~LongCall() {
  for (DocumentHandle* d : docs_) {
    d->running = false;
    d->busy.unlock();
  }
}

RecordRef::RecordRef(DocumentPtr doc, CRecord* record)
    : doc_(std::move(doc)),
      id_(record->id),
      kind_(record->Kind()),
      record_(record),
      generation_(doc_->generation()) {}

namespace {

bool InBranch(const CRecord* r, const CRecord* wanted) {
  if (r == wanted) return true;
  bool found = false;
  ForEachChild(r, [&](const CRecord* c) { found = found || InBranch(c, wanted); });
  return found;
}

}  // namespace

CRecord* RecordRef::Find() const {
  CTarnelDoc& doc = doc_->doc();
  CRecord* registered = doc.LookupRecord(id_);
  if (registered && registered == record_ && registered->id == id_ && registered->Kind() == kind_)
    return record_;
  // A record that shares its identifier with another is not the one the registry names: it
  // is found by its address, compared but never followed, among the records still there.
  // Another record made at a freed record's address is told apart by its identifier or kind.
  for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i)
    if (InBranch(doc.RecordAt(nullptr, i), record_)) {
      if (record_->id == id_ && record_->Kind() == kind_) return record_;
      break;
    }
  // Gone; an undo may have brought back a record with the same identifier and kind.
  if (registered && registered->id == id_ && registered->Kind() == kind_) return registered;
  return nullptr;
}

CRecord* RecordRef::Get() const {
  doc_->WaitIdle();
  if (generation_ == doc_->generation()) return record_;
  CRecord* r = Find();
  if (!r)
    throw ScriptError(
        ErrorClass::kDeleted,
        "the record with the identifier " + std::to_string(id_) + " is no longer in the document");
  record_ = r;
  generation_ = doc_->generation();
  return r;
}

}  // namespace kpy
