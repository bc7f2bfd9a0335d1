// Typing into the parameter grid as a user does: a value lands in the row and parameter
// the user sees, whatever moved the grid under a half-typed value, and the keypad's
// decimal key types the locale's separator.
#include "params_scenario.h"

#include <QMenuBar>
#include <QtTest>

#include <cmath>

using namespace acceptance;
using namespace acceptance::params;
using dorvin::NavigateBtn;

class ParamsEditorTest : public QObject {
    Q_OBJECT

    // Chooses "Вы&ход" and reads back what was saved.
    static SavedBase exitAndRead(Program& program, User& user, Dialogs& dialogs)
    {
        [&] {
            QVERIFY(user.chooseMenuItem(program.window().MainMenu1, QStringLiteral("&База"),
                                        QStringLiteral("Вы&ход")));
            QVERIFY(program.waitUntilClosed());
            QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        }();
        return program.saved();
    }

private slots:
    void nextParameterClosesTheEditorAndTheValueGoesWhereItIsTyped()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        Dialogs dialogs;
        User user;
        QCOMPARE(cellText(w.ElemDBGrid, 0, 1), kFirstModel);

        user.clickCell(w.ParamsGrid, 2, 4);
        user.type(QStringLiteral("41"));
        QCOMPARE(shown(w, 4), QStringLiteral("41"));

        user.click(navigatorButton(w, NavigateBtn::Next));
        // The second parameter's values, the half-typed 41 gone with the editor.
        QTRY_COMPARE(shown(w, 4), QStringLiteral("27,000"));
        QCOMPARE(shown(w, 23), QStringLiteral("27,000"));
        QVERIFY(w.ParamsGrid->isAncestorOf(user.focus()) || user.focus() == w.ParamsGrid);

        // "7" must neither jump to a row starting with 7 nor leave the first digit behind.
        user.type(QStringLiteral("75"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(shown(w, 4), QStringLiteral("75,000"));
        for (int k = 1; k <= 96; ++k)
            if (k != 4)
                QCOMPARE(shown(w, k), QStringLiteral("27,000"));

        user.click(navigatorButton(w, NavigateBtn::Prior));
        QTRY_COMPARE(shown(w, 4), QStringLiteral("4,000"));

        const SavedBase saved = exitAndRead(program, user, dialogs);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        const int group = firstGroup(saved);
        QCOMPARE(saved.paramValue(group, 1, 2, 4), 75.0);
        QCOMPARE(saved.paramValue(group, 1, 1, 4), 4.0);
        for (int k = 1; k <= 96; ++k) {
            if (k != 4) {
                QCOMPARE(saved.paramValue(group, 1, 2, k), 27.0);
                QCOMPARE(saved.paramValue(group, 1, 1, k), double(k));
            }
        }
    }

    void anotherElementClosesTheEditorAndNoRowIsTouched()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        Dialogs dialogs;
        User user;

        user.clickCell(w.ParamsGrid, 2, 6);
        user.type(QStringLiteral("41"));
        QCOMPARE(shown(w, 6), QStringLiteral("41"));

        user.clickCell(w.ElemDBGrid, 1, 1);
        QTRY_COMPARE(shown(w, 6), QStringLiteral("106,000"));
        QCOMPARE(statusPanel1(w), QStringLiteral("Просмотр"));

        // Moves in the grid take nothing in: no editor is open to take from.
        user.clickCell(w.ParamsGrid, 2, 10);
        user.press(Qt::Key_Down);
        user.press(Qt::Key_Up);
        QCOMPARE(statusPanel1(w), QStringLiteral("Просмотр"));
        QCOMPARE(shown(w, 6), QStringLiteral("106,000"));
        QCOMPARE(shown(w, 10), QStringLiteral("110,000"));

        // Back on the first element, its row 6 kept its value too.
        user.clickCell(w.ElemDBGrid, 0, 1);
        QTRY_COMPARE(shown(w, 6), QStringLiteral("6,000"));

        const SavedBase saved = exitAndRead(program, user, dialogs);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        const int group = firstGroup(saved);
        for (int k = 1; k <= 96; ++k) {
            QCOMPARE(saved.paramValue(group, 2, 1, k), 100.0 + k);
            QCOMPARE(saved.paramValue(group, 1, 1, k), double(k));
        }
    }

    void keypadDecimalKeyTypesTheLocaleSeparator()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        Dialogs dialogs;
        User user;

        // In an open editor: 12, the keypad's point, 5.
        user.clickCell(w.ParamsGrid, 2, 7);
        user.type(QStringLiteral("12"));
        user.press(Qt::Key_Period, Qt::KeypadModifier);
        QCOMPARE(shown(w, 7), QStringLiteral("12,"));
        user.type(QStringLiteral("5"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(shown(w, 7), QStringLiteral("12,500"));

        // As the key that opens the editor (Enter moved to row 8 and opened it; close it).
        user.press(Qt::Key_Escape);
        user.press(Qt::Key_Period, Qt::KeypadModifier);
        user.type(QStringLiteral("25"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(shown(w, 8), QStringLiteral("0,250"));

        // A layout whose keypad gives a comma types the same.
        user.press(Qt::Key_Escape);
        user.type(QStringLiteral("3"));
        user.press(Qt::Key_Comma, Qt::KeypadModifier);
        user.type(QStringLiteral("75"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(shown(w, 9), QStringLiteral("3,750"));

        // The point of the main keyboard keeps its meaning: not a number here, stored as 0.
        user.press(Qt::Key_Escape);
        user.type(QStringLiteral("12.5"));
        user.press(Qt::Key_Return);
        QTRY_COMPARE(shown(w, 10), QStringLiteral("0,000"));

        const SavedBase saved = exitAndRead(program, user, dialogs);
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        const int group = firstGroup(saved);
        QCOMPARE(saved.paramValue(group, 1, 1, 7), 12.5);
        QCOMPARE(saved.paramValue(group, 1, 1, 8), 0.25);
        QCOMPARE(saved.paramValue(group, 1, 1, 9), 3.75);
        QCOMPARE(saved.paramValue(group, 1, 1, 10), 0.0);
        QCOMPARE(saved.paramValue(group, 1, 1, 11), 11.0);
    }
};

QTEST_MAIN(ParamsEditorTest)
#include "params_editor_test.moc"
