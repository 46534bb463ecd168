#include "shown_path.h"

#include <algorithm>
#include <vector>

#include "records.h"

namespace {

// The text after the cut of an abbreviated path.
std::string CutMark(uint32_t id) {
  return " (id " + std::to_string(id) + ")";
}

}  // namespace

std::string AbbreviatedPath(std::string_view path, uint32_t id, size_t limit) {
  if (path.size() <= limit) return std::string(path);
  std::string mark = CutMark(id);
  size_t keep = limit > mark.size() + 1 ? limit - mark.size() - 1 : 0;
  return "\x85" + std::string(path.substr(path.size() - keep)) + mark;
}

std::string AbbreviatedRecordPath(const CRecord* r, size_t limit) {
  if (!r) return {};
  // The names from the record up, until they are more than the limit or reach the group.
  std::vector<const std::string*> names;
  size_t total = 0;
  bool whole = false;
  for (const CRecord* at = r; at; at = at->parent) {
    names.push_back(&at->name);
    total += 1 + at->name.size();
    if (at->Kind() == kKindGroup) {
      whole = true;
      break;
    }
    if (total > limit) break;
  }
  if (whole && total <= limit) return GetRecordPath(r);
  std::string mark = CutMark(r->id);
  size_t keep = limit > mark.size() + 1 ? limit - mark.size() - 1 : 0;
  // The last `keep` bytes of what the names make top-down.
  std::string tail;
  tail.reserve(keep);
  size_t skip = total - std::min(total, keep);
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    // Each name comes with the slash before it.
    std::string_view name = **it;
    if (skip > name.size()) {
      skip -= name.size() + 1;
      continue;
    }
    if (skip == 0) tail += '/';
    tail.append(name.substr(skip > 0 ? skip - 1 : 0));
    skip = 0;
  }
  return "\x85" + tail + mark;
}
