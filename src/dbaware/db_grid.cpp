#include "dbaware/db_grid.h"

#include "dbaware/guarded.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace dorvin {

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent)
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
}

void TDBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                                   | QAbstractItemView::SelectedClicked);
}

int TDBGrid::dataClientWidth() const
{
    return viewport()->width();
}

int TDBGrid::clientWidth() const
{
    return viewport()->width() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0);
}

void TDBGrid::keyPressEvent(QKeyEvent* event)
{
    if (onKeyPress && !event->text().isEmpty()) {
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

} // namespace dorvin
