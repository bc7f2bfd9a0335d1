#include "app/screen_fit.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace dorvin {

void openInsideScreen(QWidget* window, QSize designSize, QSize minimumSize)
{
    const QScreen* screen = window->screen();
    if (!screen) {
        window->setMinimumSize(minimumSize);
        window->resize(designSize);
        return;
    }
    // Sizes and positions are in device-independent pixels, so a scaled screen is smaller
    // here. The frame the window manager adds is not known before the window is shown:
    // the style's title bar and a thin border stand for it.
    const QRect area = screen->availableGeometry();
    const int border = 4;
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + border;
    const QSize room(std::max(1, area.width() - 2 * border), std::max(1, area.height() - titleBar - border));
    const QSize minimum = minimumSize.boundedTo(room);
    const QSize size = designSize.boundedTo(room).expandedTo(minimum);
    window->setMinimumSize(minimum);
    window->resize(size);
    // move() places the frame's top-left corner.
    const QSize frame(size.width() + 2 * border, size.height() + titleBar + border);
    QPoint topLeft = area.center() - QPoint(frame.width() / 2, frame.height() / 2);
    topLeft.setX(
        std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
    topLeft.setY(
        std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
    window->move(topLeft);
}

} // namespace dorvin
