#include "elements/element_search.h"

#include "dbaware/table_grid.h"
#include "elements/element_list_pane.h"
#include "platform/text_codec.h"
#include "storage/data_module.h"

namespace dorvin::elements {

bool locateElement(ElementListPane& pane, const QString& field, const QString& text)
{
    TDataM* dm = pane.dataModule();
    if (!dm || !dm->ClElemsTable.active())
        return false;
    ClientTable& elems = dm->ClElemsTable;
    elems.finishPendingEdit();
    return elems.locate(field.toStdString(), toCp1251(text));
}

void setElementColumn(ElementListPane& pane, int column)
{
    TableGrid* grid = pane.ElemDBGrid;
    if (!grid || !grid->model() || column < 0 || !pane.dataModule())
        return;
    const int row = pane.dataModule()->ClElemsTable.currentIndex();
    const QModelIndex index = grid->model()->index(row, column);
    if (index.isValid()) {
        grid->setCurrentIndex(index);
        // A found element is shown in the middle of the list where the list can scroll.
        grid->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

} // namespace dorvin::elements
