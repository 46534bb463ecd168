// Brings the values of an open document back in step with a freshly downloaded copy of the
// server's base, without replacing the document: after a reconnect the user keeps the tree,
// the selection and the edit history, and sees only the values that moved meanwhile.
#pragma once

#include <functional>

class CPropertyItem;
class CTarnelDoc;

struct ValueResyncResult {
  int changed = 0;    // properties whose value was taken over
  int unmatched = 0;  // properties of the open document the server's base does not have
};

// For every property of `open` that `fresh` has too (the same identifier, at the same record
// path, of the same type), takes over the server's raw value, and with it the value text
// (numbers: the text made from the pattern; BIN, DATETIME, FILE: the server's text). The structure
// is not touched, LINK_TO values stay as they are (they are structure), and the new values are
// stored as state, not as edits: the document's observers hear RecordChanged for each, never
// ValueChanged, so no message 203 goes out. `changed` hears of each property whose value was
// taken over, after the fact.
ValueResyncResult ResyncValues(CTarnelDoc& open, const CTarnelDoc& fresh,
                               const std::function<void(const CPropertyItem&)>& changed = {});
