#include "widgets/image.h"

#include <QMouseEvent>
#include <QPainter>

namespace dorvin {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::setPixmap(const QPixmap& pixmap)
{
    m_paint = nullptr;
    m_pixmap = pixmap;
    update();
}

void TImage::setPainterFunction(std::function<void(QPainter&, const QRectF&)> paint, QSizeF naturalSize)
{
    m_pixmap = QPixmap();
    m_paint = std::move(paint);
    m_natural = naturalSize;
    update();
}

void TImage::clear()
{
    m_pixmap = QPixmap();
    m_paint = nullptr;
    m_natural = {};
    update();
}

void TImage::setStretch(bool on)
{
    if (m_stretch == on)
        return;
    m_stretch = on;
    update();
}

QSizeF TImage::naturalSize() const
{
    if (m_paint)
        return m_natural;
    return m_pixmap.isNull() ? QSizeF() : QSizeF(m_pixmap.size());
}

QRectF TImage::pictureRect() const
{
    const QSizeF natural = naturalSize();
    if (natural.width() <= 0 || natural.height() <= 0)
        return {};
    const QSizeF box = size();
    QSizeF shown = natural;
    if (m_stretch || natural.width() > box.width() || natural.height() > box.height())
        shown = natural.scaled(box, Qt::KeepAspectRatio);
    return QRectF(QPointF((box.width() - shown.width()) / 2, (box.height() - shown.height()) / 2), shown);
}

void TImage::paintEvent(QPaintEvent*)
{
    const QRectF r = pictureRect();
    if (r.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_paint)
        m_paint(p, r);
    else
        p.drawPixmap(r, m_pixmap, QRectF(m_pixmap.rect()));
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}

} // namespace dorvin
