#pragma once
// Windows-1251 <-> UTF-8. Files, packets and the clipboard hold Windows-1251 bytes;
// only the edges (windows, the command-line tool's output) see UTF-8.
#include <string>
#include <string_view>

namespace dorvin {

// Every byte maps to a character; the one unassigned byte (0x98) maps to U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// Characters that Windows-1251 cannot hold become '?'; malformed UTF-8 bytes too.
std::string utf8ToCp1251(std::string_view utf8);

// The Unicode code point of one Windows-1251 byte (0 for 0x98), and the reverse (-1 when none).
char32_t cp1251ToUnicode(unsigned char byte);
int unicodeToCp1251(char32_t codePoint);

// Letter case as the settings file and the locate rules need it: ASCII and Cyrillic letters.
unsigned char cp1251ToUpper(unsigned char byte);
std::string cp1251ToUpper(std::string_view bytes);
bool cp1251EqualNoCase(std::string_view a, std::string_view b);

} // namespace dorvin
