// The everyday flows of the element list and the find dialog, on the demo base, by keys
// and clicks: add and cancel, delete answered No and Yes, Enter on the last row, find
// as you type by code and by model name.
#include "support/dialogs.h"
#include "support/program.h"
#include "support/user.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "elements/find_form.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace acceptance;
using dorvin::NavigateBtn;

namespace {

constexpr int kCode = 0;
constexpr int kModel = 1;

int rowOfModel(dorvin::TableGrid* grid, const QString& model)
{
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        if (cellText(grid, r, kModel) == model)
            return r;
    return -1;
}

void exitProgram(User& user, Program& program)
{
    QVERIFY(
        user.chooseMenuItem(program.window().MainMenu1, QStringLiteral("&База"), QStringLiteral("Вы&ход")));
    QVERIFY(program.waitUntilClosed());
}

} // namespace

class ElementsFlowsTest : public QObject {
    Q_OBJECT

private slots:
    void addTypeAndCancelLeavesNothing()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const int rows = w.ElemDBGrid->model()->rowCount();
        user.clickCell(w.ElemDBGrid, 0, kModel);
        user.press(Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(w.ElemDBGrid->model()->rowCount(), rows + 1);
        user.type(QStringLiteral("Отменённый"));
        user.click(w.ElemDBNavigator->button(NavigateBtn::Cancel));
        QCOMPARE(w.ElemDBGrid->model()->rowCount(), rows);
        QCOMPARE(rowOfModel(w.ElemDBGrid, QStringLiteral("Отменённый")), -1);
        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        QVERIFY(program->saved().elementNamed(QStringLiteral("Отменённый")).isEmpty());
        QCOMPARE(program->saved().rows(QStringLiteral("ELEMENTS")).size(), 27);
    }

    void deleteAnsweredNoKeepsAndYesRemovesWithParameters()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const QString model = cellText(w.ElemDBGrid, 1, kModel);
        const QJsonObject before = program->saved().elementNamed(model);
        const int elem = before.value("ELEM").toInt();
        const int group = before.value("GR").toInt();
        QVERIFY(elem > 0);

        user.clickCell(w.ElemDBGrid, 1, kModel);
        dialogs.clickButton(QStringLiteral("Нет"));
        user.press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(waitFor([&] { return dialogs.pendingAnswers() == 0; }));
        settle(100);
        QCOMPARE(dialogs.messages(),
                 QStringList{QStringLiteral("Удалить элемент: ") + model + QStringLiteral("?")});
        QCOMPARE(dialogs.seen().back().buttons, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));
        QVERIFY(rowOfModel(w.ElemDBGrid, model) >= 0);

        dialogs.clickButton(QStringLiteral("Да"));
        user.press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(waitFor([&] { return dialogs.pendingAnswers() == 0; }));
        settle(100);
        QCOMPARE(rowOfModel(w.ElemDBGrid, model), -1);

        exitProgram(user, *program);
        const SavedBase saved = program->saved();
        QVERIFY(saved.elementNamed(model).isEmpty());
        for (const QJsonObject& p : saved.rows(QStringLiteral("PARAMS")))
            QVERIFY(!(p.value("GROUP").toInt() == group && p.value("ELEM").toInt() == elem));
    }

    void enterMovesDownButNotPastTheLastRow()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const int rows = w.ElemDBGrid->model()->rowCount();
        user.clickCell(w.ElemDBGrid, 0, kModel);
        user.press(Qt::Key_Return);
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 1);
        user.press(Qt::Key_Escape);

        // A click on the current last row opens its editor; Enter takes the text, closes
        // the editor and neither moves nor adds a row.
        user.clickCell(w.ElemDBGrid, rows - 1, kModel);
        QVERIFY(w.ElemDBGrid->editorOpen());
        user.press(Qt::Key_Return);
        QVERIFY(!w.ElemDBGrid->editorOpen());
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), rows - 1);
        QCOMPARE(w.ElemDBGrid->model()->rowCount(), rows);
        // The next Enter shows the editor again; still nothing moves.
        user.press(Qt::Key_Return);
        QVERIFY(w.ElemDBGrid->editorOpen());
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), rows - 1);
        QCOMPARE(w.ElemDBGrid->model()->rowCount(), rows);
        user.press(Qt::Key_Escape);
        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        QCOMPARE(program->saved().rows(QStringLiteral("ELEMENTS")).size(), 27);
    }

    void findAsYouTypeByCodeAndByName()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ElemDBGrid, 0, kModel);
        // The first type shown holds "OUT-TV" and "OUT-TVFM".
        const int target = rowOfModel(w.ElemDBGrid, QStringLiteral("Розетка оконечная TV/FM"));
        QVERIFY(target > 0);
        QCOMPARE(cellText(w.ElemDBGrid, target, kCode), QStringLiteral("OUT-TVFM"));
        user.press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(waitFor([] { return FindForm && FindForm->isVisible(); }));
        QCOMPARE(user.focus(), FindForm->FindTextEdit);
        QCOMPARE(FindForm->FieldCombo->currentText(), QStringLiteral("Код"));

        user.type(QStringLiteral("OUT-TVF"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 0);
        user.type(QStringLiteral("M"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), target);
        QCOMPARE(w.ElemDBGrid->currentIndex().column(), kCode);
        user.type(QStringLiteral("M"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), target);

        // The field box: the next item is "Наименование"; choosing it clears the text.
        user.click(FindForm->FieldCombo);
        user.press(Qt::Key_Down);
        QCOMPARE(FindForm->FieldCombo->currentText(), QStringLiteral("Наименование"));
        QCOMPARE(FindForm->FindTextEdit->text(), QString());
        user.click(FindForm->FindTextEdit);
        user.type(QStringLiteral("розетка оконечная TV-R"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), target); // letter case counts
        user.press(Qt::Key_A, Qt::ControlModifier);
        user.type(QStringLiteral("Розетка оконечная TV-R"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 0);
        QCOMPARE(w.ElemDBGrid->currentIndex().column(), kModel);

        user.click(FindForm->Button3);
        QVERIFY(!FindForm->isVisible());
        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
    }
};

QTEST_MAIN(ElementsFlowsTest)
#include "elements_flows_test.moc"
