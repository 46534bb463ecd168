// Reads arbitrary bytes as a .kdl file. A file that reads must rebuild, save, and read back to
// the same bytes after one more save (values settle into their patterns on the first one).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/archive.h"
#include "model/document.h"

namespace {

DocumentContents Read(const std::string& bytes) {
  ArchiveReader r(bytes.data(), bytes.size());
  return CTarnelDoc::ReadContents(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  CTarnelDoc doc;
  try {
    ArchiveReader r(data, size);
    doc.TakeContents(CTarnelDoc::ReadContents(r));
  } catch (const ArchiveError&) {
    return 0;
  }
  std::string once = doc.SaveToBytes();
  CTarnelDoc second;
  second.TakeContents(Read(once));
  std::string twice = second.SaveToBytes();
  CTarnelDoc third;
  third.TakeContents(Read(twice));
  if (third.SaveToBytes() != twice) std::abort();
  return 0;
}
