// Every change of a property's value in a document: a new pattern (message 203, a value typed on
// the form) and a new value text with the pattern unchanged (message 4). A new pattern is
// usually followed by its text being made anew; that text is told too (what shows the value
// shows it again) but is not a change of its own, so counts stay right.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/document_events.h"

class CTarnelDoc;

class CValueChanges : private IDocumentObserver {
 public:
  // `counts`: a change of its own; false for the text that follows a new pattern.
  using Listener = std::function<void(CPropertyItem* property, bool counts)>;
  // Structure changed (rows removed, or with `reset` the document's contents replaced): records
  // may have gone, and after a reset an identifier may name another record.
  using StructureListener = std::function<void(bool reset)>;

  CValueChanges(CTarnelDoc& doc, Listener onValue, StructureListener onStructure = {});
  ~CValueChanges() override;
  CValueChanges(const CValueChanges&) = delete;
  CValueChanges& operator=(const CValueChanges&) = delete;

 private:
  void ValueChanged(CPropertyItem* property, uint32_t previous) override;
  void RecordAboutToChange(CRecord* record) override;
  void RecordChanged(CRecord* record) override;
  void RowsRemoved(CRecord* parent, int first, int count) override;
  void Reset() override;

  CTarnelDoc& doc_;
  Listener onValue_;
  StructureListener onStructure_;
  uint32_t lastPatternId_ = 0;  // the property whose pattern changed last, until its text follows
  uint32_t changingId_ = 0;
  bool changingFollowsPattern_ = false;
  std::string changingText_;
};
