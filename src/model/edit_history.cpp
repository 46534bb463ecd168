#include "edit_history.h"

#include "document.h"
#include "document_diff.h"

void Report(EditContext& ctx, const EditResult& result) {
  if (result.refusal == EditRefusal::kDone || ctx.refusal == EditRefusal::kDocumentFull) return;
  ctx.refusal = result.refusal;
}

CEditHistory::CEditHistory(size_t limit, size_t memoryLimit)
    : limit_(limit < 1 ? 1 : limit), memoryLimit_(memoryLimit) {}

CEditHistory::~CEditHistory() = default;

bool CEditHistory::Run(std::unique_ptr<CEditCommand> command, EditContext& ctx) {
  if (depth_ > 0) {
    bool changed = command->Execute(ctx);
    stepCancelled_ |= ctx.cancelled;
    stepChanged_ |= changed;
    return changed && !ctx.cancelled;
  }
  Follow(ctx.doc);
  recorder_->Begin();  // goes on when an outside change began the step
  bool changed = command->Execute(ctx);
  return Finish(changed, changed, ctx.cancelled, {});
}

void CEditHistory::BeginStep(CTarnelDoc& doc, std::string label) {
  if (depth_++ > 0) return;
  Follow(doc);
  recorder_->Begin();
  stepLabel_ = std::move(label);
  stepChanged_ = false;
  stepCancelled_ = false;
}

bool CEditHistory::EndStep(bool cancel) {
  if (depth_ == 0) return false;
  stepCancelled_ |= cancel;
  if (--depth_ > 0) return false;
  // A step of edit functions has no command to say whether it changed anything: what it
  // recorded says so.
  return Finish(true, stepChanged_, stepCancelled_, std::move(stepLabel_));
}

bool CEditHistory::Finish(bool changed, bool changedWhenEmpty, bool cancelled, std::string label) {
  CTarnelDoc& doc = recorder_->document();
  std::unique_ptr<DocumentChange> change = recorder_->End();
  if (cancelled) {
    // The same way back as an undo, so the document is exactly as before, identifier counter
    // included.
    if (!change->Empty()) ApplyChange(doc, *change, false);
    return false;
  }
  if (!changed) return false;
  if (change->Empty()) return changedWhenEmpty;      // reported as a change, nothing to take back
  if (cleanAt_ > long(done_.size())) cleanAt_ = -1;  // the saved state was undone: gone now
  for (auto& step : undone_) Drop(step);
  undone_.clear();
  lastApplied_ = nullptr;
  bytes_ += change->MemoryBytes();
  done_.push_back({std::move(change), std::move(label)});
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

std::string CEditHistory::UndoLabel() const {
  return done_.empty() ? std::string() : done_.back().label;
}

std::string CEditHistory::RedoLabel() const {
  return undone_.empty() ? std::string() : undone_.back().label;
}

bool CEditHistory::Undo(CTarnelDoc& doc) {
  if (done_.empty() || depth_ > 0) return false;
  Step step = std::move(done_.back());
  done_.pop_back();
  ApplyChange(doc, *step.change, false);
  lastApplied_ = step.change.get();
  undone_.push_back(std::move(step));
  return true;
}

bool CEditHistory::Redo(CTarnelDoc& doc) {
  if (undone_.empty() || depth_ > 0) return false;
  Step step = std::move(undone_.back());
  undone_.pop_back();
  ApplyChange(doc, *step.change, true);
  lastApplied_ = step.change.get();
  done_.push_back(std::move(step));
  return true;
}

void CEditHistory::Drop(Step& step) {
  bytes_ -= step.change->MemoryBytes();
  step.change.reset();
}

void CEditHistory::Clear() {
  lastApplied_ = nullptr;
  bytes_ = 0;
  done_.clear();
  undone_.clear();
  if (recorder_ && recorder_->Recording()) recorder_->End();
  depth_ = 0;
  cleanAt_ = 0;
}

void CEditHistory::MarkClean() {
  cleanAt_ = long(done_.size());
}

void CEditHistory::Follow(CTarnelDoc& doc) {
  if (!recorder_ || &recorder_->document() != &doc)
    recorder_ = std::make_unique<CChangeRecorder>(doc);
}
