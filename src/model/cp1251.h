// The windows-1251 code page that every text of a base is kept in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode character of a byte; U+FFFD for 0x98, the one byte the code page leaves undefined.
char16_t Cp1251ToUnicode(uint8_t byte);
// The byte for a character, or -1 when the code page cannot hold it.
int UnicodeToCp1251(char32_t c);
inline char UnicodeToCp1251Or(char32_t c, char fallback) {
  int b = UnicodeToCp1251(c);
  return b < 0 ? fallback : char(b);
}

std::string Cp1251ToUtf8(std::string_view bytes);
// Converts UTF-8 text; characters the code page cannot hold (and malformed sequences) become
// '?'. Returns how many characters were replaced.
int Utf8ToCp1251(std::string_view utf8, std::string* out);
