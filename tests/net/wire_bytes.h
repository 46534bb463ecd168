// Helpers shared by the network tests: hex byte strings and message encoding in one call.
#pragma once

#include <cstdint>
#include <string>

#include "model/archive.h"
#include "net/net_message.h"

// "03 00 0C" -> the three bytes. Blanks and newlines are ignored.
inline std::string Hex(const char* text) {
  std::string out;
  int nibbles = 0;
  uint8_t cur = 0;
  for (const char* p = text; *p; ++p) {
    int v;
    if (*p >= '0' && *p <= '9')
      v = *p - '0';
    else if (*p >= 'A' && *p <= 'F')
      v = *p - 'A' + 10;
    else if (*p >= 'a' && *p <= 'f')
      v = *p - 'a' + 10;
    else
      continue;
    cur = uint8_t(cur << 4 | v);
    if (++nibbles == 2) {
      out.push_back(char(cur));
      nibbles = 0;
      cur = 0;
    }
  }
  return out;
}

inline std::string Encode(const CNetMessage& m) {
  std::string bytes;
  ArchiveWriter ar(&bytes);
  m.Serialize(ar);
  return bytes;
}

inline void Dword(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(char(v >> (8 * i)));
}
