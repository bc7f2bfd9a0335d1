// Device-independent bitmaps as metafile records carry them: uncompressed 1, 4, 8,
// 16, 24 and 32 bits per pixel with colour tables or bit-field masks, and the
// run-length encoded 4- and 8-bit forms. Every size is checked against the bytes
// present before anything is allocated.
#include "metafile/byte_reader.h"
#include "metafile/gdi_player.h"

#include <bit>

namespace dorvin::mf {

namespace {

constexpr int64_t kMaxPixels = 4 * 1024 * 1024;
constexpr int kMaxSide = 16384;

struct Masks {
    uint32_t r = 0, g = 0, b = 0;
};

int channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    uint32_t v = (pixel & mask) >> shift;
    uint32_t max = mask >> shift;
    return int(v * 255u / max);
}

// Run-length encoded bits into 8-bit indices, bottom-up row order as stored.
bool decodeRle(std::string_view bits, int width, int height, bool four, std::vector<uint8_t>& out)
{
    out.assign(size_t(width) * size_t(height), 0);
    ByteReader r(bits);
    int x = 0, y = 0;
    while (r.has(2) && y < height) {
        int count = r.u8();
        int value = r.u8();
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i, ++x) {
                int v = four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value;
                out[size_t(y) * size_t(width) + size_t(x)] = uint8_t(v);
            }
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++y;
            break;           // end of line
        case 1: return true; // end of bitmap
        case 2:              // delta
            x += r.u8();
            y += r.u8();
            break;
        default: { // literal run
            int n = value;
            int bytes = four ? (n + 1) / 2 : n;
            std::string_view lit = r.bytes(size_t(bytes));
            if (!r.ok())
                return true;
            for (int i = 0; i < n && x < width; ++i, ++x) {
                uint8_t b = uint8_t(lit[size_t(four ? i / 2 : i)]);
                int v = four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b;
                out[size_t(y) * size_t(width) + size_t(x)] = uint8_t(v);
            }
            if (bytes & 1)
                r.skip(1);
            break;
        }
        }
    }
    return true;
}

} // namespace

QImage decodeDib(std::string_view info, std::string_view bits, uint32_t usage)
{
    ByteReader h(info);
    uint32_t headerSize = h.u32();
    int64_t width, height;
    int bitCount;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    bool core = headerSize == 12;
    if (core) {
        width = h.u16();
        height = h.i16();
        h.u16();
        bitCount = h.u16();
    } else if (headerSize >= 40 && headerSize <= info.size()) {
        width = h.i32();
        height = h.i32();
        h.u16();
        bitCount = h.u16();
        compression = h.u32();
        h.u32(); // image size
        h.u32();
        h.u32();
        colorsUsed = h.u32();
    } else {
        return {};
    }
    if (!h.ok())
        return {};
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return {};
    bool rle = (compression == 1 && bitCount == 8) || (compression == 2 && bitCount == 4);
    if (!(compression == 0 || compression == 3 || rle))
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return {};

    Masks masks;
    if (compression == 3) {
        if (bitCount != 16 && bitCount != 32)
            return {};
        // Masks follow a plain header, and sit inside the larger ones.
        h.seek(40);
        masks.r = h.u32();
        masks.g = h.u32();
        masks.b = h.u32();
        if (!h.ok())
            return {};
    } else if (bitCount == 16) {
        masks = {0x7C00, 0x03E0, 0x001F};
    } else if (bitCount >= 24) {
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    }

    std::vector<QRgb> palette;
    if (bitCount <= 8) {
        uint32_t entries = colorsUsed == 0 || colorsUsed > (1u << bitCount) ? (1u << bitCount) : colorsUsed;
        size_t at = headerSize + (compression == 3 && headerSize == 40 ? 12 : 0);
        ByteReader c(info);
        c.seek(at);
        for (uint32_t i = 0; i < entries; ++i) {
            if (usage == 1) {
                // Palette indices into a logical palette that is not kept: a grey ramp.
                int v = c.u16() & 0xFF;
                palette.push_back(qRgb(v, v, v));
            } else if (core) {
                int b = c.u8(), g = c.u8(), r = c.u8();
                palette.push_back(qRgb(r, g, b));
            } else {
                int b = c.u8(), g = c.u8(), r = c.u8();
                c.u8();
                palette.push_back(qRgb(r, g, b));
            }
            if (!c.ok()) {
                palette.pop_back();
                break;
            }
        }
        if (palette.empty())
            return {};
    }

    const int w = int(width), hgt = int(height);
    QImage img(w, hgt, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    auto color = [&palette](int index) {
        return palette[size_t(index) < palette.size() ? size_t(index) : 0];
    };

    if (rle) {
        std::vector<uint8_t> indices;
        decodeRle(bits, w, hgt, bitCount == 4, indices);
        for (int y = 0; y < hgt; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(topDown ? y : hgt - 1 - y));
            for (int x = 0; x < w; ++x)
                line[x] = color(indices[size_t(y) * size_t(w) + size_t(x)]);
        }
        return img;
    }

    const int64_t stride = ((width * bitCount + 31) / 32) * 4;
    if (int64_t(bits.size()) < stride * height)
        return {};
    for (int y = 0; y < hgt; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(bits.data()) + stride * y;
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(topDown ? y : hgt - 1 - y));
        for (int x = 0; x < w; ++x) {
            switch (bitCount) {
            case 1: line[x] = color((row[x / 8] >> (7 - x % 8)) & 1); break;
            case 4: line[x] = color((x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4)); break;
            case 8: line[x] = color(row[x]); break;
            case 16: {
                uint32_t p = uint32_t(row[2 * x]) | (uint32_t(row[2 * x + 1]) << 8);
                line[x] = qRgb(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b));
                break;
            }
            case 24: line[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            case 32: {
                const unsigned char* q = row + 4 * x;
                uint32_t p =
                    uint32_t(q[0]) | (uint32_t(q[1]) << 8) | (uint32_t(q[2]) << 16) | (uint32_t(q[3]) << 24);
                line[x] = qRgb(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b));
                break;
            }
            }
        }
    }
    return img;
}

QImage decodePackedDib(std::string_view packed, uint32_t usage)
{
    ByteReader h(packed);
    uint32_t headerSize = h.u32();
    if (!h.ok() || (headerSize != 12 && (headerSize < 40 || headerSize > packed.size())))
        return {};
    size_t colors = 0;
    if (headerSize == 12) {
        h.seek(10);
        int bitCount = h.u16();
        colors = bitCount <= 8 ? (size_t(1) << bitCount) * 3 : 0;
    } else {
        h.seek(14);
        int bitCount = h.u16();
        uint32_t compression = h.u32();
        h.seek(32);
        uint32_t used = h.u32();
        size_t entrySize = usage == 1 ? 2 : 4;
        if (bitCount <= 8 && bitCount > 0) {
            size_t max = size_t(1) << bitCount;
            colors = (used == 0 || used > max ? max : used) * entrySize;
        } else if (used <= 65536) {
            colors = size_t(used) * entrySize; // an optional table on deep bitmaps
        }
        if (compression == 3 && headerSize == 40)
            colors += 12;
    }
    if (!h.ok())
        return {};
    size_t infoSize = headerSize + colors;
    if (infoSize > packed.size())
        return {};
    return decodeDib(packed.substr(0, infoSize), packed.substr(infoSize), usage);
}

} // namespace dorvin::mf
