// Where things go on the pages of a catalogue: A4 portrait in units of 1/96 inch, a
// cursor that moves down the page and starts a new one when a block does not fit.
// The catalogue is laid out twice with the same code, once to learn on which page each
// type starts (for the contents) and once to draw, so the two always agree.
#pragma once

#include <functional>

namespace cbbtool {

struct PageGeometry {
    static constexpr double kWidth = 793.7;   // 210 mm
    static constexpr double kHeight = 1122.5; // 297 mm
    static constexpr double kMargin = 54;     // about 14 mm
    static constexpr double kFooter = 30;     // the page number line
    static constexpr double left() { return kMargin; }
    static constexpr double right() { return kWidth - kMargin; }
    static constexpr double top() { return kMargin; }
    static constexpr double bottom() { return kHeight - kMargin - kFooter; }
    static constexpr double contentWidth() { return right() - left(); }
};

class PageCursor {
public:
    // `onNewPage` runs for every page begun after the first, with its number (from 1).
    explicit PageCursor(std::function<void(int)> onNewPage) : onNewPage_(std::move(onNewPage)) {}

    int page() const { return page_; }
    double y() const { return y_; }
    void advance(double h) { y_ += h; }
    // Starts a new page unless the current one is still empty.
    void breakPage()
    {
        if (y_ > PageGeometry::top())
            newPage();
    }
    // Makes room for a block of height h: a new page when it does not fit on this one
    // (a block taller than a page gets a page of its own). Returns whether a page began.
    bool ensure(double h)
    {
        if (y_ + h <= PageGeometry::bottom() || y_ <= PageGeometry::top())
            return false;
        newPage();
        return true;
    }
    void newPage()
    {
        ++page_;
        y_ = PageGeometry::top();
        if (onNewPage_)
            onNewPage_(page_);
    }

private:
    std::function<void(int)> onNewPage_;
    int page_ = 1;
    double y_ = PageGeometry::top();
};

} // namespace cbbtool
