// Drawing hand-made metafiles into images and checking pixels.
#include "metafile/metafile_player.h"
#include "metafile_builder.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace dorvin;
using namespace dorvin::test;

namespace {

enum : uint32_t {
    POLYGON16 = 86,
    POLYLINE16 = 87,
    POLYBEZIER16 = 85,
    POLYPOLYGON16 = 91,
    SETWINDOWEXTEX = 9,
    SETWINDOWORGEX = 10,
    SETVIEWPORTEXTEX = 11,
    SETMAPMODE = 17,
    SETBKMODE = 18,
    SETPOLYFILLMODE = 19,
    SETTEXTALIGN = 22,
    SETTEXTCOLOR = 24,
    MOVETOEX = 27,
    EXCLUDECLIPRECT = 29,
    INTERSECTCLIPRECT = 30,
    SAVEDC = 33,
    RESTOREDC = 34,
    SELECTOBJECT = 37,
    CREATEPEN = 38,
    CREATEBRUSH = 39,
    DELETEOBJECT = 40,
    ELLIPSE = 42,
    RECTANGLE = 43,
    PIE = 47,
    LINETO = 54,
    BEGINPATH = 59,
    ENDPATH = 60,
    CLOSEFIGURE = 61,
    FILLPATH = 62,
    STROKEPATH = 64,
    STRETCHDIBITS = 81,
    EXTCREATEFONT = 82,
    EXTTEXTOUTW = 84,
    EXTCREATEPEN = 95
};
constexpr int32_t kNullPen = int32_t(0x80000008u);
constexpr int32_t kBlackBrush = int32_t(0x80000004u);
constexpr int32_t kNullBrush = int32_t(0x80000005u);

QImage render(const std::string& bytes, int size = 100)
{
    Metafile m = Metafile::fromBytes(bytes);
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawMetafile(p, m, QRectF(0, 0, size, size));
    return img;
}

QColor at(const QImage& img, int x, int y)
{
    return img.pixelColor(x, y);
}

bool isWhite(const QImage& img, int x, int y)
{
    return img.pixel(x, y) == qRgb(255, 255, 255);
}

int countColor(const QImage& img, const QRect& area, QRgb color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == color;
    return n;
}

int countDark(const QImage& img, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(img.pixel(x, y)) < 100;
    return n;
}

// Solid brush in slot 1 selected, no outline.
EmfBuilder& fillWith(EmfBuilder& b, uint32_t color)
{
    return b.rec(CREATEBRUSH, {1, 0, int32_t(color), 0}).rec(SELECTOBJECT, {1}).rec(SELECTOBJECT, {kNullPen});
}

std::string points16(std::initializer_list<int> xy)
{
    std::string s;
    put32(s, uint32_t(xy.size() / 2));
    for (int v : xy)
        put16(s, uint16_t(v));
    return s;
}

const std::string kBounds(16, '\0');

} // namespace

TEST(MetafileRender, RedLineWhereExpected)
{
    EmfBuilder b;
    b.rec(CREATEPEN, {1, 0, 0, 0, int32_t(rgb(255, 0, 0))}).rec(SELECTOBJECT, {1});
    b.rec(MOVETOEX, {10, 50}).rec(LINETO, {90, 50});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 20, 50), QColor(255, 0, 0));
    EXPECT_TRUE(isWhite(img, 50, 45));
    EXPECT_TRUE(isWhite(img, 5, 50));
    EXPECT_TRUE(isWhite(img, 95, 50));
}

TEST(MetafileRender, FilledRectangleWithOutline)
{
    EmfBuilder b;
    b.rec(CREATEBRUSH, {1, 0, int32_t(rgb(0, 0, 255)), 0}).rec(SELECTOBJECT, {1});
    b.rec(RECTANGLE, {20, 20, 80, 80});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(0, 0, 255));
    EXPECT_EQ(at(img, 20, 50), QColor(0, 0, 0)); // default black pen on the edge
    EXPECT_TRUE(isWhite(img, 15, 50));
    EXPECT_TRUE(isWhite(img, 85, 85));
}

TEST(MetafileRender, NullBrushAndStockObjects)
{
    EmfBuilder b;
    b.rec(SELECTOBJECT, {kNullBrush}).rec(RECTANGLE, {10, 10, 40, 40});
    b.rec(SELECTOBJECT, {kBlackBrush}).rec(SELECTOBJECT, {kNullPen}).rec(RECTANGLE, {60, 60, 90, 90});
    QImage img = render(b.build());
    EXPECT_TRUE(isWhite(img, 25, 25));
    EXPECT_EQ(at(img, 10, 25), QColor(0, 0, 0));
    EXPECT_EQ(at(img, 75, 75), QColor(0, 0, 0));
}

TEST(MetafileRender, AnisotropicMappingScales)
{
    EmfBuilder b;
    b.rec(SETMAPMODE, {8})
        .rec(SETWINDOWORGEX, {-5, -5})
        .rec(SETWINDOWEXTEX, {10, 10})
        .rec(SETVIEWPORTEXTEX, {100, 100});
    fillWith(b, rgb(0, 128, 0)).rec(RECTANGLE, {-3, -3, 3, 3});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(0, 128, 0));
    EXPECT_EQ(at(img, 25, 25), QColor(0, 128, 0));
    EXPECT_TRUE(isWhite(img, 15, 15));
    EXPECT_TRUE(isWhite(img, 85, 50));
}

TEST(MetafileRender, IsotropicMappingKeepsTheAspect)
{
    EmfBuilder b;
    b.rec(SETMAPMODE, {7}).rec(SETWINDOWEXTEX, {10, 20}).rec(SETVIEWPORTEXTEX, {100, 100});
    fillWith(b, rgb(0, 128, 0)).rec(RECTANGLE, {0, 0, 10, 10}); // 5 pixels a unit both ways
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 45, 45), QColor(0, 128, 0));
    EXPECT_TRUE(isWhite(img, 45, 55));
    EXPECT_TRUE(isWhite(img, 55, 45));
}

TEST(MetafileRender, MetricMappingHasYUpwards)
{
    // 10 device pixels a millimetre: a tenth of a millimetre is one pixel.
    EmfBuilder b;
    b.rec(SETMAPMODE, {2});
    fillWith(b, rgb(200, 0, 0)).rec(RECTANGLE, {10, -10, 50, -30});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 30, 20), QColor(200, 0, 0));
    EXPECT_TRUE(isWhite(img, 30, 40));
    EXPECT_TRUE(isWhite(img, 30, 5));
}

TEST(MetafileRender, PathFillAndPolygonFillModes)
{
    EmfBuilder b;
    fillWith(b, rgb(0, 160, 0));
    b.rec(BEGINPATH, {}).rec(MOVETOEX, {10, 10}).rec(LINETO, {40, 10}).rec(LINETO, {40, 40});
    b.rec(LINETO, {10, 40}).rec(CLOSEFIGURE, {}).rec(ENDPATH, {}).rec(FILLPATH, {0, 0, 0, 0});
    // Two overlapping squares, alternate then winding.
    std::string pp;
    pp += kBounds;
    put32(pp, 2);
    put32(pp, 8);
    put32(pp, 4);
    put32(pp, 4);
    for (int v : {50, 50, 80, 50, 80, 80, 50, 80, 60, 60, 90, 60, 90, 90, 60, 90})
        put16(pp, uint16_t(v));
    b.raw(POLYPOLYGON16, pp);
    b.rec(SETPOLYFILLMODE, {2}).rec(MOVETOEX, {0, 0});
    std::string moved;
    moved += kBounds;
    put32(moved, 2);
    put32(moved, 8);
    put32(moved, 4);
    put32(moved, 4);
    for (int v : {5, 55, 30, 55, 30, 80, 5, 80, 10, 60, 35, 60, 35, 85, 10, 85})
        put16(moved, uint16_t(v));
    b.raw(POLYPOLYGON16, moved);
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 25, 25), QColor(0, 160, 0));
    EXPECT_TRUE(isWhite(img, 45, 25));
    EXPECT_EQ(at(img, 55, 55), QColor(0, 160, 0));
    EXPECT_TRUE(isWhite(img, 70, 70)); // overlap left open by the alternate rule
    EXPECT_EQ(at(img, 85, 85), QColor(0, 160, 0));
    EXPECT_EQ(at(img, 20, 70), QColor(0, 160, 0)); // overlap filled by the winding rule
}

TEST(MetafileRender, StrokedPathUsesThePen)
{
    EmfBuilder b;
    b.rec(CREATEPEN, {1, 0, 0, 0, int32_t(rgb(255, 0, 0))}).rec(SELECTOBJECT, {1});
    b.rec(BEGINPATH, {}).rec(MOVETOEX, {10, 30}).rec(LINETO, {90, 30}).rec(ENDPATH, {});
    QImage before = render(b.build());
    EXPECT_TRUE(isWhite(before, 50, 30)); // a path draws nothing until it is used
    b.rec(STROKEPATH, {0, 0, 0, 0});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 30), QColor(255, 0, 0));
}

TEST(MetafileRender, EllipseAndPie)
{
    EmfBuilder b;
    fillWith(b, rgb(0, 0, 200)).rec(ELLIPSE, {0, 0, 50, 50});
    // Pie from angle 0 to 90 degrees, counter-clockwise: the upper right quarter.
    b.rec(PIE, {50, 50, 100, 100, 100, 75, 75, 50});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 25, 25), QColor(0, 0, 200));
    EXPECT_TRUE(isWhite(img, 3, 3));
    EXPECT_EQ(at(img, 85, 62), QColor(0, 0, 200));
    EXPECT_TRUE(isWhite(img, 62, 88));
    EXPECT_TRUE(isWhite(img, 62, 62));
}

TEST(MetafileRender, IntersectAndExcludeClip)
{
    EmfBuilder b;
    b.rec(INTERSECTCLIPRECT, {0, 0, 50, 100}).rec(EXCLUDECLIPRECT, {10, 10, 20, 20});
    fillWith(b, rgb(0, 0, 0)).rec(RECTANGLE, {0, 0, 100, 100});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 25, 50), QColor(0, 0, 0));
    EXPECT_TRUE(isWhite(img, 75, 50));
    EXPECT_TRUE(isWhite(img, 15, 15));
}

TEST(MetafileRender, RestoreDcBringsBackTheBrushAndClip)
{
    EmfBuilder b;
    b.rec(CREATEBRUSH, {1, 0, int32_t(rgb(255, 0, 0)), 0})
        .rec(CREATEBRUSH, {2, 0, int32_t(rgb(0, 0, 255)), 0});
    b.rec(SELECTOBJECT, {1}).rec(SELECTOBJECT, {kNullPen}).rec(SAVEDC, {});
    b.rec(SELECTOBJECT, {2}).rec(INTERSECTCLIPRECT, {0, 0, 10, 10}).rec(RESTOREDC, {-1});
    b.rec(RECTANGLE, {20, 20, 80, 80});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(255, 0, 0));
}

TEST(MetafileRender, DeletedObjectKeepsDrawingWhileSelected)
{
    EmfBuilder b;
    fillWith(b, rgb(255, 0, 0)).rec(DELETEOBJECT, {1}).rec(RECTANGLE, {20, 20, 80, 80});
    b.rec(SELECTOBJECT, {1}); // gone: the red brush stays
    b.rec(RECTANGLE, {0, 0, 10, 10});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 5, 5), QColor(255, 0, 0));
}

TEST(MetafileRender, ThinPenStaysOnePixelWhenScaledDown)
{
    EmfBuilder b;
    b.rec(SETMAPMODE, {8}).rec(SETWINDOWEXTEX, {1000, 1000}).rec(SETVIEWPORTEXTEX, {100, 100});
    b.rec(CREATEPEN, {1, 0, 1, 0, 0}).rec(SELECTOBJECT, {1});
    b.rec(MOVETOEX, {100, 500}).rec(LINETO, {900, 500});
    QImage img = render(b.build());
    EXPECT_GT(countDark(img, QRect(10, 48, 80, 5)), 70);
}

TEST(MetafileRender, WidePenAndUserStyle)
{
    EmfBuilder b;
    std::string pen;
    put32(pen, 1);
    for (int i = 0; i < 4; ++i)
        put32(pen, 0);
    put32(pen, 0x10000 | 0x200); // geometric, flat caps, solid
    put32(pen, 10);
    put32(pen, 0);
    put32(pen, rgb(0, 0, 0));
    put32(pen, 0);
    put32(pen, 0);
    b.raw(EXTCREATEPEN, pen).rec(SELECTOBJECT, {1}).rec(MOVETOEX, {20, 50}).rec(LINETO, {80, 50});
    QImage img = render(b.build());
    EXPECT_EQ(countDark(img, QRect(50, 40, 1, 20)), 10);
    EXPECT_TRUE(isWhite(img, 17, 50)); // flat caps end at the points
}

TEST(MetafileRender, BezierAndPolyline16)
{
    EmfBuilder b;
    b.raw(POLYLINE16, kBounds + points16({10, 10, 90, 10, 90, 20}));
    b.raw(POLYBEZIER16, kBounds + points16({10, 90, 10, 50, 90, 50, 90, 90}));
    QImage img = render(b.build());
    EXPECT_EQ(countDark(img, QRect(10, 10, 81, 1)), 81);
    EXPECT_EQ(at(img, 90, 15), QColor(0, 0, 0));
    // The curve's top is at y = 60 in the middle.
    EXPECT_GT(countDark(img, QRect(45, 58, 10, 5)), 0);
    EXPECT_EQ(countDark(img, QRect(30, 30, 40, 20)), 0);
}

TEST(MetafileRender, TextDrawsSomethingDarkWhereExpected)
{
    std::string font;
    put32(font, 1);
    put32(font, uint32_t(-30));
    for (int i = 0; i < 3; ++i)
        put32(font, 0);
    put32(font, 700);
    put32(font, 0x01000000u); // character set 1
    put32(font, 0);
    std::string face = utf16({u'D', u'e', u'j', u'a', u'V', u'u', u' ', u'S', u'a', u'n', u's'});
    face.resize(64, '\0');
    font += face;

    std::string text;
    text += kBounds;
    put32(text, 1);
    put32(text, 0);
    put32(text, 0);
    put32(text, 20); // reference point
    put32(text, 20);
    put32(text, 2);  // characters
    put32(text, 76); // string offset
    put32(text, 0);
    text += kBounds;
    put32(text, 0);
    text += utf16({u'\u0428', u'W'});

    EmfBuilder b;
    b.raw(EXTCREATEFONT, font).rec(SELECTOBJECT, {1}).rec(SETBKMODE, {1}).rec(SETTEXTCOLOR, {0});
    b.raw(EXTTEXTOUTW, text);
    QImage img = render(b.build());
    EXPECT_GT(countDark(img, QRect(20, 20, 45, 30)), 40);
    EXPECT_EQ(countDark(img, QRect(0, 0, 100, 18)), 0);
    EXPECT_EQ(countDark(img, QRect(0, 60, 100, 40)), 0);
    EXPECT_EQ(countDark(img, QRect(0, 0, 18, 100)), 0);

    // Bottom-aligned, the same text sits above the reference point.
    EmfBuilder below;
    below.raw(EXTCREATEFONT, font).rec(SELECTOBJECT, {1}).rec(SETBKMODE, {1}).rec(SETTEXTALIGN, {8});
    std::string lower = text;
    set32(lower, 32, 80); // reference y
    below.raw(EXTTEXTOUTW, lower);
    QImage img2 = render(below.build());
    EXPECT_GT(countDark(img2, QRect(20, 45, 45, 35)), 40);
    EXPECT_EQ(countDark(img2, QRect(0, 81, 100, 19)), 0);
}

TEST(MetafileRender, StretchDibitsBottomUpRows)
{
    std::string bmi;
    put32(bmi, 40);
    put32(bmi, 2);
    put32(bmi, 2);
    put16(bmi, 1);
    put16(bmi, 24);
    for (int i = 0; i < 6; ++i)
        put32(bmi, 0);
    std::string bits;
    // Bottom row first: red, green; then blue, black. Blue-green-red byte order.
    bits += std::string("\x00\x00\xFF\x00\xFF\x00", 6) + std::string(2, '\0');
    bits += std::string("\xFF\x00\x00\x00\x00\x00", 6) + std::string(2, '\0');
    std::string rec;
    rec += kBounds;
    for (int v : {0, 0, 0, 0, 2, 2})
        put32(rec, uint32_t(v));
    put32(rec, 80);
    put32(rec, 40);
    put32(rec, 120);
    put32(rec, 16);
    put32(rec, 0);
    put32(rec, 0x00CC0020);
    put32(rec, 100);
    put32(rec, 100);
    rec += bmi + bits;
    QImage img = render(EmfBuilder().raw(STRETCHDIBITS, rec).build());
    EXPECT_EQ(at(img, 25, 25), QColor(0, 0, 255));
    EXPECT_EQ(at(img, 75, 25), QColor(0, 0, 0));
    EXPECT_EQ(at(img, 25, 75), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 75, 75), QColor(0, 255, 0));

    // Bits shorter than the header promises: nothing is drawn.
    std::string shortRec = rec;
    set32(shortRec, 52, 8); // size of the bits
    QImage none = render(EmfBuilder().raw(STRETCHDIBITS, shortRec).build());
    EXPECT_EQ(countColor(none, none.rect(), qRgb(255, 255, 255)), 100 * 100);
}

TEST(MetafileRender, LyingRecordIsSkippedAndTheRestDraws)
{
    std::string lie = kBounds;
    put32(lie, 0x40000000u); // a billion points in a short record
    put32(lie, 0);
    EmfBuilder b;
    b.raw(POLYLINE16, lie).raw(POLYPOLYGON16, kBounds + std::string("\xFF\xFF\xFF\x0F\x01\x00\x00\x00", 8));
    fillWith(b, rgb(0, 0, 0)).rec(RECTANGLE, {40, 40, 60, 60});
    QImage img = render(b.build());
    EXPECT_EQ(at(img, 50, 50), QColor(0, 0, 0));
    EXPECT_TRUE(isWhite(img, 20, 20));
}

TEST(MetafileRender, ZeroSizedRecordEndsThePicture)
{
    EmfBuilder b;
    b.bytes(std::string("\x2B\x00\x00\x00\x00\x00\x00\x00", 8)); // rectangle of size 0
    fillWith(b, rgb(0, 0, 0)).rec(RECTANGLE, {0, 0, 100, 100});
    QImage img = render(b.build());
    EXPECT_EQ(countColor(img, img.rect(), qRgb(255, 255, 255)), 100 * 100);
}

TEST(MetafileRender, WmfWindowMapsOntoTheTarget)
{
    WmfBuilder w(0, 0, 1000, 1000, 1000);
    w.rec(0x020B, {0, 0}).rec(0x020C, {200, 200});          // window 200 x 200
    w.rec(0x02FC, {0, 0x00FF, 0x0000, 0}).rec(0x012D, {0}); // red brush
    w.rec(0x02FA, {5, 0, 0, 0, 0}).rec(0x012D, {1});        // null pen
    w.rec(0x041B, {150, 150, 50, 50});                      // bottom, right, top, left
    QImage img = render(w.build());
    EXPECT_EQ(at(img, 50, 50), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 26, 26), QColor(255, 0, 0));
    EXPECT_TRUE(isWhite(img, 23, 23));
    EXPECT_TRUE(isWhite(img, 77, 50));
}

TEST(MetafileRender, WmfReusesTheLowestFreeObjectSlot)
{
    WmfBuilder w(0, 0, 100, 100, 96);
    w.rec(0x02FA, {5, 0, 0, 0, 0});        // slot 0: null pen
    w.rec(0x02FC, {0, 0xFF00, 0x0000, 0}); // slot 1: green brush
    w.rec(0x02FC, {0, 0x0000, 0x00FF, 0}); // slot 2: blue brush
    w.rec(0x01F0, {1});                    // frees slot 1
    w.rec(0x02FC, {0, 0x00FF, 0x0000, 0}); // red brush takes slot 1
    w.rec(0x012D, {0}).rec(0x012D, {1});
    w.rec(0x041B, {80, 80, 20, 20});
    w.rec(0x012D, {2}).rec(0x041B, {10, 10, 0, 0});
    QImage img = render(w.build());
    EXPECT_EQ(at(img, 50, 50), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 5, 5), QColor(0, 0, 255));
}

TEST(MetafileRender, WmfPolygonAndText)
{
    WmfBuilder w(0, 0, 100, 100, 96);
    w.rec(0x02FC, {0, 0, 0, 0}).rec(0x012D, {0});
    w.rec(0x0324, {3, 10, 90, 50, 10, 90, 90});
    QImage img = render(w.build());
    EXPECT_EQ(at(img, 50, 60), QColor(0, 0, 0));
    EXPECT_TRUE(isWhite(img, 15, 20));

    WmfBuilder t(0, 0, 100, 100, 96);
    std::string font;
    for (int v : {-24, 0, 0, 0, 400})
        put16(font, uint16_t(v));
    font += std::string("\x00\x00\x00\xCC\x00\x00\x00\x00", 8); // Cyrillic character set
    font += "DejaVu Sans";
    font += std::string(32 - 11, '\0');
    t.raw(0x02FB, font).rec(0x012D, {0}).rec(0x0102, {1});
    std::string textOut;
    put16(textOut, 2);
    textOut += "\xD8\xC6"; // two Cyrillic capitals in Windows-1251
    put16(textOut, 30);    // y
    put16(textOut, 30);    // x
    t.raw(0x0521, textOut);
    QImage text = render(t.build());
    EXPECT_GT(countDark(text, QRect(30, 30, 40, 25)), 30);
    EXPECT_EQ(countDark(text, QRect(0, 0, 100, 28)), 0);
}

TEST(MetafileRender, WmfRecordBeyondTheDataEndsThePicture)
{
    WmfBuilder w(0, 0, 100, 100, 96);
    w.rec(0x02FC, {0, 0, 0, 0}).rec(0x012D, {0});
    w.bytes(std::string("\xFF\xFF\x00\x00\x1B\x04", 6)); // 65535 words
    w.rec(0x041B, {100, 100, 0, 0});
    QImage img = render(w.build());
    EXPECT_EQ(countColor(img, img.rect(), qRgb(255, 255, 255)), 100 * 100);
}

TEST(MetafileRender, RenderSymbolCentresOnWhite)
{
    EmfBuilder b(1000, 1000);
    fillWith(b, rgb(0, 0, 0)).rec(RECTANGLE, {0, 0, 100, 100});
    QImage img = renderSymbol(Metafile::fromBytes(b.build()), 88);
    ASSERT_EQ(img.size(), QSize(88, 88));
    // 1000 x 1000 is 38 pixels at natural size, centred.
    EXPECT_EQ(countColor(img, QRect(25, 25, 38, 38), qRgb(0, 0, 0)), 38 * 38);
    EXPECT_TRUE(isWhite(img, 24, 44));
    EXPECT_TRUE(isWhite(img, 63, 44));
    EXPECT_TRUE(isWhite(img, 44, 63));
}

TEST(MetafileRender, SymbolFilesFromDisk)
{
    const std::string dir = std::string(DORVIN_TEST_DATA) + "/metafiles/";
    Metafile amplifier = Metafile::loadFile(dir + "amplifier.emf");
    EXPECT_EQ(amplifier.form(), Metafile::Form::Emf);
    EXPECT_EQ(amplifier.width(), 1000);
    EXPECT_EQ(amplifier.height(), 1000);
    QImage a = renderSymbol(amplifier, 88);
    // The input lead runs down the middle of the 38-pixel picture from its top edge.
    EXPECT_GT(countDark(a, QRect(43, 25, 3, 8)), 6);
    EXPECT_EQ(countDark(a, QRect(0, 0, 88, 24)), 0);
    EXPECT_EQ(countDark(a, QRect(0, 64, 88, 24)), 0);

    Metafile tap = Metafile::loadFile(dir + "tap.wmf");
    EXPECT_EQ(tap.form(), Metafile::Form::Wmf);
    EXPECT_EQ(tap.width(), 1764); // 1000 units at 1440 per inch
    QImage t = renderSymbol(tap, 88);
    // 67 pixels at natural size: the dark red body lies around the centre.
    EXPECT_GT(countColor(t, QRect(30, 30, 28, 28), qRgb(192, 0, 0)), 200);
    EXPECT_EQ(countDark(t, QRect(0, 0, 88, 9)), 0);
}

// Drawings converted by other programs, shown as the type pane shows them (natural size,
// centred). Each colour of the drawing lands where the drawing puts it.
TEST(MetafileRender, DrawingsMadeByOtherPrograms)
{
    const std::string dir = std::string(DORVIN_TEST_DATA) + "/metafiles/";
    for (const char* name : {"splitter-office.emf", "splitter-office.wmf"}) {
        SCOPED_TRACE(name);
        Metafile m = Metafile::loadFile(dir + name);
        EXPECT_NEAR(m.width(), 1853, 1); // the drawing's 18.5 x 14.5 mm bounding box
        EXPECT_NEAR(m.height(), 1453, 1);
        QImage img = renderSymbol(m, 88);
        // Filled triangle left of centre, green ellipse right, red curve below, dashed
        // blue lead lower right, and the black input lead and text.
        EXPECT_GT(countColor(img, QRect(29, 29, 22, 29), qRgb(255, 208, 0)), 250);
        EXPECT_GT(countColor(img, QRect(62, 38, 17, 11), qRgb(0, 128, 0)), 25);
        EXPECT_GT(countColor(img, QRect(10, 61, 34, 10), qRgb(255, 0, 0)), 35);
        EXPECT_GT(countColor(img, QRect(51, 43, 28, 16), qRgb(0, 0, 255)), 20);
        EXPECT_GT(countDark(img, QRect(9, 40, 20, 6)), 15);
        // Nothing outside the 70 x 55 pixels the picture takes at natural size.
        EXPECT_EQ(countDark(img, QRect(0, 0, 88, 15)), 0);
        EXPECT_EQ(countDark(img, QRect(0, 72, 88, 16)), 0);
    }

    Metafile coupler = Metafile::loadFile(dir + "coupler-pstoedit.emf");
    EXPECT_EQ(coupler.form(), Metafile::Form::Emf);
    EXPECT_EQ(coupler.width(), 3750);
    QImage c = renderSymbol(coupler, 88); // over 2000 wide: fitted to the box
    EXPECT_GT(countColor(c, QRect(30, 27, 28, 28), qRgb(204, 230, 255)), 500); // the circle's fill
    EXPECT_GT(countColor(c, QRect(59, 11, 14, 5), qRgb(255, 0, 0)), 15);       // the red arc
    EXPECT_GE(countDark(c, QRect(0, 40, 10, 4)), 10); // the lead enters at the left edge
    EXPECT_GE(countDark(c, QRect(80, 40, 8, 4)), 8);  // and leaves at the right
}
