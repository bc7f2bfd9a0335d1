// Enhanced metafile records: each one is read completely and checked before it
// draws anything; a record that is short, lies about its sizes or is unknown is
// skipped. A record size that leaves the data ends the picture.
#include "metafile/byte_reader.h"
#include "metafile/gdi_player.h"
#include "storage/cp1251.h"

#include <cmath>

namespace dorvin::mf {

namespace {

enum : uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER,
    EMR_POLYGON,
    EMR_POLYLINE,
    EMR_POLYBEZIERTO,
    EMR_POLYLINETO,
    EMR_POLYPOLYLINE,
    EMR_POLYPOLYGON,
    EMR_SETWINDOWEXTEX,
    EMR_SETWINDOWORGEX,
    EMR_SETVIEWPORTEXTEX,
    EMR_SETVIEWPORTORGEX,
    EMR_SETBRUSHORGEX,
    EMR_EOF,
    EMR_SETPIXELV,
    EMR_SETMAPPERFLAGS,
    EMR_SETMAPMODE,
    EMR_SETBKMODE,
    EMR_SETPOLYFILLMODE,
    EMR_SETROP2,
    EMR_SETSTRETCHBLTMODE,
    EMR_SETTEXTALIGN,
    EMR_SETCOLORADJUSTMENT,
    EMR_SETTEXTCOLOR,
    EMR_SETBKCOLOR,
    EMR_OFFSETCLIPRGN,
    EMR_MOVETOEX,
    EMR_SETMETARGN,
    EMR_EXCLUDECLIPRECT,
    EMR_INTERSECTCLIPRECT,
    EMR_SCALEVIEWPORTEXTEX,
    EMR_SCALEWINDOWEXTEX,
    EMR_SAVEDC,
    EMR_RESTOREDC,
    EMR_SETWORLDTRANSFORM,
    EMR_MODIFYWORLDTRANSFORM,
    EMR_SELECTOBJECT,
    EMR_CREATEPEN,
    EMR_CREATEBRUSHINDIRECT,
    EMR_DELETEOBJECT,
    EMR_ANGLEARC,
    EMR_ELLIPSE,
    EMR_RECTANGLE,
    EMR_ROUNDRECT,
    EMR_ARC,
    EMR_CHORD,
    EMR_PIE,
    EMR_SELECTPALETTE,
    EMR_CREATEPALETTE,
    EMR_SETPALETTEENTRIES,
    EMR_RESIZEPALETTE,
    EMR_REALIZEPALETTE,
    EMR_EXTFLOODFILL,
    EMR_LINETO,
    EMR_ARCTO,
    EMR_POLYDRAW,
    EMR_SETARCDIRECTION,
    EMR_SETMITERLIMIT,
    EMR_BEGINPATH,
    EMR_ENDPATH,
    EMR_CLOSEFIGURE,
    EMR_FILLPATH,
    EMR_STROKEANDFILLPATH,
    EMR_STROKEPATH,
    EMR_FLATTENPATH,
    EMR_WIDENPATH,
    EMR_SELECTCLIPPATH,
    EMR_ABORTPATH,
    EMR_GDICOMMENT = 70,
    EMR_FILLRGN,
    EMR_FRAMERGN,
    EMR_INVERTRGN,
    EMR_PAINTRGN,
    EMR_EXTSELECTCLIPRGN,
    EMR_BITBLT,
    EMR_STRETCHBLT,
    EMR_MASKBLT,
    EMR_PLGBLT,
    EMR_SETDIBITSTODEVICE,
    EMR_STRETCHDIBITS,
    EMR_EXTCREATEFONTINDIRECTW,
    EMR_EXTTEXTOUTA,
    EMR_EXTTEXTOUTW,
    EMR_POLYBEZIER16,
    EMR_POLYGON16,
    EMR_POLYLINE16,
    EMR_POLYBEZIERTO16,
    EMR_POLYLINETO16,
    EMR_POLYPOLYLINE16,
    EMR_POLYPOLYGON16,
    EMR_POLYDRAW16,
    EMR_CREATEMONOBRUSH,
    EMR_CREATEDIBPATTERNBRUSHPT,
    EMR_EXTCREATEPEN
};

QColor colorRef(uint32_t v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QRectF readRect(ByteReader& r)
{
    double l = r.i32(), t = r.i32(), rt = r.i32(), b = r.i32();
    return QRectF(QPointF(l, t), QPointF(rt, b));
}

QPointF readPoint(ByteReader& r, bool small)
{
    if (small) {
        double x = r.i16();
        return QPointF(x, r.i16());
    }
    double x = r.i32();
    return QPointF(x, r.i32());
}

// A point list: count, then the points. Returns false when the count lies.
bool readPoints(ByteReader& r, bool small, QPolygonF& out)
{
    uint32_t count = r.u32();
    size_t each = small ? 4 : 8;
    if (!r.ok() || count > r.remaining() / each)
        return false;
    out.reserve(int(count));
    for (uint32_t i = 0; i < count; ++i)
        out << readPoint(r, small);
    return r.ok();
}

bool readPolyPoints(ByteReader& r, bool small, std::vector<QPolygonF>& out)
{
    uint32_t polys = r.u32();
    uint32_t total = r.u32();
    size_t each = small ? 4 : 8;
    if (!r.ok() || polys > r.remaining() / 4)
        return false;
    std::vector<uint32_t> counts(polys);
    uint64_t sum = 0;
    for (uint32_t& c : counts) {
        c = r.u32();
        sum += c;
    }
    if (!r.ok() || sum != total || total > r.remaining() / each)
        return false;
    out.reserve(polys);
    for (uint32_t c : counts) {
        QPolygonF p;
        p.reserve(int(c));
        for (uint32_t i = 0; i < c; ++i)
            p << readPoint(r, small);
        out.push_back(std::move(p));
    }
    return r.ok();
}

std::string_view recordPart(std::string_view record, uint32_t offset, uint32_t size)
{
    if (offset > record.size() || size > record.size() - offset)
        return {};
    return record.substr(offset, size);
}

QImage recordBitmap(std::string_view record, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits,
                    uint32_t cbBits, uint32_t usage)
{
    std::string_view info = recordPart(record, offBmi, cbBmi);
    std::string_view bits = recordPart(record, offBits, cbBits);
    if (info.empty() || bits.empty())
        return {};
    return decodeDib(info, bits, usage);
}

std::vector<QRectF> readRegion(ByteReader& r, uint32_t cbData)
{
    std::vector<QRectF> rects;
    if (cbData < 32 || cbData > r.remaining())
        return rects;
    size_t start = r.pos();
    r.u32(); // header size
    r.u32(); // type
    uint32_t count = r.u32();
    r.u32(); // size of the rectangles
    QRectF bounds = readRect(r);
    r.seek(start + 32);
    if (!r.ok() || count > (cbData - 32) / 16)
        return rects;
    if (count > GdiPlayer::kMaxRegionRects) {
        // A region of that many pieces is drawn as its bounds: combining them all
        // would cost far more than the picture is worth.
        rects.push_back(bounds);
        return rects;
    }
    for (uint32_t i = 0; i < count; ++i)
        rects.push_back(readRect(r));
    if (!r.ok())
        rects.clear();
    return rects;
}

LogFont readLogFontW(ByteReader& r)
{
    LogFont f;
    f.height = r.i32();
    f.width = r.i32();
    f.escapement = r.i32();
    r.i32(); // orientation
    f.weight = r.i32();
    f.italic = r.u8();
    f.underline = r.u8();
    f.strikeOut = r.u8();
    f.charSet = r.u8();
    r.u8();
    r.u8();
    r.u8();
    f.pitchAndFamily = r.u8();
    QString face;
    for (int i = 0; i < 32 && r.has(2); ++i) {
        char16_t c = r.u16();
        if (c == 0)
            break;
        face += QChar(c);
    }
    f.face = face;
    return f;
}

void textRecord(GdiPlayer& g, std::string_view record, ByteReader& r, bool wide)
{
    readRect(r); // bounds
    r.u32();     // graphics mode
    r.f32();
    r.f32();
    QPointF reference = readPoint(r, false);
    uint32_t chars = r.u32();
    uint32_t offString = r.u32();
    uint32_t options = r.u32();
    QRectF rect = readRect(r);
    uint32_t offDx = r.u32();
    if (!r.ok())
        return;
    std::string_view raw = recordPart(record, offString, wide ? chars * 2 : chars);
    if (chars > 0x10000 || (chars > 0 && raw.empty()))
        return;
    QString s;
    if (wide) {
        ByteReader sr(raw);
        for (uint32_t i = 0; i < chars; ++i)
            s += QChar(char16_t(sr.u16()));
    } else {
        s = ansiText(raw, g.dc.font.charSet);
    }
    std::vector<double> dx;
    bool pairs = options & 0x2000; // x and y advances
    std::string_view dxBytes = recordPart(record, offDx, chars * (pairs ? 8 : 4));
    if (offDx != 0 && !dxBytes.empty()) {
        ByteReader dr(dxBytes);
        for (uint32_t i = 0; i < chars; ++i) {
            dx.push_back(dr.i32());
            if (pairs)
                dr.i32();
        }
    }
    g.text(reference, s, dx, options, rect);
}

void polyDraw(GdiPlayer& g, ByteReader& r, bool small)
{
    readRect(r);
    QPolygonF points;
    if (!readPoints(r, small, points))
        return;
    std::string_view types = r.bytes(size_t(points.size()));
    if (!r.ok())
        return;
    QPointF figureStart = g.dc.current;
    for (int i = 0; i < points.size(); ++i) {
        int type = static_cast<unsigned char>(types[size_t(i)]);
        switch (type & ~1) {
        case 6:
            g.moveTo(points[i]);
            figureStart = points[i];
            break;
        case 2: g.lineTo(points[i]); break;
        case 4:
            if (i + 2 < points.size()) {
                g.polyBezierTo(QPolygonF({points[i], points[i + 1], points[i + 2]}));
                i += 2;
            }
            break;
        default: break;
        }
        if (type & 1) {
            g.closeFigure();
            g.lineTo(figureStart);
        }
    }
}

void record(GdiPlayer& g, uint32_t type, std::string_view rec)
{
    ByteReader r(rec);
    r.skip(8);
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: {
        bool small = type >= EMR_POLYBEZIER16;
        uint32_t kind = small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type;
        readRect(r);
        QPolygonF points;
        if (!readPoints(r, small, points))
            return;
        switch (kind) {
        case EMR_POLYBEZIER: g.polyBezier(points); break;
        case EMR_POLYGON: g.polygon(points); break;
        case EMR_POLYLINE: g.polyline(points); break;
        case EMR_POLYBEZIERTO: g.polyBezierTo(points); break;
        case EMR_POLYLINETO: g.polylineTo(points); break;
        }
        return;
    }
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16: {
        bool small = type >= EMR_POLYPOLYLINE16;
        readRect(r);
        std::vector<QPolygonF> polys;
        if (!readPolyPoints(r, small, polys))
            return;
        if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16)
            g.polyPolygon(polys);
        else
            g.polyPolyline(polys);
        return;
    }
    case EMR_POLYDRAW: polyDraw(g, r, false); return;
    case EMR_POLYDRAW16: polyDraw(g, r, true); return;
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_OFFSETCLIPRGN: {
        QPointF p = readPoint(r, false);
        if (!r.ok())
            return;
        switch (type) {
        case EMR_SETWINDOWEXTEX: g.setWindowExt(p); break;
        case EMR_SETWINDOWORGEX: g.setWindowOrg(p); break;
        case EMR_SETVIEWPORTEXTEX: g.setViewportExt(p); break;
        case EMR_SETVIEWPORTORGEX: g.setViewportOrg(p); break;
        case EMR_MOVETOEX: g.moveTo(p); break;
        case EMR_LINETO: g.lineTo(p); break;
        case EMR_OFFSETCLIPRGN: g.offsetClip(p); break;
        }
        return;
    }
    case EMR_SETPIXELV: {
        QPointF p = readPoint(r, false);
        uint32_t c = r.u32();
        if (r.ok())
            g.setPixel(p, colorRef(c));
        return;
    }
    case EMR_SETMAPMODE:
    case EMR_SETBKMODE:
    case EMR_SETPOLYFILLMODE:
    case EMR_SETROP2:
    case EMR_SETTEXTALIGN:
    case EMR_SETARCDIRECTION:
    case EMR_SETTEXTCOLOR:
    case EMR_SETBKCOLOR:
    case EMR_SAVEDC:
    case EMR_RESTOREDC:
    case EMR_SELECTOBJECT:
    case EMR_DELETEOBJECT:
    case EMR_SELECTCLIPPATH: {
        uint32_t v = type == EMR_SAVEDC ? 0 : r.u32();
        if (!r.ok())
            return;
        switch (type) {
        case EMR_SETMAPMODE: g.setMapMode(int(v)); break;
        case EMR_SETBKMODE:
            if (v == 1 || v == 2)
                g.dc.bkMode = int(v);
            break;
        case EMR_SETPOLYFILLMODE:
            if (v == 1 || v == 2)
                g.dc.fillMode = int(v);
            break;
        case EMR_SETROP2: g.dc.rop2 = int(v); break;
        case EMR_SETTEXTALIGN: g.dc.textAlign = int(v); break;
        case EMR_SETARCDIRECTION:
            if (v == 1 || v == 2)
                g.dc.arcDirection = int(v);
            break;
        case EMR_SETTEXTCOLOR: g.dc.textColor = colorRef(v); break;
        case EMR_SETBKCOLOR: g.dc.bkColor = colorRef(v); break;
        case EMR_SAVEDC: g.saveDc(); break;
        case EMR_RESTOREDC: g.restoreDc(int32_t(v)); break;
        case EMR_SELECTOBJECT: g.selectObject(v); break;
        case EMR_DELETEOBJECT: g.deleteObject(v); break;
        case EMR_SELECTCLIPPATH: g.selectClipPath(int(v)); break;
        }
        return;
    }
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT:
    case EMR_ELLIPSE:
    case EMR_RECTANGLE: {
        QRectF rc = readRect(r);
        if (!r.ok())
            return;
        if (type == EMR_EXCLUDECLIPRECT)
            g.excludeClip(rc);
        else if (type == EMR_INTERSECTCLIPRECT)
            g.intersectClip(rc);
        else if (type == EMR_ELLIPSE)
            g.ellipse(rc);
        else
            g.rectangle(rc);
        return;
    }
    case EMR_ROUNDRECT: {
        QRectF rc = readRect(r);
        QPointF corner = readPoint(r, false);
        if (r.ok())
            g.roundRect(rc, QSizeF(corner.x(), corner.y()));
        return;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO: {
        QRectF rc = readRect(r);
        QPointF start = readPoint(r, false);
        QPointF end = readPoint(r, false);
        if (!r.ok())
            return;
        ArcKind kind = type == EMR_ARC ? Arc : type == EMR_CHORD ? Chord : type == EMR_PIE ? Pie : ArcTo;
        g.arc(kind, rc, start, end);
        return;
    }
    case EMR_ANGLEARC: {
        QPointF c = readPoint(r, false);
        double radius = r.u32();
        double start = r.f32();
        double sweep = r.f32();
        if (r.ok())
            g.angleArc(c, radius, start, sweep);
        return;
    }
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        double xn = r.i32(), xd = r.i32(), yn = r.i32(), yd = r.i32();
        if (!r.ok())
            return;
        if (type == EMR_SCALEVIEWPORTEXTEX)
            g.scaleViewportExt(xn, xd, yn, yd);
        else
            g.scaleWindowExt(xn, xd, yn, yd);
        return;
    }
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
        double m[6];
        for (double& v : m)
            v = r.f32();
        uint32_t mode = type == EMR_MODIFYWORLDTRANSFORM ? r.u32() : 4;
        if (!r.ok())
            return;
        QTransform t(m[0], m[1], m[2], m[3], m[4], m[5]);
        if (type == EMR_SETWORLDTRANSFORM)
            g.setWorldTransform(t);
        else
            g.modifyWorldTransform(t, int(mode));
        return;
    }
    case EMR_CREATEPEN: {
        uint32_t index = r.u32();
        LogPen pen;
        pen.style = int(r.u32() & 0xFF0F); // caps and joins do not apply to plain pens
        pen.style &= 0x0F;
        pen.width = r.i32();
        r.i32();
        pen.color = colorRef(r.u32());
        pen.cosmetic = pen.width <= 0;
        if (r.ok())
            g.createObject(index, pen);
        return;
    }
    case EMR_EXTCREATEPEN: {
        uint32_t index = r.u32();
        r.skip(16); // bitmap of a pattern pen, not used
        LogPen pen;
        uint32_t style = r.u32();
        uint32_t width = r.u32();
        uint32_t brushStyle = r.u32();
        uint32_t color = r.u32();
        r.u32(); // hatch
        uint32_t entries = r.u32();
        if (!r.ok())
            return;
        pen.style = int(style & 0xFFFFF);
        pen.cosmetic = !(style & 0x10000) || width == 0;
        pen.width = pen.cosmetic ? 0 : double(width);
        pen.color = colorRef(color);
        if (brushStyle == 1) // a hollow brush gives no line
            pen.style = (pen.style & ~0x0F) | 5;
        if ((style & 0x0F) == 7 && entries <= r.remaining() / 4) {
            for (uint32_t i = 0; i < entries && i < 16; ++i)
                pen.dashes.push_back(r.u32());
        }
        g.createObject(index, pen);
        return;
    }
    case EMR_CREATEBRUSHINDIRECT: {
        uint32_t index = r.u32();
        LogBrush b;
        b.style = int(r.u32());
        b.color = colorRef(r.u32());
        b.hatch = int(r.u32());
        if (b.style != 0 && b.style != 1 && b.style != 2)
            b.style = 0;
        if (r.ok())
            g.createObject(index, b);
        return;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
        uint32_t index = r.u32();
        uint32_t usage = r.u32();
        uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
        if (!r.ok())
            return;
        LogBrush b;
        b.style = 5;
        b.pattern = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage);
        b.color = Qt::black;
        if (!b.pattern.isNull() && (b.pattern.width() > 256 || b.pattern.height() > 256))
            b.pattern = b.pattern.copy(0, 0, 256, 256);
        g.createObject(index, b);
        return;
    }
    case EMR_CREATEPALETTE: {
        uint32_t index = r.u32();
        if (r.ok())
            g.createObject(index, std::monostate());
        return;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
        uint32_t index = r.u32();
        LogFont f = readLogFontW(r);
        if (r.ok())
            g.createObject(index, f);
        return;
    }
    case EMR_BEGINPATH: g.beginPath(); return;
    case EMR_ENDPATH: g.endPath(); return;
    case EMR_CLOSEFIGURE: g.closeFigure(); return;
    case EMR_FILLPATH: g.fillPath(); return;
    case EMR_STROKEANDFILLPATH: g.strokeAndFillPath(); return;
    case EMR_STROKEPATH: g.strokePath(); return;
    case EMR_ABORTPATH: g.abortPath(); return;
    case EMR_EXTSELECTCLIPRGN: {
        uint32_t cb = r.u32();
        uint32_t mode = r.u32();
        if (!r.ok())
            return;
        g.clipRegion(readRegion(r, cb), int(mode));
        return;
    }
    case EMR_FILLRGN:
    case EMR_PAINTRGN: {
        readRect(r);
        uint32_t cb = r.u32();
        uint32_t brushIndex = type == EMR_FILLRGN ? r.u32() : 0;
        if (!r.ok())
            return;
        std::vector<QRectF> rects = readRegion(r, cb);
        if (rects.empty())
            return;
        if (type == EMR_FILLRGN) {
            // Fill with the named brush: select it for the moment.
            LogBrush keep = g.dc.brush;
            g.selectObject(brushIndex);
            LogBrush use = g.dc.brush;
            g.dc.brush = keep;
            g.fillRegion(rects, &use);
        } else {
            g.fillRegion(rects, nullptr);
        }
        return;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
        readRect(r);
        double x = r.i32(), y = r.i32(), cx = r.i32(), cy = r.i32();
        uint32_t rop = r.u32();
        double xSrc = r.i32(), ySrc = r.i32();
        r.skip(24); // source transform
        r.u32();    // source background colour
        uint32_t usage = r.u32();
        uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32();
        double cxSrc = type == EMR_STRETCHBLT ? r.i32() : cx;
        double cySrc = type == EMR_STRETCHBLT ? r.i32() : cy;
        if (!r.ok())
            return;
        QRectF dest(x, y, cx, cy);
        if (cbBmi == 0) {
            g.patBlt(dest, rop);
            return;
        }
        QImage img = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage);
        QRectF src(xSrc, ySrc, cxSrc, cySrc);
        if (!QRectF(img.rect()).contains(src.normalized()) || src.normalized().isEmpty())
            src = img.rect();
        g.image(img, dest, src, rop);
        return;
    }
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: {
        readRect(r);
        double x = r.i32(), y = r.i32(), xSrc = r.i32(), ySrc = r.i32(), cxSrc = r.i32(), cySrc = r.i32();
        uint32_t offBmi = r.u32(), cbBmi = r.u32(), offBits = r.u32(), cbBits = r.u32(), usage = r.u32();
        uint32_t rop = SRCCOPY;
        double cx = cxSrc, cy = cySrc;
        if (type == EMR_STRETCHDIBITS) {
            rop = r.u32();
            cx = r.i32();
            cy = r.i32();
        }
        if (!r.ok())
            return;
        if (type == EMR_SETDIBITSTODEVICE && (cxSrc <= 0 || cySrc <= 0))
            return; // copies whole pixels: a size that is not positive copies none
        QImage img = recordBitmap(rec, offBmi, cbBmi, offBits, cbBits, usage);
        if (img.isNull())
            return;
        // Source rows count from the bottom of the bitmap.
        QRectF src(xSrc, img.height() - ySrc - cySrc, cxSrc, cySrc);
        if (!QRectF(img.rect()).contains(src.normalized()) || src.normalized().isEmpty())
            src = img.rect();
        if (type == EMR_SETDIBITSTODEVICE)
            g.imageAtPoint(img, QPointF(x, y), src, rop);
        else
            g.image(img, QRectF(x, y, cx, cy), src, rop);
        return;
    }
    case EMR_EXTTEXTOUTA: textRecord(g, rec, r, false); return;
    case EMR_EXTTEXTOUTW: textRecord(g, rec, r, true); return;
    default: return; // not drawn
    }
}

} // namespace

void playEmfRecords(GdiPlayer& g, std::string_view bytes)
{
    size_t pos = 0;
    while (bytes.size() - pos >= 8) {
        ByteReader h(bytes.substr(pos, 8));
        uint32_t type = h.u32();
        uint32_t size = h.u32();
        if (size < 8 || size > bytes.size() - pos)
            break;
        if (type == EMR_EOF)
            break;
        if (type != EMR_HEADER)
            record(g, type, bytes.substr(pos, size));
        pos += size;
    }
}

QString ansiText(std::string_view bytes, int charSet)
{
    if (charSet == 2) // symbol fonts: the bytes are the glyph numbers
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    std::string utf8 = cp1251ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace dorvin::mf
