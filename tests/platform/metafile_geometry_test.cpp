// Drawing records with geometry the paint engine must never see: degenerate, enormous
// or not finite. Each bad record is followed by a small black square; the picture
// plays on, the square shows, and what the bad record draws is either nothing or the
// visible part of what it describes.
#include "metafile/metafile_player.h"
#include "metafile_builder.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

using namespace dorvin;
using namespace dorvin::test;

namespace {

enum : uint32_t {
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYPOLYGON = 8,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSH = 39,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_LINETO = 54,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_FILLPATH = 62,
    EMR_STROKEPATH = 64,
    EMR_SELECTCLIPPATH = 67,
    EMR_FILLRGN = 71,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_EXTTEXTOUTW = 84,
    EMR_CREATEDIBPATTERNBRUSHPT = 94
};
constexpr int32_t kBig = 2000000000;
constexpr QRgb kRed = qRgb(255, 0, 0), kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255);

uint32_t floatBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

std::string xform(std::initializer_list<float> m)
{
    std::string s;
    for (float f : m)
        put32(s, floatBits(f));
    return s;
}

std::string points32(std::initializer_list<int32_t> xy)
{
    std::string s(16, '\0');
    put32(s, uint32_t(xy.size() / 2));
    for (int32_t v : xy)
        put32(s, uint32_t(v));
    return s;
}

std::string region(const std::vector<std::array<int32_t, 4>>& rects, std::array<int32_t, 4> bounds)
{
    std::string s;
    put32(s, 32);
    put32(s, 1);
    put32(s, uint32_t(rects.size()));
    put32(s, uint32_t(rects.size() * 16));
    for (int32_t v : bounds)
        put32(s, uint32_t(v));
    for (const auto& r : rects)
        for (int32_t v : r)
            put32(s, uint32_t(v));
    return s;
}

std::string selectClipRegion(const std::string& rgn, uint32_t mode)
{
    std::string s;
    put32(s, uint32_t(rgn.size()));
    put32(s, mode);
    return s + rgn;
}

std::string textW(int32_t x, int32_t y, const std::string& utf16Text, const std::vector<int32_t>& dx)
{
    const uint32_t chars = uint32_t(utf16Text.size() / 2);
    std::string t(16, '\0');
    put32(t, 1);
    put32(t, 0);
    put32(t, 0);
    put32(t, uint32_t(x));
    put32(t, uint32_t(y));
    put32(t, chars);
    put32(t, 76); // string offset
    put32(t, 0);  // options
    t += std::string(16, '\0');
    put32(t, dx.empty() ? 0 : uint32_t(76 + utf16Text.size() + (utf16Text.size() % 4)));
    t += utf16Text;
    t.resize(t.size() + utf16Text.size() % 4, '\0');
    for (int32_t d : dx)
        put32(t, uint32_t(d));
    return t;
}

// A red brush and a red pen for the bad record; the black square after it.
EmfBuilder start()
{
    EmfBuilder b;
    b.rec(EMR_CREATEBRUSH, {1, 0, int32_t(rgb(255, 0, 0)), 0}).rec(EMR_SELECTOBJECT, {1});
    b.rec(EMR_CREATEPEN, {2, 0, 3, 0, int32_t(rgb(255, 0, 0))}).rec(EMR_SELECTOBJECT, {2});
    return b;
}

std::string finish(EmfBuilder& b)
{
    b.rec(EMR_MODIFYWORLDTRANSFORM, {0, 0, 0, 0, 0, 0, 1});
    b.rec(EMR_CREATEBRUSH, {3, 0, 0, 0})
        .rec(EMR_SELECTOBJECT, {3})
        .rec(EMR_SELECTOBJECT, {int32_t(0x80000008u)});
    b.rec(EMR_RECTANGLE, {40, 40, 60, 60});
    return b.build();
}

QImage renderAt(const std::string& bytes, int size)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawMetafile(p, Metafile::fromBytes(bytes), QRectF(0, 0, size, size));
    return img;
}

QRgb at(const QImage& img, double fx, double fy)
{
    const double s = img.width() / 100.0;
    return img.pixel(int(fx * s), int(fy * s));
}

struct Case {
    const char* name;
    std::function<void(EmfBuilder&)> bad;
    QRgb corner; // what the frame's corner shows afterwards
    bool squareShows = true;
};

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

const Case kCases[] = {
    {"huge ellipse",
     [](EmfBuilder& b) {
         b.rec(EMR_ELLIPSE, {-kBig, -kBig, kBig, kBig});
     },
     kWhite},
    {"huge round rectangle",
     [](EmfBuilder& b) {
         b.rec(EMR_ROUNDRECT, {-kBig, -kBig, kBig, kBig, 10, 10});
     },
     kWhite},
    {"huge arc",
     [](EmfBuilder& b) {
         b.rec(EMR_ARC, {-kBig, -kBig, kBig, kBig, kBig, 0, 0, kBig});
     },
     kWhite},
    {"huge pie",
     [](EmfBuilder& b) {
         b.rec(EMR_PIE, {-kBig, -kBig, kBig, kBig, kBig, 0, 0, kBig});
     },
     kWhite},
    {"huge chord",
     [](EmfBuilder& b) {
         b.rec(EMR_CHORD, {-kBig, -kBig, kBig, kBig, kBig, 0, 0, kBig});
     },
     kWhite},
    {"flat pie",
     [](EmfBuilder& b) {
         b.rec(EMR_PIE, {0, 0, 0, 100, 0, 0, 0, 100});
     },
     kWhite},
    // Ends that meet (here at the centre) make the whole ellipse.
    {"chord with its ends at the centre",
     [](EmfBuilder& b) {
         b.rec(EMR_CHORD, {10, 10, 30, 30, 20, 20, 20, 20});
     },
     kWhite},
    {"polygon with a far point",
     [](EmfBuilder& b) {
         b.raw(EMR_POLYGON, points32({0, 0, kBig, 0, 0, kBig}));
     },
     kWhite},
    {"polyline with a far point",
     [](EmfBuilder& b) {
         b.raw(EMR_POLYLINE, points32({-kBig, 5, kBig, 5, 5, kBig}));
     },
     kWhite},
    {"line to a far point",
     [](EmfBuilder& b) {
         b.rec(EMR_MOVETOEX, {1, 1}).rec(EMR_LINETO, {-kBig, kBig});
     },
     kWhite},
    {"angle arc of a huge radius",
     [](EmfBuilder& b) {
         b.rec(EMR_ANGLEARC, {0, 0, kBig, int32_t(floatBits(0)), int32_t(floatBits(360))});
     },
     kWhite},
    {"angle arc of no finite sweep",
     [](EmfBuilder& b) {
         b.rec(EMR_ANGLEARC, {5, 5, 4, int32_t(floatBits(kNan)), int32_t(floatBits(kInf))});
     },
     kWhite},
    {"path to a far point",
     [](EmfBuilder& b) {
         b.rec(EMR_BEGINPATH, {})
             .rec(EMR_MOVETOEX, {0, 0})
             .rec(EMR_LINETO, {kBig, kBig})
             .rec(EMR_LINETO, {0, kBig});
         b.rec(EMR_ENDPATH, {}).rec(EMR_FILLPATH, {0, 0, 0, 0});
     },
     kWhite},
    {"world transform that is not finite",
     [](EmfBuilder& b) {
         b.raw(EMR_SETWORLDTRANSFORM, xform({kNan, 0, 0, kInf, 0, 0}));
         b.rec(EMR_RECTANGLE, {0, 0, 10, 10});
     },
     kRed},
    {"world transform of an enormous scale",
     [](EmfBuilder& b) {
         b.raw(EMR_SETWORLDTRANSFORM, xform({1e11f, 0, 0, 1e11f, 0, 0}));
         b.rec(EMR_ELLIPSE, {0, 0, 10, 10}).raw(EMR_POLYLINE, points32({1, 1, 2, 2, 3, 1}));
     },
     kWhite},
    {"text far away",
     [](EmfBuilder& b) {
         b.raw(EMR_EXTTEXTOUTW, textW(kBig, kBig, utf16({u'A', u'B'}), {}));
     },
     kWhite},
    {"text with enormous advances",
     [](EmfBuilder& b) {
         b.raw(EMR_EXTTEXTOUTW, textW(70, 70, utf16({u'A', u'B', u'C', u'D'}), {kBig, -kBig, kBig, kBig}));
     },
     kWhite},
    // Rectangles are cut to the device rather than dropped.
    {"huge rectangle fills what is seen",
     [](EmfBuilder& b) {
         b.rec(EMR_RECTANGLE, {-kBig, -kBig, kBig, kBig});
     },
     kRed},
    {"huge rectangle with a pattern brush",
     [](EmfBuilder& b) {
         const Dib d = dib24(2, 2, {0xFF0000u, 0xFF0000u, 0xFF0000u, 0xFF0000u});
         std::string p;
         put32(p, 5);
         put32(p, 0);
         put32(p, 32);
         put32(p, uint32_t(d.info.size()));
         put32(p, uint32_t(32 + d.info.size()));
         put32(p, uint32_t(d.bits.size()));
         b.raw(EMR_CREATEDIBPATTERNBRUSHPT, p + d.info + d.bits).rec(EMR_SELECTOBJECT, {5});
         b.rec(EMR_RECTANGLE, {kBig, kBig, -kBig, -kBig});
     },
     kRed},
    {"clip to a huge rectangle changes nothing",
     [](EmfBuilder& b) {
         b.rec(EMR_INTERSECTCLIPRECT, {-kBig, -kBig, kBig, kBig});
     },
     kWhite},
    {"excluding a huge rectangle hides everything",
     [](EmfBuilder& b) {
         b.rec(EMR_EXCLUDECLIPRECT, {kBig, kBig, -kBig, -kBig});
     },
     kWhite, false},
    {"clip to a region of huge pieces",
     [](EmfBuilder& b) {
         b.raw(EMR_EXTSELECTCLIPRGN,
               selectClipRegion(region({{-kBig, -kBig, kBig, 500}}, {-kBig, -kBig, kBig, 500}), 5));
     },
     kWhite},
    {"fill of a huge region",
     [](EmfBuilder& b) {
         std::string r(16, '\0');
         const std::string rgn = region({{-kBig, -kBig, kBig, kBig}}, {-kBig, -kBig, kBig, kBig});
         put32(r, uint32_t(rgn.size()));
         put32(r, 1);
         b.raw(EMR_FILLRGN, r + rgn);
     },
     kRed},
    {"clip to a path of a far point",
     [](EmfBuilder& b) {
         b.rec(EMR_BEGINPATH, {})
             .rec(EMR_MOVETOEX, {0, 0})
             .rec(EMR_LINETO, {kBig, 0})
             .rec(EMR_LINETO, {0, kBig});
         b.rec(EMR_ENDPATH, {}).rec(EMR_SELECTCLIPPATH, {5});
     },
     kWhite},
};

} // namespace

TEST(MetafileGeometry, BadGeometryNeverReachesThePaintEngine)
{
    for (const Case& c : kCases) {
        EmfBuilder b = start();
        c.bad(b);
        const std::string bytes = finish(b);
        for (int size : {32, 2000}) {
            SCOPED_TRACE(testing::Message() << c.name << " size " << size);
            const QImage img = renderAt(bytes, size);
            EXPECT_EQ(at(img, 2, 2), c.corner);
            EXPECT_EQ(at(img, 50, 50), c.squareShows ? kBlack : c.corner);
        }
    }
}

// The clip kept from a region of too many pieces is its bounds: the upper half.
TEST(MetafileGeometry, RegionOfTooManyPiecesClipsToItsBounds)
{
    std::vector<std::array<int32_t, 4>> pieces;
    for (int i = 0; i < 5000; ++i)
        pieces.push_back({i % 100, i / 100, i % 100 + 1, i / 100 + 1});
    EmfBuilder b = start();
    b.raw(EMR_EXTSELECTCLIPRGN, selectClipRegion(region(pieces, {0, 0, 100, 50}), 5));
    b.rec(EMR_SELECTOBJECT, {int32_t(0x80000008u)}).rec(EMR_RECTANGLE, {0, 0, 100, 100});
    const QImage img = renderAt(b.build(), 100);
    EXPECT_EQ(at(img, 50, 25), kRed);
    EXPECT_EQ(at(img, 50, 75), kWhite);
}
