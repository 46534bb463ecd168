// Every change a user makes to the document is one command object run by the frame's
// CEditHistory: the one place that marks the document modified and keeps the list that undo and
// redo will walk.
#pragma once

#include <QString>
#include <memory>
#include <vector>

class CLeftView;
class CTarnelDoc;

struct EditContext {
  CTarnelDoc& doc;
  CLeftView& tree;
  QString error;   // set by a command that could not be carried out, for the user
  QString notice;  // something the user should know about a command that was carried out
};

class CEditCommand {
 public:
  virtual ~CEditCommand() = default;
  // True when the document changed.
  virtual bool Execute(EditContext& ctx) = 0;
};

class CEditHistory {
 public:
  // Runs the command; a command that changed the document is kept.
  bool Run(std::unique_ptr<CEditCommand> command, EditContext& ctx);
  void Clear() { done_.clear(); }
  size_t Count() const { return done_.size(); }

 private:
  std::vector<std::unique_ptr<CEditCommand>> done_;
};
