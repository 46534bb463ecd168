// What changed in a document, told to whoever listens: the tree model of the editor, the edit
// history, the network session that reports values to the server. Every mutation of a
// document emits the narrowest events that describe it; nothing else is needed to follow the
// document.
//
// A list of rows is named by the record that holds it: a group or an object (its children), an
// atom (its properties); null names the document's own list of groups. Row numbers are
// positions in that list. The "about to" events come while the document is still as it was,
// the others once it is as it will stay; between the two nobody may look at the list.
#pragma once

#include <cstdint>
#include <vector>

class CRecord;
class CPropertyItem;

class IDocumentObserver {
 public:
  virtual ~IDocumentObserver() = default;

  // Rows first..first+count-1 of `parent`'s list are about to appear, and have appeared. A row
  // that appears brings its whole branch.
  virtual void RowsAboutToBeInserted(CRecord* /*parent*/, int /*first*/, int /*count*/) {}
  virtual void RowsInserted(CRecord* /*parent*/, int /*first*/, int /*count*/) {}
  // Rows first..first+count-1 of `parent`'s list are about to go with their branches, and have
  // gone. When "about to" comes, the records are still there to be looked at; afterwards they
  // are destroyed (or, for a move made of a removal and an insertion, held by the document).
  virtual void RowsAboutToBeRemoved(CRecord* /*parent*/, int /*first*/, int /*count*/) {}
  virtual void RowsRemoved(CRecord* /*parent*/, int /*first*/, int /*count*/) {}
  // Rows first..first+count-1 of `from`'s list go, with their branches, to `to`'s list, in
  // front of the row that is number `row` of `to` before the move (`row` may be the count of
  // that list: at the end). This is the destination row of QAbstractItemModel::beginMoveRows,
  // so within one list, moving a row down to end up at position k gives row k + 1.
  virtual void RowsAboutToBeMoved(CRecord* /*from*/, int /*first*/, int /*count*/, CRecord* /*to*/,
                                  int /*row*/) {}
  virtual void RowsMoved(CRecord* /*from*/, int /*first*/, int /*count*/, CRecord* /*to*/,
                         int /*row*/) {}
  // The record's own fields are about to change, and have changed: its name, an atom's type, a
  // property's type code, flags, end-of-chain flag, value text, incoming links or
  // decimal-point property. Its place and its children stay. A change of the value pattern
  // alone comes as ValueChanged instead.
  virtual void RecordAboutToChange(CRecord* /*record*/) {}
  virtual void RecordChanged(CRecord* /*record*/) {}
  // A property's 32-bit pattern has changed; the new one is property->GetRawValue(), the old
  // one `previous`. Only a real change is told; a pattern set as stored state (a record being
  // read or restored as it was) is not a change.
  virtual void ValueChanged(CPropertyItem* /*property*/, uint32_t /*previous*/) {}
  // Everything is about to be replaced, and has been: a new document, an open, a base
  // download, a rebuild of the whole tree, an undo or redo of such a step. After AboutToReset
  // no record pointer taken before may be used again.
  virtual void AboutToReset() {}
  virtual void Reset() {}
};

// The observers of one document, told in the order they registered. An observer may
// unregister (itself or another) while it is being told; one that registers meanwhile hears
// from the next event on.
class CDocumentEvents {
 public:
  CDocumentEvents() = default;
  CDocumentEvents(const CDocumentEvents&) = delete;
  CDocumentEvents& operator=(const CDocumentEvents&) = delete;

  void AddObserver(IDocumentObserver* observer);
  void RemoveObserver(IDocumentObserver* observer);
  bool HasObservers() const { return live_ > 0; }

  void RowsAboutToBeInserted(CRecord* parent, int first, int count);
  void RowsInserted(CRecord* parent, int first, int count);
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count);
  void RowsRemoved(CRecord* parent, int first, int count);
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row);
  void RowsMoved(CRecord* from, int first, int count, CRecord* to, int row);
  void RecordAboutToChange(CRecord* record);
  void RecordChanged(CRecord* record);
  void ValueChanged(CPropertyItem* property, uint32_t previous);
  // Bracket a replacement of everything. Only the outermost pair is told (AboutToReset,
  // Reset), and nothing else is told in between: the observers look at the document afresh.
  void BeginReset();
  void EndReset();
  bool Resetting() const { return resetting_ > 0; }

 private:
  template <class Fn>
  void Tell(Fn&& fn);

  std::vector<IDocumentObserver*> observers_;  // null where one left while being told
  int live_ = 0;
  int telling_ = 0;
  int resetting_ = 0;
};

// Brackets a replacement of everything with BeginReset and EndReset.
class ResetScope {
 public:
  explicit ResetScope(CDocumentEvents& events) : events_(events) { events_.BeginReset(); }
  ~ResetScope() { events_.EndReset(); }
  ResetScope(const ResetScope&) = delete;
  ResetScope& operator=(const ResetScope&) = delete;

 private:
  CDocumentEvents& events_;
};

// Brackets a change of a record's own fields with RecordAboutToChange and RecordChanged.
class RecordChange {
 public:
  RecordChange(CDocumentEvents& events, CRecord* record) : events_(events), record_(record) {
    if (record_) events_.RecordAboutToChange(record_);
  }
  ~RecordChange() {
    if (record_) events_.RecordChanged(record_);
  }
  RecordChange(const RecordChange&) = delete;
  RecordChange& operator=(const RecordChange&) = delete;

 private:
  CDocumentEvents& events_;
  CRecord* record_;
};
