#pragma once
// Small geometry rules the GDI player's two halves (gdi_player.cpp: state, mapping, objects
// and clipping; gdi_drawing.cpp: drawing, paths, text and bitmaps) share.
#include <QPolygonF>
#include <QRectF>
#include <QTransform>

#include <cmath>

namespace dorvin::mf {

template <typename List> inline qsizetype totalPoints(const List& polygons)
{
    qsizetype n = 0;
    for (const QPolygonF& p : polygons)
        n += p.size();
    return n;
}

inline constexpr double kPi = 3.14159265358979323846;

inline double transformScale(const QTransform& t)
{
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

inline bool finiteTransform(const QTransform& t)
{
    for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        if (!std::isfinite(v) || std::abs(v) > 1e12)
            return false;
    return true;
}

inline bool finiteRect(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
           && std::isfinite(r.height());
}

inline bool axisAligned(const QTransform& t)
{
    return t.m12() == 0 && t.m21() == 0 && t.type() <= QTransform::TxScale;
}

// The affine map taking one rectangle onto another, extents signed: from's (x, y)
// corner goes to to's (x, y) corner.
inline QTransform rectToRect(const QRectF& from, const QRectF& to)
{
    const double sx = to.width() / from.width(), sy = to.height() / from.height();
    return QTransform(sx, 0, 0, sy, to.x() - from.x() * sx, to.y() - from.y() * sy);
}

// Pixels a resampled bitmap may have; beyond this it is sampled more coarsely and
// the paint engine scales it up (with a plain positive rectangle).
inline constexpr double kMaxPiecePixels = 16.0 * 1024 * 1024;

} // namespace dorvin::mf
