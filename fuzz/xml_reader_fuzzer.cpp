// Reads arbitrary bytes as an XML interchange file. A file that reads must merge into a new
// document with the default ticks, and the export of that document must read again into the
// same number of records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/document.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"

namespace {

int CountRecords(const CRecord* r) {
  int n = 1;
  ForEachChild(r, [&](const CRecord* c) { n += CountRecords(c); });
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  CImportParser parser;
  try {
    parser.LoadBytes(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const XmlImportError&) {
    return 0;
  }
  CTarnelDoc doc;
  auto root = FillImportTree(parser, nullptr);
  ImportOutcome outcome = ApplyImport(doc, *root, nullptr);
  if (outcome.merge.notCopied) return 0;

  // Names and values of the merged document may hold bytes no XML file can carry; such an
  // export is refused as a whole, anything else must read back.
  std::string bytes;
  try {
    bytes = CExportFile(doc, nullptr, "x.xml").ExportToBytes({1, 1, 2026});
  } catch (const ExportError&) {
    return 0;
  }
  CImportParser again;
  again.LoadBytes(bytes);  // throws, and so fails the run, if the export is not well-formed
  int before = 0, after = 0;
  for (CBase* g : doc.Groups()) before += CountRecords(g);
  for (int i = 0; i < again.GetRecordCount(); ++i) after += CountRecords(again.GetRecord(i));
  if (before != after) std::abort();
  return 0;
}
