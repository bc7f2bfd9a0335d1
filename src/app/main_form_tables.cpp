// The data module and the window's handlers on its tables' notifications.
#include "app/main_form.h"

#include "app/recovery_keeper.h"
#include "widgets/text_grid.h"
#include "dbaware/table_grid.h"
#include "dbaware/db_navigator.h"
#include "dbaware/db_text.h"
#include "widgets/focus_watch.h"
#include "platform/profile_file.h"
#include "platform/value_text.h"
#include "storage/data_module.h"

#include <QAbstractEventDispatcher>

using dorvin::ClientTable;
using dorvin::DataSource;

namespace {
dorvin::RecoveryKeeper* recoveryKeeperOf(const TMainForm* form)
{
    return form->findChild<dorvin::RecoveryKeeper*>(QStringLiteral("RecoveryKeeper"), Qt::FindDirectChildrenOnly);
}
} // namespace

void TMainForm::createDataModule()
{
    DataM = new TDataM();
    new dorvin::RecoveryKeeper(*DataM, this);
    // The data-bound controls refer to the module's sources.
    DBGrid1->setDataSource(&DataM->GroupsSource, {"GRNAME"});
    DBNavigator4->setDataSource(&DataM->GroupsSource);
    ElemDBGrid->setDataSource(&DataM->ElementsSource, {"CODE", "MODEL", "CENA"});
    ElemDBGrid->setColWidth(0, 36);
    ElemDBGrid->setColWidth(1, 160);
    ElemDBGrid->setColWidth(2, ElemDBGrid->fontMetrics().averageCharWidth() * DataM->ClElemsTableCENA.displayWidth() + 4);
    ElemDBNavigator->setDataSource(&DataM->ElementsSource);
    DBNavigator2->setDataSource(&DataM->ParamsSource);
    DBText1->setDataSource(&DataM->ParamsSource, "PARNAME");
    Panel2Resize();
}

void TMainForm::attachTableHandlers()
{
    DataM->ClGroupsTable.afterScroll = [this](ClientTable&) { GroupsTableAfterScroll(); };
    DataM->ClElemsTable.beforeDelete = [this](ClientTable&) { ElementTableBeforeDelete(); };
    DataM->ClElemsTable.beforeInsert = [this](ClientTable&) { ElementTableBeforeInsert(); };
    DataM->ClElemsTable.afterInsert = [this](ClientTable&) { ElementTableAfterInsert(); };
    DataM->ClParamsTable.afterScroll = [this](ClientTable&) { ParamsTableAfterScroll(); };
    DataM->ClParamsTable.beforeScroll = [this](ClientTable&) { ParamsTableBeforeScroll(); };
    DataM->ParamsSource.stateChange = [this](DataSource&) { ParamsSourceStateChange(); };
    DataM->ElementsSource.stateChange = [this](DataSource&) { ElementsSourceStateChange(); };
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

int TMainForm::paramsN1Index() const
{
    return DataM->ClParamsTable.fieldByName("N1").index();
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

void TMainForm::fillFrequencyColumns()
{
    // Grid row k shows frequency point k: the k-th row of the plan in ascending frequency.
    // A plan of fewer rows leaves the table on its last row, which the rest repeat.
    ClientTable& freqs = DataM->BaseFreqs;
    freqs.first();
    for (int k = 1; k <= 96; ++k) {
        ParamsGrid->setCells(0, k, dorvin::fromCp1251(DataM->BaseFreqsNAME.asString()));
        ParamsGrid->setCells(1, k, dorvin::formatValueText(DataM->BaseFreqsFREQ.asFloat()));
        freqs.next();
    }
}

void TMainForm::destroyDataModule()
{
    if (!DataM)
        return;
    // Nothing of the window may run while the tables go.
    DBGrid1->setDataSource(nullptr);
    DBNavigator4->setDataSource(nullptr);
    ElemDBGrid->setDataSource(nullptr);
    ElemDBNavigator->setDataSource(nullptr);
    DBNavigator2->setDataSource(nullptr);
    DBText1->setDataSource(nullptr);
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
    for (auto* watch : findChildren<dorvin::FocusWatch*>()) {
        watch->onEnter = nullptr;
        watch->onExit = nullptr;
    }
    ParamsGrid->onEnter = nullptr;
    ParamsGrid->onExit = nullptr;
    destroyDataModule();
}
