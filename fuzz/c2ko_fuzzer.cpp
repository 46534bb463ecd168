// Imports arbitrary bytes as a c2ko file under an object of a new document, all in memory.
// Whatever happens, the document still saves and opens again.
//
// The documents live across inputs: a new document clears the one before, so no input pays
// for a fresh identifier table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/document.h"
#include "xml/c2ko_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  static CTarnelDoc doc, reread;
  doc.OnNewDocument();
  CObj* target = doc.NewObject(doc.Groups().At(0));
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    ImportC2koText(doc, text, size % 2 ? static_cast<CRecord*>(target) : doc.Groups().At(1));
  } catch (const C2koImportError&) {
  }
  reread.OpenBytes(doc.SaveToBytes(), "saved import");  // throws, and so fails, if unreadable
  return 0;
}
