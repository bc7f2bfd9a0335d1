#include "elements/element_list.h"
#include "platform/text_codec.h"

#include "dbaware/table_grid.h"
#include "dbaware/db_navigator.h"
#include "platform/guarded.h"
#include "elements/type_pane.h"
#include "platform/services.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QVariant>

#include <charconv>
#include <limits>

namespace dorvin {

std::optional<std::int32_t> nextElementNumber(std::string_view text)
{
    std::int64_t max = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, max);
    if (text.empty() || ec != std::errc() || ptr != end)
        max = 0;
    if (max >= std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    // Numbers below 0 are not produced by the program; the next one is still 1 above.
    return static_cast<std::int32_t>(max < std::numeric_limits<std::int32_t>::min() ? 1 : max + 1);
}

QString deleteElementQuestion(const QString& model)
{
    return QStringLiteral("Удалить элемент: ") + model + QStringLiteral("?");
}

void deleteShownRows(ClientTable& table)
{
    table.first();
    int count = table.recordCount();
    while (count > 0) {
        table.deleteRecord();
        const int now = table.recordCount();
        if (now >= count)
            break;
        count = now;
    }
}

} // namespace dorvin

namespace {

bool isEditing(const dorvin::ClientTable& table)
{
    return table.state() == dorvin::TableState::Edit || table.state() == dorvin::TableState::Insert;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The add gate
// ---------------------------------------------------------------------------------------

int TMainForm::addGate() const
{
    return ElemDBNavigator->property(dorvin::kAddGateProperty).toInt();
}

void TMainForm::setAddGate(int gate)
{
    ElemDBNavigator->setProperty(dorvin::kAddGateProperty, gate);
}

void TMainForm::ElemDBNavigatorBeforeAction(dorvin::NavigateBtn button)
{
    if (button == dorvin::NavigateBtn::Insert)
        setAddGate(1);
}

void TMainForm::ElemDBNavigatorClick(dorvin::NavigateBtn button)
{
    if (button == dorvin::NavigateBtn::Insert) {
        setAddGate(1);
        // The new row waits for its model name: the keyboard goes to that cell, wherever
        // the focus was (the parameter grid, the type list, a button).
        if (DataM && DataM->ClElemsTable.state() == dorvin::TableState::Insert) {
            ElemDBGrid->setFocus(Qt::OtherFocusReason);
            ElemDBGrid->setSelectedIndex(1);
        }
    }
}

void TMainForm::ElementTableBeforeInsert()
{
    if (addGate() == 0)
        throw dorvin::Abort{};
    setAddGate(0);
}

// ---------------------------------------------------------------------------------------
// A new element
// ---------------------------------------------------------------------------------------

void TMainForm::ElementTableAfterInsert()
{
    TDataM& dm = *DataM;
    const std::optional<std::int32_t> number = dorvin::nextElementNumber(dm.ClElemsTableMaxElNum.asString());
    if (!number) {
        // Every number of this type is taken up to the largest one a number can hold.
        dm.ClElemsTable.cancel();
        throw dorvin::Error("Номер нового элемента вышел за пределы допустимых значений");
    }
    dm.ClElemsTableELEM.setInteger(*number);
    dm.ClElemsTableCENA.setMoney(0);
    dm.ClElemsTableCODE.setString(dorvin::toCp1251(dorvin::kNewElementCode));

    // Setting ELEM moved the parameter table to this element's rows: any that are left
    // over from an element of the same number that was never confirmed go first.
    dorvin::deleteShownRows(dm.ClParamsTable);

    // One parameter row for each template row of the type, without values.
    dorvin::ClientTable& tmpl = dm.ParamsTemplate;
    tmpl.first();
    for (int left = tmpl.recordCount(); !tmpl.eof() && left > 0; --left) {
        dm.ClParamsTable.append();
        dm.ClParamsTableGROUP.setInteger(dm.ClGroupsTableGROUP.asInteger());
        dm.ClParamsTableELEM.setInteger(*number);
        dm.ClParamsTablePARAM.setInteger(dm.ParamsTemplatePARAM.asInteger());
        dm.ClParamsTablePARNAME.setString(dm.ParamsTemplatePARNAME.asString());
        dm.ClParamsTable.post();
        tmpl.next();
    }
    dm.ClParamsTable.first();
}

// ---------------------------------------------------------------------------------------
// Deleting an element
// ---------------------------------------------------------------------------------------

void TMainForm::ElementTableBeforeDelete()
{
    TDataM& dm = *DataM;
    const QString text = dorvin::deleteElementQuestion(dorvin::fromCp1251(dm.ClElemsTableMODEL.asString()));
    if (!dorvin::services().question(text))
        throw dorvin::Abort{};
    dorvin::deleteShownRows(dm.ClParamsTable);
}

// ---------------------------------------------------------------------------------------
// Commands: each is the press of a navigator button
// ---------------------------------------------------------------------------------------

void TMainForm::bindElementNavigator()
{
    // The bar acts on the element table, and its buttons follow the table's state. A
    // binding made by the window's own set-up is kept as it is.
    dorvin::TDBNavigator* nav = ElemDBNavigator;
    if (!nav->operation) {
        nav->operation = [this](dorvin::NavigateBtn button) {
            dorvin::ClientTable& t = DataM->ClElemsTable;
            switch (button) {
            case dorvin::NavigateBtn::First: t.first(); break;
            case dorvin::NavigateBtn::Prior: t.prior(); break;
            case dorvin::NavigateBtn::Next: t.next(); break;
            case dorvin::NavigateBtn::Last: t.last(); break;
            case dorvin::NavigateBtn::Insert: t.insert(); break;
            case dorvin::NavigateBtn::Delete: t.deleteRecord(); break;
            case dorvin::NavigateBtn::Post: t.post(); break;
            case dorvin::NavigateBtn::Cancel: t.cancel(); break;
            }
        };
    }
    if (!nav->canAct) {
        nav->canAct = [this](dorvin::NavigateBtn button) {
            if (!DataM)
                return false;
            const dorvin::ClientTable& t = DataM->ClElemsTable;
            if (!t.active())
                return false;
            const int count = t.recordCount();
            const int at = t.currentIndex();
            switch (button) {
            case dorvin::NavigateBtn::First:
            case dorvin::NavigateBtn::Prior: return count > 0 && at > 0;
            case dorvin::NavigateBtn::Next:
            case dorvin::NavigateBtn::Last: return count > 0 && at < count - 1;
            case dorvin::NavigateBtn::Insert: return true;
            case dorvin::NavigateBtn::Delete: return count > 0;
            case dorvin::NavigateBtn::Post:
            case dorvin::NavigateBtn::Cancel: return isEditing(t);
            }
            return false;
        };
    }
}

void TMainForm::CmAddElemClick()
{
    bindElementNavigator();
    ElemDBNavigator->press(dorvin::NavigateBtn::Insert);
    ElemDBNavigator->refreshButtons();
}

void TMainForm::CmDelElemClick()
{
    bindElementNavigator();
    ElemDBNavigator->press(dorvin::NavigateBtn::Delete);
    ElemDBNavigator->refreshButtons();
}

void TMainForm::CmApplyClick()
{
    // Confirms what is being edited: the element row through the navigator's confirm
    // button, and a parameter row being edited as the parameter pane's own button does.
    // The element table is only posted when it has something to post, so the command
    // never fails on an element list that is merely being browsed.
    bindElementNavigator();
    TDataM& dm = *DataM;
    if (isEditing(dm.ClElemsTable))
        ElemDBNavigator->press(dorvin::NavigateBtn::Post);
    if (dm.ClParamsTable.state() == dorvin::TableState::Edit)
        AppButClick();
    ElemDBNavigator->refreshButtons();
}

void TMainForm::CmUndoClick()
{
    bindElementNavigator();
    TDataM& dm = *DataM;
    if (isEditing(dm.ClElemsTable))
        ElemDBNavigator->press(dorvin::NavigateBtn::Cancel);
    if (dm.ClParamsTable.state() == dorvin::TableState::Edit)
        CancelClick();
    ElemDBNavigator->refreshButtons();
}

void TMainForm::ActionDeleteUpdate()
{
    ActionDelete->setEnabled(DataM && DataM->ClElemsTable.active() && !DataM->ClElemsTable.isEmpty());
}

void TMainForm::ElementsSourceStateChange()
{
    if (!DataM)
        return;
    const bool editing = isEditing(DataM->ClElemsTable);
    const bool ended = m_elementWasEdited && !editing;
    m_elementWasEdited = editing;
    dorvin::runGuarded([&] {
        // "Редактирование" from the first keystroke in a cell.
        ParamsSourceStateChange();
        // A confirmed or dropped edit may have changed the model name that the parameter
        // pane's caption and the chart's title show.
        if (ended && DataM->ClParamsTable.active() && DataM->ClElemsTable.active())
            ParamsTableAfterScroll();
    });
}

void TMainForm::PopupMenu1Popup()
{
    const bool editingRow = DataM && DataM->ClElemsTable.state() == dorvin::TableState::Edit;
    CmApply->setEnabled(editingRow);
    CmUndo->setEnabled(editingRow);
}

// ---------------------------------------------------------------------------------------
// The grid
// ---------------------------------------------------------------------------------------

void TMainForm::ElemDBGridKeyPress(QChar& key)
{
    if (key != QChar(13))
        return;
    dorvin::ClientTable& elems = DataM->ClElemsTable;
    if (!elems.eof())
        elems.next();
}

void TMainForm::ElemDBGridEnter()
{
    dorvin::setCaptionColour(ElemListGroupBox, dorvin::kFocusedCaption);
}

void TMainForm::ElemDBGridExit()
{
    dorvin::setCaptionColour(ElemListGroupBox, dorvin::kUnfocusedCaption);
    // A row inserted and left untouched is dropped when the grid is left; a new element
    // has its number, price and code already, so it stays pending.
    dorvin::ClientTable& elems = DataM->ClElemsTable;
    if (elems.state() == dorvin::TableState::Insert && !elems.modified())
        elems.cancel();
}
