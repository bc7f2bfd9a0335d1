#include "app/string_grid.h"

#include "dbaware/focus_watch.h"
#include "dbaware/guarded.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>

// The in-place editor: a frameless line edit whose text goes into the cell as it is typed,
// and whose keys are offered to the grid before the editor sees them.
class TextGridDelegate : public QStyledItemDelegate {
public:
    explicit TextGridDelegate(TextGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        QPersistentModelIndex cell(index);
        auto* model = const_cast<QAbstractItemModel*>(index.model());
        QObject::connect(editor, &QLineEdit::textEdited, editor, [model, cell](const QString& t) {
            if (cell.isValid())
                model->setData(cell, t, Qt::EditRole);
        });
        m_grid->editorOpened(editor, index.data(Qt::EditRole).toString());
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        // The cell follows the editor while typing; only a change made by the program is
        // shown in the editor, so the caret stays where the user put it.
        auto* line = static_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (line->text() != text)
            line->setText(text);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* line = static_cast<QLineEdit*>(editor);
        if (index.data(Qt::EditRole).toString() != line->text())
            model->setData(index, line->text(), Qt::EditRole);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && m_grid->editorKeyPress(static_cast<QKeyEvent*>(event)))
            return true;
        if (event->type() == QEvent::KeyPress) {
            // Tab and Backtab move as in the grid; everything else is the line edit's.
            auto* ke = static_cast<QKeyEvent*>(event);
            if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab)
                return false;
            return false;
        }
        if (event->type() == QEvent::FocusOut)
            return false; // the editor stays open when the window loses the focus
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TextGrid* m_grid;
};

TextGrid::TextGrid(int colCount, int rowCount, QWidget* parent)
    : QTableWidget(rowCount > 1 ? rowCount - 1 : 0, colCount, parent)
{
    setItemDelegate(new TextGridDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setDefaultSectionSize(m_rowHeight);
    QHeaderView* title = horizontalHeader();
    title->setSectionsClickable(false);
    title->setHighlightSections(false);
    title->setSectionResizeMode(QHeaderView::Interactive);
    title->setDefaultSectionSize(50);
    title->setFixedHeight(m_rowHeight);
    title->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < colCount; ++c) {
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
        setColumnWidth(c, 50);
    }
    for (int r = 0; r < this->rowCount(); ++r)
        for (int c = 0; c < colCount; ++c)
            setItem(r, c, new QTableWidgetItem(QString()));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setAutoScroll(false); // scrolling is done where a move asks for it
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    m_focus = new dorvin::FocusWatch(this);
    m_focus->onEnter = [this] { if (onEnter) onEnter(); };
    m_focus->onExit = [this] { if (onExit) onExit(); };
}

QString TextGrid::cells(int col, int row) const
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return {};
    const QTableWidgetItem* it = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return it ? it->text() : QString();
}

void TextGrid::setCells(int col, int row, const QString& text)
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return;
    QTableWidgetItem* it = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    if (!it) {
        it = new QTableWidgetItem;
        if (row == 0)
            setHorizontalHeaderItem(col, it);
        else
            setItem(row - 1, col, it);
    }
    if (it->text() != text)
        it->setText(text);
}

int TextGrid::col() const
{
    const QModelIndex c = currentIndex();
    return c.isValid() ? c.column() : -1;
}

int TextGrid::row() const
{
    const QModelIndex c = currentIndex();
    return c.isValid() ? c.row() + 1 : -1;
}

bool TextGrid::offerCell(int col, int row)
{
    bool can = true;
    if (onSelectCell)
        onSelectCell(col, row, can);
    return can;
}

bool TextGrid::selectCell(int col, int row)
{
    if (col < 0 || col >= columnCount() || row < 1 || row > rowCount())
        return false;
    if (!offerCell(col, row))
        return false;
    hideEditor();
    const QModelIndex idx = model()->index(row - 1, col);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    scrollTo(idx);
    viewport()->update();
    return true;
}

TGridRect TextGrid::selection() const
{
    const QModelIndexList sel = selectionModel()->selectedIndexes();
    if (sel.isEmpty()) {
        const int c = col(), r = row();
        return {c, r, c, r};
    }
    TGridRect rect{INT_MAX, INT_MAX, -1, -1};
    for (const QModelIndex& i : sel) {
        rect.Left = std::min(rect.Left, i.column());
        rect.Right = std::max(rect.Right, i.column());
        rect.Top = std::min(rect.Top, i.row() + 1);
        rect.Bottom = std::max(rect.Bottom, i.row() + 1);
    }
    return rect;
}

void TextGrid::setSelection(const TGridRect& rect)
{
    const int left = std::clamp(std::min(rect.Left, rect.Right), 0, columnCount() - 1);
    const int right = std::clamp(std::max(rect.Left, rect.Right), 0, columnCount() - 1);
    const int top = std::clamp(std::min(rect.Top, rect.Bottom), 1, rowCount());
    const int bottom = std::clamp(std::max(rect.Top, rect.Bottom), 1, rowCount());
    if (rowCount() == 0 || columnCount() == 0)
        return;
    hideEditor();
    const QModelIndex tl = model()->index(top - 1, left);
    const QModelIndex br = model()->index(bottom - 1, right);
    selectionModel()->setCurrentIndex(br, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(tl, br), QItemSelectionModel::ClearAndSelect);
    viewport()->update();
}

int TextGrid::topRow() const
{
    return verticalScrollBar()->value() + 1;
}

void TextGrid::setTopRow(int row)
{
    verticalScrollBar()->setValue(row - 1);
}

int TextGrid::visibleRowCount() const
{
    return viewport()->height() / m_rowHeight;
}

QPoint TextGrid::toGrid(const QPoint& viewportPos) const
{
    // The title row sits directly above the viewport.
    return QPoint(viewportPos.x(), viewportPos.y() + horizontalHeader()->height());
}

QPoint TextGrid::mouseCoord(int x, int y) const
{
    const int titleHeight = horizontalHeader()->height();
    int c = -1, r = -1;
    if (x >= 0 && x < viewport()->width())
        c = columnAt(x);
    if (y >= 0 && y < titleHeight)
        r = 0;
    else if (y >= titleHeight && y < titleHeight + viewport()->height()) {
        const int modelRow = rowAt(y - titleHeight);
        r = modelRow < 0 ? -1 : modelRow + 1;
    }
    return QPoint(c, r);
}

QRect TextGrid::cellRect(int col, int row) const
{
    if (col < 0 || col >= columnCount() || row < 0 || row > rowCount())
        return {};
    const int titleHeight = horizontalHeader()->height();
    const int x = columnViewportPosition(col);
    if (row == 0)
        return QRect(x, 0, columnWidth(col), titleHeight);
    const QRect r = visualRect(model()->index(row - 1, col));
    if (!r.intersects(viewport()->rect()))
        return {};
    return r.translated(0, titleHeight);
}

int TextGrid::clientWidth() const
{
    return viewport()->width();
}

int TextGrid::clientHeight() const
{
    return horizontalHeader()->height() + viewport()->height();
}

bool TextGrid::editorMode() const
{
    return m_editor && state() == QAbstractItemView::EditingState;
}

void TextGrid::showEditor()
{
    if (editorMode())
        return;
    const QModelIndex c = currentIndex();
    if (c.isValid())
        edit(c);
}

void TextGrid::hideEditor()
{
    if (!m_editor)
        return;
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TextGrid::editorOpened(QLineEdit* editor, const QString& original)
{
    m_editor = editor;
    m_editorOriginal = original;
}

void TextGrid::invalidateCell(int col, int row)
{
    if (row == 0)
        horizontalHeader()->viewport()->update();
    else if (row > 0 && row <= rowCount())
        update(model()->index(row - 1, col));
}

bool TextGrid::editorKeyPress(QKeyEvent* event)
{
    int key = event->key();
    if (onKeyDown) {
        dorvin::runGuarded([&] { onKeyDown(key, event->modifiers()); });
        if (key == 0)
            return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Whatever the hook did, Enter toggles the editor as it finds it now.
        if (editorMode())
            hideEditor();
        else
            showEditor();
        return true;
    case Qt::Key_Escape: {
        const QModelIndex c = currentIndex();
        const QString original = m_editorOriginal;
        hideEditor();
        if (c.isValid())
            model()->setData(c, original, Qt::EditRole);
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        moveByKey(key, event->modifiers());
        return true;
    default:
        return false;
    }
}

void TextGrid::moveByKey(int key, Qt::KeyboardModifiers modifiers)
{
    CursorAction action;
    switch (key) {
    case Qt::Key_Up: action = MoveUp; break;
    case Qt::Key_Down: action = MoveDown; break;
    case Qt::Key_PageUp: action = MovePageUp; break;
    case Qt::Key_PageDown: action = MovePageDown; break;
    case Qt::Key_Tab: action = MoveNext; break;
    case Qt::Key_Backtab: action = MovePrevious; break;
    default: return;
    }
    const QModelIndex before = currentIndex();
    const QModelIndex target = QTableView::moveCursor(action, modifiers);
    if (target.isValid() && target != before)
        selectCell(target.column(), target.row() + 1);
}

void TextGrid::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    if (onKeyDown) {
        dorvin::runGuarded([&] { onKeyDown(key, event->modifiers()); });
        if (key == 0) {
            event->accept();
            return;
        }
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (editorMode())
            hideEditor();
        else
            showEditor();
        event->accept();
        return;
    }
    if (key != event->key()) {
        QKeyEvent replaced(event->type(), key, event->modifiers(), event->text());
        QTableWidget::keyPressEvent(&replaced);
        return;
    }
    QTableWidget::keyPressEvent(event);
}

QModelIndex TextGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Keyboard moves of the view: offered to onSelectCell first, then scrolled into view.
    const QModelIndex before = currentIndex();
    const QModelIndex target = QTableView::moveCursor(action, modifiers);
    if (!target.isValid() || target == before)
        return target;
    bool can = true;
    dorvin::runGuarded([&] { can = offerCell(target.column(), target.row() + 1); });
    if (!can)
        return before;
    hideEditor();
    scrollTo(target);
    return target;
}

QItemSelectionModel::SelectionFlags TextGrid::selectionCommand(const QModelIndex& index,
                                                                  const QEvent*) const
{
    // Moves of the current cell select just that cell; ranges come from setSelection.
    return index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
}

void TextGrid::mousePressEvent(QMouseEvent* event)
{
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const QModelIndex idx = indexAt(pos);
        if (idx.isValid()) {
            if (idx == currentIndex()) {
                // A press on the current cell opens its editor.
                if (!editorMode())
                    showEditor();
            } else {
                dorvin::runGuarded([&] { selectCell(idx.column(), idx.row() + 1); });
            }
        }
    }
    if (onMouseDown) {
        const QPoint g = toGrid(pos);
        dorvin::runGuarded([&] { onMouseDown(event->button(), event->modifiers(), g.x(), g.y()); });
    }
    event->accept();
}

void TextGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (onMouseMove) {
        const QPoint g = toGrid(event->position().toPoint());
        dorvin::runGuarded([&] { onMouseMove(event->modifiers(), g.x(), g.y()); });
    }
    event->accept();
}

void TextGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (onMouseUp) {
        const QPoint g = toGrid(event->position().toPoint());
        dorvin::runGuarded([&] { onMouseUp(event->button(), event->modifiers(), g.x(), g.y()); });
    }
    if (event->button() == Qt::LeftButton && onClick)
        dorvin::runGuarded(onClick);
    event->accept();
}

void TextGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click is a press as far as the grid is concerned.
    mousePressEvent(event);
}
