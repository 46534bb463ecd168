// Taking differences found by a comparison over from the second document into the first:
// removed records are deleted, added ones created, changed fields set and moved records moved,
// so that a comparison afterwards no longer finds what was taken over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base_compare.h"

class CRecord;
class CTarnelDoc;

struct TakeOverOutcome {
  int removed = 0;
  int added = 0;
  int changed = 0;
  int moved = 0;
  int freshIds = 0;  // added records whose identifier was taken in the document
  // Differences left out: no identifier was left, the record would lie deeper than a file can
  // hold, or its new parent could not be made. A moved record that could not go to its new
  // place stays under its old parent (and goes with it when that is deleted).
  int notTaken = 0;
  int unresolvedLinks = 0;  // links whose target is nowhere in the document: they became BIN
};

// The differences a take-over of the selected ones (flags over result.differences) takes:
// what they cannot do without comes along. An added record brings its added parent; a link
// set to an added record brings that record; a removed record brings the removals below it,
// the moves that take its surviving children out of it, and the changes of the properties
// that link into it; a record moved under another parent brings the additions and cross-parent
// moves of its new ancestors, so a branch never ends up inside itself.
std::vector<uint8_t> CloseSelection(const CompareResult& result, std::vector<uint8_t> selected);

// Takes the selected differences (closed as above) over into `doc`, which must still hold the
// records of the comparison's first side: false, and nothing changes, when it does not.
// Identifiers of added records are kept where the document has them free (also where a record
// the take-over deletes held them). Changed patterns are set through SetRawValue, so they are
// posted like any edit of a value. A link that names nothing on the other side keeps its text.
bool TakeOver(CTarnelDoc& doc, const CompareResult& result, const std::vector<uint8_t>& selected,
              TakeOverOutcome* outcome = nullptr);
bool TakeOverAll(CTarnelDoc& doc, const CompareResult& result, TakeOverOutcome* outcome = nullptr);
