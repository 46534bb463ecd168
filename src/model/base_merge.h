// Three-way merge of bases: two documents that descend from one base (OURS and THEIRS), each
// changed on its own, combined record by record into one. Records are matched by identifier,
// which survives every edit; each field (name, type, flags, end of chain, value or link target,
// parent, place among siblings) takes the side that changed it. Where both sides changed the
// same thing differently the result keeps OURS' side (or keeps a record one side deleted and
// the other changed) and reports a conflict, which can later be settled either way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document_state.h"

class CTarnelDoc;

enum class MergeSide : uint8_t { kOurs, kTheirs };

// What a conflict is about: a field of the record (`field` holds the bit of the compare's
// DifferenceField that names it), its parent, its place among its siblings, or the record
// itself, deleted on one side and changed on the other (or needed by a link).
enum class ConflictKind : uint8_t { kField, kParent, kPlace, kRecord };

struct MergeConflict {
  ConflictKind kind = ConflictKind::kField;
  uint32_t id = 0;    // the record in the merged document
  std::string path;   // its record path there
  std::string field;  // "name", "type", "flags", "eoc", "value", "raw", "link", "parent",
                      // "place" or "record"
  // The field on each side as the differences show it (windows-1251 bytes); for "parent" and
  // "place" the record path of the parent or of the preceding sibling (empty: at the start),
  // for "record" "present", "deleted" or "changed".
  std::string base, ours, theirs;

  // What taking a side sets. For a field: each side's fields, a link's value already naming the
  // merged document's identifier of its target. For a parent or a place: each side's parent and
  // preceding sibling (0: the top level, the start of the list). For a record: the side that
  // deleted it.
  RecordData oursData, theirsData;
  uint32_t oursParent = 0, theirsParent = 0;
  uint32_t oursAfter = 0, theirsAfter = 0;
  MergeSide deletedBy = MergeSide::kOurs;
};

struct MergeRenumbering {
  uint32_t from = 0;  // THEIRS' identifier
  uint32_t to = 0;    // the record's identifier in the merged document
};

struct MergeResult {
  std::vector<MergeConflict> conflicts;  // sorted by path, then field
  std::vector<MergeRenumbering> renumbered;
  bool Clean() const { return conflicts.empty(); }
};

// Replaces `out`'s contents by the merge of `ours` and `theirs` over `base` (one reset, as an
// open does). The merged document always holds together: every record under a parent of a
// kind that may hold it, identifiers unique, every link naming a property.
MergeResult MergeDocuments(const CTarnelDoc& base, const CTarnelDoc& ours, const CTarnelDoc& theirs,
                           CTarnelDoc& out);

// Settles a conflict of a merged document by taking one side: the field, parent or place that
// side had; for a record conflict, the deleting side deletes it (with its branch and link
// bookkeeping) and the other keeps it. Every change goes through the document's operations and
// is told to its observers. False when nothing changed (the record is gone, or already so).
bool TakeConflictSide(CTarnelDoc& doc, const MergeConflict& conflict, MergeSide side);
