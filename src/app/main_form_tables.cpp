// The data module and the window's handlers on its tables' notifications.
#include "app/main_form.h"

#include "app/recovery_keeper.h"
#include "storage/data_module.h"
#include "widgets/focus_watch.h"
#include "widgets/text_grid.h"

#include <QAbstractEventDispatcher>

using dorvin::ClientTable;
using dorvin::DataSource;

namespace {
dorvin::RecoveryKeeper* recoveryKeeperOf(const TMainForm* form)
{
    return form->findChild<dorvin::RecoveryKeeper*>(QStringLiteral("RecoveryKeeper"),
                                                    Qt::FindDirectChildrenOnly);
}
} // namespace

void TMainForm::createDataModule()
{
    DataM = new TDataM();
    new dorvin::RecoveryKeeper(*DataM, this);
    // The data-bound controls refer to the module's sources.
    for (dorvin::Pane* pane : panes())
        pane->attach(*DataM);
}

void TMainForm::attachTableHandlers()
{
    TypePane* types = m_types;
    ElementListPane* elements = m_elements;
    ParamsPane* params = m_params;
    DataM->ClGroupsTable.afterScroll = [types](ClientTable&) { types->GroupsTableAfterScroll(); };
    DataM->ClElemsTable.beforeDelete = [elements](ClientTable&) { elements->ElementTableBeforeDelete(); };
    DataM->ClElemsTable.beforeInsert = [elements](ClientTable&) { elements->ElementTableBeforeInsert(); };
    DataM->ClElemsTable.afterInsert = [elements](ClientTable&) { elements->ElementTableAfterInsert(); };
    DataM->ClParamsTable.afterScroll = [params](ClientTable&) { params->ParamsTableAfterScroll(); };
    DataM->ClParamsTable.beforeScroll = [params](ClientTable&) { params->ParamsTableBeforeScroll(); };
    DataM->ParamsSource.stateChange = [params](DataSource&) { params->ParamsSourceStateChange(); };
    DataM->ElementsSource.stateChange = [elements](DataSource&) { elements->ElementsSourceStateChange(); };
}

void TMainForm::detachTableHandlers()
{
    if (!DataM)
        return;
    DataM->ClGroupsTable.afterScroll = nullptr;
    DataM->ClElemsTable.beforeDelete = nullptr;
    DataM->ClElemsTable.beforeInsert = nullptr;
    DataM->ClParamsTable.afterScroll = nullptr;
    DataM->ClParamsTable.beforeScroll = nullptr;
}

QString TMainForm::currentBasePath() const
{
    return DataM ? QString::fromStdString(DataM->currentBasePath()) : QString();
}

void TMainForm::loadBase(const QString& path)
{
    // Through the recovery keeper, which offers back the changes a crash left behind.
    if (dorvin::RecoveryKeeper* keeper = recoveryKeeperOf(this))
        keeper->loadBase(path, AliasComboBox->currentText());
    else
        DataM->LoadBase(path.toStdString());
}

void TMainForm::saveBase(const QString& path)
{
    DataM->SaveBase(path.toStdString());
    if (dorvin::RecoveryKeeper* keeper = recoveryKeeperOf(this))
        keeper->baseWritten(path);
}

void TMainForm::destroyDataModule()
{
    if (!DataM)
        return;
    // Nothing of the window may run while the tables go.
    for (dorvin::Pane* pane : panes())
        pane->detach();
    for (ClientTable* t : {&DataM->ClGroupsTable, &DataM->ClElemsTable, &DataM->ClParamsTable,
                           &DataM->BaseFreqs, &DataM->ParamsTemplate, &DataM->BaseFile}) {
        t->beforeInsert = t->afterInsert = t->beforeDelete = t->afterDelete = nullptr;
        t->beforeScroll = t->afterScroll = nullptr;
    }
    for (DataSource* s : {&DataM->GroupsSource, &DataM->ElementsSource, &DataM->ParamsSource,
                          &DataM->FreqsSource, &DataM->DataSource1, &DataM->DataSource2, &DataM->DataSource3})
        s->stateChange = nullptr;
    delete recoveryKeeperOf(this);
    delete DataM;
    DataM = nullptr;
}

TMainForm::~TMainForm()
{
    m_closed = true;
    // Events that arrive while the controls are destroyed must not reach the handlers.
    delete ApplicationEvents1;
    ApplicationEvents1 = nullptr;
    disconnect(m_idleConnection);
    // The grids' own focus rules included.
    for (auto* watch : findChildren<dorvin::FocusWatch*>()) {
        watch->onEnter = nullptr;
        watch->onExit = nullptr;
    }
    for (dorvin::Pane* pane : panes())
        pane->disconnectControls();
    destroyDataModule();
}
