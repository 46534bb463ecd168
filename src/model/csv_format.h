// Comma-separated tables as spreadsheets write them: a tolerant reader (separator and encoding
// found by looking, quoted fields with separators and line ends inside) and a writer that
// quotes as RFC 4180 does.
//
// The reader keeps every cell as a slice of one buffer of windows-1251 text, so a table costs
// a few bytes per cell beyond the text itself, and refuses input that no spreadsheet writes
// (zero bytes, a quote left open, endless fields or rows) with the line where it happened.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A table that could not be read; `line` (1-based) is where the trouble was found.
class CsvError : public std::runtime_error {
 public:
  CsvError(int line, const std::string& cause)
      : std::runtime_error("line " + std::to_string(line) + ": " + cause), line(line) {}
  int line;
};

enum class CsvEncoding : uint8_t { kUtf8, kUtf8Bom, kCp1251 };

// Bounds against input no spreadsheet writes.
inline constexpr size_t kMaxCsvBytes = size_t(256) << 20;
inline constexpr size_t kMaxCsvFieldBytes = size_t(1) << 20;
inline constexpr size_t kMaxCsvFields = 1024;  // on one line

class CsvTable {
 public:
  int RowCount() const { return int(rows_.size()); }
  int CellCount(int row) const { return int(rows_[size_t(row)].count); }
  // The line the row begins on.
  int Line(int row) const { return rows_[size_t(row)].line; }
  // The cell as windows-1251 text; empty past the end of the row.
  std::string_view Cell(int row, int column) const {
    const Row& r = rows_[size_t(row)];
    if (column < 0 || uint32_t(column) >= r.count) return {};
    const Span& c = cells_[r.first + uint32_t(column)];
    return std::string_view(text_.data() + c.offset, c.size);
  }
  // The first cell of the row whose text windows-1251 cannot hold (turned into '?'), or -1.
  int UnencodableCell(int row) const { return rows_[size_t(row)].unencodable; }

  char separator = ',';
  CsvEncoding encoding = CsvEncoding::kUtf8;

 private:
  friend class CsvParser;
  friend CsvTable ReadCsv(std::string_view bytes, char separator);
  struct Span {
    uint32_t offset = 0;
    uint32_t size = 0;
  };
  struct Row {
    int line = 0;
    uint32_t first = 0;  // index of the first cell in cells_
    uint32_t count = 0;
    int unencodable = -1;
  };
  std::string text_;
  std::vector<Span> cells_;
  std::vector<Row> rows_;
};

// Reads a whole table. The separator (',' ';' or tab) is the one the first line uses most
// unless `separator` names one; the encoding is UTF-8 when a byte-order mark says so or the
// bytes are valid UTF-8, windows-1251 otherwise. Lines end with LF, CRLF or CR; empty lines are
// skipped. Throws CsvError.
CsvTable ReadCsv(std::string_view bytes, char separator = 0);

struct CsvStyle {
  char separator = ',';
  bool byteOrderMark = false;
  bool crlf = false;
};

// Appends one row of windows-1251 cells as UTF-8, each quoted when it holds the separator, a
// quote or a line end.
void AppendCsvRow(std::string* out, const std::vector<std::string_view>& cells,
                  const CsvStyle& style);
