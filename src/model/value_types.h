// Property type codes, their names and text-import tags, and the standard number readers.
#pragma once

#include <string>
#include <string_view>

enum PropertyType : int {
  kTypeBin = 0,
  kTypeByte = 1,
  kTypeShort = 2,
  kTypeInt = 3,
  kTypeFloat = 4,
  kTypeDouble = 5,
  kTypeDateTime = 6,
  kTypeLinkTo = 7,
  kTypeFile = 8,
};
inline constexpr int kTypeCount = 9;

// "BIN" .. "FILE"; "UNKNOWN" for any other code, read as unsigned 8-bit.
const char* TypeCodeToName(int code);
// The nine names, case-sensitive; -1 for anything else.
int TypeNameToCode(std::string_view name);
// "{bin}" .. "{datetime}" and "{link_to}" (a LINK_TO); 0 for any text that is no tag.
int TypeTagToCode(std::string_view tag);

// The C library's atoi and atof over a byte string, without their undefined behaviour on
// overflow: leading blanks, a sign, digits; 0 when nothing numeric follows. Integers wrap to 32
// bits as the original platform's conversion did for values in range.
int AtoI(std::string_view text);
double AtoF(const std::string& text);
