// An ordered list that owns its elements and finds them by identity.
#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

template <class T>
class OwningList {
 public:
  int Count() const { return int(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // Null for an index out of range.
  T* At(int i) const { return i >= 0 && i < Count() ? items_[size_t(i)].get() : nullptr; }
  int IndexOf(const void* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return int(i);
    return -1;
  }
  T* Append(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  // Clamps the index into 0..Count().
  T* Insert(int index, std::unique_ptr<T> item) {
    index = std::clamp(index, 0, Count());
    return items_.insert(items_.begin() + index, std::move(item))->get();
  }
  std::unique_ptr<T> Take(const void* item) {
    int i = IndexOf(item);
    if (i < 0) return nullptr;
    std::unique_ptr<T> out = std::move(items_[size_t(i)]);
    items_.erase(items_.begin() + i);
    return out;
  }
  bool Remove(const void* item) { return Take(item) != nullptr; }
  // Hands every element to the caller in list order; the list is left empty.
  std::vector<std::unique_ptr<T>> TakeAll() { return std::exchange(items_, {}); }
  // Destroys the elements in list order.
  void Clear() {
    for (auto& p : items_) p.reset();
    items_.clear();
  }
  void Reserve(size_t n) { items_.reserve(n); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};
