#include "metafile/gdi_player.h"

#include "metafile/gdi_geometry.h"

#include <QFontMetricsF>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>

namespace dorvin::mf {

namespace {

constexpr int kMaxClipOperations = 512;

LogBrush stockBrush(int gray, bool null = false)
{
    LogBrush b;
    b.style = null ? 1 : 0;
    b.color = QColor(gray, gray, gray);
    return b;
}

LogPen stockPen(QColor c, bool null = false)
{
    LogPen p;
    p.style = null ? 5 : 0;
    p.color = c;
    return p;
}

std::optional<GdiObject> stockObject(uint32_t index)
{
    switch (index & 0x7FFFFFFFu) {
    case 0: return stockBrush(255);
    case 1: return stockBrush(192);
    case 2: return stockBrush(128);
    case 3: return stockBrush(64);
    case 4: return stockBrush(0);
    case 5: return stockBrush(0, true);
    case 6: return stockPen(Qt::white);
    case 7: return stockPen(Qt::black);
    case 8: return stockPen(Qt::black, true);
    case 10:
    case 11:
    case 16: {
        LogFont f;
        f.face = QStringLiteral("Courier New");
        f.height = 12;
        f.pitchAndFamily = 0x31;
        return f;
    }
    case 12:
    case 13:
    case 14:
    case 17: {
        LogFont f;
        f.face = QStringLiteral("MS Sans Serif");
        f.height = 13;
        return f;
    }
    case 18: return stockBrush(255);
    case 19: return stockPen(Qt::black);
    default: return std::nullopt;
    }
}

Qt::BrushStyle hatchStyle(int hatch)
{
    switch (hatch) {
    case 0: return Qt::HorPattern;
    case 1: return Qt::VerPattern;
    case 2: return Qt::FDiagPattern;
    case 3: return Qt::BDiagPattern;
    case 4: return Qt::CrossPattern;
    case 5: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

} // namespace

GdiPlayer::GdiPlayer(QPainter& painter, bool wmf) : painter_(painter), wmf_(wmf)
{
    painter_.save();
    QTransform device = painter_.worldTransform();
    if (painter_.hasClipping()) {
        initialClip_ = device.map(painter_.clipPath());
        hasInitialClip_ = true;
    }
    device_ = device;
    base_ = device;
    painter_.resetTransform();
    if (QPaintDevice* target = painter_.device()) {
        // Output coordinates are the painter's with an identity world transform; a window
        // or viewport set on the painter still lies between them and the device.
        const QTransform toDevice = painter_.deviceTransform();
        const QRectF pixels(0, 0, target->width(), target->height());
        if (toDevice.isInvertible() && !pixels.isEmpty())
            deviceRect_ = toDevice.inverted().mapRect(pixels);
        const double ratio = target->devicePixelRatioF();
        devicePixelRatio_ = std::isfinite(ratio) ? std::clamp(ratio, 1.0, 8.0) : 1.0;
    }
    setBase(QTransform(), QRectF());
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    dc.pen = stockPen(Qt::black);
    dc.brush = stockBrush(255);
    dc.font = std::get<LogFont>(*stockObject(13));
    if (wmf_)
        dc.mapMode = MM_ANISOTROPIC;
}

GdiPlayer::~GdiPlayer()
{
    painter_.restore();
}

void GdiPlayer::setBase(const QTransform& base, const QRectF& target)
{
    base_ = base * device_;
    QRectF area = deviceRect_;
    const QRectF out = device_.mapRect(target);
    if (finiteRect(out) && !out.isEmpty())
        area = area.isEmpty() ? out : area.united(out);
    if (!finiteRect(area) || area.isEmpty())
        area = QRectF(0, 0, 1024, 1024);
    const double margin = kReachFactor * std::max({area.width(), area.height(), 256.0});
    const QRectF limit(-kMaxCoordinate, -kMaxCoordinate, 2 * kMaxCoordinate, 2 * kMaxCoordinate);
    reach_ = area.adjusted(-margin, -margin, margin, margin).intersected(limit);
}

void GdiPlayer::setDeviceResolution(double x, double y)
{
    if (std::isfinite(x) && std::isfinite(y) && x > 1e-6 && y > 1e-6 && x < 1e6 && y < 1e6) {
        pxPerMmX_ = x;
        pxPerMmY_ = y;
    }
}

QTransform GdiPlayer::pageTransform() const
{
    double sx = 1, sy = 1;
    switch (dc.mapMode) {
    case MM_LOMETRIC:
        sx = 0.1;
        sy = 0.1;
        break;
    case MM_HIMETRIC:
        sx = 0.01;
        sy = 0.01;
        break;
    case MM_LOENGLISH:
        sx = 0.254;
        sy = 0.254;
        break;
    case MM_HIENGLISH:
        sx = 0.0254;
        sy = 0.0254;
        break;
    case MM_TWIPS:
        sx = 25.4 / 1440;
        sy = 25.4 / 1440;
        break;
    default: break;
    }
    if (dc.mapMode >= MM_LOMETRIC && dc.mapMode <= MM_TWIPS) {
        sx *= pxPerMmX_;
        sy *= -pxPerMmY_;
    } else if (dc.mapMode == MM_ISOTROPIC || dc.mapMode == MM_ANISOTROPIC) {
        sx = dc.vpExt.x() / dc.winExt.x();
        sy = dc.vpExt.y() / dc.winExt.y();
        if (dc.mapMode == MM_ISOTROPIC) {
            double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
    }
    QTransform page = QTransform::fromTranslate(-dc.winOrg.x(), -dc.winOrg.y())
                      * QTransform::fromScale(sx, sy) * QTransform::fromTranslate(dc.vpOrg.x(), dc.vpOrg.y());
    return dc.world * page;
}

// ---- mapping ----

void GdiPlayer::setMapMode(int mode)
{
    if (wmf_ || mode < MM_TEXT || mode > MM_ANISOTROPIC || mode == dc.mapMode)
        return;
    bool scaled = mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC;
    bool wasScaled = dc.mapMode == MM_ISOTROPIC || dc.mapMode == MM_ANISOTROPIC;
    if (scaled && !wasScaled) {
        // Switching to a scaled mode keeps the scale the previous mode had.
        QTransform page = pageTransform();
        QTransform world = dc.world;
        dc.winExt = QPointF(1, 1);
        dc.vpExt = QPointF(world.isInvertible() ? (world.inverted() * page).m11() : 1,
                           world.isInvertible() ? (world.inverted() * page).m22() : 1);
        if (dc.vpExt.x() == 0 || dc.vpExt.y() == 0)
            dc.vpExt = QPointF(1, 1);
    }
    dc.mapMode = mode;
}

void GdiPlayer::setWindowExt(QPointF e)
{
    if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y()))
        return;
    if (dc.mapMode == MM_ISOTROPIC || dc.mapMode == MM_ANISOTROPIC)
        dc.winExt = e;
}

void GdiPlayer::setViewportExt(QPointF e)
{
    if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y()))
        return;
    if (dc.mapMode == MM_ISOTROPIC || dc.mapMode == MM_ANISOTROPIC)
        dc.vpExt = e;
}

void GdiPlayer::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    setWindowExt(QPointF(dc.winExt.x() * xNum / xDen, dc.winExt.y() * yNum / yDen));
}

void GdiPlayer::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    setViewportExt(QPointF(dc.vpExt.x() * xNum / xDen, dc.vpExt.y() * yNum / yDen));
}

void GdiPlayer::setWorldTransform(const QTransform& t)
{
    if (finiteTransform(t) && t.isInvertible())
        dc.world = t;
}

void GdiPlayer::modifyWorldTransform(const QTransform& t, int mode)
{
    QTransform result;
    switch (mode) {
    case 1: break;                        // identity
    case 2: result = t * dc.world; break; // applied before the current one
    case 3: result = dc.world * t; break; // applied after the current one
    case 4: result = t; break;
    default: return;
    }
    if (finiteTransform(result) && result.isInvertible())
        dc.world = result;
}

// ---- objects ----

void GdiPlayer::createObject(uint32_t index, GdiObject object)
{
    if (index == 0 || index >= kMaxObjects)
        return;
    objects_[index] = std::move(object);
}

void GdiPlayer::createObjectWmf(GdiObject object)
{
    uint32_t slot;
    if (!freeWmfSlots_.empty()) {
        slot = *freeWmfSlots_.begin();
        freeWmfSlots_.erase(freeWmfSlots_.begin());
    } else if (nextWmfSlot_ < kMaxObjects) {
        slot = nextWmfSlot_++;
    } else {
        return;
    }
    objects_[slot] = std::move(object);
}

void GdiPlayer::selectObject(uint32_t index)
{
    const GdiObject* object = nullptr;
    std::optional<GdiObject> stock;
    if (!wmf_ && (index & 0x80000000u)) {
        stock = stockObject(index);
        if (stock)
            object = &*stock;
    } else {
        auto it = objects_.find(index);
        if (it != objects_.end())
            object = &it->second;
    }
    if (!object)
        return;
    if (auto* pen = std::get_if<LogPen>(object))
        dc.pen = *pen;
    else if (auto* brush = std::get_if<LogBrush>(object))
        dc.brush = *brush;
    else if (auto* font = std::get_if<LogFont>(object))
        dc.font = *font;
}

void GdiPlayer::deleteObject(uint32_t index)
{
    if (objects_.erase(index) && wmf_)
        freeWmfSlots_.insert(index);
}

void GdiPlayer::saveDc()
{
    if (int(saved_.size()) >= kMaxSavedStates) {
        ++droppedSaves_;
        return;
    }
    saved_.push_back(dc);
}

void GdiPlayer::restoreDc(int n)
{
    int depth = int(saved_.size()) + droppedSaves_;
    int target; // number of saved states that remain
    if (n < 0)
        target = depth + n;
    else if (n > 0)
        target = n - 1;
    else
        return;
    if (target < 0 || target >= depth)
        return;
    droppedSaves_ = std::max(0, std::min(droppedSaves_, target - int(saved_.size())));
    if (target < int(saved_.size())) {
        dc = saved_[size_t(target)];
        saved_.resize(size_t(target));
    }
    applyClip();
}

// ---- pens, brushes, clipping ----

QPen GdiPlayer::outputPen() const
{
    const LogPen& p = dc.pen;
    int type = p.style & 0x0F;
    if (type == 5 || dc.rop2 == 11)
        return Qt::NoPen;
    double scale = transformScale(fullTransform());
    double width = p.cosmetic ? 1.0 : p.width * scale;
    width = std::clamp(std::isfinite(width) ? width : 1.0, 1.0, 4096.0);
    QPen pen(p.color);
    pen.setCosmetic(true);
    pen.setWidthF(width);
    // A plain pen wider than a pixel draws solid lines.
    if (!(p.style & 0x10000) && width > 1.5)
        type = 0;
    switch (type) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2:
    case 8: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 7: {
        QList<qreal> pattern;
        bool any = false;
        for (size_t i = 0; i < p.dashes.size() && i < 16; ++i) {
            double d = std::clamp(p.dashes[i] * scale / width, 0.1, 1000.0);
            pattern << (std::isfinite(d) ? d : 1.0);
            any = any || p.dashes[i] > 0;
        }
        if (any && pattern.size() % 2 == 1)
            pattern << pattern.back();
        if (any)
            pen.setDashPattern(pattern);
        break;
    }
    default: break;
    }
    switch (p.style & 0xF00) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (p.style & 0xF000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    return pen;
}

QBrush GdiPlayer::outputBrush() const
{
    const LogBrush& b = dc.brush;
    if (dc.rop2 == 11)
        return Qt::NoBrush;
    switch (b.style) {
    case 0: return QBrush(b.color);
    case 1: return Qt::NoBrush;
    case 2: return QBrush(b.color, hatchStyle(b.hatch));
    default:
        if (!b.pattern.isNull())
            return QBrush(b.pattern);
        return QBrush(b.color);
    }
}

void GdiPlayer::applyClip()
{
    if (!dc.hasClip) {
        if (hasInitialClip_)
            painter_.setClipPath(initialClip_);
        else
            painter_.setClipping(false);
        return;
    }
    painter_.setClipPath(hasInitialClip_ ? dc.clip.intersected(initialClip_) : dc.clip);
}

bool GdiPlayer::sane(const QRectF& r) const
{
    for (double v : {r.left(), r.top(), r.right(), r.bottom()})
        if (!std::isfinite(v))
            return false;
    return r.left() >= reach_.left() && r.right() <= reach_.right() && r.top() >= reach_.top()
           && r.bottom() <= reach_.bottom();
}

std::optional<QPainterPath> GdiPlayer::outputRect(const QRectF& logical) const
{
    return outputRectOf(fullTransform(), logical);
}

std::optional<QPainterPath> GdiPlayer::outputRectOf(const QTransform& t, const QRectF& rect) const
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    if (!finiteRect(r) || !finiteTransform(t))
        return std::nullopt;
    if (!axisAligned(t)) {
        QPainterPath shape;
        shape.addRect(r);
        QPainterPath out = t.map(shape);
        if (!sane(out.boundingRect()))
            return std::nullopt;
        return out;
    }
    // Cut to the reach: what lies beyond is never seen, an outline there included.
    const QRectF out = t.mapRect(r);
    const double left = std::max(out.left(), reach_.left()), right = std::min(out.right(), reach_.right());
    const double top = std::max(out.top(), reach_.top()), bottom = std::min(out.bottom(), reach_.bottom());
    if (!(left <= right && top <= bottom))
        return path;
    path.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
    return path;
}

void GdiPlayer::intersectClip(const QRectF& logical)
{
    if (clipOperations_++ > kMaxClipOperations)
        return;
    std::optional<QPainterPath> out = outputRect(logical);
    if (!out)
        return;
    dc.clip = dc.hasClip ? dc.clip.intersected(*out) : *out;
    dc.hasClip = true;
    applyClip();
}

void GdiPlayer::excludeClip(const QRectF& logical)
{
    if (clipOperations_++ > kMaxClipOperations)
        return;
    std::optional<QPainterPath> out = outputRect(logical);
    if (!out || out->isEmpty())
        return;
    QPainterPath all;
    if (dc.hasClip)
        all = dc.clip;
    else
        all.addRect(reach_);
    dc.clip = all.subtracted(*out);
    dc.hasClip = true;
    applyClip();
}

void GdiPlayer::resetClip()
{
    dc.hasClip = false;
    dc.clip = QPainterPath();
    applyClip();
}

void GdiPlayer::offsetClip(QPointF offset)
{
    if (!dc.hasClip)
        return;
    QTransform t = fullTransform();
    QPointF d = t.map(offset) - t.map(QPointF(0, 0));
    if (!std::isfinite(d.x()) || !std::isfinite(d.y()) || std::abs(d.x()) > kMaxCoordinate
        || std::abs(d.y()) > kMaxCoordinate)
        return;
    dc.clip.translate(d);
    applyClip();
}

void GdiPlayer::selectClipPath(int mode)
{
    QPainterPath out = base_.map(path_);
    out.setFillRule(dc.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    path_ = QPainterPath();
    pathOpen_ = false;
    combineClip(out, mode);
}

void GdiPlayer::clipRegion(const std::vector<QRectF>& deviceRects, int mode)
{
    if (deviceRects.empty() && mode == 5) {
        resetClip();
        return;
    }
    QPainterPath region;
    for (const QRectF& r : deviceRects)
        if (auto out = outputRectOf(base_, r))
            region.addPath(*out);
    region.setFillRule(Qt::WindingFill);
    combineClip(region, mode);
}

void GdiPlayer::fillRegion(const std::vector<QRectF>& deviceRects, const LogBrush* brush)
{
    QPainterPath out;
    for (const QRectF& r : deviceRects)
        if (auto part = outputRectOf(base_, r))
            out.addPath(*part);
    out.setFillRule(Qt::WindingFill);
    if (out.isEmpty() || !sane(out.boundingRect()))
        return;
    LogBrush keep = dc.brush;
    if (brush)
        dc.brush = *brush;
    painter_.fillPath(out, outputBrush());
    dc.brush = keep;
}

void GdiPlayer::combineClip(const QPainterPath& out, int mode)
{
    if (clipOperations_++ > kMaxClipOperations || !sane(out.boundingRect()))
        return;
    QPainterPath all;
    all.addRect(reach_);
    QPainterPath current = dc.hasClip ? dc.clip : all;
    switch (mode) {
    case 1: dc.clip = current.intersected(out); break;
    case 2: dc.clip = current.united(out); break;
    case 3: dc.clip = current.united(out).subtracted(current.intersected(out)); break;
    case 4: dc.clip = current.subtracted(out); break;
    case 5: dc.clip = out; break;
    default: return;
    }
    dc.hasClip = true;
    applyClip();
}

} // namespace dorvin::mf
