#include "model/csv_format.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "model/cp1251.h"

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;

inline uint64_t Word(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// The high bit of each byte of `w` that equals `byte`, and perhaps of bytes after the first one
// that does: the lowest bit set marks the first.
inline uint64_t BytesEqual(uint64_t w, char byte) {
  uint64_t x = w ^ (kLowBits * uint8_t(byte));
  return (x - kLowBits) & ~x & kHighBits;
}

// The same for each byte of `w` below `bound` (at most 0x80).
inline uint64_t BytesBelow(uint64_t w, char bound) {
  return (w - kLowBits * uint8_t(bound)) & ~w & kHighBits;
}

// Structurally valid UTF-8 (lead bytes followed by the right number of continuation bytes).
bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    // Plain ASCII, most of a table, eight bytes at a time.
    if (i + 8 <= s.size() && !(Word(s.data() + i) & kHighBits)) {
      i += 8;
      continue;
    }
    unsigned char c = uint8_t(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = c < 0x80             ? 1
                 : (c & 0xE0) == 0xC0 ? 2
                 : (c & 0xF0) == 0xE0 ? 3
                 : (c & 0xF8) == 0xF0 ? 4
                                      : 0;
    if (len == 0 || (len == 2 && c < 0xC2) || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((uint8_t(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// The windows-1251 byte of each letter of U+0400..U+047F, the two-byte UTF-8 sequences led by
// 0xD0 or 0xD1, by (lead & 1) << 6 | (second & 0x3F); 0 where windows-1251 has none.
const std::array<uint8_t, 128> kCyrillic = [] {
  std::array<uint8_t, 128> t{};
  for (size_t i = 0; i < t.size(); ++i) {
    int b = UnicodeToCp1251(char32_t(0x0400 + i));
    t[i] = b < 0 ? 0 : uint8_t(b);
  }
  return t;
}();

// A cell of UTF-8 text turned into windows-1251 in place, as Utf8ToCp1251 turns it (the text
// only shrinks, so what is written never overtakes what is still to be read); Cyrillic letters,
// most of what is not ASCII, take a short way. Returns the new size; `replaced` tells whether a
// character became '?'. False, with the cell half turned, when the bytes are not UTF-8 as
// IsUtf8 tells it.
bool Utf8CellToCp1251(char* text, size_t size, size_t* newSize, bool* replaced) {
  size_t w = 0;
  for (size_t i = 0; i < size;) {
    unsigned char c = uint8_t(text[i]);
    if (c < 0x80) {
      // ASCII eight bytes at a time: read whole before written, as the text may overlap itself.
      if (i + 8 <= size) {
        uint64_t word = Word(text + i);
        uint64_t high = word & kHighBits;
        if (!high) {
          std::memcpy(text + w, &word, 8);
          w += 8;
          i += 8;
          continue;
        }
        // The ASCII bytes before the first that is not, from the word in hand (written no
        // further than they were read).
        size_t k = size_t(__builtin_ctzll(high)) / 8;
        for (size_t j = 0; j < k; ++j) text[w + j] = char(word >> (8 * j));
        w += k;
        i += k;
        continue;
      }
      text[w++] = char(c);
      ++i;
      continue;
    }
    // Cyrillic letters, two bytes each, most of what is not ASCII: a run of them at once.
    if ((c & 0xFE) == 0xD0 && i + 1 < size && (uint8_t(text[i + 1]) & 0xC0) == 0x80) {
      uint8_t missing = 0;
      do {
        uint8_t b = kCyrillic[size_t((c & 1) << 6 | (uint8_t(text[i + 1]) & 0x3F))];
        missing |= uint8_t(b == 0);
        text[w++] = char(b == 0 ? '?' : b);
        i += 2;
        if (i + 1 >= size) break;
        c = uint8_t(text[i]);
      } while ((c & 0xFE) == 0xD0 && (uint8_t(text[i + 1]) & 0xC0) == 0x80);
      *replaced = *replaced || missing;
      continue;
    }
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || (len == 2 && c < 0xC2) || i + len > size) return false;
    for (size_t k = 1; k < len; ++k)
      if ((uint8_t(text[i + k]) & 0xC0) != 0x80) return false;
    std::string one;
    int b = Utf8ToCp1251(std::string_view(text + i, len), &one) > 0 || one.empty()
                ? -1
                : uint8_t(one[0]);
    if (b < 0) *replaced = true;
    text[w++] = b < 0 ? '?' : char(b);
    i += len;
  }
  *newSize = w;
  return true;
}

// Thrown inside the reader when a table read as UTF-8 turns out not to be.
struct NotUtf8 {};

// The separator the first line uses most, outside quotes; ',' when it uses none.
char DetectSeparator(std::string_view s) {
  size_t counts[3] = {};
  const char seps[3] = {',', ';', '\t'};
  bool quoted = false;
  for (char c : s) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    for (int k = 0; k < 3; ++k)
      if (c == seps[k]) ++counts[k];
  }
  int best = 0;
  for (int k = 1; k < 3; ++k)
    if (counts[k] > counts[best]) best = k;
  return seps[best];
}

}  // namespace

class CsvParser {
 public:
  CsvParser(std::string_view s, CsvTable& t, bool utf8) : s_(s), t_(t), utf8_(utf8) {}

  // The cells' text is written into the table's text, sized to the input beforehand (no cell
  // grows), and cut to what was written.
  void Run() {
    // Eight bytes more than the input: an unquoted field is copied eight bytes at a time.
    t_.text_.resize(s_.size() + 8);
    // Rows and cells made room for at once, as many lines as the table's start promises (the
    // lists grow as usual past that), each as wide as the first one.
    const size_t sample = std::min(s_.size(), size_t(1) << 16);
    size_t lines = 1;
    for (const char *at = s_.data(), *end = at + sample;
         (at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr; ++at)
      ++lines;
    // A row takes two bytes at least, its text and its line end.
    if (sample < s_.size()) lines = std::min(lines * (s_.size() / sample + 1), s_.size() / 2 + 1);
    size_t width = 1;
    for (size_t i = 0; i < s_.size() && s_[i] != '\n' && s_[i] != '\r'; ++i)
      width += s_[i] == t_.separator;
    t_.rows_.reserve(lines);
    // Each cell but the last takes a byte of the input at least.
    t_.cells_.reserve(std::min(lines * std::min(width, kMaxCsvFields), s_.size() + 1));
    while (pos_ < s_.size()) ReadRecord();
    t_.text_.resize(w_);
  }

 private:
  [[noreturn]] void Fail(int line, const std::string& cause) { throw CsvError(line, cause); }

  // Ends a line at pos_ (LF, CRLF or a lone CR) and counts it; false when there is none.
  bool TakeLineEnd() {
    if (s_[pos_] == '\n') {
      ++pos_;
    } else if (s_[pos_] == '\r') {
      ++pos_;
      if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
    } else {
      return false;
    }
    ++line_;
    return true;
  }

  void ReadRecord() {
    CsvTable::Row row;
    row.line = line_;
    row.first = uint32_t(t_.cells_.size());
    if (TakeLineEnd()) return;  // an empty line
    for (;;) {
      ReadField(row);
      if (pos_ >= s_.size()) break;
      if (s_[pos_] == t_.separator) {
        ++pos_;  // a separator at the very end leaves an empty last field
        continue;
      }
      TakeLineEnd();
      break;
    }
    t_.rows_.push_back(row);
  }

  // `ascii`: the cell is known to hold no byte above 127.
  [[gnu::always_inline]] void AddCell(CsvTable::Row& row, size_t offset, size_t size, bool ascii) {
    if (row.count >= kMaxCsvFields)
      Fail(row.line, "more than " + std::to_string(kMaxCsvFields) + " fields on one line");
    if (size > kMaxCsvFieldBytes) Fail(line_, "a field longer than 1 MiB");
    if (utf8_ && !ascii) {
      // Into windows-1251 at once, from its first byte that is not ASCII.
      char* text = t_.text_.data() + offset;
      size_t i = 0;
      while (i + 8 <= size && !(Word(text + i) & kHighBits)) i += 8;
      while (i < size && uint8_t(text[i]) < 0x80) ++i;
      if (i < size) {
        bool replaced = false;
        size_t rest = 0;
        if (!Utf8CellToCp1251(text + i, size - i, &rest, &replaced)) throw NotUtf8{};
        size = i + rest;
        w_ = offset + size;
        if (replaced && row.unencodable < 0) row.unencodable = int(row.count);
      }
    }
    t_.cells_.push_back({uint32_t(offset), uint32_t(size)});
    ++row.count;
  }

  [[gnu::always_inline]] void ReadField(CsvTable::Row& row) {
    size_t start = w_;
    bool ascii = false;
    const char sep = t_.separator;
    if (pos_ < s_.size() && s_[pos_] == '"') {
      int opened = line_;
      ++pos_;
      for (;;) {
        if (pos_ >= s_.size()) Fail(opened, "a quoted field is not closed");
        char c = s_[pos_];
        if (c == '"') {
          if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
            t_.text_[w_++] = '"';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        if (c == '\n' || (c == '\r' && (pos_ + 1 >= s_.size() || s_[pos_ + 1] != '\n'))) ++line_;
        t_.text_[w_++] = c;
        ++pos_;
        if (w_ - start > kMaxCsvFieldBytes) Fail(opened, "a field longer than 1 MiB");
      }
      if (pos_ < s_.size() && s_[pos_] != sep && s_[pos_] != '\n' && s_[pos_] != '\r')
        Fail(line_, "text after the closing quote of a field");
    } else {
      // Up to the separator or line end, eight bytes at a time, each word copied whole (the
      // bytes past the field are written over by what comes next) and its high bits kept, so
      // a cell of plain ASCII needs no second look.
      const char* src = s_.data();
      char* dst = t_.text_.data();
      const size_t from = pos_;
      size_t end = pos_;
      uint64_t high = 0;
      bool found = false;
      while (end + 8 <= s_.size()) {
        uint64_t w = Word(src + end);
        std::memcpy(dst + w_ + (end - from), &w, 8);
        // The separator, or a control character: a line end, or else the field's own.
        uint64_t hit = BytesEqual(w, sep) | BytesBelow(w, '\r' + 1);
        if (hit) {
          size_t k = size_t(__builtin_ctzll(hit)) / 8;
          if (k) high |= w & (~uint64_t(0) >> (64 - 8 * k));
          end += k;
          const char c = src[end];
          if (c == sep || c == '\n' || c == '\r') {
            found = true;
            break;
          }
          ++end;
          continue;
        }
        high |= w;
        end += 8;
      }
      if (!found) {
        for (; end < s_.size() && s_[end] != sep && s_[end] != '\n' && s_[end] != '\r'; ++end) {
          dst[w_ + (end - from)] = s_[end];
          high |= uint8_t(s_[end]);
        }
      }
      if (end - from > kMaxCsvFieldBytes) Fail(line_, "a field longer than 1 MiB");
      w_ += end - from;
      pos_ = end;
      ascii = !(high & kHighBits);
    }
    AddCell(row, start, w_ - start, ascii);
  }

  std::string_view s_;
  CsvTable& t_;
  bool utf8_;  // cells are turned from UTF-8 into windows-1251 as they are read
  size_t pos_ = 0;
  size_t w_ = 0;  // where the next cell's text goes in the table's text
  int line_ = 1;
};

CsvTable ReadCsv(std::string_view bytes, char separator) {
  if (bytes.size() > kMaxCsvBytes) throw CsvError(1, "the table is larger than 256 MiB");
  CsvTable t;
  bool mark = bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (mark) bytes.remove_prefix(3);
  if (size_t zero = bytes.find('\0'); zero != std::string_view::npos) {
    int line = 1;
    for (size_t i = 0; i < zero; ++i) line += bytes[i] == '\n';
    throw CsvError(line, "a zero byte: this is no text table");
  }
  const char separatorUsed = separator ? separator : DetectSeparator(bytes);
  // Read as UTF-8 first, checked cell by cell as it is turned into windows-1251; a table that
  // is no UTF-8 is read again as windows-1251, unless its mark says UTF-8.
  try {
    t.encoding = mark ? CsvEncoding::kUtf8Bom : CsvEncoding::kUtf8;
    t.separator = separatorUsed;
    CsvParser(bytes, t, true).Run();
    return t;
  } catch (const NotUtf8&) {
  }
  if (mark) {
    // The first line whose bytes are not UTF-8, so the user can find it.
    int line = 1;
    size_t begin = 0;
    for (;;) {
      size_t end = bytes.find('\n', begin);
      if (!IsUtf8(bytes.substr(begin, end == std::string_view::npos ? end : end - begin)) ||
          end == std::string_view::npos)
        break;
      ++line;
      begin = end + 1;
    }
    throw CsvError(line, "the table is marked as UTF-8 but is not");
  }
  t = CsvTable();
  t.encoding = CsvEncoding::kCp1251;
  t.separator = separatorUsed;
  CsvParser(bytes, t, false).Run();
  return t;
}

void AppendCsvRow(std::string* out, const std::vector<std::string_view>& cells,
                  const CsvStyle& style) {
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) *out += style.separator;
    std::string_view c = cells[i];
    bool quote = false;
    for (char ch : c)
      if (ch == style.separator || ch == '"' || ch == '\r' || ch == '\n') {
        quote = true;
        break;
      }
    if (!quote) {
      AppendCp1251AsUtf8(out, c);
      continue;
    }
    // Each quote doubled: the text up to and with it, then the quote once more.
    *out += '"';
    for (size_t from = 0; from < c.size();) {
      size_t q = c.find('"', from);
      size_t end = q == c.npos ? c.size() : q + 1;
      AppendCp1251AsUtf8(out, c.substr(from, end - from));
      if (q != c.npos) *out += '"';
      from = end;
    }
    *out += '"';
  }
  *out += style.crlf ? "\r\n" : "\n";
}
