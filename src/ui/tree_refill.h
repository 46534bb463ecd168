// Filling the structure tree again from the document after undo or redo, so that it shows the
// restored records, with the branches that were open still open.
#pragma once

#include <cstdint>

class CLeftView;
class CTarnelDoc;
class QTreeWidgetItem;

// Refills the tree without resolving links (a rebuild would alter the restored records) and
// re-opens the branches that were open, by identifier. Selects nothing.
void RefillTree(CLeftView& tree, const CTarnelDoc& doc);

// The tree item of a record, found along the record's ancestors; null when it has none.
QTreeWidgetItem* FindRecordItem(CLeftView& tree, const CTarnelDoc& doc, uint32_t id);
