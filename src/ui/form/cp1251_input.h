// Text typed by the user on its way into the base: the base keeps windows-1251 bytes, so text
// that the code page cannot hold is refused with a message instead of being stored altered.
#pragma once

#include <QString>
#include <string>

class QWidget;

// Encodes `text` into `out`. When some character has no windows-1251 byte, tells the user which
// field and character are at fault and returns false; `out` is then untouched.
// The message that refuses such text in the named field.
QString UnencodableTextMessage(const QString& fieldName, const QString& text);
bool EncodeUserText(QWidget* parent, const QString& fieldName, const QString& text,
                    std::string* out);
