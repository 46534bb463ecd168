// An IProgress for tests: keeps every report and says stop after a given number of them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/progress.h"

class ProgressRecorder : public IProgress {
 public:
  // `stopAfter` reports are answered "go on", the next ones "stop"; -1: never stop.
  explicit ProgressRecorder(long stopAfter = -1) : stopAfter_(stopAfter) {}

  bool Step(uint64_t done, uint64_t total) override {
    steps.emplace_back(done, total);
    return stopAfter_ < 0 || long(steps.size()) <= stopAfter_;
  }

  // Empty when the reports are sound: one total throughout, `done` never going back or past
  // it, and the last report at the total. Otherwise what is wrong.
  std::string Fault() const {
    if (steps.empty()) return "no report";
    uint64_t total = steps.front().second;
    uint64_t last = 0;
    for (const auto& [done, t] : steps) {
      if (t != total)
        return "the total changed from " + std::to_string(total) + " to " + std::to_string(t);
      if (done < last)
        return "went back from " + std::to_string(last) + " to " + std::to_string(done);
      if (total && done > total) return "passed the total: " + std::to_string(done);
      last = done;
    }
    if (last != total) return "ended at " + std::to_string(last) + " of " + std::to_string(total);
    return {};
  }

  std::vector<std::pair<uint64_t, uint64_t>> steps;

 private:
  long stopAfter_;
};
