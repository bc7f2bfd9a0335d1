#pragma once
// A main window opened inside the screen area that is free for windows, whatever the
// screen's size and scale: its design size where that fits, smaller (minimum size
// included) where it does not, centred, and with the title bar never above the top.
#include <QSize>

class QWidget;

namespace dorvin {

void openInsideScreen(QWidget* window, QSize designSize, QSize minimumSize);

} // namespace dorvin
