// The commands that change records: add, apply, end-of-chain, delete and paste, each a call of
// the document edit of the same name.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "model/document_edits.h"
#include "model/edit_history.h"

// Shown when a creation fails because every identifier is taken.
QString DocumentFullMessage();
// What the user is told when an edit was refused; empty for kDone.
QString RefusalMessage(EditRefusal why);

class AddGroupCommand : public CEditCommand {
 public:
  explicit AddGroupCommand(std::string name) : name_(std::move(name)) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::string name_;
};

// An object or an atom under the tree's current item.
class AddChildCommand : public CEditCommand {
 public:
  enum Kind { kObject, kAtom };
  AddChildCommand(Kind kind, uint32_t parentId, std::string name, uint8_t atomType = 0)
      : kind_(kind), parentId_(parentId), name_(std::move(name)), atomType_(atomType) {}
  bool Execute(EditContext& ctx) override;

 private:
  Kind kind_;
  uint32_t parentId_;
  std::string name_;
  uint8_t atomType_;
};

class AddPropertyCommand : public CEditCommand {
 public:
  AddPropertyCommand(uint32_t parentId, PropertyDraft draft)
      : parentId_(parentId), draft_(std::move(draft)) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t parentId_;
  PropertyDraft draft_;
};

// "Применить" on the record form: a group's, object's or atom's name, an atom's type.
class ApplyRecordCommand : public CEditCommand {
 public:
  ApplyRecordCommand(uint32_t id, std::string name, bool setType, uint8_t type)
      : id_(id), name_(std::move(name)), setType_(setType), type_(type) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
  std::string name_;
  bool setType_;
  uint8_t type_;
};

// The history does not keep commands once they ran, so what the caller wants to know
// afterwards goes to an outcome the caller owns.
class ApplyPropertyCommand : public CEditCommand {
 public:
  ApplyPropertyCommand(uint32_t id, PropertyEdit edit, ApplyOutcome* outcome = nullptr)
      : id_(id), edit_(std::move(edit)), outcome_(outcome) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
  PropertyEdit edit_;
  ApplyOutcome* outcome_;
};

// The "EOC" check box, stored as soon as it is clicked.
class SetEndOfChainCommand : public CEditCommand {
 public:
  SetEndOfChainCommand(uint32_t id, bool eoc) : id_(id), eoc_(eoc) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
  bool eoc_;
};

// Deletes the record of the tree's current item with its branch. Properties that link into
// the branch lose their LINK_TO type, and targets outside it lose the branch's incoming links.
class DeleteRecordCommand : public CEditCommand {
 public:
  explicit DeleteRecordCommand(uint32_t id) : id_(id) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
};

// A deep copy of the copied record under the target, inserted under the tree's current item.
// The source branch is taken as it was before the paste, so pasting into its own branch copies
// it once.
class PasteCommand : public CEditCommand {
 public:
  PasteCommand(uint32_t sourceId, uint32_t targetId) : sourceId_(sourceId), targetId_(targetId) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t sourceId_;
  uint32_t targetId_;
};
