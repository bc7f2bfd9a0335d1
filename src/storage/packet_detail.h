#pragma once
// What the packet reader and writer share: the packet's fixed numbers, little-endian byte
// access, the read cursor over the bytes at hand, and the encoding of single values and
// properties. Only packet*.cpp include it.
#include "storage/error.h"
#include "storage/packet.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace dorvin::packet_detail {

inline constexpr std::uint8_t kSignature[4] = {0x96, 0x19, 0xE0, 0xBD};
inline constexpr std::size_t kFixedHeader = 24;
inline constexpr std::size_t kMaxHeaderLength = 0xFFFF;
inline const std::string kChangeLog = "CHANGE_LOG";

[[noreturn]] inline void damaged(const std::string& what)
{
    throw Error("Пакет набора данных повреждён: " + what);
}

inline std::string hex(unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    s += digits[(v >> 4) & 0xF];
    s += digits[v & 0xF];
    return s;
}

inline std::uint64_t readLE(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint64_t(p[i]) << (8 * i);
    return v;
}

template <class Out> void appendLE(Out& out, std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

template <class Out> void storeLE(Out& out, std::size_t at, std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline bool isPrefixWidth(std::uint16_t w)
{
    return w == 1 || w == 2 || w == 4;
}

// Thrown by a cursor over a window when the bytes it needs are in the packet but not yet
// at hand: the reader makes the window larger and reads the piece again.
struct NeedMore {};

// Bounds-checked cursor over the bytes at hand. `remaining()` counts the rest of the
// packet, at hand or not: what a declared count or length is checked against.
struct Cursor {
    const std::uint8_t* p = nullptr;
    std::size_t avail = 0;   // bytes at hand from p, none beyond the packet
    std::uint64_t limit = 0; // bytes of the packet from p
    bool more = false;       // bytes beyond `avail` can still come into the window
    std::size_t pos = 0;

    std::uint64_t remaining() const { return limit - pos; }
    void need(std::size_t n, const char* what) const
    {
        if (n > avail - pos) {
            if (more && n <= limit - pos)
                throw NeedMore{};
            damaged(std::string("обрывается в ") + what);
        }
    }
    std::uint64_t uint(std::size_t n, const char* what)
    {
        need(n, what);
        std::uint64_t v = readLE(p + pos, n);
        pos += n;
        return v;
    }
    std::string text(std::size_t n, const char* what)
    {
        need(n, what);
        std::string s(reinterpret_cast<const char*>(p + pos), n);
        pos += n;
        return s;
    }
};

// Measures one encoded value of the given type and width at the cursor and advances past
// it. Returns the offset and size of the payload (after any length prefix).
inline std::pair<std::size_t, std::size_t> skipValue(Cursor& c, std::uint16_t type, std::uint16_t width,
                                                     const std::string& owner)
{
    if (type & packet_type::arrayBit) {
        if (width == 0)
            damaged("у массива '" + owner + "' элементы нулевой ширины");
        std::size_t start = c.pos;
        std::uint64_t count = c.uint(4, "an array count");
        if (count > c.remaining() / width)
            damaged("массив '" + owner + "' длиннее пакета");
        c.need(static_cast<std::size_t>(count) * width, "an array");
        c.pos += static_cast<std::size_t>(count) * width;
        return {start, c.pos - start};
    }
    if (type & packet_type::varyingBit) {
        if (!isPrefixWidth(width))
            damaged("у '" + owner + "' неподдерживаемая ширина длины " + std::to_string(width));
        std::uint64_t len = c.uint(width, "a value length");
        if (len > c.remaining())
            damaged("значение '" + owner + "' длиннее пакета");
        c.need(static_cast<std::size_t>(len), "a value");
        std::size_t start = c.pos;
        c.pos += static_cast<std::size_t>(len);
        return {start, static_cast<std::size_t>(len)};
    }
    c.need(width, "a value");
    std::size_t start = c.pos;
    c.pos += width;
    return {start, width};
}

inline PacketValue decodeValue(const std::uint8_t* p, std::size_t size, std::uint16_t type,
                               std::uint16_t width, bool isProperty)
{
    if (type & packet_type::arrayBit) {
        std::size_t count = static_cast<std::size_t>(readLE(p, 4));
        if (width <= 8) {
            std::vector<std::uint64_t> v;
            v.reserve(count);
            for (std::size_t i = 0; i < count; ++i)
                v.push_back(readLE(p + 4 + i * width, width));
            return v;
        }
        return std::string(reinterpret_cast<const char*>(p + 4), size - 4);
    }
    if (type & packet_type::varyingBit) {
        std::string s(reinterpret_cast<const char*>(p), size);
        if (isProperty && (type & 0x3F) == (packet_type::string & 0x3F) && !s.empty() && s.back() == '\0')
            s.pop_back();
        return s;
    }
    const unsigned kind = type & 0x3F;
    if ((kind == packet_type::signedInt || kind == packet_type::unsignedInt) && width >= 1 && width <= 8) {
        std::uint64_t raw = readLE(p, width);
        if (kind == packet_type::signedInt && width < 8 && (raw >> (8 * width - 1)) & 1)
            raw |= ~std::uint64_t(0) << (8 * width);
        return static_cast<std::int64_t>(raw);
    }
    if (kind == packet_type::boolean && width >= 1 && width <= 8)
        return readLE(p, width) != 0;
    if (kind == packet_type::floating && width == 8)
        return std::bit_cast<double>(readLE(p, 8));
    if (kind == packet_type::floating && width == 4)
        return double(std::bit_cast<float>(static_cast<std::uint32_t>(readLE(p, 4))));
    return std::string(reinterpret_cast<const char*>(p), size);
}

inline PacketProperty readProperty(Cursor& c)
{
    PacketProperty prop;
    std::size_t len = static_cast<std::size_t>(c.uint(1, "a property name"));
    prop.name = c.text(len, "a property name");
    prop.width = static_cast<std::uint16_t>(c.uint(2, "a property"));
    prop.type = static_cast<std::uint16_t>(c.uint(2, "a property"));
    auto [off, size] = skipValue(c, prop.type, prop.width, prop.name);
    prop.value = decodeValue(c.p + off, size, prop.type, prop.width, true);
    return prop;
}

// Encodes a value by type and width. Throws when the value does not suit the type.
template <class Out>
inline void encodeValue(Out& out, const PacketValue& v, std::uint16_t type, std::uint16_t width,
                        bool isProperty, const std::string& owner)
{
    auto bad = [&]() -> void {
        throw Error("Cannot write '" + owner + "': the value does not suit type " + hex(type) + " of width "
                    + std::to_string(width));
    };
    if (type & packet_type::arrayBit) {
        if (width == 0)
            bad();
        if (auto* a = std::get_if<std::vector<std::uint64_t>>(&v)) {
            if (width > 8 || a->size() > 0xFFFFFFFFu)
                bad();
            appendLE(out, a->size(), 4);
            for (auto e : *a) {
                if (width < 8 && (e >> (8 * width)) != 0)
                    bad();
                appendLE(out, e, width);
            }
            return;
        }
        if (auto* s = std::get_if<std::string>(&v)) {
            if (s->size() % width != 0)
                bad();
            appendLE(out, s->size() / width, 4);
            out.insert(out.end(), s->begin(), s->end());
            return;
        }
        bad();
    }
    if (type & packet_type::varyingBit) {
        auto* s = std::get_if<std::string>(&v);
        if (!s || !isPrefixWidth(width))
            bad();
        const bool zero = isProperty && (type & 0x3F) == (packet_type::string & 0x3F);
        std::uint64_t len = s->size() + (zero ? 1 : 0);
        if (width < 8 && (len >> (8 * width)) != 0)
            throw Error("Cannot write '" + owner + "': " + std::to_string(s->size())
                        + " bytes do not fit a length of " + std::to_string(width) + " bytes");
        appendLE(out, len, width);
        out.insert(out.end(), s->begin(), s->end());
        if (zero)
            out.push_back(0);
        return;
    }
    const unsigned kind = type & 0x3F;
    if (auto* i = std::get_if<std::int64_t>(&v)) {
        if ((kind != packet_type::signedInt && kind != packet_type::unsignedInt) || width < 1 || width > 8)
            bad();
        if (width < 8) {
            if (kind == packet_type::signedInt) {
                const std::int64_t lo = -(std::int64_t(1) << (8 * width - 1));
                const std::int64_t hi = (std::int64_t(1) << (8 * width - 1)) - 1;
                if (*i < lo || *i > hi)
                    bad();
            } else if (*i < 0 || (std::uint64_t(*i) >> (8 * width)) != 0) {
                bad();
            }
        }
        appendLE(out, static_cast<std::uint64_t>(*i), width);
        return;
    }
    if (auto* b = std::get_if<bool>(&v)) {
        if (kind != packet_type::boolean || width < 1 || width > 8)
            bad();
        appendLE(out, *b ? 1 : 0, width);
        return;
    }
    if (auto* d = std::get_if<double>(&v)) {
        if (kind != packet_type::floating || (width != 8 && width != 4))
            bad();
        if (width == 8)
            appendLE(out, std::bit_cast<std::uint64_t>(*d), 8);
        else
            appendLE(out, std::bit_cast<std::uint32_t>(static_cast<float>(*d)), 4);
        return;
    }
    if (auto* s = std::get_if<std::string>(&v)) {
        // Raw bytes of a fixed value this layer does not interpret.
        if (s->size() != width)
            bad();
        out.insert(out.end(), s->begin(), s->end());
        return;
    }
    bad();
}

template <class Out> void writeProperty(Out& out, const PacketProperty& p)
{
    if (p.name.size() > 255)
        throw Error("Cannot write property '" + p.name + "': the name is too long");
    out.push_back(static_cast<std::uint8_t>(p.name.size()));
    out.insert(out.end(), p.name.begin(), p.name.end());
    appendLE(out, p.width, 2);
    appendLE(out, p.type, 2);
    encodeValue(out, p.value, p.type, p.width, true, p.name);
}

} // namespace dorvin::packet_detail
