// Imports arbitrary bytes as a c2ko file under an object of a new document. Whatever happens,
// the import stack is empty afterwards and the document still saves and reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/archive.h"
#include "model/document.h"
#include "xml/c2ko_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* target = doc.NewObject(doc.groups[0].get());
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    ImportC2koText(doc, text, size % 2 ? static_cast<CRecord*>(target) : doc.groups[1].get(),
                   nullptr);
  } catch (const C2koImportError&) {
  }
  std::string saved = doc.SaveToBytes();
  ArchiveReader r(saved.data(), saved.size());
  CTarnelDoc reread;
  reread.TakeContents(CTarnelDoc::ReadContents(r));  // throws, and so fails, if unreadable
  return 0;
}
