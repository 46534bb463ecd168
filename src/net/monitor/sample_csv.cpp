#include "net/monitor/sample_csv.h"

#include <QDateTime>
#include <charconv>
#include <queue>
#include <unordered_map>

#include "model/cp1251.h"

std::string CsvField(std::string_view utf8) {
  if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size() + 2);
  out += '"';
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) row += ',';
    row += CsvField(fields[i]);
  }
  row += "\r\n";
  return row;
}

std::string IsoTimeMs(int64_t msecsSinceEpoch) {
  QDateTime local = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
  // Written with the offset, so the file says which moment it means wherever it is read.
  QDateTime fixed = local.toOffsetFromUtc(local.offsetFromUtc());
  return fixed.toString(Qt::ISODateWithMs).toStdString();
}

std::string FormatSampleValue(double value) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

namespace {

// Column titles: the record paths, with the identifier added where two paths are the same.
std::vector<std::string> WideHeader(const std::vector<const RecordedSeries*>& series) {
  std::unordered_map<std::string, int> uses;
  for (const RecordedSeries* s : series) ++uses[s->path];
  std::vector<std::string> header{"time"};
  for (const RecordedSeries* s : series) {
    std::string title = Cp1251ToUtf8(s->path);
    if (uses[s->path] > 1) title += " #" + std::to_string(s->id);
    header.push_back(std::move(title));
  }
  return header;
}

}  // namespace

void WriteSamplesCsv(const std::vector<const RecordedSeries*>& series, CsvForm form,
                     const std::function<void(std::string_view)>& sink) {
  if (form == CsvForm::kLong)
    sink(CsvRow({"time", "id", "path", "value"}));
  else
    sink(CsvRow(WideHeader(series)));

  // A merge over the series by the time of their next sample.
  std::vector<size_t> next(series.size(), 0);
  std::vector<std::string> paths(series.size());
  using Head = std::pair<int64_t, size_t>;  // time, series
  std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
  for (size_t s = 0; s < series.size(); ++s) {
    if (!series[s]->samples.Empty()) heads.push({series[s]->samples.At(0).msecs, s});
    if (form == CsvForm::kLong) paths[s] = Cp1251ToUtf8(series[s]->path);
  }
  std::vector<std::vector<double>> atTime(series.size());
  std::vector<size_t> touched;
  while (!heads.empty()) {
    int64_t t = heads.top().first;
    std::string time = IsoTimeMs(t);
    size_t rows = 0;
    touched.clear();
    while (!heads.empty() && heads.top().first == t) {
      size_t s = heads.top().second;
      heads.pop();
      const CValueRing& ring = series[s]->samples;
      for (; next[s] < ring.Size() && ring.At(next[s]).msecs == t; ++next[s]) {
        double v = ring.At(next[s]).value;
        if (form == CsvForm::kLong)
          sink(CsvRow({time, std::to_string(series[s]->id), paths[s], FormatSampleValue(v)}));
        else
          atTime[s].push_back(v);
      }
      if (next[s] < ring.Size()) heads.push({ring.At(next[s]).msecs, s});
      rows = std::max(rows, atTime[s].size());
      touched.push_back(s);
    }
    if (form == CsvForm::kLong) continue;
    // Several samples of one series at the same millisecond take as many rows.
    for (size_t r = 0; r < rows; ++r) {
      std::vector<std::string> row(series.size() + 1);
      row[0] = time;
      for (size_t s : touched)
        if (r < atTime[s].size()) row[s + 1] = FormatSampleValue(atTime[s][r]);
      sink(CsvRow(row));
    }
    for (size_t s : touched) atTime[s].clear();
  }
}

std::string SamplesToCsv(const std::vector<const RecordedSeries*>& series, CsvForm form) {
  std::string out;
  WriteSamplesCsv(series, form, [&out](std::string_view row) { out += row; });
  return out;
}
