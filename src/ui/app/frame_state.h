// What the main window shares with its feature owners (files, records, undo and find): the
// document with its edit history, the tree's selection, the record the form shows and whether a
// change of the document is under way. The frame owns it; the owners get it when they are made.
#pragma once

#include <cstdint>

#include "model/document.h"
#include "model/edit_history.h"

struct FrameState {
  CTarnelDoc doc;
  CEditHistory history;

  // The tree's selection (0: "Root" or nothing).
  uint32_t selectedId = 0;
  // The record the form shows, looked up by identifier each time; none until the tree selects.
  bool hasShown = false;
  uint32_t shownId = 0;
  int shownKind = kKindNone;
  // The form's link field takes the next record picked in the tree.
  bool linkPickMode = false;
  // Above zero while a command, an undo or a redo changes the document.
  int changing = 0;

  CRecord* selectedRecord() const { return doc.LookupRecord(selectedId); }
  CRecord* shownRecord() const { return hasShown ? doc.LookupRecord(shownId) : nullptr; }
  // After the document was replaced or restored: no pick under way, the form shows nothing
  // until the tree selects again.
  void ForgetShown() {
    linkPickMode = false;
    hasShown = false;
  }

  // While a command, an undo or a redo changes the document, the tree's current row may move
  // as rows go; the frame ignores that and follows the tree once the change is complete, not
  // in its middle (a pick in progress would otherwise take the neighbour of a removed row).
  class ChangeHold {
   public:
    explicit ChangeHold(FrameState& state) : state_(state) { ++state_.changing; }
    ~ChangeHold() { --state_.changing; }
    ChangeHold(const ChangeHold&) = delete;
    ChangeHold& operator=(const ChangeHold&) = delete;

   private:
    FrameState& state_;
  };
};
