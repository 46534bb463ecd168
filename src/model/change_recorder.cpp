#include "change_recorder.h"

#include "document.h"

namespace {

uint16_t ListKey(const CRecord* parent) {
  return parent ? KeyOf(parent->id) : 0;
}

std::vector<uint16_t> ChildKeys(const CTarnelDoc& doc, const CRecord* parent) {
  std::vector<uint16_t> keys;
  keys.reserve(size_t(doc.RowCount(parent)));
  for (int i = 0; i < doc.RowCount(parent); ++i) keys.push_back(KeyOf(doc.RecordAt(parent, i)->id));
  return keys;
}

}  // namespace

CChangeRecorder::CChangeRecorder(CTarnelDoc& doc) : doc_(doc) {
  doc_.events().AddObserver(this);
}

CChangeRecorder::~CChangeRecorder() {
  doc_.events().RemoveObserver(this);
}

void CChangeRecorder::Begin() {
  if (recording_) return;
  recording_ = true;
  lastIdBefore_ = doc_.Ids().GetLastId();
  if (keyed_ < 0) {
    // Once after each reset: the whole document is looked at to know whether records can be
    // told apart by key.
    CaptureState(doc_, &wholeBefore_);
    keyed_ = wholeBefore_.keyed ? 1 : 0;
    whole_ = keyed_ == 0;
  } else {
    whole_ = keyed_ == 0;
    if (whole_) CaptureState(doc_, &wholeBefore_);
  }
}

void CChangeRecorder::TouchList(const CRecord* parent) {
  if (parent && fresh_.count(parent)) return;  // a new branch is recorded whole at the end
  uint16_t key = ListKey(parent);
  if (lists_.count(key)) return;
  lists_.emplace(key, ChildKeys(doc_, parent));
  listOrder_.push_back(key);
}

void CChangeRecorder::Snap(const CRecord* record) {
  if (fresh_.count(record)) return;
  uint16_t key = KeyOf(record->id);
  if (before_.count(key)) return;
  RecordData d;
  DescribeRecord(doc_, record, &d);
  if (!d.registered || key == 0) keyed_ = -1;  // look again before the next step
  before_.emplace(key, std::move(d));
  snapOrder_.push_back(key);
}

void CChangeRecorder::SnapBranch(const CRecord* record) {
  if (fresh_.count(record)) return;
  Snap(record);
  if (record->Kind() != kKindProperty && doc_.RowCount(record) > 0) TouchList(record);
  ForEachChild(record, [&](const CRecord* c) { SnapBranch(c); });
}

void CChangeRecorder::RowsAboutToBeInserted(CRecord* parent, int, int) {
  if (Incremental()) TouchList(parent);
}

void CChangeRecorder::RowsInserted(CRecord* parent, int first, int count) {
  if (!Incremental()) return;
  for (int i = 0; i < count; ++i) {
    std::vector<const CRecord*> todo{doc_.RecordAt(parent, first + i)};
    while (!todo.empty()) {
      const CRecord* r = todo.back();
      todo.pop_back();
      if (!r) continue;
      fresh_.insert(r);
      ForEachChild(r, [&](const CRecord* c) { todo.push_back(c); });
    }
  }
}

void CChangeRecorder::RowsAboutToBeRemoved(CRecord* parent, int first, int count) {
  if (!Incremental()) return;
  TouchList(parent);
  for (int i = 0; i < count; ++i)
    if (const CRecord* r = doc_.RecordAt(parent, first + i)) SnapBranch(r);
}

void CChangeRecorder::RowsAboutToBeMoved(CRecord* from, int, int, CRecord* to, int) {
  if (!Incremental()) return;
  TouchList(from);
  TouchList(to);
}

void CChangeRecorder::RecordAboutToChange(CRecord* record) {
  if (Incremental() && record) Snap(record);
}

void CChangeRecorder::ValueChanged(CPropertyItem* property, uint32_t previous) {
  if (!Incremental() || fresh_.count(property)) return;
  uint16_t key = KeyOf(property->id);
  if (before_.count(key)) return;
  Snap(property);
  before_[key].rawValue = previous;
}

void CChangeRecorder::AboutToReset() {
  if (!recording_) {
    keyed_ = -1;
    return;
  }
  if (whole_) return;
  // What the step did so far stays a change of its own; from here on whole pictures.
  beforeReset_ = End();
  recording_ = true;
  whole_ = true;
  CaptureState(doc_, &wholeBefore_);
}

void CChangeRecorder::Reset() {
  keyed_ = -1;
}

void CChangeRecorder::AfterOfAdded(const CRecord* record, DocumentChange* change) {
  RecordData d;
  DescribeRecord(doc_, record, &d);
  change->added.push_back(std::move(d));
  if (record->Kind() != kKindProperty && doc_.RowCount(record) > 0) {
    ListChange l{KeyOf(record->id), {}, ChildKeys(doc_, record)};
    change->lists.push_back(std::move(l));
  }
  ForEachChild(record, [&](const CRecord* c) {
    // A record that was there before and was moved into the new branch is no new record: its
    // old list was touched, and it stays what it was.
    if (fresh_.count(c)) AfterOfAdded(c, change);
  });
}

std::unique_ptr<DocumentChange> CChangeRecorder::End() {
  auto change = std::make_unique<DocumentChange>();
  if (!recording_) return change;
  recording_ = false;
  if (whole_) {
    DocumentState after;
    CaptureState(doc_, &after);
    *change = DiffStates(wholeBefore_, after);
    keyed_ = after.keyed ? 1 : 0;
    whole_ = false;
  } else {
    change->lastIdBefore = lastIdBefore_;
    change->lastIdAfter = doc_.Ids().GetLastId();
    // Records after the step: those it changed or removed, and the branches it added.
    for (uint16_t key : snapOrder_) {
      const RecordData& b = before_[key];
      CRecord* now = doc_.LookupRecord(key);
      if (!now || now->Kind() != b.kind || fresh_.count(now)) {
        change->removed.push_back(b);
        continue;
      }
      RecordData a;
      DescribeRecord(doc_, now, &a);
      if (!b.SameContent(a)) change->changed.push_back({b, std::move(a)});
    }
    for (uint16_t key : listOrder_) {
      std::vector<uint16_t>& was = lists_[key];
      std::vector<uint16_t> now;
      if (key == 0) {
        now = ChildKeys(doc_, nullptr);
      } else {
        CRecord* holder = doc_.LookupRecord(key);
        // A holder that went (or lost its entry) has no list any more.
        if (holder && holder->Kind() != kKindProperty && !fresh_.count(holder) &&
            !(before_.count(key) && before_[key].kind != holder->Kind()))
          now = ChildKeys(doc_, holder);
      }
      for (uint16_t k : now) {
        CRecord* r = doc_.LookupRecord(k);
        if (r && fresh_.count(r)) AfterOfAdded(r, change.get());
      }
      if (was != now) change->lists.push_back({key, std::move(was), std::move(now)});
    }
  }
  lists_.clear();
  listOrder_.clear();
  before_.clear();
  snapOrder_.clear();
  fresh_.clear();
  if (beforeReset_) {
    std::unique_ptr<DocumentChange> first = std::move(beforeReset_);
    if (first->Empty()) return change;
    if (!change->Empty()) first->then = std::move(change);
    return first;
  }
  return change;
}
