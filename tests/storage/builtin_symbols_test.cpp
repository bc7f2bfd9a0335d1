// The 88 built-in symbol pictures: well-formed enhanced metafiles of the stated frames,
// drawn only with lines and Bezier curves, repeated exactly where the type table says.
#include "storage/builtin/builtin_packets.h"
#include "storage/packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace dorvin;

namespace {

std::uint32_t u32(const std::string& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
std::int32_t i32(const std::string& b, std::size_t at)
{
    return static_cast<std::int32_t>(u32(b, at));
}

struct Walk {
    std::vector<std::uint32_t> types;
    int pens = 0;
    int brushes = 0;
    int drawings = 0;
    std::string problem;
};

// Walks the records, checking every size against the bytes.
Walk walk(const std::string& b)
{
    Walk w;
    std::size_t at = 0;
    while (at < b.size()) {
        if (b.size() - at < 8) {
            w.problem = "truncated record";
            return w;
        }
        const std::uint32_t type = u32(b, at), size = u32(b, at + 4);
        if (size < 8 || size % 4 != 0 || size > b.size() - at) {
            w.problem = "bad record size";
            return w;
        }
        w.types.push_back(type);
        switch (type) {
        case 38: ++w.pens; break;
        case 39: ++w.brushes; break;
        case 27:
        case 54: ++w.drawings; break;
        case 2:
        case 5:
        case 85:
        case 88: {
            ++w.drawings;
            const std::uint32_t n = u32(b, at + 24);
            const bool sixteen = type == 85 || type == 88;
            if (28 + n * (sixteen ? 4u : 8u) != size)
                w.problem = "point count disagrees with the size";
            const bool standalone = type == 2 || type == 85;
            if (n == 0 || (standalone ? (n - 1) % 3 : n % 3) != 0)
                w.problem = "not whole Bezier segments";
            break;
        }
        default: break;
        }
        at += size;
    }
    return w;
}

struct Symbols {
    std::map<int, std::array<std::string, 8>> byType;
};

const Symbols& symbols()
{
    static const Symbols s = [] {
        Symbols out;
        const Packet p = readPacket(builtin::groupsPacket());
        for (const auto& r : p.rows) {
            auto& pics = out.byType[static_cast<int>(std::get<std::int64_t>(r.values[0]))];
            for (int k = 0; k < 8; ++k)
                pics[k] = std::get<std::string>(r.values[2 + k]);
        }
        return out;
    }();
    return s;
}

} // namespace

TEST(BuiltinSymbols, EveryPictureIsAWellFormedMetafileOfItsFrame)
{
    ASSERT_EQ(symbols().byType.size(), 11u);
    for (const auto& [group, pics] : symbols().byType) {
        for (int k = 0; k < 8; ++k) {
            SCOPED_TRACE("type " + std::to_string(group) + " B" + std::to_string(k + 1));
            const std::string& b = pics[k];
            ASSERT_GE(b.size(), 108u);
            EXPECT_EQ(u32(b, 0), 1u);
            EXPECT_EQ(u32(b, 40), 0x464D4520u); // " EMF"
            EXPECT_EQ(u32(b, 48), b.size());

            // The declared size is right - left and bottom - top of the frame.
            const bool tall = group >= 5 && group <= 9 && k % 2 == 0;
            const bool wide = group >= 5 && group <= 9 && k % 2 == 1;
            const int frameW = wide ? 2000 : 1000, frameH = tall ? 2000 : 1000;
            EXPECT_EQ(i32(b, 24), 0);
            EXPECT_EQ(i32(b, 28), 0);
            EXPECT_EQ(i32(b, 32) - i32(b, 24), frameW);
            EXPECT_EQ(i32(b, 36) - i32(b, 28), frameH);

            // reference device: 1024 x 768 pixels, 270 x 203 mm
            EXPECT_EQ(u32(b, 72), 1024u);
            EXPECT_EQ(u32(b, 76), 768u);
            EXPECT_EQ(u32(b, 80), 270u);
            EXPECT_EQ(u32(b, 84), 203u);

            // bounds in device pixels, inside the frame
            const int l = i32(b, 8), t = i32(b, 12), r = i32(b, 16), btm = i32(b, 20);
            EXPECT_LE(0, l);
            EXPECT_LE(l, r);
            EXPECT_LE(0, t);
            EXPECT_LE(t, btm);
            EXPECT_LT(r, frameW * 1024 / 27000 + 1);
            EXPECT_LT(btm, frameH * 768 / 20300 + 1);

            const Walk w = walk(b);
            ASSERT_EQ(w.problem, "");
            EXPECT_EQ(u32(b, 52), w.types.size()) << "record count";
            EXPECT_EQ(w.pens, 1);
            EXPECT_LE(w.brushes, 1);
            EXPECT_EQ(u32(b, 56) & 0xFFFF, 1u + w.pens + w.brushes) << "handle count";
            EXPECT_GT(w.drawings, 1);
            ASSERT_GE(w.types.size(), 6u);
            EXPECT_EQ(w.types[1], 17u);     // SETMAPMODE
            EXPECT_EQ(u32(b, 108 + 8), 7u); // isotropic
            EXPECT_EQ(w.types[2], 9u);      // SETWINDOWEXTEX 253 x 254
            EXPECT_EQ(u32(b, 120 + 8), 253u);
            EXPECT_EQ(u32(b, 120 + 12), 254u);
            EXPECT_EQ(w.types[3], 11u); // SETVIEWPORTEXTEX 96 x 96
            EXPECT_EQ(u32(b, 136 + 8), 96u);
            EXPECT_EQ(u32(b, 136 + 12), 96u);
            EXPECT_EQ(w.types.back(), 14u); // EOF
            for (std::size_t i = 1; i + 1 < w.types.size(); ++i) {
                const std::uint32_t t = w.types[i];
                EXPECT_TRUE(t == 17 || t == 9 || t == 11 || t == 38 || t == 39 || t == 37 || t == 27
                            || t == 54 || t == 2 || t == 5 || t == 85 || t == 88)
                    << "record type " << t << " is not a line, a curve or the set-up";
            }
        }
    }
}

TEST(BuiltinSymbols, SixtySixPicturesCreateABrush)
{
    int withBrush = 0;
    for (const auto& [group, pics] : symbols().byType)
        for (const auto& b : pics)
            withBrush += walk(b).brushes;
    EXPECT_EQ(withBrush, 66);
}

TEST(BuiltinSymbols, RepetitionsFollowTheTypeTable)
{
    // Equal letters mark equal pictures, different letters different ones.
    const std::map<int, std::string> pattern{
        {1, "ABCDABCD"}, {2, "ABCDABCD"},  {3, "ABCDEFGH"},  {4, "ABABABAB"},
        {5, "ABCDABCD"}, {6, "ABCDABCD"},  {7, "ABCDEFGH"},  {8, "ABCDEFGH"},
        {9, "ABCDEBCD"}, {10, "ABCDABCD"}, {11, "ABBCABAB"},
    };
    for (const auto& [group, pics] : symbols().byType) {
        const std::string& want = pattern.at(group);
        for (int i = 0; i < 8; ++i)
            for (int j = i + 1; j < 8; ++j)
                EXPECT_EQ(pics[i] == pics[j], want[i] == want[j])
                    << "type " << group << ": B" << i + 1 << " and B" << j + 1;
    }
}
