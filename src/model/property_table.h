// Properties as rows of a table: the columns the editor's table shows, the cell texts shared by
// that table, its filter and the table files, and the file contract
// `path,id,type,value,flags,eoc,link`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/csv_format.h"

class CTarnelDoc;
class CRecord;
class CPropertyItem;

enum TableColumn : int {
  kColumnPath,
  kColumnName,
  kColumnId,
  kColumnType,
  kColumnValue,
  kColumnFlags,
  kColumnEoc,
  kColumnLink,
};
inline constexpr int kTableColumnCount = 8;
// "path", "name", "id", "type", "value", "flags", "eoc", "link": a file's header names and the
// names a filter's "column:" prefix takes.
const char* TableColumnKey(int column);
// The column a header or filter name stands for, case ignored; -1 for none.
int TableColumnOfKey(std::string_view key);

// The columns a table file holds, in their order.
inline constexpr int kFileColumns[] = {kColumnPath,  kColumnId,  kColumnType, kColumnValue,
                                       kColumnFlags, kColumnEoc, kColumnLink};

// Every property under `under` (the whole document when null, the property itself when it is
// one), in tree order.
std::vector<CPropertyItem*> TableProperties(const CTarnelDoc& doc, const CRecord* under);

// A cell as windows-1251 text: the record path, the name, the identifier in decimal, the type
// name as the form's list shows it, the value text, the set flags as their numbers 1-6 separated
// by spaces, "0" or "1" for the end-of-chain flag, and for a LINK_TO property its target's
// record path (empty when it names no record, and for any other type).
std::string TableCellText(const CTarnelDoc& doc, const CPropertyItem& p, int column);
// The same into `out`, reusing its memory (the filter runs it for every row at each keystroke).
void TableCellText(const CTarnelDoc& doc, const CPropertyItem& p, int column, std::string* out);

std::string FlagsText(uint8_t flags);
// "2 6" (numbers 1-6, separated by blanks or commas, any order) into bits; false for anything
// else. Empty text is no flag.
bool ParseFlagsText(std::string_view text, uint8_t* bits);
// "0" or "1" (also "false"/"true", blanks around); false for anything else.
bool ParseEocText(std::string_view text, bool* eoc);

// What the table's filter line asks: text in any column, or "column:text" in one; case
// ignored.
class TableFilter {
 public:
  TableFilter() = default;
  // `text` in windows-1251.
  explicit TableFilter(std::string_view text);
  bool Empty() const { return needle_.empty(); }
  int Column() const { return column_; }  // -1: any
  bool Matches(const CTarnelDoc& doc, const CPropertyItem& p) const;
  // The path of the parent of the property asked about last is kept for the next one, as the
  // properties of an atom come one after another: forget it whenever records may have been
  // renamed, moved or deleted since.
  void ForgetPaths() const { parent_ = nullptr; }

 private:
  std::string needle_;  // folded
  int column_ = -1;
  mutable std::string scratch_;
  mutable const CRecord* parent_ = nullptr;
  mutable std::string parentPath_;
  mutable bool parentMatches_ = false;
};

// The table file of the properties: the header row, then one row each, in the file contract's
// columns.
std::string WriteTableCsv(const CTarnelDoc& doc, const std::vector<CPropertyItem*>& properties,
                          const CsvStyle& style);
