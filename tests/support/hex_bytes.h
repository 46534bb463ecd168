// Byte strings written as hex in the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "03 00 0C" -> the three bytes. Anything but hex digits (blanks, newlines) is ignored.
inline std::string Hex(std::string_view text) {
  std::string out;
  int nibbles = 0;
  uint8_t cur = 0;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
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
