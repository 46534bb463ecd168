#include "value_types.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "records.h"

namespace {

constexpr const char* kTypeNames[kTypeCount] = {"BIN",    "BYTE",     "SHORT",   "INT", "FLOAT",
                                                "DOUBLE", "DATETIME", "LINK_TO", "FILE"};

bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// printf("%.*f") without the locale: the form always uses a point.
std::string FormatFixed(double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

}  // namespace

const char* TypeCodeToName(int code) {
  code &= 0xFF;
  return code < kTypeCount ? kTypeNames[code] : "UNKNOWN";
}

int TypeNameToCode(std::string_view name) {
  for (int i = 0; i < kTypeCount; ++i)
    if (name == kTypeNames[i]) return i;
  return -1;
}

int TypeTagToCode(std::string_view tag) {
  static constexpr std::string_view kTags[] = {"{bin}",   "{byte}",   "{short}",    "{int}",
                                               "{float}", "{double}", "{datetime}", "{link_to}"};
  for (int i = 0; i < int(std::size(kTags)); ++i)
    if (tag == kTags[i]) return i;
  return 0;
}

int AtoI(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > int64_t(INT_MAX) + 1) v = int64_t(INT_MAX) + 1;  // saturates like the C library
  }
  if (neg) return int(-v);
  return v > INT_MAX ? INT_MAX : int(v);
}

double AtoF(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  double v = 0;
  auto r = std::from_chars(s.data() + i, s.data() + s.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow gives infinity, underflow zero, as strtod does.
    const char* e = s.data() + i;
    bool tiny = false;
    for (const char* q = e; q < r.ptr; ++q)
      if (*q == 'e' || *q == 'E') tiny = q[1] == '-';
    v = tiny ? 0.0 : HUGE_VAL;
  } else if (r.ec != std::errc()) {
    v = 0;
  }
  return neg ? -v : v;
}

void CPropertyItem::UpdateRawFromText() {
  switch (typeCode) {
    case kTypeBin:
    case kTypeByte:
      SetRawValue(uint32_t(AtoI(valueText)) & 0xFF);
      break;
    case kTypeShort:
      SetRawValue(uint32_t(AtoI(valueText)) & 0xFFFF);
      break;
    case kTypeInt:
    case kTypeDateTime:
    case kTypeLinkTo:
      SetRawValue(uint32_t(AtoI(valueText)));
      break;
    case kTypeFloat:
    case kTypeDouble:
      SetRawValue(FloatBits(float(AtoF(valueText))));
      break;
    default:  // FILE and unknown codes keep their pattern
      break;
  }
}

void CPropertyItem::SetNumericValue(double x) {
  switch (typeCode) {
    case kTypeShort: {
      int exponent = int8_t(GetDecimals() & 0xFF);
      float power = std::pow(10.0f, float(exponent));
      SetRawValue(uint32_t(AtoI(FormatFixed(x * double(power), 0))));
      break;
    }
    case kTypeByte:
    case kTypeInt:
      SetRawValue(uint32_t(AtoI(FormatFixed(x, 0))));
      break;
    default:
      SetRawValue(FloatBits(float(x)));
      break;
  }
}

void CPropertyItem::UpdateTextFromRaw(const std::string& text) {
  switch (typeCode) {
    case kTypeByte:
    case kTypeShort:
    case kTypeInt:
      valueText = std::to_string(int32_t(GetRawValue()));
      break;
    case kTypeFloat:
    case kTypeDouble:
      valueText = FormatFixed(double(BitsFloat(GetRawValue())), 3);
      break;
    default:
      valueText = text;
      break;
  }
}
