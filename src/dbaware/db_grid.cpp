#include "dbaware/db_grid.h"

#include "dbaware/focus_watch.h"
#include "dbaware/guarded.h"
#include "dbaware/table_model.h"
#include "storage/client_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace dorvin {

TableGrid::TableGrid(QWidget* parent) : QTableView(parent)
{
    horizontalHeader()->hide();          // no title row
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(17);
    verticalHeader()->setFixedWidth(12); // the row indicator
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setWordWrap(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    setReadOnly(false);
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
    connect(m_model, &TableModel::tableCurrentChanged, this, &TableGrid::followTable);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TableGrid::followTable);
    followTable();
}

void TableGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (m_model)
        m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                                   | QAbstractItemView::SelectedClicked);
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
    if (m_following || !m_model || !current.isValid())
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

void TableGrid::closeOpenEditor(bool commit)
{
    if (!editorOpen())
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        editor = viewport()->findChild<QLineEdit*>();
    if (!editor)
        return;
    if (commit)
        commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TableGrid::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter) {
        const bool wasOpen = editorOpen();
        closeOpenEditor(true);
        QChar key(u'\r');
        if (onKeyPress)
            runGuarded([&] { onKeyPress(key); });
        if (!key.isNull() && !m_readOnly) {
            if (!wasOpen)
                edit(currentIndex(), QAbstractItemView::EditKeyPressed, event);
        }
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
    // An inserted row nothing was typed into is dropped when the grid is left.
    if (!m_model || m_readOnly)
        return;
    ClientTable& t = m_model->table();
    if (t.active() && t.state() == TableState::Insert && !t.modified())
        runGuarded([&] { t.cancel(); });
}

} // namespace dorvin
