// Windows metafile records. Parameters come in reverse order of the call they
// record (y before x, bottom before top). Each record is read completely and
// checked before it draws; unknown records are skipped, a record size that leaves
// the data ends the picture. Records that create objects always take a slot of
// the object table, drawn or not, so later indices stay right.
#include "metafile/byte_reader.h"
#include "metafile/gdi_player.h"

namespace dorvin::mf {

namespace {

// Record functions, named as the format publishes them.
enum : uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETROP2 = 0x0104,
    META_SETPOLYFILLMODE = 0x0106,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_OFFSETWINDOWORG = 0x020F,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43,
};

QColor colorRef(uint32_t v)
{
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

// bottom, right, top, left
QRectF readRect(ByteReader& r)
{
    double b = r.i16(), rt = r.i16(), t = r.i16(), l = r.i16();
    return QRectF(QPointF(l, t), QPointF(rt, b));
}

// y, x
QPointF readYX(ByteReader& r)
{
    double y = r.i16();
    return QPointF(r.i16(), y);
}

bool readPoints(ByteReader& r, int count, QPolygonF& out)
{
    if (count < 0 || size_t(count) > r.remaining() / 4)
        return false;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        double x = r.i16();
        out << QPointF(x, r.i16());
    }
    return r.ok();
}

LogFont readLogFont(ByteReader& r)
{
    LogFont f;
    f.height = r.i16();
    f.width = r.i16();
    f.escapement = r.i16();
    r.i16();
    f.weight = r.i16();
    f.italic = r.u8();
    f.underline = r.u8();
    f.strikeOut = r.u8();
    f.charSet = r.u8();
    r.u8();
    r.u8();
    r.u8();
    f.pitchAndFamily = r.u8();
    std::string face;
    for (int i = 0; i < 32 && r.has(1); ++i) {
        char c = char(r.u8());
        if (c == 0)
            break;
        face += c;
    }
    f.face = ansiText(face, 204);
    return f;
}

// Source rectangle within the bitmap, or the whole bitmap when it lies outside.
QRectF sourceRect(const QImage& img, double x, double y, double w, double h, bool bottomUp)
{
    QRectF src(x, bottomUp ? img.height() - y - h : y, w, h);
    if (src.normalized().isEmpty() || !QRectF(img.rect()).contains(src.normalized()))
        return img.rect();
    return src;
}

void record(GdiPlayer& g, uint16_t function, std::string_view rec)
{
    ByteReader r(rec);
    r.skip(6);
    const size_t paramWords = (rec.size() - 6) / 2;
    switch (function) {
    case META_SETBKCOLOR: {
        uint32_t c = r.u32();
        if (r.ok())
            g.dc.bkColor = colorRef(c);
        return;
    }
    case META_SETTEXTCOLOR: {
        uint32_t c = r.u32();
        if (r.ok())
            g.dc.textColor = colorRef(c);
        return;
    }
    case META_SETBKMODE: {
        int v = r.u16();
        if (r.ok() && (v == 1 || v == 2))
            g.dc.bkMode = v;
        return;
    }
    case META_SETPOLYFILLMODE: {
        int v = r.u16();
        if (r.ok() && (v == 1 || v == 2))
            g.dc.fillMode = v;
        return;
    }
    case META_SETROP2: {
        int v = r.u16();
        if (r.ok())
            g.dc.rop2 = v;
        return;
    }
    case META_SETTEXTALIGN: {
        int v = r.u16();
        if (r.ok())
            g.dc.textAlign = v;
        return;
    }
    case META_SETWINDOWORG: {
        QPointF p = readYX(r);
        if (r.ok())
            g.setWindowOrg(p);
        return;
    }
    case META_SETWINDOWEXT: {
        QPointF p = readYX(r);
        if (r.ok())
            g.setWindowExt(p);
        return;
    }
    case META_OFFSETWINDOWORG: {
        QPointF p = readYX(r);
        if (r.ok())
            g.setWindowOrg(g.dc.winOrg + p);
        return;
    }
    case META_SCALEWINDOWEXT: {
        double yd = r.i16(), yn = r.i16(), xd = r.i16(), xn = r.i16();
        if (r.ok())
            g.scaleWindowExt(xn, xd, yn, yd);
        return;
    }
    case META_LINETO: {
        QPointF p = readYX(r);
        if (r.ok())
            g.lineTo(p);
        return;
    }
    case META_MOVETO: {
        QPointF p = readYX(r);
        if (r.ok())
            g.moveTo(p);
        return;
    }
    case META_OFFSETCLIPRGN: {
        QPointF p = readYX(r);
        if (r.ok())
            g.offsetClip(p);
        return;
    }
    case META_EXCLUDECLIPRECT: {
        QRectF rc = readRect(r);
        if (r.ok())
            g.excludeClip(rc);
        return;
    }
    case META_INTERSECTCLIPRECT: {
        QRectF rc = readRect(r);
        if (r.ok())
            g.intersectClip(rc);
        return;
    }
    case META_ELLIPSE: {
        QRectF rc = readRect(r);
        if (r.ok())
            g.ellipse(rc);
        return;
    }
    case META_RECTANGLE: {
        QRectF rc = readRect(r);
        if (r.ok())
            g.rectangle(rc);
        return;
    }
    case META_ROUNDRECT: {
        double h = r.i16(), w = r.i16();
        QRectF rc = readRect(r);
        if (r.ok())
            g.roundRect(rc, QSizeF(w, h));
        return;
    }
    case META_ARC:
    case META_PIE:
    case META_CHORD: {
        QPointF end = readYX(r);
        QPointF start = readYX(r);
        QRectF rc = readRect(r);
        if (r.ok())
            g.arc(function == META_ARC ? Arc : function == META_PIE ? Pie : Chord, rc, start, end);
        return;
    }
    case META_SETPIXEL: {
        uint32_t c = r.u32();
        QPointF p = readYX(r);
        if (r.ok())
            g.setPixel(p, colorRef(c));
        return;
    }
    case META_PATBLT: {
        uint32_t rop = r.u32();
        double h = r.i16(), w = r.i16();
        QPointF p = readYX(r);
        if (r.ok())
            g.patBlt(QRectF(p, QSizeF(w, h)), rop);
        return;
    }
    case META_SAVEDC: g.saveDc(); return;
    case META_RESTOREDC: {
        int n = r.i16();
        if (r.ok())
            g.restoreDc(n);
        return;
    }
    case META_POLYGON:
    case META_POLYLINE: {
        int count = r.i16();
        QPolygonF points;
        if (!readPoints(r, count, points))
            return;
        if (function == META_POLYGON)
            g.polygon(points);
        else
            g.polyline(points);
        return;
    }
    case META_POLYPOLYGON: {
        int polys = r.u16();
        if (size_t(polys) > r.remaining() / 2)
            return;
        std::vector<int> counts;
        for (int i = 0; i < polys; ++i)
            counts.push_back(r.u16());
        std::vector<QPolygonF> list;
        for (int c : counts) {
            QPolygonF p;
            if (!readPoints(r, c, p))
                return;
            list.push_back(std::move(p));
        }
        g.polyPolygon(list);
        return;
    }
    case META_SELECTOBJECT: {
        int i = r.u16();
        if (r.ok())
            g.selectObject(uint32_t(i));
        return;
    }
    case META_DELETEOBJECT: {
        int i = r.u16();
        if (r.ok())
            g.deleteObject(uint32_t(i));
        return;
    }
    case META_CREATEPENINDIRECT: {
        LogPen pen;
        int style = r.u16();
        int width = r.i16();
        r.i16();
        uint32_t c = r.u32();
        pen.style = style & 0xFF0F;
        pen.width = std::abs(width);
        pen.cosmetic = width == 0;
        pen.color = colorRef(c);
        g.createObjectWmf(pen); // a short record still takes its slot
        return;
    }
    case META_CREATEBRUSHINDIRECT: {
        LogBrush b;
        b.style = r.u16();
        b.color = colorRef(r.u32());
        b.hatch = r.u16();
        if (b.style != 0 && b.style != 1 && b.style != 2)
            b.style = 0;
        g.createObjectWmf(b);
        return;
    }
    case META_CREATEFONTINDIRECT: g.createObjectWmf(readLogFont(r)); return;
    case META_DIBCREATEPATTERNBRUSH: {
        r.u16(); // style
        uint32_t usage = r.u16();
        LogBrush b;
        b.style = 5;
        b.pattern = decodePackedDib(rec.substr(std::min(rec.size(), size_t(10))), usage);
        if (!b.pattern.isNull() && (b.pattern.width() > 256 || b.pattern.height() > 256))
            b.pattern = b.pattern.copy(0, 0, 256, 256);
        g.createObjectWmf(b);
        return;
    }
    case META_CREATEPALETTE:
    case META_CREATEPATTERNBRUSH:
    case META_CREATEREGION: g.createObjectWmf(std::monostate()); return;
    case META_TEXTOUT: {
        int count = r.u16();
        std::string_view s = r.bytes(size_t(count));
        if (count & 1)
            r.skip(1);
        QPointF p = readYX(r);
        if (r.ok())
            g.text(p, ansiText(s, g.dc.font.charSet), {}, 0, QRectF());
        return;
    }
    case META_EXTTEXTOUT: {
        QPointF p = readYX(r);
        int count = r.i16();
        uint32_t options = r.u16();
        QRectF rc;
        if (options & 0x6) { // a RECT, stored in natural order
            double l = r.i16(), t = r.i16(), rt = r.i16(), b = r.i16();
            rc = QRectF(QPointF(l, t), QPointF(rt, b));
        }
        if (!r.ok() || count < 0)
            return;
        std::string_view s = r.bytes(size_t(count));
        if (!r.ok())
            return;
        if (count & 1)
            r.skip(1);
        std::vector<double> dx;
        if (r.ok() && r.remaining() >= size_t(count) * 2) {
            for (int i = 0; i < count; ++i)
                dx.push_back(r.i16());
        }
        g.text(p, ansiText(s, g.dc.font.charSet), dx, options, rc);
        return;
    }
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT: {
        bool stretch = function == META_DIBSTRETCHBLT;
        uint32_t rop = r.u32();
        bool noBitmap = paramWords == size_t(function >> 8);
        double srcH = 0, srcW = 0;
        if (stretch) {
            srcH = r.i16();
            srcW = r.i16();
        }
        double ySrc = r.i16(), xSrc = r.i16();
        if (noBitmap)
            r.i16();
        double h = r.i16(), w = r.i16();
        QPointF p = readYX(r);
        if (!r.ok())
            return;
        if (!stretch) {
            srcW = w;
            srcH = h;
        }
        QRectF dest(p, QSizeF(w, h));
        if (noBitmap) {
            g.patBlt(dest, rop);
            return;
        }
        QImage img = decodePackedDib(rec.substr(r.pos()), 0);
        if (!img.isNull())
            g.image(img, dest, sourceRect(img, xSrc, ySrc, srcW, srcH, false), rop);
        return;
    }
    case META_STRETCHDIB: {
        uint32_t rop = r.u32();
        uint32_t usage = r.u16();
        double srcH = r.i16(), srcW = r.i16(), ySrc = r.i16(), xSrc = r.i16();
        double h = r.i16(), w = r.i16();
        QPointF p = readYX(r);
        if (!r.ok())
            return;
        QImage img = decodePackedDib(rec.substr(r.pos()), usage);
        if (!img.isNull())
            g.image(img, QRectF(p, QSizeF(w, h)), sourceRect(img, xSrc, ySrc, srcW, srcH, true), rop);
        return;
    }
    case META_SETDIBTODEV: {
        uint32_t usage = r.u16();
        r.u16(); // scan count
        r.u16(); // start scan
        double ySrc = r.i16(), xSrc = r.i16(), h = r.i16(), w = r.i16();
        QPointF p = readYX(r);
        if (!r.ok())
            return;
        QImage img = decodePackedDib(rec.substr(r.pos()), usage);
        if (!img.isNull())
            g.imageUpright(img, QRectF(p, QSizeF(w, h)), sourceRect(img, xSrc, ySrc, w, h, true), SRCCOPY);
        return;
    }
    default: return; // not drawn
    }
}

} // namespace

void playWmfRecords(GdiPlayer& g, std::string_view records)
{
    ByteReader header(records);
    header.u16();
    size_t headerWords = header.u16();
    size_t pos = headerWords * 2;
    while (pos <= records.size() && records.size() - pos >= 6) {
        ByteReader h(records.substr(pos, 6));
        uint64_t words = h.u32();
        uint16_t function = h.u16();
        if (words < 3 || words * 2 > records.size() - pos)
            break;
        if (function == META_EOF)
            break;
        record(g, function, records.substr(pos, size_t(words * 2)));
        pos += size_t(words * 2);
    }
}

} // namespace dorvin::mf
