// Every change a user or a script makes to the document is one step of a CEditHistory: the one
// place that keeps what each change did, so that it can be undone and redone. A step is one
// command object run by Run, or everything done between BeginStep and EndStep.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "change_recorder.h"
#include "document_edits.h"

class CTarnelDoc;
class IProgress;
struct DocumentChange;

struct EditContext {
  CTarnelDoc& doc;
  // Text for the user, UTF-8 in the interface's language: why a command could not be carried
  // out, or something the user should know about one that was.
  std::string error;
  std::string notice;
  // Why an edit of the document was refused, for the caller to word: a full document is an
  // error, the rest say why a command changed nothing.
  EditRefusal refusal = EditRefusal::kDone;
  // A long command (an import) reports to this, and may be stopped through it.
  IProgress* progress = nullptr;
  // Set by a command that was stopped half way: the history takes back what it did.
  bool cancelled = false;
};

// Keeps the refusal of an edit in the context. A full document is not overwritten by a later,
// lesser refusal of the same command.
void Report(EditContext& ctx, const EditResult& result);

class CEditCommand {
 public:
  virtual ~CEditCommand() = default;
  // True when the document changed.
  virtual bool Execute(EditContext& ctx) = 0;
};

// A command made of a function, for callers that need no class of their own.
class CallCommand : public CEditCommand {
 public:
  explicit CallCommand(std::function<bool(EditContext&)> call) : call_(std::move(call)) {}
  bool Execute(EditContext& ctx) override { return call_(ctx); }

 private:
  std::function<bool(EditContext&)> call_;
};

// Undo and redo need nothing from the commands: the history records each step from the
// document's events and keeps only what it changed, so every command, present or future, can
// be taken back.
class CEditHistory {
 public:
  static constexpr size_t kDefaultLimit = 100;
  // Steps are small, but a document whose records share identifiers can only be restored
  // whole; such steps are dropped, oldest first, to stay within this.
  static constexpr size_t kDefaultMemoryLimit = size_t(256) << 20;
  explicit CEditHistory(size_t limit = kDefaultLimit, size_t memoryLimit = kDefaultMemoryLimit);
  ~CEditHistory();

  // Runs the command; when it changed the document, what it changed becomes the newest step
  // and the steps that were undone are forgotten. True when the document changed. A command
  // that says it was cancelled leaves no step: what it did so far is taken back at once.
  // Inside an open step the command joins it.
  bool Run(std::unique_ptr<CEditCommand> command, EditContext& ctx);

  // Several edits as one step, for callers without a command of their own (a script's edit
  // block, a paste over many cells): what changes the document between the two calls becomes
  // one step named `label`. Pairs nest; the outermost one makes the step. EndStep is true when
  // the step changed the document; with `cancel` (or when a command run inside was cancelled)
  // what the step did is taken back and no step is kept.
  void BeginStep(CTarnelDoc& doc, std::string label = {});
  bool EndStep(bool cancel = false);
  bool InStep() const { return depth_ > 0; }

  // The document is about to be changed outside a command (a base download replaces its
  // groups): the picture before is taken now, and the next Run records against it.
  void NoteExternalChangeComing(const CTarnelDoc& doc);

  bool CanUndo() const { return !done_.empty(); }
  bool CanRedo() const { return !undone_.empty(); }
  // The labels of the step Undo and Redo would apply; empty for a step made by Run.
  std::string UndoLabel() const;
  std::string RedoLabel() const;
  // Takes the newest step back, or makes the newest undone step again. False when there was
  // nothing to do, or a step is open.
  bool Undo(CTarnelDoc& doc);
  bool Redo(CTarnelDoc& doc);
  // The step the last Undo or Redo applied; null before any.
  const DocumentChange* lastApplied() const { return lastApplied_; }

  void Clear();
  // The document as it is now is the saved one; undoing or redoing back to here makes it
  // unmodified again.
  void MarkClean();
  bool IsClean() const { return cleanAt_ == long(done_.size()); }

  size_t Count() const { return done_.size(); }
  size_t RedoCount() const { return undone_.size(); }
  size_t MemoryBytes() const { return bytes_; }

 private:
  struct Step {
    std::unique_ptr<DocumentChange> change;
    std::string label;
  };
  void Follow(CTarnelDoc& doc);
  // Ends the recording of a step: keeps it when it changed the document, takes it back when
  // it was cancelled. `changedWhenEmpty` is the answer when nothing was recorded.
  bool Finish(bool changed, bool changedWhenEmpty, bool cancelled, std::string label);
  void Drop(Step& step);

  size_t limit_;
  size_t memoryLimit_;
  size_t bytes_ = 0;  // kept by the steps done and undone
  std::deque<Step> done_;
  std::vector<Step> undone_;
  long cleanAt_ = 0;  // steps done at the saved state; -1 when no sequence leads back to it

  // Records each step from the document's events; made for the first document run against.
  std::unique_ptr<CChangeRecorder> recorder_;
  const DocumentChange* lastApplied_ = nullptr;

  // The open step of BeginStep.
  int depth_ = 0;
  std::string stepLabel_;
  bool stepChanged_ = false;    // a command run inside said it changed the document
  bool stepCancelled_ = false;  // a command run inside was cancelled
};
