// A tree of identifiers kept only from a document's events, as a view model keeps its rows:
// after any change it must equal the document.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/document.h"

class EventShadow : public IDocumentObserver {
 public:
  explicit EventShadow(CTarnelDoc& doc) : doc_(doc) {  // listens until destroyed
    Load(lists_, nullptr);
    doc_.events().AddObserver(this);
  }
  ~EventShadow() override { doc_.events().RemoveObserver(this); }

  // Empty when the rows equal the document's lists, no list of a removed record is left and
  // every announced change of a record has ended; otherwise what is wrong.
  std::string Compare() {
    if (!error_.empty()) return error_;
    if (openChanges_) return "a change of a record was not ended";
    Lists now;
    Load(now, nullptr);
    for (const auto& [parent, list] : now)
      if (!lists_.count(parent) || lists_[parent] != list)
        return "list of " + std::to_string(parent ? parent->id : 0);
    return lists_.size() == now.size() ? "" : "lists of removed records are left";
  }

  void RowsAboutToBeInserted(CRecord* parent, int first, int count) override {
    Expect(!resetting_ && first >= 0 && first <= int(ListOf(parent).size()) && count > 0,
           "insert out of range");
  }
  void RowsInserted(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    for (int i = first; i < first + count; ++i) {
      list.insert(list.begin() + i, doc_.RecordAt(parent, i)->id);
      Load(lists_, doc_.RecordAt(parent, i));
    }
  }
  void RowsAboutToBeRemoved(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    Expect(first >= 0 && first + count <= int(list.size()), "remove out of range");
    for (int i = first; i < first + count && i < int(list.size()); ++i) {
      CRecord* r = doc_.RecordAt(parent, i);
      Expect(r && r->id == list[size_t(i)], "removed row is another record");
      if (r) Forget(r);
    }
  }
  void RowsRemoved(CRecord* parent, int first, int count) override {
    auto& list = ListOf(parent);
    if (first + count <= int(list.size()))
      list.erase(list.begin() + first, list.begin() + first + count);
  }
  void RowsAboutToBeMoved(CRecord* from, int first, int count, CRecord* to, int row) override {
    Expect(count == 1 && first < int(ListOf(from).size()) && row <= int(ListOf(to).size()),
           "move out of range");
    pending_.assign(ListOf(from).begin() + first, ListOf(from).begin() + first + count);
  }
  void RowsMoved(CRecord* from, int first, int count, CRecord* to, int row) override {
    auto& src = ListOf(from);
    src.erase(src.begin() + first, src.begin() + first + count);
    if (from == to && row > first) row -= count;
    auto& dst = ListOf(to);
    dst.insert(dst.begin() + row, pending_.begin(), pending_.end());
  }
  void RecordAboutToChange(CRecord*) override { ++openChanges_; }
  void RecordChanged(CRecord*) override { --openChanges_; }
  void AboutToReset() override { resetting_ = true; }
  void Reset() override {
    resetting_ = false;
    lists_.clear();
    Load(lists_, nullptr);
  }

 private:
  using Lists = std::map<const CRecord*, std::vector<uint32_t>>;  // null: the groups

  void Load(Lists& lists, const CRecord* parent) const {
    auto& list = lists[parent];
    list.clear();
    for (int i = 0; i < doc_.RowCount(parent); ++i) {
      list.push_back(doc_.RecordAt(parent, i)->id);
      Load(lists, doc_.RecordAt(parent, i));
    }
  }
  void Forget(const CRecord* r) {
    ForEachChild(r, [&](const CRecord* c) { Forget(c); });
    lists_.erase(r);
  }
  std::vector<uint32_t>& ListOf(const CRecord* parent) {
    Expect(!parent || lists_.count(parent),
           "unknown list " + std::to_string(parent ? parent->id : 0));
    return lists_[parent];
  }
  void Expect(bool ok, const std::string& what) {
    if (!ok && error_.empty()) error_ = what;
  }

  CTarnelDoc& doc_;
  Lists lists_;
  std::vector<uint32_t> pending_;  // rows announced as about to move
  bool resetting_ = false;
  int openChanges_ = 0;
  std::string error_;
};
