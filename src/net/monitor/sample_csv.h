// Recorded samples as CSV (RFC 4180: fields quoted when they hold a comma, a quote or a line
// end, quotes doubled, rows ended by CR LF), in UTF-8 with local ISO 8601 times.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/monitor/value_ring.h"

// One watched property and what was recorded of it.
struct RecordedSeries {
  uint32_t id = 0;
  std::string path;  // the record path, windows-1251 as the model keeps it
  CValueRing samples{1};
};

enum class CsvForm {
  kLong,  // "time,id,path,value": one row per sample
  kWide,  // "time" and one column per property: one row per time, empty where it has no sample
};

// One field, quoted when it has to be.
std::string CsvField(std::string_view utf8);
// The fields joined by commas and ended by CR LF.
std::string CsvRow(const std::vector<std::string>& fields);
// Local time with milliseconds and the offset from UTC: "2026-12-07T05:49:11.123+03:00".
std::string IsoTimeMs(int64_t msecsSinceEpoch);
// The shortest text that reads back as the same number.
std::string FormatSampleValue(double value);

// Writes the header and every sample of `series` in time order (samples of equal time in the
// order of `series`) to `sink`, a row at a time, so a long recording never has to be held
// twice in memory.
void WriteSamplesCsv(const std::vector<const RecordedSeries*>& series, CsvForm form,
                     const std::function<void(std::string_view)>& sink);
std::string SamplesToCsv(const std::vector<const RecordedSeries*>& series, CsvForm form);
