// The GDI player's drawing: lines, shapes and arcs, paths, text and bitmaps, in the
// device context's current state (gdi_player.cpp).
#include "metafile/gdi_player.h"

#include "metafile/gdi_geometry.h"

#include <QFontMetricsF>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>

namespace dorvin::mf {

// ---- drawing ----

void GdiPlayer::drawOutput(const QPainterPath& output, bool fill, bool stroke)
{
    if (output.isEmpty() || !sane(output.boundingRect()))
        return;
    QPen pen = stroke ? outputPen() : QPen(Qt::NoPen);
    QBrush brush = fill ? outputBrush() : QBrush(Qt::NoBrush);
    if (pen.style() == Qt::NoPen && brush.style() == Qt::NoBrush)
        return;
    QPainterPath path = output;
    path.setFillRule(dc.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    painter_.setBackgroundMode(dc.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(dc.bkColor);
    painter_.setPen(pen);
    painter_.setBrush(brush);
    painter_.drawPath(path);
}

void GdiPlayer::draw(const QPainterPath& logical, bool fill, bool stroke)
{
    drawOutput(fullTransform().map(logical), fill, stroke);
}

void GdiPlayer::addToPathOrDraw(const QPainterPath& logical, bool fill, bool stroke, bool connect)
{
    if (!pathOpen_) {
        draw(logical, fill, stroke);
        return;
    }
    if (path_.elementCount() >= 1000000)
        return;
    QPainterPath mapped = pageTransform().map(logical);
    if (connect)
        path_.connectPath(mapped);
    else
        path_.addPath(mapped);
}

void GdiPlayer::moveTo(QPointF p)
{
    dc.current = p;
    if (pathOpen_)
        path_.moveTo(pageTransform().map(p));
}

void GdiPlayer::lineTo(QPointF p)
{
    QPainterPath line(dc.current);
    line.lineTo(p);
    addToPathOrDraw(line, false, true, true);
    dc.current = p;
}

void GdiPlayer::polyline(const QPolygonF& points)
{
    if (points.size() < 2 || points.size() > kMaxPoints)
        return;
    QPainterPath path;
    path.addPolygon(points);
    addToPathOrDraw(path, false, true, false);
}

void GdiPlayer::polylineTo(const QPolygonF& points)
{
    if (points.isEmpty() || points.size() > kMaxPoints)
        return;
    QPainterPath path(dc.current);
    for (const QPointF& p : points)
        path.lineTo(p);
    addToPathOrDraw(path, false, true, true);
    dc.current = points.back();
}

void GdiPlayer::polygon(const QPolygonF& points)
{
    if (points.size() < 2 || points.size() > kMaxPoints)
        return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    addToPathOrDraw(path, true, true, false);
}

void GdiPlayer::polyPolygon(const std::vector<QPolygonF>& polygons)
{
    if (totalPoints(polygons) > kMaxPoints)
        return;
    QPainterPath path;
    for (const QPolygonF& p : polygons) {
        if (p.size() < 2)
            continue;
        path.addPolygon(p);
        path.closeSubpath();
    }
    addToPathOrDraw(path, true, true, false);
}

void GdiPlayer::polyPolyline(const std::vector<QPolygonF>& lines)
{
    if (totalPoints(lines) > kMaxPoints)
        return;
    QPainterPath path;
    for (const QPolygonF& p : lines)
        if (p.size() >= 2)
            path.addPolygon(p);
    addToPathOrDraw(path, false, true, false);
}

void GdiPlayer::polyBezier(const QPolygonF& points)
{
    if (points.size() < 4 || points.size() > kMaxPoints)
        return;
    QPainterPath path(points[0]);
    for (int i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    addToPathOrDraw(path, false, true, false);
}

void GdiPlayer::polyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3 || points.size() > kMaxPoints)
        return;
    QPainterPath path(dc.current);
    int i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    addToPathOrDraw(path, false, true, true);
    dc.current = points[i - 1];
}

void GdiPlayer::rectangle(const QRectF& r)
{
    if (!pathOpen_) {
        // Cut to the reach rather than skipped: a background far larger than the
        // picture is common, and its visible part is all that matters.
        if (std::optional<QPainterPath> out = outputRect(r))
            drawOutput(*out, true, true);
        return;
    }
    QPainterPath path;
    path.addRect(r.normalized());
    addToPathOrDraw(path, true, true, false);
}

void GdiPlayer::roundRect(const QRectF& r, QSizeF corner)
{
    QPainterPath path;
    QRectF n = r.normalized();
    path.addRoundedRect(n, std::min(std::abs(corner.width()) / 2, n.width() / 2),
                        std::min(std::abs(corner.height()) / 2, n.height() / 2));
    addToPathOrDraw(path, true, true, false);
}

void GdiPlayer::ellipse(const QRectF& r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    addToPathOrDraw(path, true, true, false);
}

QPainterPath GdiPlayer::arcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end, bool join) const
{
    QPainterPath path;
    QRectF r = box.normalized();
    if (r.width() <= 0 || r.height() <= 0)
        return path;
    if (!finiteRect(r) || !finiteRect(QRectF(start, end)))
        return path;
    QPointF c = r.center();
    double rx = r.width() / 2, ry = r.height() / 2;
    // Angles as QPainterPath counts them: degrees, counter-clockwise on a y-down screen.
    auto angle = [&](QPointF p) {
        double dx = (p.x() - c.x()) / rx, dy = (p.y() - c.y()) / ry;
        return (dx == 0 && dy == 0) ? 0.0 : std::atan2(-dy, dx) * 180 / kPi;
    };
    double a0 = angle(start), a1 = angle(end);
    if (!std::isfinite(a0) || !std::isfinite(a1))
        return path;
    bool counterClockwise = dc.arcDirection != 2;
    // The direction is the one seen on the output, so a mirroring mapping turns it round.
    QTransform page = fullTransform();
    if (page.m11() * page.m22() - page.m12() * page.m21() < 0)
        counterClockwise = !counterClockwise;
    double sweep = a1 - a0;
    if (counterClockwise) {
        while (sweep <= 0)
            sweep += 360;
    } else {
        while (sweep >= 0)
            sweep -= 360;
    }
    switch (kind) {
    case Pie:
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
        break;
    case Chord:
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
        break;
    case ArcTo:
        path.moveTo(dc.current);
        path.arcTo(r, a0, sweep);
        break;
    case Arc:
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        break;
    }
    (void)join;
    return path;
}

void GdiPlayer::arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end)
{
    QPainterPath path = arcPath(kind, box, start, end, kind == ArcTo);
    if (path.isEmpty())
        return;
    bool closed = kind == Pie || kind == Chord;
    addToPathOrDraw(path, closed, true, kind == ArcTo);
    if (kind == ArcTo)
        dc.current = path.currentPosition();
}

void GdiPlayer::angleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!std::isfinite(radius) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg)
        || std::abs(radius) > kMaxCoordinate)
        return;
    sweepDeg = std::clamp(sweepDeg, -3600.0, 3600.0);
    QRectF r(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(dc.current);
    QTransform t = fullTransform();
    if (t.m11() * t.m22() - t.m12() * t.m21() < 0) {
        startDeg = -startDeg;
        sweepDeg = -sweepDeg;
    }
    path.arcTo(r.normalized(), startDeg, sweepDeg);
    addToPathOrDraw(path, false, true, true);
    dc.current = path.currentPosition();
}

void GdiPlayer::setPixel(QPointF p, QColor c)
{
    QPointF out = fullTransform().map(p);
    if (!sane(QRectF(out, QSizeF(1, 1))))
        return;
    painter_.fillRect(QRectF(std::floor(out.x()), std::floor(out.y()), 1, 1), c);
}

// ---- paths ----

void GdiPlayer::beginPath()
{
    path_ = QPainterPath();
    pathOpen_ = true;
}

void GdiPlayer::abortPath()
{
    path_ = QPainterPath();
    pathOpen_ = false;
}

void GdiPlayer::closeFigure()
{
    if (pathOpen_)
        path_.closeSubpath();
}

void GdiPlayer::strokePath()
{
    drawOutput(base_.map(path_), false, true);
    path_ = QPainterPath();
    pathOpen_ = false;
}

void GdiPlayer::fillPath()
{
    fillClosedPath(false);
}

void GdiPlayer::strokeAndFillPath()
{
    fillClosedPath(true);
}

void GdiPlayer::fillClosedPath(bool stroke)
{
    // Filling closes every open figure of the path first, as the device does.
    QPainterPath closed = path_;
    closed.closeSubpath();
    drawOutput(base_.map(closed), true, stroke);
    path_ = QPainterPath();
    pathOpen_ = false;
}

// ---- text ----

QFont GdiPlayer::outputFont(double* pixelHeight) const
{
    const LogFont& lf = dc.font;
    QTransform t = fullTransform();
    double yScale = std::hypot(t.m21(), t.m22());
    double h = (lf.height == 0 ? 12.0 : std::abs(double(lf.height))) * yScale;
    QFont font(lf.face.isEmpty() ? QStringLiteral("MS Sans Serif") : lf.face);
    switch (lf.pitchAndFamily & 0xF0) {
    case 0x10: font.setStyleHint(QFont::Serif); break;
    case 0x20: font.setStyleHint(QFont::SansSerif); break;
    case 0x30: font.setStyleHint(QFont::Monospace); break;
    case 0x40: font.setStyleHint(QFont::Cursive); break;
    case 0x50: font.setStyleHint(QFont::Decorative); break;
    default: break;
    }
    int px = int(std::lround(std::clamp(std::isfinite(h) ? h : 0.0, 0.0, 2000.0)));
    if (px < 1) {
        *pixelHeight = 0;
        return font;
    }
    font.setPixelSize(px);
    if (lf.height > 0) {
        // A positive height is the character cell; the font's pixel size is the em.
        double cell = QFontMetricsF(font).height();
        if (cell > 0)
            font.setPixelSize(std::max(1, int(std::lround(px * px / cell))));
    }
    font.setWeight(QFont::Weight(std::clamp(lf.weight == 0 ? 400 : lf.weight, 100, 900)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    if (lf.width > 0) {
        double wanted = lf.width * std::hypot(t.m11(), t.m12());
        double natural = QFontMetricsF(font).averageCharWidth();
        if (natural > 0 && std::isfinite(wanted))
            font.setStretch(int(std::lround(std::clamp(100 * wanted / natural, 1.0, 4000.0))));
    }
    *pixelHeight = font.pixelSize();
    return font;
}

void GdiPlayer::text(QPointF reference, const QString& s, const std::vector<double>& dx, uint32_t options,
                     const QRectF& rect)
{
    QTransform t = fullTransform();
    bool updateCp = dc.textAlign & 1;
    if (updateCp)
        reference = dc.current;
    if (options & 0x2) { // opaque rectangle
        if (std::optional<QPainterPath> out = outputRect(rect); out && !out->isEmpty())
            painter_.fillPath(*out, dc.bkColor);
    }
    if (s.isEmpty() || s.size() > 8192)
        return;
    double pixelHeight = 0;
    QFont font = outputFont(&pixelHeight);
    if (pixelHeight < 1)
        return;
    QPointF origin = t.map(reference);
    if (!sane(QRectF(origin, QSizeF(pixelHeight, pixelHeight))))
        return;
    QFontMetricsF fm(font);
    double xScale = std::hypot(t.m11(), t.m12());
    std::vector<double> advances;
    double width = 0;
    if (!dx.empty()) {
        for (int i = 0; i < s.size(); ++i) {
            double a = i < int(dx.size()) ? dx[size_t(i)] * xScale : fm.horizontalAdvance(s[i]);
            if (!std::isfinite(a) || std::abs(a) > kMaxCoordinate)
                a = 0;
            advances.push_back(a);
            width += a;
        }
    } else {
        width = fm.horizontalAdvance(s);
    }
    // A run longer than the whole reach is made of advances no text has.
    const double longest = reach_.width() + reach_.height();
    if (!std::isfinite(width) || std::abs(width) > longest)
        return;
    double x = 0;
    switch (dc.textAlign & 6) {
    case 2: x = -width; break;
    case 6: x = -width / 2; break;
    default: break;
    }
    double y = 0;
    switch (dc.textAlign & 24) {
    case 8: y = -fm.descent(); break;
    case 24: y = 0; break;
    default: y = fm.ascent(); break;
    }
    painter_.save();
    if (options & 0x4) { // clipped to the rectangle
        if (std::optional<QPainterPath> out = outputRect(rect))
            painter_.setClipPath(*out, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    double escapement = dc.font.escapement / 10.0;
    QTransform place = QTransform::fromTranslate(origin.x(), origin.y());
    place.rotate(-escapement);
    painter_.setTransform(place);
    if (dc.bkMode == 2 && !(options & 0x2))
        painter_.fillRect(QRectF(x, y - fm.ascent(), width, fm.ascent() + fm.descent()).normalized(),
                          dc.bkColor);
    painter_.setFont(font);
    painter_.setPen(dc.textColor);
    if (advances.empty()) {
        painter_.drawText(QPointF(x, y), s);
    } else {
        double pos = x;
        for (int i = 0; i < s.size(); ++i) {
            if (std::abs(pos) > longest)
                break;
            // Keep surrogate pairs together.
            if (s[i].isHighSurrogate() && i + 1 < s.size()) {
                painter_.drawText(QPointF(pos, y), s.mid(i, 2));
                pos += advances[size_t(i)] + advances[size_t(i + 1)];
                ++i;
                continue;
            }
            painter_.drawText(QPointF(pos, y), QString(s[i]));
            pos += advances[size_t(i)];
        }
    }
    painter_.restore();
    if (updateCp && xScale > 0)
        dc.current = reference + QPointF(width / xScale, 0);
}

// ---- bitmaps ----

void GdiPlayer::image(const QImage& img, const QRectF& dest, const QRectF& src, uint32_t rop)
{
    if (img.isNull() || !finiteRect(dest) || !finiteRect(src) || dest.width() == 0 || dest.height() == 0
        || src.width() == 0 || src.height() == 0)
        return;
    drawImageMapped(img, src.normalized(), rectToRect(src, dest) * fullTransform(), rop);
}

void GdiPlayer::imageUpright(const QImage& img, const QRectF& dest, const QRectF& src, uint32_t rop)
{
    const QRectF d = dest.normalized(), s = src.normalized();
    if (img.isNull() || !finiteRect(d) || !finiteRect(s) || d.isEmpty() || s.isEmpty())
        return;
    QTransform toOutput = rectToRect(s, d) * fullTransform();
    // Undo the mapping's mirroring: the picture keeps its own way up on the output.
    if (axisAligned(toOutput) && (toOutput.m11() < 0 || toOutput.m22() < 0)) {
        QRectF flipped = d;
        if (toOutput.m11() < 0)
            flipped = QRectF(d.right(), d.top(), -d.width(), d.height());
        if (toOutput.m22() < 0)
            flipped = QRectF(flipped.x(), d.bottom(), flipped.width(), -d.height());
        toOutput = rectToRect(s, flipped) * fullTransform();
    }
    drawImageMapped(img, s, toOutput, rop);
}

void GdiPlayer::imageAtPoint(const QImage& img, QPointF logical, const QRectF& src, uint32_t rop)
{
    const QPointF at = pageTransform().map(logical);
    if (img.isNull() || !std::isfinite(at.x()) || !std::isfinite(at.y()) || !finiteRect(src)
        || src.width() <= 0 || src.height() <= 0)
        return;
    drawImageMapped(img, src, QTransform::fromTranslate(at.x() - src.x(), at.y() - src.y()) * base_, rop);
}

// Resamples the source part of the bitmap into the device pixels it covers (nearest
// pixel, as the device stretches) and hands the paint engine one unscaled, unmirrored
// image. The work is bounded by the visible device area, whatever the stretching.
void GdiPlayer::drawImageMapped(const QImage& img, const QRectF& src, const QTransform& toOutput,
                                uint32_t rop)
{
    if (rop == DSTCOPY) // leaves the destination alone
        return;
    const QRectF bounds = QRectF(img.rect()).intersected(src);
    if (bounds.isEmpty() || !finiteTransform(toOutput) || toOutput.type() == QTransform::TxProject)
        return;
    const double det = toOutput.m11() * toOutput.m22() - toOutput.m12() * toOutput.m21();
    if (!std::isfinite(det) || std::abs(det) < 1e-18)
        return;
    const QRectF out = toOutput.mapRect(bounds);
    QRectF visible = out.intersected(deviceRect_.isEmpty() ? reach_ : deviceRect_);
    if (painter_.hasClipping())
        visible = visible.intersected(painter_.clipBoundingRect());
    if (!finiteRect(visible) || visible.isEmpty())
        return;

    double scale = devicePixelRatio_;
    if (visible.width() * visible.height() * scale * scale > kMaxPiecePixels)
        scale = std::sqrt(kMaxPiecePixels / (visible.width() * visible.height()));
    // The grid pixels whose centres lie inside the visible part.
    const int x0 = int(std::ceil(visible.left() * scale - 0.5));
    const int x1 = int(std::ceil(visible.right() * scale - 0.5));
    const int y0 = int(std::ceil(visible.top() * scale - 0.5));
    const int y1 = int(std::ceil(visible.bottom() * scale - 0.5));
    const int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0)
        return;

    const QImage source = img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_ARGB32
                              ? img
                              : img.convertToFormat(QImage::Format_RGB32);
    const int sx0 = int(std::floor(bounds.left())), sx1 = int(std::ceil(bounds.right())) - 1;
    const int sy0 = int(std::floor(bounds.top())), sy1 = int(std::ceil(bounds.bottom())) - 1;
    const QTransform toSource = toOutput.inverted();
    // Clamped while still floating point: a nearly flat mapping sends device pixels to
    // source positions far outside the range of int.
    auto pixel = [](double v, int low, int high) {
        return int(std::clamp(std::floor(v), double(low), double(high)));
    };
    const bool straight = axisAligned(toOutput);
    QImage piece(w, h, straight ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (piece.isNull())
        return;
    if (straight) {
        std::vector<int> columns(size_t(w), 0);
        for (int i = 0; i < w; ++i) {
            const double u = toSource.m11() * ((x0 + i + 0.5) / scale) + toSource.dx();
            columns[size_t(i)] = pixel(u, sx0, sx1);
        }
        for (int j = 0; j < h; ++j) {
            const double v = toSource.m22() * ((y0 + j + 0.5) / scale) + toSource.dy();
            const int row = pixel(v, sy0, sy1);
            const QRgb* from = reinterpret_cast<const QRgb*>(source.constScanLine(row));
            QRgb* to = reinterpret_cast<QRgb*>(piece.scanLine(j));
            for (int i = 0; i < w; ++i)
                to[i] = 0xFF000000u | from[columns[size_t(i)]];
        }
    } else {
        // Turned by a world transform: pixels outside the turned picture stay clear.
        for (int j = 0; j < h; ++j) {
            QRgb* to = reinterpret_cast<QRgb*>(piece.scanLine(j));
            for (int i = 0; i < w; ++i) {
                const QPointF p = toSource.map(QPointF((x0 + i + 0.5) / scale, (y0 + j + 0.5) / scale));
                const bool inside = p.x() >= bounds.left() && p.x() < bounds.right() && p.y() >= bounds.top()
                                    && p.y() < bounds.bottom();
                to[i] =
                    inside ? 0xFF000000u | source.pixel(pixel(p.x(), sx0, sx1), pixel(p.y(), sy0, sy1)) : 0u;
            }
        }
    }

    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    const bool raster =
        straight && painter_.paintEngine() && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    switch (rop) {
    case SRCAND:
        if (raster)
            mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case SRCPAINT:
        if (raster)
            mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case SRCINVERT:
        if (raster)
            mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case NOTSRCCOPY:
        if (straight) {
            piece.invertPixels();
        } else {
            piece = piece.convertToFormat(QImage::Format_ARGB32);
            piece.invertPixels(QImage::InvertRgb);
        }
        break;
    default: break;
    }
    piece.setDevicePixelRatio(scale);
    painter_.save();
    painter_.setCompositionMode(mode);
    painter_.drawImage(QPointF(x0 / scale, y0 / scale), piece);
    painter_.restore();
}

void GdiPlayer::patBlt(const QRectF& dest, uint32_t rop)
{
    std::optional<QPainterPath> cut = outputRect(dest);
    if (!cut || cut->isEmpty())
        return;
    const QPainterPath& out = *cut;
    bool raster = painter_.paintEngine() && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    switch (rop) {
    case BLACKNESS: painter_.fillPath(out, Qt::black); break;
    case WHITENESS: painter_.fillPath(out, Qt::white); break;
    case PATCOPY: painter_.fillPath(out, outputBrush()); break;
    case PATINVERT:
    case DSTINVERT:
        if (raster) {
            painter_.save();
            painter_.setCompositionMode(rop == PATINVERT ? QPainter::RasterOp_SourceXorDestination
                                                         : QPainter::RasterOp_NotDestination);
            painter_.fillPath(out, rop == PATINVERT ? outputBrush() : QBrush(Qt::black));
            painter_.restore();
        }
        break;
    default: break;
    }
}

} // namespace dorvin::mf
