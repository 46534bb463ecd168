// Filling the structure tree again from the document after undo or redo, so that it shows the
// restored records, with the branches that were open still open.
#pragma once

#include <cstdint>

class CLeftView;
class CTarnelDoc;
class QTreeWidgetItem;
struct DocumentChange;

// Starts remembering which branches of the tree are open, by identifier, so that a branch
// that undo brings back opens as it was when it went.
void RememberOpenBranches(CLeftView& tree);

// Refills the tree without resolving links (a rebuild would alter the restored records) and
// re-opens the branches that were open, by identifier. Selects nothing.
void RefillTree(CLeftView& tree, const CTarnelDoc& doc);

// Brings the tree in step with a change the document has just been given: the lists that
// changed get their items again (open branches stay open), records whose own data changed get
// their labels and icons. The rest of the tree is not touched. Selects nothing; the caller
// must have cleared the selection, since items may go.
void RefreshChangedBranches(CLeftView& tree, const CTarnelDoc& doc, const DocumentChange& change);

// The tree item of a record, found along the record's ancestors; null when it has none.
QTreeWidgetItem* FindRecordItem(CLeftView& tree, const CTarnelDoc& doc, uint32_t id);
