// The document side of an import: copying the ticked items of the import selection into the
// document with fresh identifiers, and turning record paths in LINK_TO values back into
// identifiers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CRecord;
class CTarnelDoc;
class IProgress;
struct CImportItem;

struct MergeStats {
  int copied = 0;
  // Ticked items that were not copied because the registry had no identifier left, or because
  // the copy would lie deeper than a document file can hold.
  int notCopied = 0;
};

// Copies the ticked items below `item` under `target` (null: new groups at the top level),
// each through the document's creation operations.
void MergeChecked(CTarnelDoc& doc, const CImportItem& item, CRecord* target, MergeStats* stats);

// A value read from an interchange file carries LF line ends; the document keeps CR LF.
std::string ConvertLineEnds(std::string_view text);

struct LinkStats {
  int resolved = 0;    // paths turned into identifiers
  int madeBinary = 0;  // LINK_TO properties that named nothing and became BIN
};

// Walks the record's subtree and resolves the record path of every LINK_TO property, imported
// or present before.
void ResolveImportedLinks(CTarnelDoc& doc, CRecord* record, LinkStats* stats);

struct ImportOutcome {
  MergeStats merge;
  LinkStats links;
};

// What the import dialog's "Применить" does: merges the ticked items under the target,
// rebuilds the tree and resolves the links of every group. `progress` counts the records
// copied; when it says stop during the copying, OperationCancelled is thrown and the records
// copied so far stay for the caller's edit history to take back.
ImportOutcome ApplyImport(CTarnelDoc& doc, const CImportItem& root, CRecord* target,
                          IProgress* progress = nullptr);
