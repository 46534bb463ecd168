// Bringing a property table back into a document: each row is matched to a property by its
// record path (or identifier), checked, and the columns the file has are set through the
// document's edit functions. Rows that cannot be used are listed with their line and reason,
// and leave their property as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/base_compare.h"
#include "model/csv_format.h"

class CTarnelDoc;

enum class TableRowProblem : uint8_t {
  kShortRow,       // the row ends before a column the table uses
  kNoPath,         // the path (or identifier) cell is empty
  kUnknownAtom,    // the path names no property, and the atom above it is not there
  kAmbiguousPath,  // the path names two records
  kNotProperty,    // the path or identifier names a record that is no property
  kUnknownId,      // no record has the identifier
  kBadType,        // no type of that name
  kBadFlags,       // not numbers 1-6
  kBadEoc,         // not 0 or 1
  kUnencodable,    // text windows-1251 cannot hold
  kBadLink,        // the link path names no property, or the type is no LINK_TO
  kDuplicate,      // an earlier row is for the same property
  kEmptyName,      // a cell edit: a property needs a name
  kNotEditable,    // a cell edit: the path and the identifier are not edited in the table
};
// A plain English phrase for the command line.
const char* TableRowProblemText(TableRowProblem problem);

struct TableRowRefusal {
  int line = 0;
  TableRowProblem problem = TableRowProblem::kShortRow;
  std::string detail;  // the cell, column name or earlier line concerned (windows-1251)
};

struct TableApplyOptions {
  bool byId = false;
  // Properties under the scope (0: the whole document) that no row names are deleted.
  bool deleteMissing = false;
  uint32_t scopeId = 0;
};

struct TableApplyResult {
  std::vector<TableRowRefusal> refused;
  int changed = 0;
  int added = 0;
  int deleted = 0;
};

// Applies the usable rows. Throws CsvError when the table itself cannot serve: no rows, or no
// path column (identifier column with `byId`).
TableApplyResult ApplyTable(CTarnelDoc& doc, const CsvTable& table,
                            const TableApplyOptions& options = {});

// What ApplyTable would change, as the comparison of the document with the document the table
// would make finds it (the second side), worked out from the rows without making that
// document: the same differences in the same order, ready for a take-over. The document does not
// change. Throws CsvError as ApplyTable does.
struct TableDifferences {
  std::vector<TableRowRefusal> refused;
  CompareResult result;
};
TableDifferences DiffTable(CTarnelDoc& doc, const CsvTable& table,
                           const TableApplyOptions& options = {}, bool ignoreValues = false);

// One cell of the table typed or pasted: the property, the column (TableColumn) and the text
// (windows-1251).
struct TableCellEdit {
  uint32_t id = 0;
  int column = 0;
  std::string text;
};
struct TableCellRefusal {
  int index = -1;  // the first edit that cannot be made; -1 when all were made
  TableRowProblem problem = TableRowProblem::kShortRow;
};
// Checks every edit first, as the rows of a table file are checked; when one cannot be made,
// nothing changes and it is named. Several cells of one property are made together. True in
// `changed` when anything changed.
TableCellRefusal EditTableCells(CTarnelDoc& doc, const std::vector<TableCellEdit>& edits,
                                bool* changed = nullptr);
