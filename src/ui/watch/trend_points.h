// The points a trend draws for one series over a span of time. A long recording is thinned to
// the smallest and the largest sample of each slice of the span, so drawing costs the same
// whether a series holds a hundred samples or thousands, and no peak disappears.
#pragma once

#include <QList>
#include <QPointF>
#include <cstdint>

class CValueRing;

struct TrendPoints {
  QList<QPointF> points;  // x: milliseconds since the epoch, y: the value; in time order
  // The smallest and the largest value the plot shows over the span (the value held when it
  // begins included, the one the line heads for after it not); `any` false when none.
  double low = 0;
  double high = 0;
  bool any = false;
};

// The samples from `from` to `to` (milliseconds since the epoch), with the last sample before
// the span and the first after it, so the line runs to the edges. With more samples than two
// per slice, each of the `slices` keeps its smallest and its largest sample.
TrendPoints PointsInSpan(const CValueRing& ring, int64_t from, int64_t to, int slices);
