#include "storage/cp1251.h"

#include <array>

namespace dorvin {
namespace {

// Code points of bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns U+FFFD for malformed input.
char32_t nextCodePoint(std::string_view s, size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else
        return 0xFFFD;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size())
            return 0xFFFD;
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (c & 0x3F);
        ++i;
    }
    return cp;
}

} // namespace

char32_t cp1251ToUnicode(unsigned char byte)
{
    return byte < 0x80 ? byte : kHighHalf[byte - 0x80];
}

int unicodeToCp1251(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<int>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<int>(cp - 0x0410 + 0xC0);
    for (int b = 0; b < 128; ++b)
        if (kHighHalf[b] != 0 && kHighHalf[b] == cp)
            return 0x80 + b;
    return -1;
}

std::string cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const char32_t cp = cp1251ToUnicode(static_cast<unsigned char>(c));
        appendUtf8(out, cp == 0 && c != 0 ? char32_t{0xFFFD} : cp);
    }
    return out;
}

std::string utf8ToCp1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const int b = unicodeToCp1251(nextCodePoint(utf8, i));
        out += static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

unsigned char cp1251ToUpper(unsigned char b)
{
    if (b >= 'a' && b <= 'z')
        return static_cast<unsigned char>(b - 32);
    if (b >= 0xE0)
        return static_cast<unsigned char>(b - 32); // а..я -> А..Я
    if (b == 0xB8)
        return 0xA8; // ё -> Ё
    if (b == 0xA2)
        return 0xA1; // ў -> Ў
    if (b == 0xB3)
        return 0xB2; // і -> І
    if (b == 0xBF)
        return 0xAF; // ї -> Ї
    if (b == 0xBA)
        return 0xAA; // є -> Є
    if (b == 0xB4)
        return 0xA5; // ґ -> Ґ
    if (b == 0xBC)
        return 0xA3; // ј -> Ј
    if (b == 0xBE)
        return 0xBD; // ѕ -> Ѕ
    if (b == 0x90)
        return 0x80; // ђ -> Ђ
    if (b == 0x83)
        return 0x81; // ѓ -> Ѓ
    if (b >= 0x9A && b <= 0x9F && b != 0x9B)
        return static_cast<unsigned char>(b - 0x10); // љ њ ќ ћ џ
    return b;
}

std::string cp1251ToUpper(std::string_view bytes)
{
    std::string out(bytes);
    for (char& c : out)
        c = static_cast<char>(cp1251ToUpper(static_cast<unsigned char>(c)));
    return out;
}

bool cp1251EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (cp1251ToUpper(static_cast<unsigned char>(a[i]))
            != cp1251ToUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace dorvin
