// The property table as an XLSX workbook: one sheet, the file contract's header in bold and
// frozen, an autofilter over the table, path, value and flags as text (so "0.000" and leading
// zeros stay as typed) and identifiers as numbers.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class CTarnelDoc;
class CPropertyItem;

class XlsxWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the workbook to `path` in one step (see WriteFileAtomically): the file there is
// replaced only by a complete workbook. Throws XlsxWriteError, or DocumentFileError for the
// target, naming the file and the cause.
void WriteTableXlsx(const CTarnelDoc& doc, const std::vector<CPropertyItem*>& properties,
                    const std::string& path);
