#include "widgets/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dorvin::icons {

namespace {

const QColor green(0, 150, 0);
const QColor darkGreen(0, 100, 0);
const QColor blue(0, 70, 200);

QPixmap blank(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

void triangles(QPainter& p, int kind, int s)
{
    // kind: 0 first, 1 previous, 2 next, 3 last; black triangles and bars.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const int mid = s / 2;
    const int h = s * 5 / 16 + 1;
    auto tri = [&](int tipX, int baseX) {
        QPolygon poly;
        poly << QPoint(tipX, mid) << QPoint(baseX, mid - h) << QPoint(baseX, mid + h);
        p.drawPolygon(poly);
    };
    const int a = s / 4, b = s * 3 / 4;
    switch (kind) {
    case 0:
        p.drawRect(a - 1, mid - h, 2, 2 * h + 1);
        tri(a + 2, b);
        break;
    case 1: tri(a, b - 1); break;
    case 2: tri(b, a + 1); break;
    case 3:
        tri(b - 2, a);
        p.drawRect(b - 1, mid - h, 2, 2 * h + 1);
        break;
    }
}

void check(QPainter& p, int s)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(green, s / 7.0 + 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(
        QPolygonF({QPointF(s * 0.18, s * 0.52), QPointF(s * 0.42, s * 0.78), QPointF(s * 0.84, s * 0.22)}));
}

void cross(QPainter& p, int s)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), s / 7.0 + 0.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.22, s * 0.22), QPointF(s * 0.78, s * 0.78));
    p.drawLine(QPointF(s * 0.78, s * 0.22), QPointF(s * 0.22, s * 0.78));
}

void sheet(QPainter& p, const QColor& fill)
{
    p.setPen(QColor(60, 60, 60));
    p.setBrush(fill);
    QPolygon page;
    page << QPoint(3, 1) << QPoint(10, 1) << QPoint(13, 4) << QPoint(13, 14) << QPoint(3, 14);
    p.drawPolygon(page);
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
}

void table(QPainter& p)
{
    p.setPen(QColor(40, 40, 90));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 11);
    p.fillRect(2, 3, 12, 3, QColor(80, 110, 200));
    for (int y = 6; y < 13; y += 3)
        p.drawLine(1, y, 14, y);
    p.drawLine(6, 2, 6, 13);
}

void ball(QPainter& p, bool out)
{
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(5, 6), 7);
    g.setColorAt(0, QColor(140, 230, 140));
    g.setColorAt(1, darkGreen);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 3, 10, 10));
    p.setPen(QPen(blue, 1.6));
    p.setBrush(blue);
    if (out) {
        p.drawLine(QPointF(8, 8), QPointF(14, 8));
        p.drawPolygon(QPolygonF({QPointF(15, 8), QPointF(12, 5), QPointF(12, 11)}));
    } else {
        p.drawLine(QPointF(15, 8), QPointF(9, 8));
        p.drawPolygon(QPolygonF({QPointF(7.5, 8), QPointF(10.5, 5), QPointF(10.5, 11)}));
    }
}

QPixmap drawMenu(int index)
{
    using M = MenuImage;
    QPixmap pm = blank(16);
    QPainter p(&pm);
    switch (static_cast<M>(index)) {
    case M::First:
    case M::Prior:
    case M::Next:
    case M::Last: triangles(p, index, 16); break;
    case M::Check: check(p, 16); break;
    case M::Cross: cross(p, 16); break;
    case M::Help: {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(160, 120, 0));
        p.setBrush(QColor(255, 230, 40));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(210, 0, 0));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case M::Minus:
        p.fillRect(2, 6, 12, 4, green);
        p.setPen(darkGreen);
        p.drawRect(2, 6, 11, 3);
        break;
    case M::Scissors: {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(90, 90, 90), 1.4));
        p.drawLine(QPointF(4, 1), QPointF(10, 10));
        p.drawLine(QPointF(12, 1), QPointF(6, 10));
        p.setPen(QPen(QColor(200, 0, 0), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 10, 4, 4.5));
        p.drawEllipse(QRectF(10, 10, 4, 4.5));
        break;
    }
    case M::Copy:
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(1, 1, 8, 10);
        p.setBrush(QColor(220, 230, 255));
        p.drawRect(6, 5, 8, 10);
        p.drawLine(8, 8, 12, 8);
        p.drawLine(8, 11, 12, 11);
        break;
    case M::Paste:
        p.setPen(QColor(90, 60, 20));
        p.setBrush(QColor(200, 150, 70));
        p.drawRect(1, 2, 10, 12);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(4, 1, 4, 2);
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 9);
        break;
    case M::Exit: {
        p.setPen(QColor(60, 40, 20));
        p.setBrush(QColor(150, 100, 50));
        p.drawRect(3, 1, 9, 14);
        p.setBrush(QColor(230, 230, 230));
        QPolygon open;
        open << QPoint(3, 1) << QPoint(8, 3) << QPoint(8, 15) << QPoint(3, 14);
        p.drawPolygon(open);
        p.fillRect(6, 8, 1, 2, Qt::black);
        break;
    }
    case M::SaveOut: ball(p, true); break;
    case M::InsertIn: ball(p, false); break;
    case M::Table:
    case M::Bases: table(p); break;
    case M::Plus:
        p.fillRect(6, 2, 4, 12, green);
        p.fillRect(2, 6, 12, 4, green);
        break;
    case M::Picture:
        p.setPen(QColor(130, 100, 0));
        p.setBrush(QColor(250, 210, 90));
        p.drawRect(1, 4, 14, 10);
        p.drawRect(1, 2, 6, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 160, 240));
        p.drawRect(5, 6, 8, 6);
        p.setBrush(green);
        p.drawPolygon(QPolygon({QPoint(5, 12), QPoint(8, 8), QPoint(11, 12)}));
        break;
    case M::Find:
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(20, 20, 20));
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(QRectF(3, 2, 3, 6));
        p.drawRect(QRectF(10, 2, 3, 6));
        p.drawRect(QRectF(6, 5, 4, 3));
        p.setBrush(QColor(120, 170, 230));
        p.drawEllipse(QRectF(0.5, 7, 7, 7));
        p.drawEllipse(QRectF(8.5, 7, 7, 7));
        break;
    case M::FillDown:
    case M::FillUp: {
        sheet(p, Qt::white);
        p.setPen(QPen(blue, 1.5));
        p.setBrush(blue);
        if (static_cast<M>(index) == M::FillDown) {
            p.drawLine(8, 4, 8, 10);
            p.drawPolygon(QPolygon({QPoint(5, 9), QPoint(11, 9), QPoint(8, 13)}));
        } else {
            p.drawLine(8, 6, 8, 12);
            p.drawPolygon(QPolygon({QPoint(5, 7), QPoint(11, 7), QPoint(8, 3)}));
        }
        break;
    }
    case M::SelectAll: sheet(p, QColor(120, 160, 240)); break;
    case M::Slope:
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawLine(1, 14, 14, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawRect(0, 13, 3, 3);
        p.drawRect(13, 0, 3, 3);
        break;
    case M::Print:
        p.setPen(QColor(50, 50, 50));
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 5);
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 5);
        p.fillRect(12, 8, 2, 1, green);
        break;
    case M::SavePicture:
        p.setPen(QColor(20, 20, 60));
        p.setBrush(QColor(40, 60, 150));
        p.drawRect(1, 1, 14, 14);
        p.setBrush(QColor(210, 210, 210));
        p.drawRect(4, 1, 8, 5);
        p.setBrush(QColor(120, 190, 255));
        p.drawRect(3, 8, 10, 6);
        p.setPen(Qt::NoPen);
        p.setBrush(green);
        p.drawPolygon(QPolygon({QPoint(4, 14), QPoint(7, 10), QPoint(10, 14)}));
        break;
    default: break;
    }
    return pm;
}

} // namespace

QIcon menuImage(int index)
{
    if (index < 0 || index >= menuImageCount)
        return {};
    return QIcon(drawMenu(index));
}

QIcon toolImage(int index)
{
    if (index < 0 || index >= toolImageCount)
        return {};
    QPixmap pm = blank(14);
    QPainter p(&pm);
    if (index <= imageIndex(ToolImage::Last))
        triangles(p, index, 14);
    else if (index == imageIndex(ToolImage::Check))
        check(p, 14);
    else
        cross(p, 14);
    p.end();
    return QIcon(pm);
}

QIcon programIcon()
{
    QPixmap pm = blank(32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A cable branching to two outlets, on a rounded blue tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 170));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 16), QPointF(15, 16));
    p.drawLine(QPointF(15, 16), QPointF(25, 8));
    p.drawLine(QPointF(15, 16), QPointF(25, 24));
    p.setBrush(QColor(255, 210, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(15, 16), 3.5, 3.5);
    p.drawEllipse(QPointF(25, 8), 3, 3);
    p.drawEllipse(QPointF(25, 24), 3, 3);
    p.end();
    return QIcon(pm);
}

} // namespace dorvin::icons
