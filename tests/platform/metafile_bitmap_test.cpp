// Bitmap records of both metafile forms under every mapping mode, with destination
// extents of both signs, drawn at symbol size and at a large size. Each picture is a
// bitmap of four coloured quarters, so the checks see where it lands and whether it
// is mirrored: the source's upper left corner goes to the destination's (x, y)
// corner, so an extent whose sign runs against the device axis mirrors the picture,
// and a bottom-up bitmap drawn with a negative height under a y-up mode is upright.
#include "metafile/metafile_player.h"
#include "metafile_builder.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <functional>

using namespace dorvin;
using namespace dorvin::test;

namespace {

enum : uint32_t {
    EMR_SETVIEWPORTORGEX = 12,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETMAPMODE = 17,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81
};
enum : uint16_t {
    META_SETMAPMODE = 0x0103,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
    META_SETDIBTODEV = 0x0D33,
    META_BITBLT = 0x0922,
    META_STRETCHBLT = 0x0B23
};

constexpr QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
               kYellow = qRgb(255, 255, 0), kWhite = qRgb(255, 255, 255);

// A mapping in which logical (0, 0) lands at (10, 10) of the 100 x 100 frame, and a
// logical unit is sx by sy frame pixels (negative sy: y points up).
struct Mapping {
    const char* name;
    int mode;
    double sx, sy;
};

const Mapping kMappings[] = {
    {"MM_TEXT", 1, 1, 1},
    {"MM_LOMETRIC", 2, 1, -1},
    {"MM_HIMETRIC", 3, 0.1, -0.1},
    {"MM_LOENGLISH", 4, 2.54, -2.54},
    {"MM_HIENGLISH", 5, 0.254, -0.254},
    {"MM_TWIPS", 6, 254.0 / 1440, -254.0 / 1440},
    {"MM_ISOTROPIC", 7, 0.1, -0.1},
    {"MM_ANISOTROPIC", 8, 0.1, 0.2},
};

// The enhanced metafile's reference device has 10 pixels a millimetre, so the fixed
// modes have the scales above; the scaled ones get their window and viewport here.
EmfBuilder emfWith(const Mapping& m)
{
    EmfBuilder b;
    b.rec(EMR_SETMAPMODE, {m.mode});
    if (m.mode == 7)
        b.rec(EMR_SETWINDOWEXTEX, {1000, 1000}).rec(EMR_SETVIEWPORTEXTEX, {100, -100});
    if (m.mode == 8)
        b.rec(EMR_SETWINDOWEXTEX, {1000, 500}).rec(EMR_SETVIEWPORTEXTEX, {100, 100});
    b.rec(EMR_SETVIEWPORTORGEX, {10, 10});
    return b;
}

// A placeable metafile of 1000 x 1000 units covering the frame; the window gives the
// mapping's scale and direction. A mapping mode record inside a placeable picture does
// not change how it is fitted, so the window alone decides.
WmfBuilder wmfWith(const Mapping& m)
{
    WmfBuilder w(0, 0, 1000, 1000, 1000);
    w.rec(META_SETMAPMODE, {m.mode});
    const int ext = int(std::lround(100 / m.sx));
    const int extY = int(std::lround(100 / m.sy));
    // frame = 10 + (logical - org) * 100 / ext
    w.rec(META_SETWINDOWORG, {int(std::lround(-10 / m.sy)), int(std::lround(-10 / m.sx))});
    w.rec(META_SETWINDOWEXT, {extY, ext});
    return w;
}

// What the test expects to see: the frame rectangle the picture covers and whether it
// is mirrored either way.
struct Expected {
    QRectF frame;
    bool mirrorX = false, mirrorY = false;
};

QImage renderAt(const std::string& bytes, int size)
{
    Metafile m = Metafile::fromBytes(bytes);
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    drawMetafile(p, m, QRectF(0, 0, size, size));
    return img;
}

QRgb pixelAtFrame(const QImage& img, double fx, double fy)
{
    const double s = img.width() / 100.0;
    return img.pixel(int(fx * s), int(fy * s));
}

// Each quarter of the covered rectangle shows the colour expected of it, and the
// frame around it stays white.
void expectPicture(const QImage& img, const Expected& e)
{
    const QRectF& f = e.frame;
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const bool right = bool(qx) != e.mirrorX, lower = bool(qy) != e.mirrorY;
            const QRgb want = lower ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
            const double fx = f.left() + f.width() * (qx ? 0.75 : 0.25);
            const double fy = f.top() + f.height() * (qy ? 0.75 : 0.25);
            EXPECT_EQ(pixelAtFrame(img, fx, fy), want)
                << "quarter " << qx << "," << qy << " at " << fx << "," << fy;
        }
    for (auto [fx, fy] :
         {std::pair{3.0, 3.0}, {97.0, 97.0}, {3.0, 50.0}, {97.0, 50.0}, {50.0, 3.0}, {50.0, 97.0}})
        EXPECT_EQ(pixelAtFrame(img, fx, fy), kWhite) << "outside at " << fx << "," << fy;
}

// A destination of about 80 x 80 frame pixels from (10, 10), in the mapping's logical
// units, with the sign of each extent chosen; also what it should look like.
struct Destination {
    int x, y, cx, cy;
    Expected expected;
};

Destination destination(const Mapping& m, bool negativeX, bool negativeY)
{
    const int lx = int(std::lround(80 / std::abs(m.sx)));
    const int ly = int(std::lround(80 / std::abs(m.sy)));
    const int far = m.sy < 0 ? -ly : ly; // logical y of the frame's lower edge
    Destination d;
    d.x = negativeX ? lx : 0;
    d.cx = negativeX ? -lx : lx;
    d.y = negativeY ? std::max(0, far) : std::min(0, far);
    d.cy = negativeY ? -ly : ly;
    d.expected.frame = QRectF(10, 10, lx * std::abs(m.sx), ly * std::abs(m.sy));
    d.expected.mirrorX = d.cx * m.sx < 0;
    d.expected.mirrorY = d.cy * m.sy < 0;
    return d;
}

using Picture = std::function<std::string(const Mapping&, const Destination&, const Dib&)>;

struct Record {
    const char* name;
    Picture make;
};

const Record kStretchingRecords[] = {
    {"EMR_STRETCHDIBITS",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return emfWith(m)
             .raw(EMR_STRETCHDIBITS, emfStretchDibits(d.x, d.y, d.cx, d.cy, 0, 0, 2, 2, dib))
             .build();
     }},
    {"EMR_STRETCHBLT",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return emfWith(m).raw(EMR_STRETCHBLT, emfBlt(true, d.x, d.y, d.cx, d.cy, 0, 0, 2, 2, dib)).build();
     }},
    // The source block of a BitBlt has the destination's extents; where that block is not
    // inside the bitmap, the whole bitmap is the source.
    {"EMR_BITBLT",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return emfWith(m).raw(EMR_BITBLT, emfBlt(false, d.x, d.y, d.cx, d.cy, 0, 0, 0, 0, dib)).build();
     }},
    {"META_STRETCHDIB",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return wmfWith(m).raw(META_STRETCHDIB, wmfStretchDib(d.x, d.y, d.cx, d.cy, 0, 0, 2, 2, dib)).build();
     }},
    {"META_DIBSTRETCHBLT",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return wmfWith(m)
             .raw(META_DIBSTRETCHBLT, wmfDibStretchBlt(d.x, d.y, d.cx, d.cy, 0, 0, 2, 2, dib))
             .build();
     }},
    {"META_DIBBITBLT",
     [](const Mapping& m, const Destination& d, const Dib& dib) {
         return wmfWith(m).raw(META_DIBBITBLT, wmfDibBitBlt(d.x, d.y, d.cx, d.cy, 0, 0, dib)).build();
     }},
};

} // namespace

TEST(MetafileBitmaps, StretchedUnderEveryMappingWithBothSignsAtBothSizes)
{
    for (bool bottomUp : {true, false}) {
        const Dib dib = quarters(2, bottomUp);
        for (const Record& record : kStretchingRecords)
            for (const Mapping& m : kMappings)
                for (int signs = 0; signs < 4; ++signs) {
                    const Destination d = destination(m, signs & 1, signs & 2);
                    const std::string bytes = record.make(m, d, dib);
                    for (int size : {32, 2000}) {
                        SCOPED_TRACE(testing::Message()
                                     << record.name << " " << m.name << " cx " << d.cx << " cy " << d.cy
                                     << " size " << size << (bottomUp ? "" : " top-down"));
                        expectPicture(renderAt(bytes, size), d.expected);
                    }
                }
    }
}

// SetDIBitsToDevice copies pixels of the reference device: the picture keeps its pixel
// size and its way up whatever the mapping, only its corner point is mapped.
TEST(MetafileBitmaps, SetDibitsToDeviceIsUprightAtItsPixelSizeUnderEveryMapping)
{
    for (bool bottomUp : {true, false}) {
        const Dib dib = quarters(80, bottomUp);
        for (const Mapping& m : kMappings) {
            const std::string bytes =
                emfWith(m).raw(EMR_SETDIBITSTODEVICE, emfSetDibitsToDevice(0, 0, 0, 0, 80, 80, dib)).build();
            for (int size : {32, 2000}) {
                SCOPED_TRACE(testing::Message()
                             << m.name << " size " << size << (bottomUp ? "" : " top-down"));
                expectPicture(renderAt(bytes, size), Expected{QRectF(10, 10, 80, 80)});
            }
        }
    }
    // A source size that is not positive copies nothing.
    const Dib dib = quarters(2);
    for (auto [cx, cy] : {std::pair{-2, 2}, {2, -2}, {0, 2}}) {
        const QImage img =
            renderAt(emfWith(kMappings[0])
                         .raw(EMR_SETDIBITSTODEVICE, emfSetDibitsToDevice(0, 0, 0, 0, cx, cy, dib))
                         .build(),
                     32);
        EXPECT_EQ(img.pixel(16, 16), kWhite) << cx << "," << cy;
    }
}

TEST(MetafileBitmaps, WmfSetDibToDevIsUprightInBothWindowDirections)
{
    const Dib dib = quarters(2);
    for (const Mapping& m : kMappings)
        for (int signs = 0; signs < 4; ++signs) {
            const Destination d = destination(m, signs & 1, signs & 2);
            const std::string bytes =
                wmfWith(m).raw(META_SETDIBTODEV, wmfSetDibToDev(d.x, d.y, d.cx, d.cy, 0, 0, dib)).build();
            for (int size : {32, 2000}) {
                SCOPED_TRACE(testing::Message()
                             << m.name << " cx " << d.cx << " cy " << d.cy << " size " << size);
                expectPicture(renderAt(bytes, size), Expected{d.expected.frame});
            }
        }
}

// A BitBlt whose source block has the destination's signed extents copies the block
// as it is: extents running left (or up) from both corners do not mirror it.
TEST(MetafileBitmaps, BitBltCopiesTheBlockTheWayItsExtentsRun)
{
    const Dib dib = quarters(80);
    for (int signs = 0; signs < 4; ++signs) {
        const bool nx = signs & 1, ny = signs & 2;
        const int x = nx ? 80 : 0, y = ny ? 80 : 0, cx = nx ? -80 : 80, cy = ny ? -80 : 80;
        const std::string bytes =
            emfWith(kMappings[0]).raw(EMR_BITBLT, emfBlt(false, x, y, cx, cy, x, y, 0, 0, dib)).build();
        for (int size : {32, 2000}) {
            SCOPED_TRACE(testing::Message() << "cx " << cx << " cy " << cy << " size " << size);
            expectPicture(renderAt(bytes, size), Expected{QRectF(10, 10, 80, 80)});
        }
    }
}

// The device-dependent bitmap records of old Windows metafiles are not drawn, and
// nothing after them is lost.
TEST(MetafileBitmaps, OldDeviceBitmapRecordsAreSkipped)
{
    const Mapping& m = kMappings[0];
    const Destination d = destination(m, false, false);
    for (uint16_t function : {META_BITBLT, META_STRETCHBLT}) {
        WmfBuilder w = wmfWith(m);
        w.raw(function, wmfRop(0x00CC0020) + wmfWords({2, 2, 0, 0, 80, 80, 0, 0})
                            + wmfWords({0, 2, 2, 4, 1, 1}) + std::string(8, '\x55'));
        w.raw(META_STRETCHDIB, wmfStretchDib(d.x, d.y, d.cx, d.cy, 0, 0, 2, 2, quarters(2)));
        expectPicture(renderAt(w.build(), 32), d.expected);
    }
}

// Destinations far larger than the device are cut to it: only the visible part of the
// bitmap is worked on, and it is the right part.
TEST(MetafileBitmaps, HugeDestinationsShowTheirVisiblePart)
{
    const Dib dib = quarters(2);
    // The picture's centre at the frame's centre, each quarter 2e8 units wide.
    const int half = 200000000;
    for (int size : {32, 2000}) {
        const std::string bytes = emfWith(kMappings[0])
                                      .raw(EMR_STRETCHDIBITS, emfStretchDibits(40 - half, 40 - half, 2 * half,
                                                                               2 * half, 0, 0, 2, 2, dib))
                                      .build();
        const QImage img = renderAt(bytes, size);
        EXPECT_EQ(pixelAtFrame(img, 20, 20), kRed);
        EXPECT_EQ(pixelAtFrame(img, 80, 20), kGreen);
        EXPECT_EQ(pixelAtFrame(img, 20, 80), kBlue);
        EXPECT_EQ(pixelAtFrame(img, 80, 80), kYellow);
    }
    // Zero extents, or a destination whose corners are at the ends of the 32-bit range,
    // draw nothing rather than fail.
    for (auto [cx, cy] : {std::pair{0, 80}, {80, 0}}) {
        const QImage img =
            renderAt(emfWith(kMappings[0])
                         .raw(EMR_STRETCHDIBITS, emfStretchDibits(0, 0, cx, cy, 0, 0, 2, 2, dib))
                         .build(),
                     32);
        EXPECT_EQ(img.pixel(16, 16), kWhite);
    }
    const QImage extreme =
        renderAt(emfWith(kMappings[3])
                     .raw(EMR_STRETCHDIBITS,
                          emfStretchDibits(INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, 0, 0, 2, 2, dib))
                     .build(),
                 2000);
    EXPECT_FALSE(extreme.isNull());
}

// A world transform that turns the page a quarter round turns the bitmap with it.
TEST(MetafileBitmaps, TurnedByTheWorldTransform)
{
    std::string xform;
    // x' = -y + 100, y' = x: a quarter turn clockwise on a y-down screen about (50, 50).
    for (float f : {0.0f, 1.0f, -1.0f, 0.0f, 100.0f, 0.0f}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(xform, bits);
    }
    EmfBuilder b;
    b.raw(35, xform); // EMR_SETWORLDTRANSFORM
    b.raw(EMR_STRETCHDIBITS, emfStretchDibits(10, 10, 80, 80, 0, 0, 2, 2, quarters(2)));
    for (int size : {32, 2000}) {
        const QImage img = renderAt(b.build(), size);
        // Red, the upper left quarter, is now upper right; blue, lower left, upper left.
        EXPECT_EQ(pixelAtFrame(img, 70, 30), kRed);
        EXPECT_EQ(pixelAtFrame(img, 30, 30), kBlue);
        EXPECT_EQ(pixelAtFrame(img, 70, 70), kGreen);
        EXPECT_EQ(pixelAtFrame(img, 30, 70), kYellow);
        EXPECT_EQ(pixelAtFrame(img, 5, 5), kWhite);
    }
}
