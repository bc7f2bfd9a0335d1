#pragma once
// A user at the keyboard and the mouse of the shown program. Keys go to the widget that
// has the keyboard focus, clicks and drags to positions inside widgets, and every action
// ends with a pause in a waiting event loop, so the idle-time rules of the window run as
// they do between a person's keystrokes.
#include <QKeySequence>
#include <QPoint>
#include <QString>

class QAbstractItemView;
class QMenuBar;
class QWidget;

namespace dorvin {
class TextGrid;
} // namespace dorvin

namespace acceptance {

// Lets the program run for a while in a loop that waits for events (a user's pause).
void settle(int ms = 40);

// Waits until cond holds or timeoutMs has passed, settling meanwhile; returns cond().
template <class Cond> bool waitFor(Cond&& cond, int timeoutMs = 3000);

class User {
public:
    // Text typed character by character (any script) into the focused widget.
    void type(const QString& text);
    // One key pressed and released where the focus is; shortcuts of the active window fire.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void press(const QKeySequence& keys);

    // A left click (or another button) at a point of a widget; the widget's window is
    // brought to the front and activated first, as a click does.
    void click(QWidget* widget, QPoint at = {-1, -1}, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void doubleClick(QWidget* widget, QPoint at = {-1, -1});
    // Press at one point, move in steps, release at another (points in the widget).
    void drag(QWidget* widget, QPoint from, QPoint to, int steps = 8);
    // Press, then moves with the button held; release() ends it.
    void pressButton(QWidget* widget, QPoint at);
    void moveTo(QWidget* widget, QPoint at);
    void release(QWidget* widget, QPoint at);

    // Opens a menu of the menu bar by a click on its title and clicks one of its items
    // (texts as shown, with their '&'); false when either is not there or not enabled.
    bool chooseMenuItem(QMenuBar* bar, const QString& menuText, const QString& itemText);

    // Clicks into a cell of a data grid (row and column of its model) or of a text grid.
    void clickCell(QAbstractItemView* view, int row, int column);
    void clickCell(dorvin::TextGrid* grid, int col, int row);

    // The widget that has the keyboard focus now.
    QWidget* focus() const;
};

// Where a cell of a view or text grid is, in its viewport's coordinates (centre); for a
// text grid's rows 1 and below.
QPoint cellCentre(QAbstractItemView* view, int row, int column);
QPoint cellCentre(dorvin::TextGrid* grid, int col, int row);
// The text a cell shows.
QString cellText(QAbstractItemView* view, int row, int column);

template <class Cond> bool waitFor(Cond&& cond, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (cond())
            return true;
        settle(20);
    }
    return cond();
}

} // namespace acceptance

namespace acceptance {

// A right click on a widget that opens its context menu, as the window system sends it:
// the press and release, then the context menu request at the same point.
void rightClickForMenu(QWidget* widget, QPoint at);
// Clicks the item of the popup menu now open that shows this text (with its '&'); false
// when no menu opens or it has no such enabled item (the menu is then closed).
bool choosePopupItem(const QString& itemText);

} // namespace acceptance
