// Commands for the keys and for several records at once: rename in place, a step up or down
// among the siblings, and delete, paste and move of every selected record as one change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/bulk_property_edit.h"
#include "model/edit_history.h"

class CRecord;
class CTarnelDoc;

// A record's new name, given as windows-1251 bytes; an empty name is refused.
class RenameRecordCommand : public CEditCommand {
 public:
  RenameRecordCommand(uint32_t id, std::string name) : id_(id), name_(std::move(name)) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
  std::string name_;
};

class StepAmongSiblingsCommand : public CEditCommand {
 public:
  StepAmongSiblingsCommand(uint32_t id, int delta) : id_(id), delta_(delta) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t id_;
  int delta_;
};

// Deletes each record with its branch, with the same link bookkeeping as one delete.
class DeleteRecordsCommand : public CEditCommand {
 public:
  explicit DeleteRecordsCommand(std::vector<uint32_t> ids) : ids_(std::move(ids)) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::vector<uint32_t> ids_;
};

// A copy of each copied record under the target, in the order they were copied. Records that
// do not fit under the target are left out; a paste where none fits changes nothing.
class PasteRecordsCommand : public CEditCommand {
 public:
  PasteRecordsCommand(std::vector<uint32_t> sourceIds, uint32_t targetId)
      : sourceIds_(std::move(sourceIds)), targetId_(targetId) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::vector<uint32_t> sourceIds_;
  uint32_t targetId_;
};

// A drop of several records: each moves under the target (plain) or is placed after it among
// its siblings (Shift), in tree order, so that they arrive side by side as they stood.
class DropRecordsCommand : public CEditCommand {
 public:
  DropRecordsCommand(std::vector<uint32_t> draggedIds, uint32_t targetId, bool reorder)
      : draggedIds_(std::move(draggedIds)), targetId_(targetId), reorder_(reorder) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::vector<uint32_t> draggedIds_;
  uint32_t targetId_;
  bool reorder_;
};

// "Применить" on several properties: the changed fields of the bulk edit on each of them.
class BulkApplyCommand : public CEditCommand {
 public:
  BulkApplyCommand(std::vector<uint32_t> ids, CBulkPropertyEdit edit)
      : ids_(std::move(ids)), edit_(std::move(edit)) {}
  bool Execute(EditContext& ctx) override;

 private:
  std::vector<uint32_t> ids_;
  CBulkPropertyEdit edit_;
};
