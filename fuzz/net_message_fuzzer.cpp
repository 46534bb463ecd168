// The message decoder with its record numbering, fed as a socket feeds it: the input is cut
// into reads by its first byte. Whatever the bytes, decoding ends in messages or one
// ArchiveError; how the bytes are cut into reads changes nothing; and what was decoded encodes
// to a stream that decodes again. (Re-encoding may normalise values, as writing a file does: a
// property's pattern is derived from its text.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/archive.h"
#include "net/message_stream.h"
#include "net/net_message.h"

namespace {

// Decodes everything; the messages' bytes re-encoded in order, and whether the stream failed.
std::string DecodeAll(const uint8_t* data, size_t size, size_t step, bool* failed, size_t* count) {
  CNetMessageStream stream;
  CNetMessageStream writer;
  std::string out;
  *failed = false;
  *count = 0;
  try {
    for (size_t at = 0; at < size; at += step) {
      stream.Feed(data + at, std::min(step, size - at));
      for (;;) {
        CNetMessage m;
        if (!stream.Next(&m)) break;
        writer.Encode(m, &out);
        ++*count;
      }
    }
  } catch (const ArchiveError&) {
    *failed = true;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  size_t step = size_t(data[0] % 64) + 1;
  ++data;
  --size;

  bool failedPieces, failedWhole;
  size_t countPieces, countWhole;
  std::string pieces = DecodeAll(data, size, step, &failedPieces, &countPieces);
  std::string whole = DecodeAll(data, size, size ? size : 1, &failedWhole, &countWhole);
  // How the bytes were cut changes nothing.
  if (failedPieces != failedWhole || countPieces != countWhole || pieces != whole) std::abort();

  bool failedAgain;
  size_t countAgain;
  DecodeAll(reinterpret_cast<const uint8_t*>(pieces.data()), pieces.size(),
            pieces.size() ? pieces.size() : 1, &failedAgain, &countAgain);
  if (failedAgain || countAgain != countPieces) std::abort();
  return 0;
}
