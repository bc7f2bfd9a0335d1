// Selecting ranges of the parameter grid as a user does: dragging with auto-scroll under a
// hand that keeps moving, the keyboard's Shift moves, and a press on the title row.
#include "params_scenario.h"

#include <QMenuBar>
#include <QTimer>
#include <QtTest>

using namespace acceptance;
using namespace acceptance::params;

namespace {

// The rows highlighted in the value column.
QPair<int, int> highlighted(TMainForm& w)
{
    const dorvin::TGridRect r = w.ParamsGrid->selection();
    return {r.Top, r.Bottom};
}

// A point in the value column of the grid's viewport, some pixels below its bottom edge.
QPoint belowTheGrid(dorvin::TextGrid* grid, int by)
{
    return QPoint(cellCentre(grid, 2, grid->topRow()).x(), grid->viewport()->height() + by);
}

} // namespace

class ParamsSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void autoScrollGoesOnWhileTheHandMoves()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        dorvin::TextGrid* grid = w.ParamsGrid;
        QCOMPARE(firstShownRow(grid), 1);
        const int lastShown = grid->topRow() + grid->visibleRowCount() - 1;

        user.pressButton(grid->viewport(), cellCentre(grid, 2, 3));
        // Below the grid, the hand never quite still: a few pixels every 100 ms.
        for (int i = 0; i < 20; ++i) {
            user.moveTo(grid->viewport(), belowTheGrid(grid, 10 + (i % 2) * 3));
            settle(90);
        }
        const int scrolledTo = firstShownRow(grid);
        QVERIFY2(scrolledTo > 1, qPrintable(QString::number(scrolledTo)));
        QCOMPARE(highlighted(w).first, 3);
        QVERIFY(highlighted(w).second > lastShown);
        user.release(grid->viewport(), belowTheGrid(grid, 10));
        QCOMPARE(w.Timer1->isActive(), false);
    }

    void releaseStopsTheScrollSoTheNextDragStartsStill()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        dorvin::TextGrid* grid = w.ParamsGrid;

        user.pressButton(grid->viewport(), cellCentre(grid, 2, 2));
        user.moveTo(grid->viewport(), belowTheGrid(grid, 10));
        QVERIFY(waitFor([&] { return firstShownRow(grid) >= 3; }));
        user.release(grid->viewport(), belowTheGrid(grid, 10));
        const int stoppedAt = firstShownRow(grid);
        settle(600);
        QCOMPARE(firstShownRow(grid), stoppedAt);

        // A new press inside the grid, held still: nothing scrolls, one row is selected.
        const int row = stoppedAt + 2;
        user.pressButton(grid->viewport(), cellCentre(grid, 2, row));
        settle(600);
        QCOMPARE(firstShownRow(grid), stoppedAt);
        QCOMPARE(highlighted(w), qMakePair(row, row));
        user.release(grid->viewport(), cellCentre(grid, 2, row));
        QCOMPARE(highlighted(w), qMakePair(row, row));
    }

    void shiftMovesExtendTheSelectionForFillAndCopy()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        Dialogs dialogs;
        User user;
        dorvin::TextGrid* grid = w.ParamsGrid;

        // Row 10 by keys: the grid shows only a few rows at the window's first size.
        user.clickCell(grid, 2, 2);
        for (int i = 0; i < 8; ++i)
            user.press(Qt::Key_Down);
        QCOMPARE(highlighted(w), qMakePair(10, 10));
        for (int i = 0; i < 3; ++i)
            user.press(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(10, 13));
        // Fill down works on it without a mouse.
        user.press(Qt::Key_D, Qt::ControlModifier);
        for (int k = 10; k <= 13; ++k)
            QCOMPARE(shown(w, k), QStringLiteral("10,000"));
        QCOMPARE(shown(w, 14), QStringLiteral("14,000"));

        // Back over the anchor: the range turns round it.
        for (int i = 0; i < 5; ++i)
            user.press(Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(8, 10));

        const int page = grid->visibleRowCount();
        user.press(Qt::Key_PageDown, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(std::min(10, 8 + page), std::max(10, 8 + page)));

        // Ctrl+Home goes to row 1 through the cell request: the buttons follow.
        user.press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(highlighted(w), qMakePair(1, 1));
        QCOMPARE(firstShownRow(grid), 1);
        QVERIFY(!w.TopBut->isEnabled());
        QVERIFY(!w.UpBut->isEnabled());
        QVERIFY(w.ButtomBut->isEnabled());

        user.press(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(1, 96));
        QVERIFY(!grid->cellRect(2, 96).isEmpty()); // scrolled to the last row
        QVERIFY(!w.ButtomBut->isEnabled());
        QVERIFY(!w.DownBut->isEnabled());

        user.press(Qt::Key_Home);
        QCOMPARE(highlighted(w), qMakePair(1, 1));
        user.press(Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(1, 96));
        user.press(Qt::Key_End);
        user.press(Qt::Key_PageUp, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(96 - page, 96));
        user.press(Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(highlighted(w), qMakePair(1, 96));

        // Fill up over rows 95 and 96 chosen by keys alone.
        user.press(Qt::Key_End);
        user.press(Qt::Key_Up, Qt::ShiftModifier);
        user.press(Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(shown(w, 95), QStringLiteral("96,000"));

        QVERIFY(user.chooseMenuItem(w.MainMenu1, QStringLiteral("&База"), QStringLiteral("Вы&ход")));
        QVERIFY(program.waitUntilClosed());
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        const SavedBase saved = program.saved();
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        const int group = firstGroup(saved);
        for (int k = 10; k <= 13; ++k)
            QCOMPARE(saved.paramValue(group, 1, 1, k), 10.0);
        QCOMPARE(saved.paramValue(group, 1, 1, 9), 9.0);
        QCOMPARE(saved.paramValue(group, 1, 1, 14), 14.0);
        QCOMPARE(saved.paramValue(group, 1, 1, 95), 96.0);
    }

    void aPressOnTheTitleRowStartsADrag()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        dorvin::TextGrid* grid = w.ParamsGrid;
        QWidget* title = grid->horizontalHeader()->viewport();

        QVERIFY(grid->visibleRowCount() >= 4);
        user.clickCell(grid, 2, 2);
        QCOMPARE(highlighted(w), qMakePair(2, 2));
        // The title row keeps the mouse while the button is held, as any widget does, so
        // the moves arrive there in its own coordinates, below its edge.
        const QPoint onTitle(grid->cellRect(2, 0).center());
        const int rowHeight = grid->defaultRowHeight();
        user.pressButton(title, onTitle);
        for (int y = onTitle.y(); y <= rowHeight * 4 + rowHeight / 2; y += rowHeight / 2)
            user.moveTo(title, QPoint(onTitle.x(), y));
        user.release(title, QPoint(onTitle.x(), rowHeight * 4 + rowHeight / 2));
        QCOMPARE(highlighted(w), qMakePair(2, 4));
        QVERIFY(!w.Timer1->isActive());
    }

    void columnBordersOnTheTitleRowDoNotMove()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        dorvin::TextGrid* grid = w.ParamsGrid;
        QWidget* title = grid->horizontalHeader()->viewport();
        const int widths[3] = {grid->columnWidth(0), grid->columnWidth(1), grid->columnWidth(2)};

        for (int border = 0; border < 2; ++border) {
            const int x = grid->cellRect(border, 0).right();
            user.drag(title, QPoint(x, 10), QPoint(x + 40, 10));
            user.drag(title, QPoint(x + 1, 10), QPoint(x - 30, 10));
        }
        for (int c = 0; c < 3; ++c)
            QCOMPARE(grid->columnWidth(c), widths[c]);
    }
};

QTEST_MAIN(ParamsSelectionTest)
#include "params_selection_test.moc"
