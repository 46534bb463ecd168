// Drops in the structure tree as edit commands: a plain drop moves a record with its branch
// under a new parent, a Shift drop reorders it among its siblings. Records keep their
// identifiers; the tree item moves with them.
#pragma once

#include <cstdint>

#include "model/edit_history.h"

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
