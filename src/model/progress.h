// Progress of a long operation (reading, saving, importing, exporting, comparing) and the
// user's wish to stop it. Every such operation takes an optional IProgress; without one it
// runs as before and pays nothing but a null check now and then. The editor shows a dialog
// behind this interface; kandrel-cli passes none.
#pragma once

#include <cstdint>
#include <exception>

class IProgress {
 public:
  virtual ~IProgress() = default;
  // `done` of `total` units (bytes or records); `total` 0 when the amount is not known. Within
  // one operation `done` never goes back and ends at `total`. False when the user asked to
  // stop; an operation that cannot stop without losing work goes on regardless.
  virtual bool Step(uint64_t done, uint64_t total) = 0;
};

// Thrown by an operation that was asked to stop. An operation that reads into something new
// has changed nothing when it throws; an import leaves what it made so far for the caller's
// edit history to take back.
class OperationCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped by the user"; }
};

// Calls Step only every `every` units, so a reader may tick once per record or per piece.
class ProgressTicker {
 public:
  ProgressTicker(IProgress* progress, uint64_t total, uint64_t every, bool mayStop = true)
      : progress_(progress),
        total_(total),
        every_(every ? every : 1),
        next_(0),
        mayStop_(mayStop) {}

  // The operation has reached `done`.
  void At(uint64_t done) {
    if (done > at_) at_ = done;
    if (progress_ && at_ >= next_) Report(at_);
  }
  void Add(uint64_t n = 1) { At(at_ + n); }
  // All of it is done.
  void Finish() {
    if (progress_) Report(total_ ? total_ : at_);
  }

 private:
  void Report(uint64_t done) {
    if (total_ && done > total_) done = total_;
    if (done < done_) done = done_;
    done_ = done;
    next_ = at_ + every_;
    if (!progress_->Step(done, total_) && mayStop_) throw OperationCancelled();
  }

  IProgress* progress_;
  uint64_t total_;
  uint64_t every_;
  uint64_t next_;
  uint64_t at_ = 0;    // where the operation is
  uint64_t done_ = 0;  // what was last reported
  bool mayStop_;
};

// One part of an operation made of several: its own units are mapped onto [from, to] of the
// whole's `total`, so the whole still moves one way only. Without `mayStop` the part never
// hears that the user wants to stop (the part of a save).
class ProgressShare : public IProgress {
 public:
  ProgressShare(IProgress* whole, uint64_t from, uint64_t to, uint64_t total, bool mayStop = true)
      : whole_(whole), from_(from), to_(to), total_(total), mayStop_(mayStop) {}
  // Null when there is no whole to report to, so the part pays nothing either.
  IProgress* get() { return whole_ ? this : nullptr; }

  bool Step(uint64_t done, uint64_t total) override {
    uint64_t at = from_;
    if (total > 0) {
      if (done > total) done = total;
      at += uint64_t((long double)(to_ - from_) * done / total);
    }
    return whole_->Step(at, total_) || !mayStop_;
  }

 private:
  IProgress* whole_;
  uint64_t from_;
  uint64_t to_;
  uint64_t total_;
  bool mayStop_;
};
