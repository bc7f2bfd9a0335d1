#pragma once
// Small metafiles made byte by byte for the tests.
#include <cstdint>
#include <cstring>
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
    {}

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
    {}
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

// A device-independent bitmap: a 40-byte header and 24-bit pixels. `pixels` lists the
// colours (0xRRGGBB) row by row from the top as the picture is seen; bottomUp stores
// the rows from the last one up, as most programs write them.
struct Dib {
    std::string info;
    std::string bits;
    int width = 0, height = 0;
};

inline Dib dib24(int width, int height, const std::vector<uint32_t>& pixels, bool bottomUp = true)
{
    Dib d;
    d.width = width;
    d.height = height;
    put32(d.info, 40);
    put32(d.info, uint32_t(width));
    put32(d.info, uint32_t(bottomUp ? height : -height));
    put16(d.info, 1);
    put16(d.info, 24);
    for (int i = 0; i < 6; ++i)
        put32(d.info, 0);
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    for (int row = 0; row < height; ++row) {
        const int y = bottomUp ? height - 1 - row : row;
        std::string line;
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixels[size_t(y) * size_t(width) + size_t(x)];
            line += char(c & 0xFF);
            line += char((c >> 8) & 0xFF);
            line += char((c >> 16) & 0xFF);
        }
        line.resize(stride, '\0');
        d.bits += line;
    }
    return d;
}

// A bitmap of four coloured quarters (each side even): red upper left, green upper
// right, blue lower left, yellow lower right, so a mirrored or upside-down copy shows.
inline Dib quarters(int side, bool bottomUp = true)
{
    std::vector<uint32_t> px(size_t(side) * size_t(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const bool right = x >= side / 2, lower = y >= side / 2;
            px[size_t(y) * size_t(side) + size_t(x)] =
                lower ? (right ? 0xFFFF00u : 0x0000FFu) : (right ? 0x00FF00u : 0xFF0000u);
        }
    return dib24(side, side, px, bottomUp);
}

// Bitmap records of an enhanced metafile, as payloads for EmfBuilder::raw: destination
// in logical units, source in bitmap pixels. The bitmap follows the fixed part.
inline std::string emfStretchDibits(int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc,
                                    const Dib& d, uint32_t rop = 0x00CC0020)
{
    std::string r(16, '\0'); // bounds
    for (int v : {x, y, xSrc, ySrc, cxSrc, cySrc})
        put32(r, uint32_t(v));
    const uint32_t fixed = 8 + 16 + 24 + 20 + 12;
    put32(r, fixed);
    put32(r, uint32_t(d.info.size()));
    put32(r, uint32_t(fixed + d.info.size()));
    put32(r, uint32_t(d.bits.size()));
    put32(r, 0); // colours as RGB
    put32(r, rop);
    put32(r, uint32_t(cx));
    put32(r, uint32_t(cy));
    return r + d.info + d.bits;
}

inline std::string emfSetDibitsToDevice(int x, int y, int xSrc, int ySrc, int cxSrc, int cySrc, const Dib& d)
{
    std::string r(16, '\0');
    for (int v : {x, y, xSrc, ySrc, cxSrc, cySrc})
        put32(r, uint32_t(v));
    const uint32_t fixed = 8 + 16 + 24 + 28;
    put32(r, fixed);
    put32(r, uint32_t(d.info.size()));
    put32(r, uint32_t(fixed + d.info.size()));
    put32(r, uint32_t(d.bits.size()));
    put32(r, 0); // colours as RGB
    put32(r, 0); // first scan line
    put32(r, uint32_t(d.height));
    return r + d.info + d.bits;
}

// EMR_BITBLT (stretch false) or EMR_STRETCHBLT; the source transform is the identity.
inline std::string emfBlt(bool stretch, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc,
                          int cySrc, const Dib& d, uint32_t rop = 0x00CC0020)
{
    std::string r(16, '\0');
    for (int v : {x, y, cx, cy})
        put32(r, uint32_t(v));
    put32(r, rop);
    put32(r, uint32_t(xSrc));
    put32(r, uint32_t(ySrc));
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(r, bits);
    }
    put32(r, 0xFFFFFF); // source background
    put32(r, 0);        // colours as RGB
    const uint32_t fixed = 8 + uint32_t(r.size()) + 16 + (stretch ? 8 : 0);
    put32(r, fixed);
    put32(r, uint32_t(d.info.size()));
    put32(r, uint32_t(fixed + d.info.size()));
    put32(r, uint32_t(d.bits.size()));
    if (stretch) {
        put32(r, uint32_t(cxSrc));
        put32(r, uint32_t(cySrc));
    }
    return r + d.info + d.bits;
}

// Bitmap records of a Windows metafile, as payloads for WmfBuilder::raw. Parameters go
// in reverse order of the call, the packed bitmap last.
inline std::string wmfWords(std::initializer_list<int> words)
{
    std::string s;
    for (int w : words)
        put16(s, uint16_t(w));
    return s;
}
inline std::string wmfRop(uint32_t rop)
{
    std::string s;
    put32(s, rop);
    return s;
}
// META_STRETCHDIB (0x0F43)
inline std::string wmfStretchDib(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc,
                                 const Dib& d)
{
    return wmfRop(0x00CC0020) + wmfWords({0, hSrc, wSrc, ySrc, xSrc, h, w, y, x}) + d.info + d.bits;
}
// META_DIBSTRETCHBLT (0x0B41)
inline std::string wmfDibStretchBlt(int x, int y, int w, int h, int xSrc, int ySrc, int wSrc, int hSrc,
                                    const Dib& d)
{
    return wmfRop(0x00CC0020) + wmfWords({hSrc, wSrc, ySrc, xSrc, h, w, y, x}) + d.info + d.bits;
}
// META_DIBBITBLT (0x0940)
inline std::string wmfDibBitBlt(int x, int y, int w, int h, int xSrc, int ySrc, const Dib& d)
{
    return wmfRop(0x00CC0020) + wmfWords({ySrc, xSrc, h, w, y, x}) + d.info + d.bits;
}
// META_SETDIBTODEV (0x0D33)
inline std::string wmfSetDibToDev(int x, int y, int w, int h, int xSrc, int ySrc, const Dib& d)
{
    return wmfWords({0, d.height, 0, ySrc, xSrc, h, w, y, x}) + d.info + d.bits;
}

// UTF-16 little-endian bytes of an ASCII or BMP string given as UTF-16 units.
inline std::string utf16(std::initializer_list<char16_t> units)
{
    std::string s;
    for (char16_t u : units)
        put16(s, u);
    return s;
}

} // namespace dorvin::test
