#include "support/user.h"

#include "widgets/text_grid.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEventLoop>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QtTest>

namespace acceptance {

void settle(int ms)
{
    // processEvents() never blocks, so the idle-time hooks would not run inside it.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

QPoint centreOr(QWidget* widget, QPoint at)
{
    return at == QPoint(-1, -1) ? widget->rect().center() : at;
}

void activateWindowOf(QWidget* widget)
{
    QWidget* window = widget->window();
    if (QApplication::activeWindow() == window)
        return;
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window, 2000))
        qWarning("The window %s did not become active", qPrintable(window->objectName()));
}

} // namespace

void User::type(const QString& text)
{
    for (const QChar c : text) {
        QWidget* target = focus();
        if (!target)
            return;
        // keyClicks() cannot send characters outside Latin-1; a key event per character can.
        QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, c, Qt::NoModifier);
        if (QWidget* now = focus())
            QTest::sendKeyEvent(QTest::Release, now, Qt::Key_unknown, c, Qt::NoModifier);
        settle(5);
    }
    settle();
}

void User::press(int key, Qt::KeyboardModifiers modifiers)
{
    if (QWidget* target = focus())
        QTest::keyClick(target, Qt::Key(key), modifiers);
    settle();
}

void User::press(const QKeySequence& keys)
{
    for (int i = 0; i < keys.count(); ++i)
        press(keys[i].key(), keys[i].keyboardModifiers());
}

void User::click(QWidget* widget, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    activateWindowOf(widget);
    at = centreOr(widget, at);
    QTest::mouseMove(widget, at);
    QTest::mouseClick(widget, button, modifiers, at);
    settle();
}

void User::doubleClick(QWidget* widget, QPoint at)
{
    activateWindowOf(widget);
    at = centreOr(widget, at);
    QTest::mouseMove(widget, at);
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    settle();
}

void User::pressButton(QWidget* widget, QPoint at)
{
    activateWindowOf(widget);
    QTest::mouseMove(widget, at);
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    settle(10);
}

void User::moveTo(QWidget* widget, QPoint at)
{
    // QTest::mouseMove does not carry the held button in Qt 6; send the move itself.
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&move);
    QApplication::sendEvent(widget, &move);
    settle(10);
}

void User::release(QWidget* widget, QPoint at)
{
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    settle();
}

void User::drag(QWidget* widget, QPoint from, QPoint to, int steps)
{
    pressButton(widget, from);
    for (int i = 1; i <= steps; ++i)
        moveTo(widget, from + (to - from) * i / steps);
    release(widget, to);
}

QPoint cellCentre(QAbstractItemView* view, int row, int column)
{
    return view->visualRect(view->model()->index(row, column)).center();
}

QPoint cellCentre(dorvin::TextGrid* grid, int col, int row)
{
    // cellRect is in grid coordinates: the title row (the header) sits above the viewport.
    const QRect r = grid->cellRect(col, row);
    return r.center() - QPoint(0, grid->horizontalHeader()->height());
}

QString cellText(QAbstractItemView* view, int row, int column)
{
    return view->model()->index(row, column).data(Qt::DisplayRole).toString();
}

void User::clickCell(QAbstractItemView* view, int row, int column)
{
    view->scrollTo(view->model()->index(row, column));
    settle(10);
    click(view->viewport(), cellCentre(view, row, column));
}

void User::clickCell(dorvin::TextGrid* grid, int col, int row)
{
    if (row == 0) // the title row is the header widget above the viewport
        click(grid->horizontalHeader(), grid->cellRect(col, 0).center());
    else
        click(grid->viewport(), cellCentre(grid, col, row));
}

bool User::chooseMenuItem(QMenuBar* bar, const QString& menuText, const QString& itemText)
{
    QAction* title = nullptr;
    for (QAction* a : bar->actions())
        if (a->text() == menuText)
            title = a;
    if (!title || !title->menu())
        return false;
    click(bar, bar->actionGeometry(title).center());
    QMenu* menu = title->menu();
    if (!waitFor([menu] { return menu->isVisible(); }, 2000))
        return false;
    for (QAction* a : menu->actions()) {
        // An item shows its shortcut after a tab ("Вы&ход\tAlt+F4").
        if (a->text().section(QLatin1Char('\t'), 0, 0) == itemText) {
            if (!a->isEnabled()) {
                press(Qt::Key_Escape);
                return false;
            }
            click(menu, menu->actionGeometry(a).center());
            return true;
        }
    }
    press(Qt::Key_Escape);
    return false;
}

QWidget* User::focus() const
{
    return QApplication::focusWidget();
}

} // namespace acceptance

#include <QContextMenuEvent>

namespace acceptance {

void rightClickForMenu(QWidget* widget, QPoint at)
{
    User().click(widget, at, Qt::RightButton);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QSpontaneKeyEvent::setSpontaneous(&request);
    QApplication::sendEvent(widget, &request);
    settle();
}

bool choosePopupItem(const QString& itemText)
{
    QMenu* menu = nullptr;
    waitFor(
        [&menu] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu && menu->isVisible();
        },
        2000);
    if (!menu)
        return false;
    for (QAction* a : menu->actions()) {
        if (a->text().section(QLatin1Char('\t'), 0, 0) == itemText && a->isEnabled()) {
            User().click(menu, menu->actionGeometry(a).center());
            return true;
        }
    }
    menu->close();
    settle();
    return false;
}

} // namespace acceptance
