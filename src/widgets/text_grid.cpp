#include "widgets/text_grid.h"

#include "platform/guarded.h"
#include "widgets/focus_watch.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <optional>

namespace dorvin {

namespace {

// The keypad's decimal key as the locale writes it. Keyboard layouts give "." or "," on
// that key whatever the locale says; spreadsheets type the locale's separator there, and
// so does the grid. Returns nothing for every other key and where the text is right already.
struct KeyText {
    int key;
    QString text;
};
std::optional<KeyText> localeDecimalKey(const QKeyEvent& event)
{
    if (!(event.modifiers() & Qt::KeypadModifier))
        return std::nullopt;
    const QString text = event.text();
    if (text != QLatin1String(".") && text != QLatin1String(","))
        return std::nullopt;
    const QString separator = QLocale().decimalPoint();
    if (text == separator || separator.isEmpty())
        return std::nullopt;
    const int key = separator == QLatin1String(",")   ? Qt::Key_Comma
                    : separator == QLatin1String(".") ? Qt::Key_Period
                                                      : Qt::Key_unknown;
    return KeyText{key, separator};
}

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}

} // namespace

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
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (const auto replaced = localeDecimalKey(*key)) {
                QKeyEvent typed(QEvent::KeyPress, replaced->key, key->modifiers(), replaced->text,
                                key->isAutoRepeat(), key->count());
                QApplication::sendEvent(object, &typed);
                return true;
            }
        }
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
    // The owner sets the widths; a border dragged on the title row would fight it.
    title->setSectionResizeMode(QHeaderView::Fixed);
    title->viewport()->installEventFilter(this);
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
    m_focus->onEnter = [this] {
        if (onEnter)
            onEnter();
    };
    m_focus->onExit = [this] {
        if (onExit)
            onExit();
    };
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
    makeCurrent(col, row);
    return true;
}

void TextGrid::makeCurrent(int col, int row)
{
    hideEditor();
    const QModelIndex idx = model()->index(row - 1, col);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    m_anchorCol = col;
    m_anchorRow = row;
    scrollTo(idx);
    viewport()->update();
}

void TextGrid::extendSelectionTo(int col, int row)
{
    hideEditor();
    if (m_anchorRow < 1 || m_anchorRow > rowCount() || m_anchorCol < 0 || m_anchorCol >= columnCount()) {
        m_anchorCol = this->col() >= 0 ? this->col() : col;
        m_anchorRow = this->row() >= 1 ? this->row() : row;
    }
    const QModelIndex target = model()->index(row - 1, col);
    const QModelIndex tl = model()->index(std::min(row, m_anchorRow) - 1, std::min(col, m_anchorCol));
    const QModelIndex br = model()->index(std::max(row, m_anchorRow) - 1, std::max(col, m_anchorCol));
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(tl, br), QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
    viewport()->update();
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
    m_anchorCol = left;
    m_anchorRow = top;
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
        // Home and End stay with the line edit: there they move the caret.
        moveByKey(key, event->modifiers());
        return true;
    default: return false;
    }
}

bool TextGrid::moveByKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        const QModelIndex before = currentIndex();
        const QModelIndex target =
            QTableView::moveCursor(key == Qt::Key_Tab ? MoveNext : MovePrevious, modifiers);
        if (target.isValid() && target != before)
            selectCell(target.column(), target.row() + 1);
        return true;
    }
    if (!isNavigationKey(key))
        return false;
    const int last = rowCount();
    if (last < 1 || columnCount() < 1)
        return true;
    const int fromRow = row() >= 1 ? row() : 1;
    const int column = col() >= 0 ? col() : 0;
    const int page = std::max(1, visibleRowCount());
    int target = fromRow;
    switch (key) {
    case Qt::Key_Up: target = fromRow - 1; break;
    case Qt::Key_Down: target = fromRow + 1; break;
    case Qt::Key_PageUp: target = fromRow - page; break;
    case Qt::Key_PageDown: target = fromRow + page; break;
    // The cells left of the current one are never selectable in this grid's use, so the
    // row's first and last cells are its own: Home and End go up and down the column, and
    // so do Ctrl+Home and Ctrl+End.
    case Qt::Key_Home: target = 1; break;
    case Qt::Key_End: target = last; break;
    }
    target = std::clamp(target, 1, last);
    if (target == row()) {
        // No move, but a plain key still leaves the current cell alone selected.
        if (!(modifiers & Qt::ShiftModifier))
            makeCurrent(column, target);
        return true;
    }
    if (!offerCell(column, target))
        return true;
    if (modifiers & Qt::ShiftModifier)
        extendSelectionTo(column, target);
    else
        makeCurrent(column, target);
    return true;
}

void TextGrid::keyPressEvent(QKeyEvent* event)
{
    if (const auto replaced = localeDecimalKey(*event)) {
        QKeyEvent typed(QEvent::KeyPress, replaced->key, event->modifiers(), replaced->text,
                        event->isAutoRepeat(), event->count());
        keyPressEvent(&typed);
        event->setAccepted(typed.isAccepted());
        return;
    }
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
    if (isNavigationKey(key)) {
        dorvin::runGuarded([&] { moveByKey(key, event->modifiers()); });
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

QItemSelectionModel::SelectionFlags TextGrid::selectionCommand(const QModelIndex& index, const QEvent*) const
{
    // Moves of the current cell select just that cell; ranges come from setSelection.
    return index.isValid() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
}

bool TextGrid::eventFilter(QObject* watched, QEvent* event)
{
    // The title row is the header above the viewport; its mouse events are the grid's own,
    // so a press there starts a drag like a press on any other row.
    if (watched != horizontalHeader()->viewport())
        return QTableWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF global = mouse->globalPosition();
        const QPointF local = viewport()->mapFromGlobal(global);
        QMouseEvent moved(event->type(), local, global, mouse->button(), mouse->buttons(),
                          mouse->modifiers());
        if (event->type() == QEvent::MouseMove)
            mouseMoveEvent(&moved);
        else if (event->type() == QEvent::MouseButtonRelease)
            mouseReleaseEvent(&moved);
        else
            mousePressEvent(&moved);
        return true;
    }
    default: return QTableWidget::eventFilter(watched, event);
    }
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

} // namespace dorvin
