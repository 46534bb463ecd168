// The frame's record commands: copy and paste, delete, the add commands, export and import.
// It keeps the copied record by identifier, so once the record is deleted there is nothing
// to paste.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class CEditCommand;
class CMainFrame;
class CRecord;
struct FrameState;

class FrameRecords {
 public:
  FrameRecords(CMainFrame* frame, FrameState& state) : frame_(frame), state_(state) {}

  void OnCopy();
  void OnPaste();
  void OnDelete();
  void OnAdd(int commandId);
  void OnExport();
  void OnImport();
  // Runs an import command into the target (0: the top level), reveals and selects the first
  // branch it added and says in the status bar how many records it added.
  bool RunImport(std::unique_ptr<CEditCommand> command, uint32_t targetId);

  // The copied record while it still exists.
  CRecord* copiedRecord() const;
  // Nothing copied, no paste target: the records may all be new.
  void ForgetCopy();
  // Forgets the copied record when it is gone.
  void DropStaleCopy();

 private:
  CMainFrame* frame_;
  FrameState& state_;
  uint32_t copiedId_ = 0;
  std::vector<uint32_t> copiedIds_;  // every record copied, in tree order
  uint32_t pasteTargetId_ = 0;
};
