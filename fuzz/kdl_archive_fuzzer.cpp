// Opens arbitrary bytes as a .kdl file, as the editor opens one, without a file. A file that
// opens must save and open again, and save to the same bytes after one more round (values
// settle into their patterns on the first one).
//
// The documents live across inputs: each open clears the one before, so no input pays for a
// fresh identifier table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  static CTarnelDoc doc, second, third;
  try {
    doc.OpenBytes(std::string_view(reinterpret_cast<const char*>(data), size), "input");
  } catch (const DocumentFileError&) {
    return 0;
  }
  std::string once = doc.SaveToBytes();
  second.OpenBytes(once, "first save");  // throws, and so fails the run, if unreadable
  std::string twice = second.SaveToBytes();
  third.OpenBytes(twice, "second save");
  if (third.SaveToBytes() != twice) std::abort();
  return 0;
}
