#include "ui/history/edit_command.h"

#include "model/document.h"
#include "model/document_diff.h"

CEditHistory::CEditHistory(size_t limit, size_t memoryLimit)
    : limit_(limit < 1 ? 1 : limit), memoryLimit_(memoryLimit) {}

CEditHistory::~CEditHistory() = default;

bool CEditHistory::Run(std::unique_ptr<CEditCommand> command, EditContext& ctx) {
  Follow(ctx.doc);
  recorder_->Begin();  // goes on when an outside change began the step
  bool changed = command->Execute(ctx);
  std::unique_ptr<DocumentChange> change = recorder_->End();
  if (ctx.cancelled) {
    // The same way back as an undo, so the document is exactly as before, identifier counter
    // included.
    if (!change->Empty()) ApplyChange(ctx.doc, *change, false);
    return false;
  }
  if (!changed) return false;
  if (change->Empty()) return true;  // reported as a change, but nothing to take back
  if (cleanAt_ > long(done_.size())) cleanAt_ = -1;  // the saved state was undone: gone now
  for (auto& step : undone_) Drop(step);
  undone_.clear();
  lastApplied_ = nullptr;
  bytes_ += change->MemoryBytes();
  done_.push_back(std::move(change));
  // The newest step always stays.
  while (done_.size() > 1 && (done_.size() > limit_ || bytes_ > memoryLimit_)) {
    Drop(done_.front());
    done_.pop_front();
    if (cleanAt_ >= 0) --cleanAt_;
  }
  return true;
}

void CEditHistory::NoteExternalChangeComing(const CTarnelDoc& doc) {
  Follow(const_cast<CTarnelDoc&>(doc));
  recorder_->Begin();
}

bool CEditHistory::Undo(CTarnelDoc& doc) {
  if (done_.empty()) return false;
  std::unique_ptr<DocumentChange> step = std::move(done_.back());
  done_.pop_back();
  ApplyChange(doc, *step, false);
  lastApplied_ = step.get();
  undone_.push_back(std::move(step));
  return true;
}

bool CEditHistory::Redo(CTarnelDoc& doc) {
  if (undone_.empty()) return false;
  std::unique_ptr<DocumentChange> step = std::move(undone_.back());
  undone_.pop_back();
  ApplyChange(doc, *step, true);
  lastApplied_ = step.get();
  done_.push_back(std::move(step));
  return true;
}

void CEditHistory::Drop(std::unique_ptr<DocumentChange>& step) {
  bytes_ -= step->MemoryBytes();
  step.reset();
}

void CEditHistory::Clear() {
  lastApplied_ = nullptr;
  bytes_ = 0;
  done_.clear();
  undone_.clear();
  if (recorder_ && recorder_->Recording()) recorder_->End();
  cleanAt_ = 0;
}

void CEditHistory::MarkClean() {
  cleanAt_ = long(done_.size());
}

void CEditHistory::Follow(CTarnelDoc& doc) {
  if (!recorder_ || &recorder_->document() != &doc)
    recorder_ = std::make_unique<CChangeRecorder>(doc);
}
