#include "text_codec.h"

#include "model/cp1251.h"

QString FromCp1251(const std::string& bytes) {
  QString s(qsizetype(bytes.size()), Qt::Uninitialized);
  QChar* out = s.data();
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = QChar(Cp1251ToUnicode(uint8_t(bytes[i])));
  return s;
}

namespace {

// Walks code points (surrogate pairs joined) and maps each; `lossy` decides what a character
// without a byte does.
int Encode(const QString& text, std::string* out, bool lossy) {
  std::string bytes;
  bytes.reserve(size_t(text.size()));
  int replaced = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      // Two statements: the order in which function arguments are evaluated is unspecified.
      char16_t high = text[i].unicode();
      char16_t low = text[++i].unicode();
      c = QChar::surrogateToUcs4(high, low);
    }
    int b = UnicodeToCp1251(c);
    if (b < 0) {
      if (!lossy) return -1;
      b = '?';
      ++replaced;
    }
    bytes.push_back(char(b));
  }
  *out = std::move(bytes);
  return replaced;
}

}  // namespace

bool ToCp1251(const QString& text, std::string* out) {
  return Encode(text, out, false) == 0;
}

int ToCp1251Lossy(const QString& text, std::string* out) {
  return Encode(text, out, true);
}
