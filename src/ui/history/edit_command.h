// Every change a user makes to the document is one command object run by the frame's
// CEditHistory: the one place that marks the document modified and keeps what each change did,
// so that it can be undone and redone.
#pragma once

#include <QString>
#include <deque>
#include <memory>
#include <vector>

#include "model/change_recorder.h"
#include "model/document_state.h"

class CTarnelDoc;
class IProgress;
struct DocumentChange;

struct EditContext {
  CTarnelDoc& doc;
  QString error;    // set by a command that could not be carried out, for the user
  QString notice;   // something the user should know about a command that was carried out
  QString refusal;  // why a command changed nothing, for the status bar
  // A long command (an import) reports to this, and may be stopped through it.
  IProgress* progress = nullptr;
  // Set by a command that was stopped half way: the history takes back what it did.
  bool cancelled = false;
};

class CEditCommand {
 public:
  virtual ~CEditCommand() = default;
  // True when the document changed.
  virtual bool Execute(EditContext& ctx) = 0;
};

// Undo and redo need nothing from the commands: the history takes a picture of the document
// before and after each one and keeps only the difference, so every command, present or
// future, can be taken back.
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
  bool Run(std::unique_ptr<CEditCommand> command, EditContext& ctx);
  // The document is about to be changed outside a command (a base download replaces its
  // groups): the picture before is taken now, and the next Run records against it.
  void NoteExternalChangeComing(const CTarnelDoc& doc);

  bool CanUndo() const { return !done_.empty(); }
  bool CanRedo() const { return !undone_.empty(); }
  // Takes the newest step back, or makes the newest undone step again. The tree view is not
  // touched; the caller refreshes the views. False when there was nothing to do.
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
  void Drop(std::unique_ptr<DocumentChange>& step);

  size_t limit_;
  size_t memoryLimit_;
  size_t bytes_ = 0;  // kept by the steps done and undone
  std::deque<std::unique_ptr<DocumentChange>> done_;
  std::vector<std::unique_ptr<DocumentChange>> undone_;
  long cleanAt_ = 0;  // steps done at the saved state; -1 when no sequence leads back to it
  void Follow(CTarnelDoc& doc);

  // Records each step from the document's events; made for the first document run against.
  std::unique_ptr<CChangeRecorder> recorder_;
  const DocumentChange* lastApplied_ =
      nullptr;  // before_ holds the document ahead of an outside change
};
