#pragma once
// A text grid whose row 0 is a fixed title row that never scrolls; rows 1 and below are
// ordinary cells addressed by the same numbers (row k of the grid is row k of the API,
// whatever is scrolled). Cells hold text only.
//
// Every move of the current cell that the user or the program asks for (a press on a cell,
// arrows, Page, Home/End, selectCell) is first offered to onSelectCell, which may refuse
// it. Setting the selection directly (setSelection) is not offered and does not scroll.
//
// Keys move as in a spreadsheet whose only selectable cells lie in one column: Up/Down by a
// row, Page Up/Down by the rows shown, Home/End and Ctrl+Home/End to the first/last row, all
// in the current column. With Shift the move extends the selection from its anchor (the
// cell where the last plain move, press or setSelection put it) instead of replacing it.
// Typed letters never search the cells (typing means editing here), and the keypad's
// decimal key types the locale's decimal separator, whatever the keyboard layout gives.
//
// Keys reach onKeyDown first, from the grid and from its open cell editor alike, as Qt key
// codes (Qt::Key_Return, Qt::Key_Up, ...); setting the code to 0 consumes the key. Enter
// then toggles the cell editor: it opens it when closed and closes it when open; moving
// to another cell always closes it. The editor writes its text into the cell as it is
// typed, so cells() always reads what the user sees; Escape restores the text the cell
// had when the editor opened.
//
// Mouse hooks receive positions in grid coordinates: the client area with the title row
// at the top (y 0 to rowHeight - 1 is row 0). The grid keeps the mouse while a button is
// held, so moves beyond its edges arrive too. Presses on the title row reach the hooks like
// any other; its column borders cannot be dragged (the owner sets the widths).
#include <QPointer>
#include <QTableWidget>

#include <functional>

#include <QLineEdit>

namespace dorvin {

class FocusWatch;

struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

class TextGrid : public QTableWidget {
    Q_OBJECT
public:
    // colCount columns and rowCount rows, of which row 0 is the fixed title row.
    TextGrid(int colCount, int rowCount, QWidget* parent = nullptr);

    int colCount() const { return columnCount(); }
    // Rows including the title row.
    int rowCountWithTitle() const { return rowCount() + 1; }

    QString cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);

    int col() const; // current column, -1 when none
    int row() const; // current row (1 and below), -1 when none

    // A request to make a cell current: offered to onSelectCell; when allowed, the editor
    // closes, the cell becomes current (anchor and current), and it is scrolled into view.
    // Returns whether the request was allowed.
    bool selectCell(int col, int row);

    // The selection, normalised (Left <= Right, Top <= Bottom).
    TGridRect selection() const;
    // Sets the selection: top-left becomes the anchor and bottom-right the current cell.
    // Not offered to onSelectCell; does not scroll.
    void setSelection(const TGridRect& rect);

    // The first scrollable row shown below the title row, and how many scrollable rows are
    // fully visible.
    int topRow() const;
    void setTopRow(int row);
    int visibleRowCount() const;
    int defaultRowHeight() const { return m_rowHeight; }

    // The cell at a position in grid coordinates; -1 for either part where there is none.
    QPoint mouseCoord(int x, int y) const;
    // A cell's rectangle in grid coordinates (empty when it is not visible).
    QRect cellRect(int col, int row) const;
    // The client area: title row plus the scrollable rows' viewport.
    int clientWidth() const;
    int clientHeight() const;

    int colWidth(int col) const { return columnWidth(col); }
    void setColWidth(int col, int width) { setColumnWidth(col, width); }

    bool editorMode() const;
    void showEditor();
    void hideEditor();
    QLineEdit* inplaceEditor() const { return m_editor; }

    // Redraws one cell.
    void invalidateCell(int col, int row);

    std::function<void(int col, int row, bool& canSelect)> onSelectCell;
    std::function<void(int& key, Qt::KeyboardModifiers shift)> onKeyDown;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)> onMouseDown;
    std::function<void(Qt::KeyboardModifiers shift, int x, int y)> onMouseMove;
    std::function<void(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)> onMouseUp;
    std::function<void()> onClick;
    std::function<void()> onEnter;
    std::function<void()> onExit;

    // Whether typed text should search the cells: never.
    void keyboardSearch(const QString&) override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    friend class TextGridDelegate;
    // Keys typed into the open editor; true when the grid dealt with them.
    bool editorKeyPress(QKeyEvent* event);
    bool offerCell(int col, int row);
    // Moves (or with Shift extends) by a navigation key; false for keys that are not one.
    bool moveByKey(int key, Qt::KeyboardModifiers modifiers);
    // The cell becomes current, alone selected, and the anchor; scrolled into view.
    void makeCurrent(int col, int row);
    void extendSelectionTo(int col, int row);
    QPoint toGrid(const QPoint& viewportPos) const;
    void editorOpened(QLineEdit* editor, const QString& original);

    int m_rowHeight = 20;
    QPointer<QLineEdit> m_editor;
    QString m_editorOriginal;
    bool m_inMoveCursor = false;
    // Where Shift moves extend from (column, row of the API), -1 before any move.
    int m_anchorCol = -1;
    int m_anchorRow = -1;
    dorvin::FocusWatch* m_focus = nullptr;
};

} // namespace dorvin
