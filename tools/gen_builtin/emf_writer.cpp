#include "emf_writer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace gen {

namespace {
// Record types of the enhanced metafile format.
constexpr std::uint32_t kHeader = 1;
constexpr std::uint32_t kEof = 14;
constexpr std::uint32_t kSetWindowExtEx = 9;
constexpr std::uint32_t kSetViewportExtEx = 11;
constexpr std::uint32_t kSetMapMode = 17;
constexpr std::uint32_t kMoveToEx = 27;
constexpr std::uint32_t kSelectObject = 37;
constexpr std::uint32_t kCreatePen = 38;
constexpr std::uint32_t kCreateBrushIndirect = 39;
constexpr std::uint32_t kLineTo = 54;
constexpr std::uint32_t kPolyBezier16 = 85;
constexpr std::uint32_t kPolyBezierTo16 = 88;

constexpr std::uint32_t kIsotropic = 7;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr std::size_t kHeaderSize = 108;

// Reference device recorded in every header.
constexpr int kDevicePxX = 1024, kDevicePxY = 768;
constexpr int kDeviceMmX = 270, kDeviceMmY = 203;

// Pen 0.3 mm wide, about one pixel on a 96 dpi screen.
constexpr std::uint32_t kPenWidth = 3;
constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kWhite = 0x00FFFFFF;

int frameToDevicePx(int hundredthsMm, int devicePx, int deviceMm)
{
    return static_cast<int>(static_cast<long long>(hundredthsMm) * devicePx / (deviceMm * 100L));
}
} // namespace

int logicalToDevice(int v)
{
    // Isotropic mapping takes the smaller of 96/253 and 96/254 for both axes.
    return static_cast<int>(std::lround(v * 96.0 / 254.0));
}

EmfWriter::EmfWriter(int frameWidth, int frameHeight, bool withBrush)
    : frameW_(frameWidth), frameH_(frameHeight)
{
    out_.assign(kHeaderSize, 0); // filled in by finish()
    records_ = 1;

    beginRecord(kSetMapMode);
    put32(kIsotropic);
    endRecord();
    beginRecord(kSetWindowExtEx);
    put32(253);
    put32(254);
    endRecord();
    beginRecord(kSetViewportExtEx);
    put32(96);
    put32(96);
    endRecord();

    const std::uint32_t pen = static_cast<std::uint32_t>(handles_++);
    beginRecord(kCreatePen);
    put32(pen);
    put32(0); // PS_SOLID
    put32(kPenWidth);
    put32(0);
    put32(kBlack);
    endRecord();
    std::uint32_t brush = 0;
    if (withBrush) {
        brush = static_cast<std::uint32_t>(handles_++);
        beginRecord(kCreateBrushIndirect);
        put32(brush);
        put32(0); // BS_SOLID
        put32(kWhite);
        put32(0);
        endRecord();
    }
    beginRecord(kSelectObject);
    put32(pen);
    endRecord();
    if (withBrush) {
        beginRecord(kSelectObject);
        put32(brush);
        endRecord();
    }
}

void EmfWriter::put32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void EmfWriter::put16(std::uint16_t v)
{
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void EmfWriter::patch32(std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void EmfWriter::beginRecord(std::uint32_t type)
{
    recordStart_ = out_.size();
    put32(type);
    put32(0); // size, patched by endRecord
}

void EmfWriter::endRecord()
{
    patch32(recordStart_ + 4, static_cast<std::uint32_t>(out_.size() - recordStart_));
    ++records_;
}

void EmfWriter::grow(Pt p)
{
    const int dx = logicalToDevice(p.x), dy = logicalToDevice(p.y);
    if (!anyPoint_) {
        minX_ = maxX_ = dx;
        minY_ = maxY_ = dy;
        anyPoint_ = true;
        return;
    }
    minX_ = std::min(minX_, dx);
    maxX_ = std::max(maxX_, dx);
    minY_ = std::min(minY_, dy);
    maxY_ = std::max(maxY_, dy);
}

void EmfWriter::putBoundsOf(const std::vector<Pt>& pts)
{
    int l = logicalToDevice(pts.front().x), r = l;
    int t = logicalToDevice(pts.front().y), b = t;
    for (const Pt& p : pts) {
        l = std::min(l, logicalToDevice(p.x));
        r = std::max(r, logicalToDevice(p.x));
        t = std::min(t, logicalToDevice(p.y));
        b = std::max(b, logicalToDevice(p.y));
    }
    put32(static_cast<std::uint32_t>(l));
    put32(static_cast<std::uint32_t>(t));
    put32(static_cast<std::uint32_t>(r));
    put32(static_cast<std::uint32_t>(b));
}

void EmfWriter::moveTo(Pt p)
{
    beginRecord(kMoveToEx);
    put32(static_cast<std::uint32_t>(p.x));
    put32(static_cast<std::uint32_t>(p.y));
    endRecord();
    grow(p);
}

void EmfWriter::lineTo(Pt p)
{
    beginRecord(kLineTo);
    put32(static_cast<std::uint32_t>(p.x));
    put32(static_cast<std::uint32_t>(p.y));
    endRecord();
    grow(p);
}

void EmfWriter::polyBezierTo(const std::vector<Pt>& pts)
{
    if (pts.empty() || pts.size() % 3 != 0)
        throw std::logic_error("a Bezier continuation needs three points per segment");
    putPoints16(kPolyBezierTo16, pts);
}

void EmfWriter::polyBezier(const std::vector<Pt>& pts)
{
    if (pts.size() < 4 || (pts.size() - 1) % 3 != 0)
        throw std::logic_error("a Bezier curve needs a start point and three points per segment");
    putPoints16(kPolyBezier16, pts);
}

// A record of 16-bit points: bounds, count, then the points.
void EmfWriter::putPoints16(std::uint32_t type, const std::vector<Pt>& pts)
{
    beginRecord(type);
    putBoundsOf(pts);
    put32(static_cast<std::uint32_t>(pts.size()));
    for (const Pt& p : pts) {
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(p.x)));
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(p.y)));
        grow(p);
    }
    endRecord();
}

std::vector<std::uint8_t> EmfWriter::finish()
{
    beginRecord(kEof);
    put32(0);  // no palette entries
    put32(16); // where they would start
    put32(20); // size of this record, repeated at its end
    endRecord();

    // The declared size of a picture is right - left and bottom - top of its frame,
    // so a 10 mm frame runs from 0 to 1000 hundredths of a millimetre.
    const int framePxX = frameToDevicePx(frameW_, kDevicePxX, kDeviceMmX);
    const int framePxY = frameToDevicePx(frameH_, kDevicePxY, kDeviceMmY);
    auto clampX = [&](int v) { return std::clamp(v, 0, framePxX - 1); };
    auto clampY = [&](int v) { return std::clamp(v, 0, framePxY - 1); };

    std::vector<std::uint8_t> body = std::move(out_);
    out_.clear();
    put32(kHeader);
    put32(static_cast<std::uint32_t>(kHeaderSize));
    put32(static_cast<std::uint32_t>(clampX(minX_)));
    put32(static_cast<std::uint32_t>(clampY(minY_)));
    put32(static_cast<std::uint32_t>(clampX(maxX_)));
    put32(static_cast<std::uint32_t>(clampY(maxY_)));
    put32(0);
    put32(0);
    put32(static_cast<std::uint32_t>(frameW_));
    put32(static_cast<std::uint32_t>(frameH_));
    put32(kEmfSignature);
    put32(0x00010000);
    put32(static_cast<std::uint32_t>(body.size()));
    put32(records_);
    put16(static_cast<std::uint16_t>(handles_));
    put16(0);
    put32(0); // no description
    put32(0);
    put32(0); // no palette
    put32(kDevicePxX);
    put32(kDevicePxY);
    put32(kDeviceMmX);
    put32(kDeviceMmY);
    put32(0); // no pixel format
    put32(0);
    put32(0); // not OpenGL
    put32(kDeviceMmX * 1000);
    put32(kDeviceMmY * 1000);
    std::copy(out_.begin(), out_.end(), body.begin());
    out_.clear();
    return body;
}

} // namespace gen
