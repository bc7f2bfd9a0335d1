#pragma once
// A picture box. It draws a picture centred in its client area with its proportions kept;
// with `stretch` on, the picture is scaled to the largest size that fits, otherwise it is
// drawn at its natural size and only scaled down when larger than the box. Instead of a
// pixmap, a painter function may draw the picture into the box (vector pictures).
#include <QPixmap>
#include <QWidget>

#include <functional>

namespace dorvin {

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    void setPixmap(const QPixmap& pixmap);
    QPixmap pixmap() const { return m_pixmap; }

    // Draws the picture into the given rectangle of the box; the natural size is used for
    // placing it. Replaces any pixmap.
    void setPainterFunction(std::function<void(QPainter&, const QRectF&)> paint, QSizeF naturalSize);

    void clear();
    bool isEmpty() const { return m_pixmap.isNull() && !m_paint; }

    bool stretch() const { return m_stretch; }
    void setStretch(bool on);

    // The rectangle the picture is drawn into for the box's current size.
    QRectF pictureRect() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSizeF naturalSize() const;

    QPixmap m_pixmap;
    std::function<void(QPainter&, const QRectF&)> m_paint;
    QSizeF m_natural;
    bool m_stretch = true;
};

} // namespace dorvin
