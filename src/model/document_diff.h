// What one edit changed in a document, and how to take it back or make it again. The change is
// worked out by comparing pictures of the document before and after the edit, so any edit can
// be undone without code of its own; it holds only the records and lists that differ.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "document_state.h"

class CTarnelDoc;

// The children of one group, object or atom (key 0: the document's list of groups), by key.
struct ListChange {
  uint16_t container = 0;
  std::vector<uint16_t> before;
  std::vector<uint16_t> after;
};

struct ContentChange {
  RecordData before;
  RecordData after;
};

struct DocumentChange {
  std::vector<RecordData> removed;  // records only the state before holds
  std::vector<RecordData> added;    // records only the state after holds
  std::vector<ContentChange> changed;
  std::vector<ListChange> lists;
  uint16_t lastIdBefore = 0;
  uint16_t lastIdAfter = 0;
  // Set when records could not be told apart by identifier (two records sharing one): the
  // change then restores whole documents.
  std::unique_ptr<DocumentState> wholeBefore;
  std::unique_ptr<DocumentState> wholeAfter;
  // A second change made after this one in the same step (the whole document replaced half
  // way through it): applied after this one forward, before it backward.
  std::unique_ptr<DocumentChange> then;

  bool Empty() const {
    return !wholeBefore && !then && removed.empty() && added.empty() && changed.empty() &&
           lists.empty() && lastIdBefore == lastIdAfter;
  }
  size_t MemoryBytes() const;
  // This change without `then`.
  static void ApplyOwn(CTarnelDoc& doc, const DocumentChange& change, bool forward);
};

// The change that leads from `before` to `after`. A change that has to keep whole documents
// keeps copies of both.
DocumentChange DiffStates(const DocumentState& before, const DocumentState& after);

// Brings the document from one side of the change to the other: backward (undo) from the
// state after to the state before, forward (redo) the other way. Records come back with their
// identifiers, registry entries, incoming links and decimal-point properties; a changed
// pattern of a property that exists on both sides is set through SetRawValue, so it is posted
// like any edit of the value. The tree view is not touched: the caller refreshes it.
void ApplyChange(CTarnelDoc& doc, const DocumentChange& change, bool forward);

// Replaces the document's records with those of a state, as they were.
void RestoreState(CTarnelDoc& doc, const DocumentState& state);
