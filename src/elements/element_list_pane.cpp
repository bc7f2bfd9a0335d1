#include "elements/element_list_pane.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "elements/element_list.h"
#include "panes/pane_host.h"
#include "panes/pane_layout.h"
#include "platform/guarded.h"
#include "platform/services.h"
#include "platform/text_codec.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/element_exchange.h"
#include "storage/error.h"
#include "widgets/caption_colour.h"
#include "widgets/focus_watch.h"
#include "widgets/hints.h"
#include "widgets/panel.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QVariant>

namespace {

bool isEditing(const dorvin::ClientTable& table)
{
    return table.state() == dorvin::TableState::Edit || table.state() == dorvin::TableState::Insert;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The pane
// ---------------------------------------------------------------------------------------

ElementListPane::ElementListPane(dorvin::PaneHost& host, QObject* parent) : dorvin::Pane(parent), m_host(host)
{
    setObjectName(QStringLiteral("ElementListPane"));
}

QGroupBox* ElementListPane::build(QWidget* parent)
{
    using dorvin::NavigateBtn;
    using dorvin::panes::hbox;
    using dorvin::panes::named;
    using dorvin::panes::vbox;

    ElemListGroupBox = named(new QGroupBox(QStringLiteral("Все элементы типа:"), parent), "ElemListGroupBox");
    ElemListGroupBox->setProperty(dorvin::panes::kHelpContextProperty, 101);
    QVBoxLayout* elemColumn = vbox(ElemListGroupBox, 2);
    ElemDBGrid = named(new dorvin::TableGrid(ElemListGroupBox), "ElemDBGrid");
    ElemDBGrid->setReadOnly(false);
    ElemDBGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    {
        QPalette pal = ElemDBGrid->palette();
        pal.setColor(QPalette::Text, Qt::black);
        ElemDBGrid->setPalette(pal);
    }
    dorvin::setControlHint(ElemDBGrid, QStringLiteral("Список элементов выбранного типа"), false);
    ElemDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    elemColumn->addWidget(ElemDBGrid, 1);
    Panel6 = named(new dorvin::TPanel(ElemListGroupBox, dorvin::TPanel::Bevel::Lowered), "Panel6");
    Panel6->setFixedHeight(24);
    QHBoxLayout* elemNavRow = hbox(Panel6, 1);
    ElemDBNavigator =
        named(new dorvin::TDBNavigator({NavigateBtn::First, NavigateBtn::Prior, NavigateBtn::Next,
                                        NavigateBtn::Last, NavigateBtn::Insert, NavigateBtn::Delete,
                                        NavigateBtn::Post, NavigateBtn::Cancel},
                                       Panel6),
              "ElemDBNavigator");
    ElemDBNavigator->setButtonHints({QStringLiteral("Первый элемент"), QStringLiteral("Предыдущий элемент"),
                                     QStringLiteral("Следующий элемент"), QStringLiteral("Последний элемент"),
                                     QStringLiteral("Добавить элемент"), QStringLiteral("Удалить элемент"),
                                     QStringLiteral("Принять изменения"),
                                     QStringLiteral("Отменить изменения")},
                                    true);
    elemNavRow->addWidget(ElemDBNavigator, 1);
    elemColumn->addWidget(Panel6);
    return ElemListGroupBox;
}

void ElementListPane::connectControls()
{
    m_focus = new dorvin::FocusWatch(ElemDBGrid);
    m_focus->onEnter = [this] { ElemDBGridEnter(); };
    m_focus->onExit = [this] { ElemDBGridExit(); };
    ElemDBGrid->onKeyPress = [this](QChar& key) { ElemDBGridKeyPress(key); };
    ElemDBNavigator->beforeAction = [this](dorvin::NavigateBtn b) { ElemDBNavigatorBeforeAction(b); };
    ElemDBNavigator->onClick = [this](dorvin::NavigateBtn b) { ElemDBNavigatorClick(b); };
}

void ElementListPane::disconnectControls()
{
    if (m_focus) {
        m_focus->onEnter = nullptr;
        m_focus->onExit = nullptr;
    }
    ElemDBGrid->onKeyPress = nullptr;
    ElemDBNavigator->beforeAction = nullptr;
    ElemDBNavigator->onClick = nullptr;
    ElemDBNavigator->operation = nullptr;
    ElemDBNavigator->canAct = nullptr;
}

void ElementListPane::setEnabled(bool enabled)
{
    ElemListGroupBox->setEnabled(enabled);
}

void ElementListPane::attach(TDataM& dm)
{
    m_dm = &dm;
    ElemDBGrid->setDataSource(&dm.ElementsSource, {"CODE", "MODEL", "CENA"});
    ElemDBGrid->setColWidth(0, 36);
    ElemDBGrid->setColWidth(1, 160);
    ElemDBGrid->setColWidth(
        2, ElemDBGrid->fontMetrics().averageCharWidth() * dm.ClElemsTableCENA.displayWidth() + 4);
    ElemDBNavigator->setDataSource(&dm.ElementsSource);
}

void ElementListPane::detach()
{
    ElemDBGrid->setDataSource(nullptr);
    ElemDBNavigator->setDataSource(nullptr);
    m_dm = nullptr;
}

void ElementListPane::typeReached()
{
    bindElementNavigator();
    fitColumns();
    ElemListGroupBox->setTitle(QStringLiteral("Все элементы типа: ")
                               + dorvin::fromCp1251(m_dm->ClGroupsTableGRNAME.asString()));
}

void ElementListPane::fitColumns()
{
    const int w = ElemDBGrid->clientWidth();
    const int c0 = static_cast<int>(w * 0.12);
    const int c1 = static_cast<int>(w * 0.65);
    ElemDBGrid->setColWidth(0, c0);
    ElemDBGrid->setColWidth(1, c1);
    ElemDBGrid->setColWidth(2, w - c0 - c1 - 15);
}

void ElementListPane::refreshNavigator()
{
    ElemDBNavigator->refreshButtons();
}

// ---------------------------------------------------------------------------------------
// The add gate
// ---------------------------------------------------------------------------------------

int ElementListPane::addGate() const
{
    return ElemDBNavigator->property(dorvin::kAddGateProperty).toInt();
}

void ElementListPane::setAddGate(int gate)
{
    ElemDBNavigator->setProperty(dorvin::kAddGateProperty, gate);
}

void ElementListPane::ElemDBNavigatorBeforeAction(dorvin::NavigateBtn button)
{
    if (button == dorvin::NavigateBtn::Insert)
        setAddGate(1);
}

void ElementListPane::ElemDBNavigatorClick(dorvin::NavigateBtn button)
{
    if (button == dorvin::NavigateBtn::Insert) {
        setAddGate(1);
        // The new row waits for its model name: the keyboard goes to that cell, wherever
        // the focus was (the parameter grid, the type list, a button).
        if (m_dm && m_dm->ClElemsTable.state() == dorvin::TableState::Insert) {
            ElemDBGrid->setFocus(Qt::OtherFocusReason);
            ElemDBGrid->setSelectedIndex(1);
        }
    }
}

void ElementListPane::ElementTableBeforeInsert()
{
    if (addGate() == 0)
        throw dorvin::Abort{};
    setAddGate(0);
}

// ---------------------------------------------------------------------------------------
// A new element
// ---------------------------------------------------------------------------------------

void ElementListPane::ElementTableAfterInsert()
{
    TDataM& dm = *m_dm;
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

void ElementListPane::ElementTableBeforeDelete()
{
    TDataM& dm = *m_dm;
    const QString text = dorvin::deleteElementQuestion(dorvin::fromCp1251(dm.ClElemsTableMODEL.asString()));
    if (!dorvin::services().question(text))
        throw dorvin::Abort{};
    dorvin::deleteShownRows(dm.ClParamsTable);
}

// ---------------------------------------------------------------------------------------
// Commands: each is the press of a navigator button
// ---------------------------------------------------------------------------------------

void ElementListPane::bindElementNavigator()
{
    // The bar acts on the element table, and its buttons follow the table's state. The
    // binding the bar got from its data source (attach) is kept as it is.
    dorvin::TDBNavigator* nav = ElemDBNavigator;
    if (!nav->operation) {
        nav->operation = [this](dorvin::NavigateBtn button) {
            dorvin::ClientTable& t = m_dm->ClElemsTable;
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
            if (!m_dm)
                return false;
            const dorvin::ClientTable& t = m_dm->ClElemsTable;
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

void ElementListPane::CmAddElemClick()
{
    bindElementNavigator();
    ElemDBNavigator->press(dorvin::NavigateBtn::Insert);
    ElemDBNavigator->refreshButtons();
}

void ElementListPane::CmDelElemClick()
{
    bindElementNavigator();
    ElemDBNavigator->press(dorvin::NavigateBtn::Delete);
    ElemDBNavigator->refreshButtons();
}

void ElementListPane::CmApplyClick()
{
    // Confirms what is being edited: the element row through the navigator's confirm
    // button, and a parameter row being edited as the parameter pane's own button does.
    // The element table is only posted when it has something to post, so the command
    // never fails on an element list that is merely being browsed.
    bindElementNavigator();
    TDataM& dm = *m_dm;
    if (isEditing(dm.ClElemsTable))
        ElemDBNavigator->press(dorvin::NavigateBtn::Post);
    if (dm.ClParamsTable.state() == dorvin::TableState::Edit)
        m_host.applyParamsEdit();
    ElemDBNavigator->refreshButtons();
}

void ElementListPane::CmUndoClick()
{
    bindElementNavigator();
    TDataM& dm = *m_dm;
    if (isEditing(dm.ClElemsTable))
        ElemDBNavigator->press(dorvin::NavigateBtn::Cancel);
    if (dm.ClParamsTable.state() == dorvin::TableState::Edit)
        m_host.cancelParamsEdit();
    ElemDBNavigator->refreshButtons();
}

bool ElementListPane::hasElements() const
{
    return m_dm && m_dm->ClElemsTable.active() && !m_dm->ClElemsTable.isEmpty();
}

bool ElementListPane::editingRow() const
{
    return m_dm && m_dm->ClElemsTable.state() == dorvin::TableState::Edit;
}

void ElementListPane::ElementsSourceStateChange()
{
    if (!m_dm)
        return;
    const bool editing = isEditing(m_dm->ClElemsTable);
    const bool ended = m_elementWasEdited && !editing;
    m_elementWasEdited = editing;
    dorvin::runGuarded([&] {
        // "Редактирование" from the first keystroke in a cell.
        m_host.paramsStateChanged();
        // A confirmed or dropped edit may have changed the model name that the parameter
        // pane's caption and the chart's title show.
        if (ended && m_dm->ClParamsTable.active() && m_dm->ClElemsTable.active())
            m_host.paramsRowReached();
    });
}

// ---------------------------------------------------------------------------------------
// The grid
// ---------------------------------------------------------------------------------------

void ElementListPane::ElemDBGridKeyPress(QChar& key)
{
    if (key != QChar(13))
        return;
    dorvin::ClientTable& elems = m_dm->ClElemsTable;
    if (!elems.eof())
        elems.next();
}

void ElementListPane::ElemDBGridEnter()
{
    dorvin::setCaptionColour(ElemListGroupBox, dorvin::kFocusedCaption);
}

void ElementListPane::ElemDBGridExit()
{
    dorvin::setCaptionColour(ElemListGroupBox, dorvin::kUnfocusedCaption);
    // A row inserted and left untouched is dropped when the grid is left; a new element
    // has its number, price and code already, so it stays pending.
    dorvin::ClientTable& elems = m_dm->ClElemsTable;
    if (elems.state() == dorvin::TableState::Insert && !elems.modified())
        elems.cancel();
}
