#pragma once
// Windows-1251 bytes <-> QString: the settings file, the base's text fields, exchange
// files and the clipboard hold Windows-1251; windows show QString.
#include <QString>

#include <string>

namespace dorvin {

// Characters Windows-1251 cannot hold become '?'.
std::string toCp1251(const QString& text);
QString fromCp1251(const std::string& bytes);
// Whether every character of the text exists in Windows-1251.
bool fitsCp1251(const QString& text);

} // namespace dorvin
