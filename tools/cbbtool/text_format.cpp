#include "text_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace cbbtool {

std::string jsonString(std::string_view utf8)
{
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string plainNumber(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string jsonNumber(double v)
{
    if (!std::isfinite(v))
        return "null";
    // to_chars writes forms such as "1e+100" and "-0", which JSON accepts.
    return plainNumber(v);
}

namespace {

constexpr std::uint64_t kQuietNaN = 0x7FF8000000000000ull;

std::string hex16(std::uint64_t v)
{
    static const char* hex = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, v >>= 4)
        out[static_cast<std::size_t>(i)] = hex[v & 15];
    return out;
}

} // namespace

std::string jsonFloat(double v)
{
    if (std::isnan(v)) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        return bits == kQuietNaN ? "\"NaN\"" : "\"NaN(0x" + hex16(bits) + ")\"";
    }
    if (std::isinf(v))
        return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    if (v == 0 && std::signbit(v))
        return "-0.0";
    return plainNumber(v);
}

std::optional<double> floatFromJsonText(std::string_view text)
{
    if (text == "Infinity")
        return HUGE_VAL;
    if (text == "-Infinity")
        return -HUGE_VAL;
    if (text == "NaN")
        return std::bit_cast<double>(kQuietNaN);
    if (text.size() == 23 && text.starts_with("NaN(0x") && text.ends_with(")")) {
        std::uint64_t bits = 0;
        const char* first = text.data() + 6;
        const auto res = std::from_chars(first, first + 16, bits, 16);
        if (res.ec != std::errc() || res.ptr != first + 16)
            return std::nullopt;
        const double v = std::bit_cast<double>(bits);
        if (!std::isnan(v))
            return std::nullopt;
        return v;
    }
    return std::nullopt;
}

std::optional<std::string> fromBase64(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    };
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        std::uint32_t n = 0;
        for (int k = 0; k < 4; ++k) {
            const int d = k >= 4 - pad ? 0 : digit(text[i + static_cast<std::size_t>(k)]);
            if (d < 0)
                return std::nullopt;
            n = (n << 6) | static_cast<std::uint32_t>(d);
        }
        out += static_cast<char>((n >> 16) & 0xFF);
        if (pad < 2)
            out += static_cast<char>((n >> 8) & 0xFF);
        if (pad < 1)
            out += static_cast<char>(n & 0xFF);
    }
    return out;
}

std::string contentHash(std::string_view bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return hex16(h);
}

std::string base64(std::span<const std::uint8_t> bytes)
{
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += abc[(n >> 18) & 63];
        out += abc[(n >> 12) & 63];
        out += abc[(n >> 6) & 63];
        out += abc[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const std::uint32_t n = bytes[i] << 16;
        out += abc[(n >> 18) & 63];
        out += abc[(n >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const std::uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += abc[(n >> 18) & 63];
        out += abc[(n >> 12) & 63];
        out += abc[(n >> 6) & 63];
        out += '=';
    }
    return out;
}

} // namespace cbbtool
