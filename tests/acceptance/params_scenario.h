#pragma once
// The base the parameter pane scenarios start from: the first type holds two elements,
// each with two parameters whose values a user can tell apart at a glance.
//   element 1 "KA-12"  parameter 1: 1,000 2,000 ... 96,000   parameter 2: 27,000 everywhere
//   element 2 "KA-20"  parameter 1: 100 + k                   parameter 2: 200 + k
#include "support/dialogs.h"
#include "support/program.h"
#include "support/user.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "platform/profile_file.h"
#include "storage/data_module.h"
#include "widgets/text_grid.h"

#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace acceptance::params {

inline const QString kFirstModel = QStringLiteral("KA-12");
inline const QString kSecondModel = QStringLiteral("KA-20");

inline double storedValue(int elem, int param, int k)
{
    if (elem == 1)
        return param == 1 ? k : 27.0;
    return param == 1 ? 100.0 + k : 200.0 + k;
}

inline void twoElementsWithTwoParameters(TDataM& dm)
{
    dm.ClGroupsTable.first();
    for (int e = 1; e <= 2; ++e) {
        dm.ClElemsTable.insert();
        dm.ClElemsTableELEM.setInteger(e);
        dm.ClElemsTableMODEL.setString(dorvin::toCp1251(e == 1 ? kFirstModel : kSecondModel));
        dm.ClElemsTableCENA.setFloat(0);
        dm.ClElemsTableCODE.setString(std::to_string(e));
        dm.ClElemsTable.post();
        for (int p = 1; p <= 2; ++p) {
            dm.ClParamsTable.insert();
            dm.ClParamsTablePARAM.setInteger(p);
            dm.ClParamsTablePARNAME.setString(
                dorvin::toCp1251(p == 1 ? QStringLiteral("Затухание, дБ") : QStringLiteral("Усиление, дБ")));
            for (int k = 1; k <= 96; ++k)
                dm.ClParamsTableN[k - 1]->setFloat(storedValue(e, p, k));
            dm.ClParamsTable.post();
        }
    }
    dm.ClElemsTable.first();
}

// The type number of the scenario's elements, as the saved file names it.
inline int firstGroup(const SavedBase& saved)
{
    for (const QJsonObject& e : saved.rows(QStringLiteral("ELEMENTS")))
        if (e.value("MODEL").toString() == kFirstModel)
            return e.value("GR").toInt();
    return -1;
}

// The text of status bar panel 1 ("Редактирование" / "Просмотр") as shown.
inline QString statusPanel1(TMainForm& w)
{
    auto* panel = w.StatusBar1->findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    return panel ? panel->text() : QString();
}

// The value cell's text as shown in row k.
inline QString shown(TMainForm& w, int k)
{
    return w.ParamsGrid->cells(2, k);
}

// The button of the parameter navigator with this hint ("Следующий параметр").
inline QToolButton* navigatorButton(TMainForm& w, dorvin::NavigateBtn which)
{
    return w.DBNavigator2->button(which);
}

// The first row shown below the title row: the row whose cell is at the top of the
// grid's viewport.
inline int firstShownRow(dorvin::TextGrid* grid)
{
    return grid->rowAt(1) + 1;
}

} // namespace acceptance::params
