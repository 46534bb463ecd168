// The one place where the windows-1251 bytes of a base meet Qt's Unicode strings.
#pragma once

#include <QString>
#include <string>

// Decodes windows-1251 bytes; the undefined byte 0x98 becomes U+FFFD.
QString FromCp1251(const std::string& bytes);

// Encodes text that the code page can hold. False (and `out` untouched) when some character
// cannot be held: text the user typed is refused, never altered.
bool ToCp1251(const QString& text, std::string* out);

// Encodes text, replacing what the code page cannot hold with '?'. Returns the number of
// characters replaced (input from files, where the caller reports the count).
int ToCp1251Lossy(const QString& text, std::string* out);
