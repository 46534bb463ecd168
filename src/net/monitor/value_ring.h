// The recent samples of one watched value: a ring of fixed capacity that forgets its oldest
// sample for each new one once full, so a trend costs the same memory however long it runs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct ValueSample {
  int64_t msecs = 0;  // milliseconds since the Unix epoch
  double value = 0;
};

class CValueRing {
 public:
  // At least one sample is kept. Memory grows with the samples up to the capacity, not before.
  explicit CValueRing(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

  void Push(int64_t msecs, double value) {
    if (slots_.size() < capacity_) {
      slots_.push_back({msecs, value});
      return;
    }
    slots_[start_] = {msecs, value};
    start_ = (start_ + 1) % capacity_;
    ++dropped_;
  }

  size_t Size() const { return slots_.size(); }
  size_t Capacity() const { return capacity_; }
  bool Empty() const { return slots_.empty(); }
  // Oldest first; `i` below Size().
  const ValueSample& At(size_t i) const { return slots_[(start_ + i) % slots_.size()]; }
  const ValueSample& Latest() const { return At(slots_.size() - 1); }
  // How many samples fell out since the last Clear.
  uint64_t Dropped() const { return dropped_; }

  void Clear() {
    slots_.clear();
    slots_.shrink_to_fit();
    start_ = 0;
    dropped_ = 0;
  }

 private:
  size_t capacity_;
  std::vector<ValueSample> slots_;
  size_t start_ = 0;  // the oldest sample once the ring is full
  uint64_t dropped_ = 0;
};
