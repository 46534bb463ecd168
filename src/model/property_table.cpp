#include "model/property_table.h"

#include "model/document.h"
#include "model/record_search.h"
#include "model/records.h"
#include "model/value_types.h"

namespace {

constexpr const char* kKeys[kTableColumnCount] = {"path",  "name",  "id",  "type",
                                                  "value", "flags", "eoc", "link"};

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The record path, written from the end so that no list of ancestors is needed.
void AppendPath(const CRecord* r, std::string* out) {
  size_t length = 0;
  for (const CRecord* a = r; a; a = a->Kind() == kKindGroup ? nullptr : a->parent)
    length += 1 + a->name.size();
  out->resize(out->size() + length);
  size_t end = out->size();
  for (const CRecord* a = r; a; a = a->Kind() == kKindGroup ? nullptr : a->parent) {
    end -= a->name.size();
    a->name.copy(out->data() + end, a->name.size());
    (*out)[--end] = '/';
  }
}

void Collect(const CRecord* r, std::vector<CPropertyItem*>* out) {
  if (CPropertyItem* p = AsProperty(const_cast<CRecord*>(r))) {
    out->push_back(p);
    return;
  }
  ForEachChild(r, [out](const CRecord* c) { Collect(c, out); });
}

// Case-folded search for a folded needle in windows-1251 text, without copying the text.
bool ContainsFolded(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return false;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && FoldCp1251(hay[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

}  // namespace

const char* TableColumnKey(int column) {
  return column >= 0 && column < kTableColumnCount ? kKeys[column] : "";
}

int TableColumnOfKey(std::string_view key) {
  std::string folded = FoldCp1251(Trimmed(key));
  for (int c = 0; c < kTableColumnCount; ++c)
    if (folded == kKeys[c]) return c;
  return -1;
}

std::vector<CPropertyItem*> TableProperties(const CTarnelDoc& doc, const CRecord* under) {
  std::vector<CPropertyItem*> out;
  if (under) {
    Collect(under, &out);
  } else {
    for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i) Collect(doc.RecordAt(nullptr, i), &out);
  }
  return out;
}

std::string FlagsText(uint8_t flags) {
  std::string s;
  for (int bit = 0; bit < 6; ++bit)
    if (flags >> bit & 1) {
      if (!s.empty()) s += ' ';
      s += char('1' + bit);
    }
  return s;
}

bool ParseFlagsText(std::string_view text, uint8_t* bits) {
  uint8_t b = 0;
  bool digit = false;  // the character before was a flag's number
  for (char c : text) {
    if (c >= '1' && c <= '6') {
      // "12" is no flag list: numbers are single digits apart from each other.
      if (digit) return false;
      b |= uint8_t(1u << (c - '1'));
      digit = true;
    } else if (c == ' ' || c == ',' || c == '\t') {
      digit = false;
    } else {
      return false;
    }
  }
  *bits = b;
  return true;
}

bool ParseEocText(std::string_view text, bool* eoc) {
  text = Trimmed(text);
  if (text == "0" || text == "false" || text == "FALSE") {
    *eoc = false;
  } else if (text == "1" || text == "true" || text == "TRUE") {
    *eoc = true;
  } else {
    return false;
  }
  return true;
}

void TableCellText(const CTarnelDoc& doc, const CPropertyItem& p, int column, std::string* out) {
  out->clear();
  switch (column) {
    case kColumnPath:
      AppendPath(&p, out);
      break;
    case kColumnName:
      *out = p.name;
      break;
    case kColumnId:
      *out = std::to_string(p.id);
      break;
    case kColumnType:
      *out = TypeCodeToName(p.typeCode);
      break;
    case kColumnValue:
      *out = p.valueText;
      break;
    case kColumnFlags:
      *out = FlagsText(p.flags);
      break;
    case kColumnEoc:
      *out = p.eoc ? "1" : "0";
      break;
    case kColumnLink:
      if (p.typeCode == kTypeLinkTo)
        if (const CRecord* target = doc.LookupRecord(uint32_t(AtoI(p.valueText))))
          AppendPath(target, out);
      break;
    default:
      break;
  }
}

std::string TableCellText(const CTarnelDoc& doc, const CPropertyItem& p, int column) {
  std::string s;
  TableCellText(doc, p, column, &s);
  return s;
}

TableFilter::TableFilter(std::string_view text) {
  size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    int column = TableColumnOfKey(text.substr(0, colon));
    if (column >= 0) {
      column_ = column;
      text.remove_prefix(colon + 1);
    }
  }
  needle_ = FoldCp1251(text);
}

bool TableFilter::Matches(const CTarnelDoc& doc, const CPropertyItem& p) const {
  if (needle_.empty()) return true;
  for (int c = 0; c < kTableColumnCount; ++c) {
    if (column_ >= 0 && c != column_) continue;
    // The name and value are searched in place; the rest are made first.
    if (c == kColumnPath) {
      // The properties of one atom, one after another in a table, share their parent's path.
      if (p.parent != parent_) {
        parent_ = p.parent;
        parentPath_.clear();
        AppendPath(p.parent, &parentPath_);
        parentMatches_ = ContainsFolded(parentPath_, needle_);
      }
      if (parentMatches_) return true;
      // Else a match ends in the property's own name: the parent path's end is enough before it.
      const size_t keep = std::min(parentPath_.size(), needle_.size() - 1);
      scratch_.assign(parentPath_, parentPath_.size() - keep, keep);
      scratch_ += '/';
      scratch_ += p.name;
      if (ContainsFolded(scratch_, needle_)) return true;
      continue;
    }
    if (c == kColumnName) {
      if (ContainsFolded(p.name, needle_)) return true;
      continue;
    }
    if (c == kColumnValue) {
      if (ContainsFolded(p.valueText, needle_)) return true;
      continue;
    }
    TableCellText(doc, p, c, &scratch_);
    if (ContainsFolded(scratch_, needle_)) return true;
  }
  return false;
}

std::string WriteTableCsv(const CTarnelDoc& doc, const std::vector<CPropertyItem*>& properties,
                          const CsvStyle& style) {
  std::string out;
  // Room for rows of a common length at once.
  out.reserve(128 + properties.size() * 96);
  if (style.byteOrderMark) out = "\xEF\xBB\xBF";
  std::vector<std::string_view> cells;
  for (int c : kFileColumns) cells.push_back(kKeys[c]);
  AppendCsvRow(&out, cells, style);
  std::string texts[std::size(kFileColumns)];
  for (const CPropertyItem* p : properties) {
    cells.clear();
    for (size_t k = 0; k < std::size(kFileColumns); ++k) {
      TableCellText(doc, *p, kFileColumns[k], &texts[k]);
      cells.push_back(texts[k]);
    }
    AppendCsvRow(&out, cells, style);
  }
  return out;
}
