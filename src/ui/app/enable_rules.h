// Which commands are enabled, decided from a plain snapshot of the frame's state so the rules
// live in one place and can be checked without a window.
#pragma once

struct CommandState {
  int shownKind = 0;   // kind of the record the form shows; 0 after every selection report
  int copiedKind = 0;  // kind of the copied record while it still exists, else 0
  bool formEditFocused = false;  // keyboard focus in the form's name or value field
  bool connected = false;
  bool canUndo = false;  // the edit history has a change to take back
  bool canRedo = false;
  int selectedCount = 0;   // records selected in the tree ("Root" not counted)
  bool canMoveUp = false;  // the current record has a sibling above it that it may pass
  bool canMoveDown = false;
};

// True when the command is enabled. Commands without a rule of their own are always enabled;
// the print button never is.
bool IsCommandEnabled(int commandId, const CommandState& state);
