// Typing in the element list as a user does, on the demo base: what is typed into a cell
// reaches the saved base whoever posts the row, text a field refuses is reported and kept
// in its cell, a cell takes no more than its field holds, and a new element is ready for
// its name wherever the focus was.
#include "support/dialogs.h"
#include "support/program.h"
#include "support/user.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "elements/find_form.h"
#include "params/response_chart.h"
#include "widgets/text_grid.h"

#include <QApplication>
#include <QGroupBox>
#include <QMenuBar>
#include <QToolButton>
#include <QtTest>

using namespace acceptance;
using dorvin::NavigateBtn;

namespace {

// Columns of the element grid.
constexpr int kCode = 0;
constexpr int kModel = 1;
constexpr int kPrice = 2;

int rowOfModel(dorvin::TableGrid* grid, const QString& model)
{
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        if (cellText(grid, r, kModel) == model)
            return r;
    return -1;
}

bool focusInside(QWidget* widget)
{
    QWidget* f = QApplication::focusWidget();
    return f && (f == widget || widget->isAncestorOf(f));
}

void exitProgram(User& user, Program& program)
{
    QVERIFY(
        user.chooseMenuItem(program.window().MainMenu1, QStringLiteral("&База"), QStringLiteral("Вы&ход")));
    QVERIFY(program.waitUntilClosed());
}

} // namespace

class ElementsTypingTest : public QObject {
    Q_OBJECT

private slots:
    void priceThatIsNotANumberIsReportedAndKeptInItsCell()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const QString model = cellText(w.ElemDBGrid, 0, kModel);
        const QString price = cellText(w.ElemDBGrid, 0, kPrice);

        user.clickCell(w.ElemDBGrid, 0, kPrice);
        dialogs.clickButton(QStringLiteral("OK"));
        user.type(QStringLiteral("abc"));
        user.press(Qt::Key_Return);
        QVERIFY2(waitFor([&] { return dialogs.seen().size() == 1 && dialogs.pendingAnswers() == 0; }),
                 qPrintable(dialogs.describe()));
        settle(100);
        QCOMPARE(dialogs.messages(), QStringList{QStringLiteral("'abc' не является числом")});
        QCOMPARE(dialogs.seen().front().title, QStringLiteral("Редактор базы элементов"));

        // The program goes on, the row is still being edited, with what was typed.
        QVERIFY(w.isVisible());
        QVERIFY(w.ElemDBGrid->editorOpen());
        QCOMPARE(w.ElemDBGrid->editorText(), QStringLiteral("abc"));
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Редактирование"));
        QVERIFY(w.ElemDBNavigator->button(NavigateBtn::Post)->isEnabled());

        // A click on another row takes the text again: reported again, nothing dropped.
        dialogs.clickButton(QStringLiteral("OK"));
        user.clickCell(w.ElemDBGrid, 1, kModel);
        QVERIFY2(waitFor([&] { return dialogs.seen().size() == 2 && dialogs.pendingAnswers() == 0; }),
                 qPrintable(dialogs.describe()));
        settle(100);
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 0);
        QCOMPARE(w.ElemDBGrid->editorText(), QStringLiteral("abc"));

        // The confirm button takes it too, with the same report.
        dialogs.clickButton(QStringLiteral("OK"));
        user.click(w.ElemDBNavigator->button(NavigateBtn::Post));
        QVERIFY2(waitFor([&] { return dialogs.seen().size() == 3 && dialogs.pendingAnswers() == 0; }),
                 qPrintable(dialogs.describe()));
        settle(100);
        QCOMPARE(w.ElemDBGrid->editorText(), QStringLiteral("abc"));

        // Escape closes the editor, the next Escape drops the edit: the old price is back.
        user.press(Qt::Key_Escape);

        user.press(Qt::Key_Escape);
        QVERIFY(!w.ElemDBGrid->editorOpen());
        QCOMPARE(cellText(w.ElemDBGrid, 0, kPrice), price);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));

        exitProgram(user, *program);
        QCOMPARE(dialogs.seen().size(), std::size_t(3));
        const SavedBase saved = program->saved();
        QVERIFY2(saved.ok(), qPrintable(saved.error()));
        QVERIFY(!saved.elementNamed(model).isEmpty());
    }

    void newElementTypedAndConfirmedWithTheButtonIsStored()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ElemDBGrid, 0, kModel);
        user.press(Qt::Key_N, Qt::ControlModifier);
        QVERIFY(focusInside(w.ElemDBGrid));
        QCOMPARE(w.ElemDBGrid->currentIndex().column(), kModel);
        user.type(QStringLiteral("Станция ГС-99"));
        QVERIFY(w.ElemDBNavigator->button(NavigateBtn::Post)->isEnabled());
        user.click(w.ElemDBNavigator->button(NavigateBtn::Post));
        QVERIFY(!w.ElemDBGrid->editorOpen());
        const int row = rowOfModel(w.ElemDBGrid, QStringLiteral("Станция ГС-99"));
        QVERIFY(row >= 0);
        QCOMPARE(cellText(w.ElemDBGrid, row, kCode), QStringLiteral("нет"));
        QVERIFY(!w.ElemDBNavigator->button(NavigateBtn::Post)->isEnabled());

        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        const SavedBase saved = program->saved();
        QVERIFY(!saved.elementNamed(QStringLiteral("Станция ГС-99")).isEmpty());
        for (const QJsonObject& e : saved.rows(QStringLiteral("ELEMENTS")))
            QVERIFY2(!e.value("MODEL").toString().isEmpty(), "an element was stored without its model");
    }

    void overtypedNameIsWrittenWhenTheWindowCloses()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const QString old = cellText(w.ElemDBGrid, 0, kModel);
        user.clickCell(w.ElemDBGrid, 0, kModel);
        user.type(QStringLiteral("Головная станция ГС-13"));
        // The row is being edited from the first keystroke on, before the cell is left.
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Редактирование"));
        QVERIFY(w.ElemDBNavigator->button(NavigateBtn::Post)->isEnabled());
        QVERIFY(w.ElemDBNavigator->button(NavigateBtn::Cancel)->isEnabled());

        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        const SavedBase saved = program->saved();
        QVERIFY(!saved.elementNamed(QStringLiteral("Головная станция ГС-13")).isEmpty());
        QVERIFY(saved.elementNamed(old).isEmpty());
    }

    void typedTextGoesIntoTheRowWhateverPostsIt()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const QString first = cellText(w.ElemDBGrid, 0, kModel);
        const QString second = cellText(w.ElemDBGrid, 1, kModel);

        // A click on another row.
        user.clickCell(w.ElemDBGrid, 0, kCode);
        user.type(QStringLiteral("C-A"));
        user.clickCell(w.ElemDBGrid, 1, kCode);
        QCOMPARE(cellText(w.ElemDBGrid, 0, kCode), QStringLiteral("C-A"));
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));

        // The Up key.
        user.type(QStringLiteral("C-B"));
        user.press(Qt::Key_Up);
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 0);
        QCOMPARE(cellText(w.ElemDBGrid, 1, kCode), QStringLiteral("C-B"));
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));

        // A search of the find dialog.
        user.type(QStringLiteral("C-C"));
        user.press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(waitFor([] { return FindForm && FindForm->isVisible(); }));
        user.type(QStringLiteral("Q"));
        QCOMPARE(cellText(w.ElemDBGrid, 0, kCode), QStringLiteral("C-C"));
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));
        user.press(Qt::Key_Escape);
        QVERIFY(waitFor([] { return !FindForm->isVisible(); }));

        // A change of the element type.
        user.clickCell(w.ElemDBGrid, 0, kCode);
        user.type(QStringLiteral("C-D"));
        user.clickCell(w.DBGrid1, 1, 0);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));

        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        const SavedBase saved = program->saved();
        QCOMPARE(saved.elementNamed(first).value("CODE").toString(), QStringLiteral("C-D"));
        QCOMPARE(saved.elementNamed(second).value("CODE").toString(), QStringLiteral("C-B"));
    }

    void aCellTakesNoMoreThanItsFieldHolds()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        const QString model = cellText(w.ElemDBGrid, 0, kModel);
        user.clickCell(w.ElemDBGrid, 0, kCode);
        user.type(QStringLiteral("ABCDEFGHIJKLM"));
        QCOMPARE(w.ElemDBGrid->editorText(), QStringLiteral("ABCDEFGHIJ"));
        user.press(Qt::Key_Return);
        QCOMPARE(cellText(w.ElemDBGrid, 0, kCode), QStringLiteral("ABCDEFGHIJ"));
        QCOMPARE(cellText(w.ElemDBGrid, 0, kModel), model);

        // The model cell holds 50 characters.
        user.clickCell(w.ElemDBGrid, 1, kModel);
        const QString sixty = QString(60, QChar(u'я'));
        user.type(sixty);
        QCOMPARE(w.ElemDBGrid->editorText(), sixty.left(50));
        user.press(Qt::Key_Escape);
        user.press(Qt::Key_Escape);

        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        QCOMPARE(program->saved().elementNamed(model).value("CODE").toString(), QStringLiteral("ABCDEFGHIJ"));
    }

    void afterPlusTheKeyboardIsInTheNewRowsModelCell()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ParamsGrid, 2, 3);
        QVERIFY(focusInside(w.ParamsGrid));
        user.click(w.ElemDBNavigator->button(NavigateBtn::Insert));
        QVERIFY(focusInside(w.ElemDBGrid));
        QCOMPARE(w.ElemDBGrid->currentIndex().column(), kModel);
        user.type(QStringLiteral("Модель Ф4"));
        QCOMPARE(w.ElemDBGrid->editorText(), QStringLiteral("Модель Ф4"));
        user.press(Qt::Key_Return);
        QVERIFY(rowOfModel(w.ElemDBGrid, QStringLiteral("Модель Ф4")) >= 0);

        exitProgram(user, *program);
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
        QVERIFY(!program->saved().elementNamed(QStringLiteral("Модель Ф4")).isEmpty());
    }

    void captionsFollowTheConfirmedModelName()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ElemDBGrid, 0, kModel);
        user.press(Qt::Key_N, Qt::ControlModifier);
        user.type(QStringLiteral("Новая станция"));
        user.click(w.ElemDBNavigator->button(NavigateBtn::Post));
        QCOMPARE(w.ParamsGroupBox->title(), QStringLiteral("Параметры элемента:Новая станция"));
        auto* chart = static_cast<dorvin::ResponseChart*>(w.Chart2);
        QVERIFY2(chart->titleText().startsWith(QStringLiteral("Новая станция")),
                 qPrintable(chart->titleText()));

        // Renaming an element that is current shows the new name once it is confirmed.
        const int row = rowOfModel(w.ElemDBGrid, QStringLiteral("Новая станция"));
        user.clickCell(w.ElemDBGrid, row, kModel);
        user.type(QStringLiteral("Станция Б"));
        user.click(w.ElemDBNavigator->button(NavigateBtn::Post));
        QCOMPARE(w.ParamsGroupBox->title(), QStringLiteral("Параметры элемента:Станция Б"));
        QVERIFY2(chart->titleText().startsWith(QStringLiteral("Станция Б")), qPrintable(chart->titleText()));
        exitProgram(user, *program);
    }
};

QTEST_MAIN(ElementsTypingTest)
#include "elements_typing_test.moc"
