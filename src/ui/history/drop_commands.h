// Drops in the structure tree as edit commands: a plain drop moves a record with its branch
// under a new parent, a Shift drop reorders it among its siblings. Records keep their
// identifiers; the tree item moves with them.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/history/edit_command.h"

class CRecord;

// True when `record` is `branch` or lies below it.
bool IsInBranch(const CRecord* record, const CRecord* branch);
// Whether the record may become a child of the target: the kinds fit, the target is not in
// the record's own branch, and the branch would not lie deeper than a document file can hold.
bool MayMoveUnder(const CRecord* record, const CRecord* target);
// Takes the record out of its parent's list and appends it to the target's, keeping it.
bool MoveRecordUnder(CTarnelDoc& doc, CRecord* record, CRecord* target);
// Puts the parent's list (a group's or object's children, an atom's properties) in the order
// of the identifiers. Nothing changes when they are not exactly the list's records. True when
// the order changed.
bool RewriteChildOrder(CRecord* parent, const std::vector<uint32_t>& order);

class DropMoveCommand : public CEditCommand {
 public:
  DropMoveCommand(uint32_t draggedId, uint32_t targetId)
      : draggedId_(draggedId), targetId_(targetId) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t draggedId_;
  uint32_t targetId_;
};

// The record is placed right after the target among its siblings, or first when the target is
// its own parent.
class DropReorderCommand : public CEditCommand {
 public:
  DropReorderCommand(uint32_t draggedId, uint32_t targetId)
      : draggedId_(draggedId), targetId_(targetId) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t draggedId_;
  uint32_t targetId_;
};
