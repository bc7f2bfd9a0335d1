#pragma once
// Small metafiles made byte by byte for the tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace dorvin::test {

inline void put16(std::string& s, uint16_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8);
}
inline void put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}
inline void set32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = char((v >> (8 * i)) & 0xFF);
}
inline uint32_t get32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(uint8_t(s[at + i])) << (8 * i);
    return v;
}
inline uint16_t get16(const std::string& s, size_t at)
{
    return uint16_t(uint8_t(s[at]) | (uint8_t(s[at + 1]) << 8));
}
inline uint32_t rgb(int r, int g, int b)
{
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

// An EMF whose reference device has 10 pixels per millimetre, so a frame of
// 0..1000 hundredths of a millimetre is 100 device pixels: logical units of the
// default mapping equal output pixels when drawn into a 100 x 100 target.
class EmfBuilder {
public:
    explicit EmfBuilder(int32_t frameRight = 1000, int32_t frameBottom = 1000, int32_t frameLeft = 0,
                        int32_t frameTop = 0)
        : left_(frameLeft), top_(frameTop), right_(frameRight), bottom_(frameBottom)
    {
    }

    // A record of 32-bit parameters.
    EmfBuilder& rec(uint32_t type, std::initializer_list<int32_t> params)
    {
        std::string payload;
        for (int32_t p : params)
            put32(payload, uint32_t(p));
        return raw(type, payload);
    }
    EmfBuilder& raw(uint32_t type, const std::string& payload)
    {
        std::string r;
        put32(r, type);
        put32(r, uint32_t(8 + payload.size()));
        r += payload;
        records_ += r;
        ++count_;
        return *this;
    }
    // Appends bytes as they are, for damaged records.
    EmfBuilder& bytes(const std::string& b)
    {
        records_ += b;
        return *this;
    }

    std::string build(bool withEof = true) const
    {
        std::string body = records_;
        if (withEof) {
            put32(body, 14);
            put32(body, 20);
            put32(body, 0);
            put32(body, 16);
            put32(body, 20);
        }
        std::string h;
        put32(h, 1);
        put32(h, 108);
        for (int32_t v : {0, 0, 99, 99})
            put32(h, uint32_t(v));
        for (int32_t v : {left_, top_, right_, bottom_})
            put32(h, uint32_t(v));
        put32(h, 0x464D4520);
        put32(h, 0x10000);
        put32(h, uint32_t(108 + body.size()));
        put32(h, uint32_t(count_ + 2));
        put16(h, 64);
        put16(h, 0);
        put32(h, 0);
        put32(h, 0);
        put32(h, 0);
        put32(h, 1000); // device pixels
        put32(h, 1000);
        put32(h, 100); // millimetres
        put32(h, 100);
        put32(h, 0);
        put32(h, 0);
        put32(h, 0);
        put32(h, 100000); // micrometres
        put32(h, 100000);
        return h + body;
    }

private:
    int32_t left_, top_, right_, bottom_;
    std::string records_;
    int count_ = 0;
};

// A placeable WMF; parameters are 16-bit words in record order.
class WmfBuilder {
public:
    WmfBuilder(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t unitsPerInch)
        : left_(left), top_(top), right_(right), bottom_(bottom), inch_(unitsPerInch)
    {
    }
    WmfBuilder& rec(uint16_t function, std::initializer_list<int> words)
    {
        std::string payload;
        for (int w : words)
            put16(payload, uint16_t(w));
        return raw(function, payload);
    }
    WmfBuilder& raw(uint16_t function, std::string payload)
    {
        if (payload.size() % 2)
            payload += '\0';
        std::string r;
        put32(r, uint32_t(3 + payload.size() / 2));
        put16(r, function);
        records_ += r + payload;
        return *this;
    }
    WmfBuilder& bytes(const std::string& b)
    {
        records_ += b;
        return *this;
    }

    std::string placeable(uint16_t checksumXor = 0) const
    {
        std::string h;
        put32(h, 0x9AC6CDD7u);
        put16(h, 0);
        put16(h, uint16_t(left_));
        put16(h, uint16_t(top_));
        put16(h, uint16_t(right_));
        put16(h, uint16_t(bottom_));
        put16(h, inch_);
        put32(h, 0);
        uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= get16(h, size_t(2 * i));
        put16(h, uint16_t(sum ^ checksumXor));
        return h;
    }

    std::string records() const
    {
        std::string body = records_;
        put32(body, 3);
        put16(body, 0);
        std::string h;
        put16(h, 1);
        put16(h, 9);
        put16(h, 0x0300);
        put32(h, uint32_t((18 + body.size()) / 2));
        put16(h, 16);
        put32(h, 16);
        put16(h, 0);
        return h + body;
    }

    std::string build(uint16_t checksumXor = 0) const { return placeable(checksumXor) + records(); }

private:
    int16_t left_, top_, right_, bottom_;
    uint16_t inch_;
    std::string records_;
};

// UTF-16 little-endian bytes of an ASCII or BMP string given as UTF-16 units.
inline std::string utf16(std::initializer_list<char16_t> units)
{
    std::string s;
    for (char16_t u : units)
        put16(s, u);
    return s;
}

} // namespace dorvin::test
