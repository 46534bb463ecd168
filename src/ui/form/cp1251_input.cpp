#include "ui/form/cp1251_input.h"

#include <QCoreApplication>
#include "model/cp1251.h"
#include "ui/app/modal_runner.h"
#include "xml/text_codec.h"

namespace {

// The first character (a whole code point) that windows-1251 cannot hold.
QString FirstUnencodable(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    qsizetype len = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
      len = 2;
    }
    if (UnicodeToCp1251(c) < 0) return text.mid(i, len);
    i += len - 1;
  }
  return QString();
}

}  // namespace

QString UnencodableTextMessage(const QString& fieldName, const QString& text) {
  return QCoreApplication::translate("Cp1251Input",
                                     "Поле «%1» содержит символ «%2», которого нет в кодировке "
                                     "windows-1251. Текст не сохранён; замените этот символ.")
      .arg(fieldName, FirstUnencodable(text));
}

bool EncodeUserText(QWidget* parent, const QString& fieldName, const QString& text,
                    std::string* out) {
  if (ToCp1251(text, out)) return true;
  ShowError(parent, QStringLiteral("Kandrel"), UnencodableTextMessage(fieldName, text));
  return false;
}
