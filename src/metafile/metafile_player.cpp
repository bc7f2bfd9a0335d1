#include "metafile/metafile_player.h"

#include "metafile/gdi_player.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace dorvin {

bool symbolFitFor(int32_t w, int32_t h)
{
    return w > kSymbolFitThreshold || h > kSymbolFitThreshold;
}

QRect pictureRect(int32_t declaredWidth, int32_t declaredHeight, QSize box, bool fit, double dpiX,
                  double dpiY)
{
    if (declaredWidth <= 0 || declaredHeight <= 0 || box.isEmpty())
        return {};
    // Natural size in pixels, rounded as the system rounds hundredths of a millimetre.
    double w = std::floor(declaredWidth * dpiX / 2540.0 + 0.5);
    double h = std::floor(declaredHeight * dpiY / 2540.0 + 0.5);
    w = std::max(w, 1.0);
    h = std::max(h, 1.0);
    const double cw = box.width(), ch = box.height();
    if (fit || w > cw || h > ch) {
        double aspect = w / h;
        if (w > h) {
            w = cw;
            h = std::trunc(cw / aspect);
            if (h > ch) {
                h = ch;
                w = std::trunc(ch * aspect);
            }
        } else {
            h = ch;
            w = std::trunc(ch * aspect);
            if (w > cw) {
                w = cw;
                h = std::trunc(cw / aspect);
            }
        }
    }
    int iw = int(w), ih = int(h);
    return QRect((box.width() - iw) / 2, (box.height() - ih) / 2, iw, ih);
}

QRect symbolRect(const Metafile& picture, QSize box, double dpiX, double dpiY)
{
    if (picture.isEmpty())
        return {};
    return pictureRect(picture.width(), picture.height(), box,
                       symbolFitFor(picture.width(), picture.height()), dpiX, dpiY);
}

namespace {

double pixelsPerMm(int32_t pixels, int32_t micrometers, int32_t millimeters)
{
    if (pixels > 0 && micrometers > 0)
        return pixels * 1000.0 / micrometers;
    if (pixels > 0 && millimeters > 0)
        return double(pixels) / millimeters;
    return 96.0 / 25.4;
}

void drawEmf(QPainter& painter, const Metafile& picture, const QRectF& target)
{
    const EmfHeader& h = picture.emfHeader();
    double mmX = pixelsPerMm(h.device.cx, h.micrometers.cx, h.millimeters.cx);
    double mmY = pixelsPerMm(h.device.cy, h.micrometers.cy, h.millimeters.cy);
    // The frame, in reference device pixels, is what covers the target.
    double left = h.frame.left / 100.0 * mmX;
    double top = h.frame.top / 100.0 * mmY;
    double width = (double(h.frame.right) - h.frame.left) / 100.0 * mmX;
    double height = (double(h.frame.bottom) - h.frame.top) / 100.0 * mmY;
    if (!(width > 0) || !(height > 0)) {
        left = h.bounds.left;
        top = h.bounds.top;
        width = double(h.bounds.right) - h.bounds.left + 1;
        height = double(h.bounds.bottom) - h.bounds.top + 1;
    }
    if (!(width > 0) || !(height > 0))
        return;
    mf::GdiPlayer player(painter, false);
    player.setDeviceResolution(mmX, mmY);
    player.setBase(QTransform::fromTranslate(-left, -top)
                       * QTransform::fromScale(target.width() / width, target.height() / height)
                       * QTransform::fromTranslate(target.x(), target.y()),
                   target);
    mf::playEmfRecords(player, picture.emfBytes());
}

void drawWmf(QPainter& painter, const Metafile& picture, const QRectF& target)
{
    const WmfPlaceable& p = picture.wmfPlaceable();
    double width = double(p.right) - p.left;
    double height = double(p.bottom) - p.top;
    if (width == 0 || height == 0)
        return;
    mf::GdiPlayer player(painter, true);
    // The placeable box is the window until the records set their own; either way
    // the window covers the target.
    player.dc.winOrg = QPointF(p.left, p.top);
    player.dc.winExt = QPointF(width, height);
    player.dc.vpOrg = QPointF(0, 0);
    player.dc.vpExt = QPointF(width, height);
    player.setBase(QTransform::fromScale(target.width() / width, target.height() / height)
                       * QTransform::fromTranslate(target.x(), target.y()),
                   target);
    mf::playWmfRecords(player, picture.wmfRecords());
}

} // namespace

void drawMetafile(QPainter& painter, const Metafile& picture, const QRectF& target)
{
    if (target.isEmpty() || !painter.isActive())
        return;
    if (picture.form() == Metafile::Form::Emf)
        drawEmf(painter, picture, target);
    else if (picture.form() == Metafile::Form::Wmf)
        drawWmf(painter, picture, target);
}

QImage renderSymbol(const Metafile& picture, int size, QColor background)
{
    size = std::clamp(size, 1, 4096);
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(background);
    QRect r = symbolRect(picture, image.size());
    if (!r.isEmpty()) {
        QPainter painter(&image);
        drawMetafile(painter, picture, r);
    }
    return image;
}

} // namespace dorvin
