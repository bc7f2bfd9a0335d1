#include "text_format.h"

#include <charconv>
#include <cmath>

namespace cbbtool {

std::string jsonString(std::string_view utf8) {
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

std::string plainNumber(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    // to_chars writes forms such as "1e+100" and "-0", which JSON accepts.
    return plainNumber(v);
}

std::string base64(std::span<const std::uint8_t> bytes) {
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

}  // namespace cbbtool
