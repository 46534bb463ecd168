// Reads arbitrary bytes as a property table and applies it to a small base, all in memory.
// Whatever happens, the reader either gives cells inside the input's bounds or one CsvError, and
// the base still saves and opens again.
//
// The documents live across inputs: a new document clears the one before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/csv_format.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/table_apply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  static CTarnelDoc doc, reread;
  doc.OnNewDocument();
  CRecord* pump = AddObject(doc, doc.RecordAt(nullptr, 1), "Pump").record;
  CRecord* ai = AddAtom(doc, pump, "AI", 0).record;
  AddProperty(doc, ai, {"T", "5", 3, 0});
  AddProperty(doc, ai, {"L", "6", 7, 0});
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    CsvTable table = ReadCsv(text);
    size_t cells = 0;
    for (int r = 0; r < table.RowCount(); ++r)
      for (int c = 0; c < table.CellCount(r); ++c) cells += table.Cell(r, c).size();
    if (cells > size) std::abort();  // the text of the cells comes from the input
    TableApplyOptions options;
    options.byId = size % 2;
    options.deleteMissing = size % 3 == 0;
    ApplyTable(doc, table, options);
  } catch (const CsvError&) {
  }
  reread.OpenBytes(doc.SaveToBytes(), "applied table");  // throws, and so fails, if unreadable
  return 0;
}
