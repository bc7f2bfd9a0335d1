#include "dbaware/table_grid.h"

#include "dbaware/table_model.h"
#include "platform/guarded.h"
#include "storage/client_table.h"
#include "widgets/focus_watch.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace dorvin {

// Cell editors for a table grid: a line edit limited to a text field's declared size,
// whose keys and focus changes the grid handles itself (see TableGrid::takeEditorText).
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(TableGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            if (TableModel* model = m_grid->tableModel()) {
                const Field& field = model->fieldAt(index.column());
                if (field.kind() == FieldKind::String && field.size() > 0)
                    line->setMaxLength(static_cast<int>(std::min<std::uint32_t>(field.size(), 32767)));
            }
            m_grid->editorOpened(line, index);
        }
        return editor;
    }

    // The grid writes the text itself; the view's commit path never does.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            // Enter and Tab reach the grid (Enter) or move the focus (Tab); the grid takes
            // the text on the way. Escape keeps its meaning: close without taking it.
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab || key == Qt::Key_Backtab)
                return false;
            break;
        }
        case QEvent::FocusOut:
        case QEvent::Hide:
            // A message box or a popup taking the focus leaves the editor as it is; leaving
            // the grid is handled by the grid.
            return false;
        default: break;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TableGrid* m_grid;
};

TableGrid::TableGrid(QWidget* parent) : QTableView(parent)
{
    horizontalHeader()->hide(); // no title row
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(17);
    verticalHeader()->setFixedWidth(12); // the row indicator
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    // A text wider than its column is cut at the column's edge, not replaced by an
    // ellipsis: "OUT-TVF" says more than "OU…".
    setTextElideMode(Qt::ElideNone);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    setReadOnly(false);
    setItemDelegate(new CellDelegate(this));
    // The selection stays visible when the grid loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    auto* focus = new FocusWatch(this);
    focus->onExit = [this] { leftGrid(); };
}

TableGrid::~TableGrid()
{
    // The model goes with the grid; it must stop observing the table first.
    delete m_model;
    m_model = nullptr;
}

void TableGrid::setDataSource(DataSource* source, const std::vector<std::string>& fieldNames)
{
    const QList<int> widths = [&] {
        QList<int> w;
        if (m_model)
            for (int c = 0; c < m_model->columnCount(); ++c)
                w.append(columnWidth(c));
        return w;
    }();
    if (m_model)
        m_model->onUpdateRecord = nullptr;
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
    m_source = source;
    if (!source || !source->dataSet())
        return;
    m_model = new TableModel(*source->dataSet(), fieldNames, this);
    m_model->setReadOnly(m_readOnly);
    setModel(m_model);
    for (int c = 0; c < widths.size() && c < m_model->columnCount(); ++c)
        setColumnWidth(c, widths[c]);
    m_model->onUpdateRecord = [this] { takeEditorText(); };
    connect(m_model, &TableModel::tableCurrentChanged, this, &TableGrid::followTable);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TableGrid::followTable);
    followTable();
}

void TableGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (m_model)
        m_model->setReadOnly(readOnly);
    // A click on the current cell opens its editor at once (mouseReleaseEvent): the view's
    // own delayed opening would swallow what is typed within a double-click time.
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
}

int TableGrid::dataClientWidth() const
{
    return viewport()->width();
}

int TableGrid::clientWidth() const
{
    return viewport()->width() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0);
}

int TableGrid::selectedIndex() const
{
    const QModelIndex c = currentIndex();
    return c.isValid() ? c.column() : 0;
}

void TableGrid::setSelectedIndex(int column)
{
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    const int row = m_model->table().currentIndex();
    if (row < 0)
        return;
    m_following = true;
    setCurrentIndex(m_model->index(row, column));
    m_following = false;
}

void TableGrid::followTable()
{
    // The grid shows the table's current row; this does not move the table.
    if (!m_model)
        return;
    const int row = m_model->table().currentIndex();
    m_following = true;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearCurrentIndex();
    } else {
        const int col = std::clamp(currentIndex().isValid() ? currentIndex().column() : 0, 0,
                                   std::max(0, m_model->columnCount() - 1));
        const QModelIndex idx = m_model->index(row, col);
        if (idx != currentIndex())
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
        scrollTo(idx);
    }
    m_following = false;
}

void TableGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // The view moves its current index itself while rows come and go; the table tells
    // where its current row went once they have.
    if (m_following || !m_model || !current.isValid() || m_model->changingRows())
        return;
    ClientTable& t = m_model->table();
    if (t.active() && t.currentIndex() != current.row())
        runGuarded([&] { t.setRecNo(current.row() + 1); });
    // A move the table refused (a post that failed) brings the grid back to its row.
    if (t.currentIndex() != current.row())
        QMetaObject::invokeMethod(this, &TableGrid::followTable, Qt::QueuedConnection);
}

bool TableGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (m_readOnly || !m_model || !isEnabled())
        return false;
    return QTableView::edit(index, trigger, event);
}

bool TableGrid::editorOpen() const
{
    return state() == QAbstractItemView::EditingState && m_editor;
}

QString TableGrid::editorText() const
{
    return editorOpen() ? m_editor->text() : QString();
}

void TableGrid::editorOpened(QLineEdit* editor, const QModelIndex& index)
{
    m_editor = editor;
    m_editIndex = index;
    connect(editor, &QLineEdit::textEdited, this, &TableGrid::editorTyped);
}

void TableGrid::editorTyped()
{
    // From the first keystroke the row is being edited: its confirm and cancel come on.
    if (!m_model || !m_editIndex.isValid())
        return;
    ClientTable& t = m_model->table();
    runGuarded([&] {
        if (t.active() && t.state() == TableState::Browse && t.currentIndex() == m_editIndex.row())
            t.edit();
    });
}

void TableGrid::takeEditorText()
{
    if (!editorOpen() || !m_model)
        return;
    QLineEdit* editor = m_editor;
    const QModelIndex index = m_editIndex;
    ClientTable& t = m_model->table();
    // An editor left over on a row the table has moved away from writes nothing there.
    if (index.isValid() && t.active() && t.currentIndex() == index.row()) {
        Field& field = m_model->fieldAt(index.column());
        const QString text = editor->text();
        if (text != fieldEditText(t, index.row(), field)) {
            if (t.state() == TableState::Browse)
                t.edit();
            setFieldFromText(field, text);
        }
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool TableGrid::takeEditorTextOrReport()
{
    if (!editorOpen())
        return true;
    QPointer<QLineEdit> editor = m_editor;
    const bool taken = runGuarded([this] { takeEditorText(); });
    if (!taken && editor && editor->isVisible())
        editor->setFocus(Qt::OtherFocusReason);
    return taken;
}

void TableGrid::commitData(QWidget*) {}

void TableGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Only the editor the grid opened, and only once.
    if (!editor || editor != m_editor)
        return;
    m_editor = nullptr;
    m_editIndex = QPersistentModelIndex();
    QTableView::closeEditor(
        editor, hint == QAbstractItemDelegate::SubmitModelCache ? QAbstractItemDelegate::NoHint : hint);
}

void TableGrid::keyboardSearch(const QString&)
{
    // Typing edits the current cell; it never jumps to a row whose text starts so.
}

namespace {

bool movesCurrentCell(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    case Qt::Key_Home:
    case Qt::Key_End: return event->modifiers() & Qt::ControlModifier;
    default: return false;
    }
}

} // namespace

void TableGrid::mousePressEvent(QMouseEvent* event)
{
    // A click beside the open editor takes its text first; text the field refuses keeps
    // the editor, and the click goes nowhere.
    if (editorOpen() && !m_editor->geometry().contains(event->position().toPoint())
        && !takeEditorTextOrReport()) {
        event->accept();
        return;
    }
    const QModelIndex at = indexAt(event->position().toPoint());
    m_pressedOnCurrent =
        event->button() == Qt::LeftButton && at.isValid() && at == currentIndex() && !editorOpen();
    QTableView::mousePressEvent(event);
}

void TableGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const bool onCurrent = m_pressedOnCurrent && indexAt(event->position().toPoint()) == currentIndex();
    m_pressedOnCurrent = false;
    if (onCurrent && !m_readOnly && !editorOpen())
        edit(currentIndex(), QAbstractItemView::AllEditTriggers, event);
}

void TableGrid::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if ((enter || movesCurrentCell(event)) && editorOpen()) {
        // The text goes into its field first; Enter then leaves the editor closed.
        if (!takeEditorTextOrReport()) {
            event->accept();
            return;
        }
        if (enter) {
            QChar key(u'\r');
            if (onKeyPress)
                runGuarded([&] { onKeyPress(key); });
            event->accept();
            return;
        }
    } else if (enter) {
        QChar key(u'\r');
        if (onKeyPress)
            runGuarded([&] { onKeyPress(key); });
        if (!key.isNull() && !m_readOnly)
            edit(currentIndex(), QAbstractItemView::EditKeyPressed, event);
        event->accept();
        return;
    }
    if (m_model && !m_readOnly) {
        ClientTable& t = m_model->table();
        if (event->key() == Qt::Key_Escape) {
            // The open cell editor first; then the row's pending edit or insertion.
            if (!editorOpen() && t.active() && t.state() != TableState::Browse)
                runGuarded([&] { t.cancel(); });
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            runGuarded([&] { t.insert(); });
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier && t.active()
            && t.state() != TableState::Insert && (t.isEmpty() || t.currentIndex() == t.recordCount() - 1)) {
            runGuarded([&] { t.append(); });
            event->accept();
            return;
        }
    }
    if (onKeyPress && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        QChar key = event->text().at(0);
        const QChar before = key;
        runGuarded([&] { onKeyPress(key); });
        if (key.isNull()) {
            event->accept();
            return;
        }
        if (key != before) {
            QKeyEvent replaced(event->type(), event->key(), event->modifiers(), QString(key));
            QTableView::keyPressEvent(&replaced);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void TableGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
}

void TableGrid::leftGrid()
{
    // Text typed into the open editor goes into the row when the grid is left; text the
    // field refuses brings the focus back to it. An inserted row nothing was typed into is
    // dropped when the grid is left.
    if (!m_model || m_readOnly)
        return;
    if (editorOpen() && !takeEditorTextOrReport())
        return;
    ClientTable& t = m_model->table();
    if (t.active() && t.state() == TableState::Insert && !t.modified())
        runGuarded([&] { t.cancel(); });
}

} // namespace dorvin
