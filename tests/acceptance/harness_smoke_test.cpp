// The harness itself, on the demo base: a click makes an element current, typing into a
// parameter value cell and Enter stores the value, and "Вы&ход" from the menu writes the
// base back, which the saved file shows.
#include "support/dialogs.h"
#include "support/program.h"
#include "support/user.h"

#include "dbaware/table_grid.h"
#include "widgets/text_grid.h"

#include <QMenuBar>
#include <QtTest>

#include <cmath>

using namespace acceptance;

class HarnessSmokeTest : public QObject {
    Q_OBJECT

private slots:
    void typeAValueAndExit()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("База элементов: ")));

        // Columns: code, model, price.
        const QString model = cellText(w.ElemDBGrid, 1, 1);
        QVERIFY(!model.isEmpty());
        user.clickCell(w.ElemDBGrid, 1, 1);
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 1);

        user.clickCell(w.ParamsGrid, 2, 5);
        user.type(QStringLiteral("12,5"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(w.ParamsGrid->cells(2, 5), QStringLiteral("12,500"));

        QVERIFY(user.chooseMenuItem(w.MainMenu1, QStringLiteral("&База"), QStringLiteral("Вы&ход")));
        QVERIFY(program->waitUntilClosed());
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));

        const SavedBase saved = program->saved();
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        bool found = false;
        for (const QJsonObject& e : saved.rows("ELEMENTS"))
            if (e.value("MODEL").toString() == model) {
                found = true;
                QCOMPARE(saved.paramValue(e.value("GR").toInt(), e.value("ELEM").toInt(), 1, 5), 12.5);
            }
        QVERIFY2(found, qPrintable(model));
    }
};

QTEST_MAIN(HarnessSmokeTest)
#include "harness_smoke_test.moc"
