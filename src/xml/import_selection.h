// The import selection: the import tree as the import dialog shows it, with a check box state
// per item. Widget-free, so the dialog only mirrors it and the merge runs without one.
#pragma once

#include <memory>
#include <vector>

class CImportParser;
class CRecord;

// Which record kinds may be placed under which target kinds: bit (t - 1) * 4 + (k - 1) allows
// kind k under kind t. Objects in groups; objects and atoms in objects; properties in atoms.
inline constexpr unsigned kPlacementMask = 2146;  // 0x0862
bool PlacementAllows(int targetKind, int itemKind);

enum CheckState : int {
  kNoCheckBox = -1,
  kUnchecked = 0,
  kChecked = 1,
};

// One item of the dialog's tree.
struct CImportItem {
  CRecord* record = nullptr;  // into the reader's import tree; null for the tree's root
  CImportItem* parent = nullptr;
  int check = kNoCheckBox;
  std::vector<std::unique_ptr<CImportItem>> children;

  CImportItem* AddChild(CRecord* r);
};

// The root item (no record, no box) with an item for every top-level record of the reader and
// their subtrees, ticked as the dialog ticks them by default for an import under `target`
// (null: the document's top level).
std::unique_ptr<CImportItem> FillImportTree(const CImportParser& parser, const CRecord* target);

// Gives every descendant of `item` that has a check box the state `state`.
void SetChildrenCheck(CImportItem& item, int state);
// A click on an item's check box: its descendants with boxes take the opposite of its current
// state, then the item itself toggles. Items without a box are left alone.
void ClickCheckBox(CImportItem& item);
