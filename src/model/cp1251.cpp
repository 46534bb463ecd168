#include "cp1251.h"

namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | c >> 6));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xE0 | c >> 12));
    out->push_back(char(0x80 | (c >> 6 & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

}  // namespace

char16_t Cp1251ToUnicode(uint8_t b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return char16_t(0x0410 + (b - 0xC0));
  return kHigh[b - 0x80];
}

int UnicodeToCp1251(char32_t c) {
  if (c < 0x80) return int(c);
  if (c >= 0x0410 && c <= 0x044F) return int(0xC0 + (c - 0x0410));
  if (c == 0xFFFD) return -1;
  for (int i = 0; i < 64; ++i)
    if (kHigh[i] == c) return 0x80 + i;
  return -1;
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  AppendCp1251AsUtf8(&out, bytes);
  return out;
}

void AppendCp1251AsUtf8(std::string* out, std::string_view bytes) {
  for (char ch : bytes) {
    if (uint8_t(ch) < 0x80)
      out->push_back(ch);
    else
      AppendUtf8(out, Cp1251ToUnicode(uint8_t(ch)));
  }
}

int Utf8ToCp1251(std::string_view s, std::string* out) {
  out->clear();
  out->reserve(s.size());
  int replaced = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = uint8_t(s[i]);
    char32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c, len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, len = 4;
    } else {
      cp = 0xFFFD, len = 1;
    }
    bool ok = i + len <= s.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char cc = uint8_t(s[i + k]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = cp << 6 | (cc & 0x3F);
    }
    if (!ok) cp = 0xFFFD, len = 1;
    int b = UnicodeToCp1251(cp);
    if (b < 0) {
      out->push_back('?');
      ++replaced;
    } else {
      out->push_back(char(b));
    }
    i += len;
  }
  return replaced;
}

namespace {

const char kHex[] = "0123456789abcdef";

// A control character (C0 or DEL) as an escape; false for any other byte.
bool AppendControlEscape(std::string* out, unsigned char c) {
  if (c >= 0x20 && c != 0x7F) return false;
  switch (c) {
    case '\t':
      *out += "\\t";
      break;
    case '\n':
      *out += "\\n";
      break;
    case '\r':
      *out += "\\r";
      break;
    case 0x1B:
      *out += "\\e";
      break;
    default:
      *out += "\\x";
      *out += kHex[c >> 4];
      *out += kHex[c & 15];
  }
  return true;
}

// The length of the well-formed UTF-8 sequence at the start of `s` and its character, or 0.
size_t Utf8Sequence(std::string_view s, char32_t* cp) {
  auto c = uint8_t(s[0]);
  size_t len = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
  if (len == 0 || len > s.size()) return 0;
  char32_t v = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    auto b = uint8_t(s[k]);
    if ((b & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and what lies past U+10FFFF are malformed.
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kLeast[len] || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return 0;
  *cp = v;
  return len;
}

}  // namespace

std::string Cp1251ToEscapedUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    auto c = uint8_t(ch);
    if (c == '\\')
      out += "\\\\";
    else if (!AppendControlEscape(&out, c))
      AppendUtf8(&out, Cp1251ToUnicode(c));
  }
  return out;
}

std::string EscapedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    size_t len = Utf8Sequence(text.substr(i), &cp);
    if (len == 0) {
      auto c = uint8_t(text[i++]);
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (len == 1 && AppendControlEscape(&out, uint8_t(cp))) {
      ++i;
    } else if (cp >= 0x80 && cp <= 0x9F) {
      out += "\\u00";
      out += kHex[cp >> 4];
      out += kHex[cp & 15];
      i += len;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
  return out;
}
