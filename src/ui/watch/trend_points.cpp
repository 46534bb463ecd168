#include "ui/watch/trend_points.h"

#include <algorithm>

#include "net/monitor/value_ring.h"

namespace {

// The first sample at or after `msecs`: samples are kept in the order they came, which is the
// order of their times.
size_t FirstAtOrAfter(const CValueRing& ring, int64_t msecs) {
  size_t lo = 0, hi = ring.Size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (ring.At(mid).msecs < msecs)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// `shown`: the value is on the plot (the sample after the span is only where the line heads).
void Add(TrendPoints* out, const ValueSample& s, bool shown = true) {
  if (shown) {
    if (!out->any) {
      out->low = out->high = s.value;
      out->any = true;
    } else {
      out->low = std::min(out->low, s.value);
      out->high = std::max(out->high, s.value);
    }
  }
  out->points.append(QPointF(double(s.msecs), s.value));
}

}  // namespace

TrendPoints PointsInSpan(const CValueRing& ring, int64_t from, int64_t to, int slices) {
  TrendPoints out;
  if (ring.Empty() || to < from) return out;
  size_t first = FirstAtOrAfter(ring, from);
  size_t end = FirstAtOrAfter(ring, to + 1);
  // One sample on either side, so the line enters and leaves the plot instead of stopping short.
  if (first > 0) --first;
  if (end < ring.Size()) ++end;
  size_t count = end - first;
  slices = std::max(slices, 1);
  if (count <= size_t(slices) * 2) {
    out.points.reserve(qsizetype(count));
    for (size_t i = first; i < end; ++i) Add(&out, ring.At(i), ring.At(i).msecs <= to);
    return out;
  }
  out.points.reserve(qsizetype(slices) * 2 + 2);
  double width = double(to - from) / slices;
  size_t i = first;
  // The samples outside the span stand for themselves.
  if (ring.At(i).msecs < from) Add(&out, ring.At(i++));
  size_t last = end;
  bool after = ring.At(end - 1).msecs > to;
  if (after) --last;
  while (i < last) {
    int slice = std::min(slices - 1, int(double(ring.At(i).msecs - from) / width));
    int64_t sliceEnd = from + int64_t(width * (slice + 1));
    size_t lowAt = i, highAt = i;
    size_t j = i + 1;
    for (; j < last && (ring.At(j).msecs < sliceEnd || slice == slices - 1); ++j) {
      if (ring.At(j).value < ring.At(lowAt).value) lowAt = j;
      if (ring.At(j).value > ring.At(highAt).value) highAt = j;
    }
    Add(&out, ring.At(std::min(lowAt, highAt)));
    if (lowAt != highAt) Add(&out, ring.At(std::max(lowAt, highAt)));
    i = j;
  }
  if (after) Add(&out, ring.At(end - 1), false);
  return out;
}
