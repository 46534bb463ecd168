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
// The same appended to `out`.
void AppendCp1251AsUtf8(std::string* out, std::string_view bytes);
// Converts UTF-8 text; characters the code page cannot hold (and malformed sequences) become
// '?'. Returns how many characters were replaced.
int Utf8ToCp1251(std::string_view utf8, std::string* out);

// Text for one line of a terminal, as UTF-8 that holds no control character: windows-1251
// bytes decoded, with backslash, tab, line feed and carriage return written as \\, \t, \n and
// \r, escape as \e and every other control character as \xNN (two lower-case hex digits).
std::string Cp1251ToEscapedUtf8(std::string_view bytes);
// The same escapes for text that is meant to be UTF-8 already (a message, a file name from the
// command line), leaving backslashes as they are; each byte of a malformed sequence becomes
// \xNN, and the C1 control characters U+0080..U+009F \u0080..\u009f.
std::string EscapedUtf8(std::string_view text);
