// The frame's undo and redo of document changes, finding records and the references list:
// it keeps the views in step with what the history restored.
#pragma once

#include <cstdint>

class CMainFrame;
class FrameRecords;
struct FrameState;

class FrameUndoFind {
 public:
  // The copied record is dropped when an undo or a redo takes it away.
  FrameUndoFind(CMainFrame* frame, FrameState& state, FrameRecords& records)
      : frame_(frame), state_(state), records_(records) {}

  // False when there was nothing to do.
  bool UndoChange();
  bool RedoChange();
  // The document is about to change outside a command (a base download), and has changed.
  void BeforeExternalChange();
  void AfterExternalChange();
  // Selects the record's row, opening the branches above it and scrolling to it.
  void RevealRecord(uint32_t id);
  void OnFind();
  void OnReferences();

 private:
  void AfterUndoRedo();

  CMainFrame* frame_;
  FrameState& state_;
  FrameRecords& records_;
};
