// The element list: numbering and parameter rows of a new element, the add gate, the
// deletion question, Enter in the grid, command and popup enabling, and the focus caption.
#include "elements_support.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "elements/element_list.h"
#include "elements/type_pane.h"
#include "platform/guarded.h"
#include "storage/error.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>

#include <set>
#include <utility>

using dorvin::NavigateBtn;
using dorvin::TableState;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using namespace elements_test;

namespace {

constexpr int kAmplifiers = 2;  // three template parameters
constexpr int kNoTemplate = 40; // a type the template knows nothing of

// Every parameter row of a base file as (GROUP, ELEM, PARAM).
std::multiset<std::tuple<int, int, int>> allParamRows(const QString& basePath)
{
    TDataM dm;
    dm.LoadBase(basePath.toStdString());
    dm.ClParamsTable.setMasterLink(nullptr, "", "");
    std::multiset<std::tuple<int, int, int>> rows;
    for (dm.ClParamsTable.first(); !dm.ClParamsTable.eof(); dm.ClParamsTable.next())
        rows.insert({int(dm.ClParamsTableGROUP.asInteger()), int(dm.ClParamsTableELEM.asInteger()),
                     int(dm.ClParamsTablePARAM.asInteger())});
    return rows;
}

void withElements(TDataM& dm)
{
    QVERIFY(gotoType(dm, kAmplifiers));
    addElementRow(dm, kAmplifiers, 1, QStringLiteral("УА-1"));
    addElementRow(dm, kAmplifiers, 2, QStringLiteral("УА-2"));
    addElementRow(dm, kAmplifiers, 7, QStringLiteral("УА-7"));
    // A type of its own, with no template rows and no elements.
    dm.ClGroupsTable.append();
    dm.ClGroupsTableGROUP.setInteger(kNoTemplate);
    dm.ClGroupsTableGRNAME.setString(cp(QStringLiteral("Прочее")));
    dm.ClGroupsTable.post();
}

} // namespace

class ElementsListTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fake.resetScript();
        program = std::make_unique<ProgramWithBase>(withElements);
        form = std::make_unique<TMainForm>();
        dm = form->DataM;
        QVERIFY(form->ElemListGroupBox->isEnabled());
    }
    void cleanup()
    {
        form.reset();
        program.reset();
    }

    void numberRules();
    void firstElementOfATypeGetsOne();
    void nextNumberIsAboveTheLargest();
    void newElementHasCodePriceAndTemplateParameters();
    void typeWithoutTemplateGivesNoParameterRows();
    void cancelledElementLeavesRowsThatTheNextOneReplaces();
    void gateLetsOneGridInsertionThroughAfterAnAdd();
    void deletionAsksAndTakesTheParameterRows();
    void enterMovesButNeverAppends();
    void leavingTheGridKeepsANewElement();
    void commandEnabling();
    void popupEnablesConfirmOnlyForAnEditedRow();
    void applyAndCancelActOnTheElementRow();
    void rejectedPostKeepsTheTypedRow();
    void captionTurnsBlueWithFocus();
    void typingInTheGridEditsTheElement();

private:
    void add() { form->executeAction(form->ActionAdd); }

    FakeServices fake;
    ServicesGuard guard{fake};
    std::unique_ptr<ProgramWithBase> program;
    std::unique_ptr<TMainForm> form;
    TDataM* dm = nullptr;
};

void ElementsListTest::numberRules()
{
    QCOMPARE(dorvin::nextElementNumber(""), std::optional<int32_t>(1));
    QCOMPARE(dorvin::nextElementNumber("7"), std::optional<int32_t>(8));
    QCOMPARE(dorvin::nextElementNumber("abc"), std::optional<int32_t>(1));
    QCOMPARE(dorvin::nextElementNumber("7.5"), std::optional<int32_t>(1));
    QCOMPARE(dorvin::nextElementNumber("2147483646"), std::optional<int32_t>(2147483647));
    QVERIFY(!dorvin::nextElementNumber("2147483647").has_value());
    QCOMPARE(dorvin::deleteElementQuestion(QStringLiteral("M")), QStringLiteral("Удалить элемент: M?"));
}

void ElementsListTest::firstElementOfATypeGetsOne()
{
    QVERIFY(gotoType(*dm, 3));
    QVERIFY(dm->ClElemsTable.isEmpty());
    add();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Insert);
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 1);
    QCOMPARE(dm->ClElemsTableGR.asInteger(), 3);
}

void ElementsListTest::nextNumberIsAboveTheLargest()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    add();
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 8);
    // Numbers are per type: another type's elements do not count.
    dm->ClElemsTable.cancel();
    QVERIFY(gotoType(*dm, 4));
    add();
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 1);
}

void ElementsListTest::newElementHasCodePriceAndTemplateParameters()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    add();
    QCOMPARE(text(dm->ClElemsTableCODE), QStringLiteral("нет"));
    QVERIFY(!dm->ClElemsTableCENA.isNull());
    QCOMPARE(dm->ClElemsTableCENA.asMoney(), 0.0);
    QVERIFY(dm->ClElemsTableMODEL.isNull());

    dorvin::ClientTable& params = dm->ClParamsTable;
    QCOMPARE(params.recordCount(), 3);
    QCOMPARE(params.recNo(), 1);
    const QStringList names = {QStringLiteral("Коэфф-т усиления, дБ"), QStringLiteral("Коэфф-т шума, дБ"),
                               QStringLiteral("МВУ, дБмкВ")};
    for (int i = 0; i < 3; ++i) {
        params.setRecNo(i + 1);
        QCOMPARE(params.state(), TableState::Browse); // each row posted
        QCOMPARE(dm->ClParamsTableGROUP.asInteger(), kAmplifiers);
        QCOMPARE(dm->ClParamsTableELEM.asInteger(), 8);
        QCOMPARE(dm->ClParamsTablePARAM.asInteger(), i + 1);
        QCOMPARE(text(dm->ClParamsTablePARNAME), names[i]);
        for (int k = 0; k < 96; ++k)
            QVERIFY(dm->ClParamsTableN[k]->isNull());
    }
    // Confirmed with a model name, the element and its rows reach the file.
    dm->ClElemsTableMODEL.setString(cp(QStringLiteral("Новый")));
    dm->ClElemsTable.post();
    form->close();
    const auto rows = allParamRows(program->basePath());
    QCOMPARE(rows.count({kAmplifiers, 8, 1}), size_t(1));
    QCOMPARE(rows.count({kAmplifiers, 8, 3}), size_t(1));
}

void ElementsListTest::typeWithoutTemplateGivesNoParameterRows()
{
    QVERIFY(gotoType(*dm, kNoTemplate));
    add();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Insert);
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 1);
    QCOMPARE(dm->ClParamsTable.recordCount(), 0);
}

void ElementsListTest::cancelledElementLeavesRowsThatTheNextOneReplaces()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    add();
    QCOMPARE(dm->ClParamsTable.recordCount(), 3);
    form->elementListPane().CmUndoClick();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    // The rows of number 8 are shown by no element now.
    for (dm->ClElemsTable.first(); !dm->ClElemsTable.eof(); dm->ClElemsTable.next())
        QVERIFY(dm->ClParamsTableELEM.asInteger() != 8 || dm->ClParamsTable.isEmpty());

    add();
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 8);
    QCOMPARE(dm->ClParamsTable.recordCount(), 3); // one set, not two
    dm->ClElemsTableMODEL.setString("X");
    dm->ClElemsTable.post();
    form->close();
    const auto rows = allParamRows(program->basePath());
    QCOMPARE(rows.count({kAmplifiers, 8, 2}), size_t(1));
}

void ElementsListTest::gateLetsOneGridInsertionThroughAfterAnAdd()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    // Right after start-up the grid's own insertion is refused silently.
    QCOMPARE(form->elementListPane().addGate(), 0);
    QVERIFY(!dorvin::runGuarded([&] { dm->ClElemsTable.insert(); }));
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    QCOMPARE(fake.calls.size(), size_t(0));

    // An add leaves the gate open again behind it ...
    add();
    QCOMPARE(form->elementListPane().addGate(), 1);
    dm->ClElemsTableMODEL.setString("A");
    dm->ClElemsTable.post();
    QCOMPARE(dm->ClElemsTable.recordCount(), 4);
    // ... so exactly one insertion by the grid goes through, numbered like any other.
    QVERIFY(dorvin::runGuarded([&] { dm->ClElemsTable.insert(); }));
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 9);
    QCOMPARE(form->elementListPane().addGate(), 0);
    dm->ClElemsTableMODEL.setString("B");
    dm->ClElemsTable.post();
    QVERIFY(!dorvin::runGuarded([&] { dm->ClElemsTable.insert(); }));
    QCOMPARE(dm->ClElemsTable.recordCount(), 5);
    QCOMPARE(fake.calls.size(), size_t(0));
}

void ElementsListTest::deletionAsksAndTakesTheParameterRows()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    add();
    dm->ClElemsTableMODEL.setString(cp(QStringLiteral("УА-8")));
    dm->ClElemsTable.post();
    QVERIFY(dm->ClElemsTable.locate("ELEM", "8"));
    QCOMPARE(dm->ClParamsTable.recordCount(), 3);

    fake.questionAnswers = {false};
    form->executeAction(form->ActionDelete);
    QCOMPARE(fake.texts(ServiceCall::Question), QStringList{QStringLiteral("Удалить элемент: УА-8?")});
    QVERIFY(fake.last(ServiceCall::Question)->caption.isEmpty()); // the application title
    QCOMPARE(dm->ClElemsTable.recordCount(), 4);
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 8);
    QCOMPARE(dm->ClParamsTable.recordCount(), 3);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);

    fake.questionAnswers = {true};
    form->executeAction(form->ActionDelete);
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    QVERIFY(!dm->ClElemsTable.locate("ELEM", "8"));
    form->close();
    const auto rows = allParamRows(program->basePath());
    for (const auto& [g, e, p] : rows)
        QVERIFY(!(g == kAmplifiers && e == 8));
}

void ElementsListTest::enterMovesButNeverAppends()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    dm->ClElemsTable.first();
    QChar enter(13);
    form->elementListPane().ElemDBGridKeyPress(enter);
    QCOMPARE(dm->ClElemsTable.recNo(), 2);
    QChar other('a');
    form->elementListPane().ElemDBGridKeyPress(other);
    QCOMPARE(dm->ClElemsTable.recNo(), 2);

    dm->ClElemsTable.last();
    for (int i = 0; i < 3; ++i) {
        QChar key(13);
        form->elementListPane().ElemDBGridKeyPress(key);
    }
    QCOMPARE(dm->ClElemsTable.recNo(), 3);
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);

    // An edited row is posted by the move Enter makes.
    dm->ClElemsTable.first();
    dm->ClElemsTable.edit();
    dm->ClElemsTableCODE.setString("Z9");
    QChar key(13);
    form->elementListPane().ElemDBGridKeyPress(key);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QVERIFY(dm->ClElemsTable.locate("CODE", "Z9"));
}

void ElementsListTest::leavingTheGridKeepsANewElement()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    add();
    form->elementListPane().ElemDBGridExit();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Insert);
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 8);
}

void ElementsListTest::commandEnabling()
{
    QVERIFY(gotoType(*dm, 3));
    QVERIFY(!form->refreshAction(form->ActionDelete));
    QVERIFY(form->refreshAction(form->ActionAdd));
    // Disabled, the command does nothing when invoked.
    form->executeAction(form->ActionDelete);
    QCOMPARE(fake.count(ServiceCall::Question), 0);
    QVERIFY(gotoType(*dm, kAmplifiers));
    QVERIFY(form->refreshAction(form->ActionDelete));
}

void ElementsListTest::popupEnablesConfirmOnlyForAnEditedRow()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    form->PopupMenu1Popup();
    QVERIFY(!form->CmApply->isEnabled());
    QVERIFY(!form->CmUndo->isEnabled());

    dm->ClElemsTable.edit();
    form->PopupMenu1Popup();
    QVERIFY(form->CmApply->isEnabled());
    QVERIFY(form->CmUndo->isEnabled());
    dm->ClElemsTable.cancel();

    add();
    form->PopupMenu1Popup();
    QVERIFY(!form->CmApply->isEnabled());
    QVERIFY(!form->CmUndo->isEnabled());
}

void ElementsListTest::applyAndCancelActOnTheElementRow()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    // Nothing being edited: neither command fails.
    QVERIFY(dorvin::runGuarded([&] { form->elementListPane().CmApplyClick(); }));
    QVERIFY(dorvin::runGuarded([&] { form->elementListPane().CmUndoClick(); }));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);

    dm->ClElemsTable.first();
    dm->ClElemsTable.edit();
    dm->ClElemsTableCODE.setString("K1");
    form->elementListPane().CmUndoClick();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QVERIFY(!dm->ClElemsTable.locate("CODE", "K1"));

    dm->ClElemsTable.edit();
    dm->ClElemsTableCODE.setString("K2");
    form->elementListPane().CmApplyClick();
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QVERIFY(dm->ClElemsTable.locate("CODE", "K2"));
}

void ElementsListTest::rejectedPostKeepsTheTypedRow()
{
    QVERIFY(gotoType(*dm, kAmplifiers));
    QVERIFY(dm->ClElemsTable.locate("ELEM", "2"));
    dm->ClElemsTable.edit();
    dm->ClElemsTableELEM.setInteger(1);
    dm->ClElemsTableMODEL.setString(cp(QStringLiteral("УА-1"))); // the key of element 1
    QVERIFY(!dorvin::runGuarded([&] { form->elementListPane().CmApplyClick(); }));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Edit);
    QCOMPARE(text(dm->ClElemsTableMODEL), QStringLiteral("УА-1"));
    // Enter's move is refused the same way and keeps the row too.
    QChar enter(13);
    QVERIFY(!dorvin::runGuarded([&] { form->elementListPane().ElemDBGridKeyPress(enter); }));
    QCOMPARE(dm->ClElemsTable.state(), TableState::Edit);
    form->elementListPane().CmUndoClick();
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
}

void ElementsListTest::captionTurnsBlueWithFocus()
{
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->ElemDBGrid->setFocus();
    QTRY_COMPARE(dorvin::captionColour(form->ElemListGroupBox), QColor(0, 0, 255));
    // The grid's own text stays black.
    QCOMPARE(form->ElemDBGrid->palette().color(QPalette::Text), QColor(Qt::black));
    form->DBGrid1->setFocus();
    QTRY_COMPARE(dorvin::captionColour(form->ElemListGroupBox), QColor(0, 0, 0));
}

// The element grid driven by keys as a user drives it: typing opens the cell, Escape
// drops what was typed, Enter keeps it and moves on, a move to another row posts.
void ElementsListTest::typingInTheGridEditsTheElement()
{
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QVERIFY(gotoType(*dm, kAmplifiers));
    dm->ClElemsTable.first();
    auto* grid = form->ElemDBGrid;
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    grid->setCurrentIndex(grid->model()->index(0, 1)); // MODEL of element 1
    // Keys go where the keyboard focus is, as they do for a user: the first opens the
    // cell editor, the rest reach the editor.
    auto type = [](const QString& keys) {
        for (QChar k : keys)
            QTest::keyClicks(QApplication::focusWidget(), QString(k));
    };

    type(QStringLiteral("Q7"));
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget())); // the cell editor
    // The row is being edited from the first keystroke: Escape closes the editor, the
    // next Escape drops the edit.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Edit);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QCOMPARE(text(dm->ClElemsTableMODEL), QStringLiteral("УА-1"));

    type(QStringLiteral("X9"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QCOMPARE(dm->ClElemsTable.recNo(), 2);
    QVERIFY(dm->ClElemsTable.locate("MODEL", "X9"));
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 1);

    // Typed into element 2, then Up: the move posts the row.
    dm->ClElemsTable.setRecNo(2);
    grid->setCurrentIndex(grid->model()->index(1, 1));
    type(QStringLiteral("Y5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QTRY_COMPARE(dm->ClElemsTable.recNo(), 1);
    QCOMPARE(dm->ClElemsTable.state(), TableState::Browse);
    QVERIFY(dm->ClElemsTable.locate("MODEL", "Y5"));
    QCOMPARE(dm->ClElemsTableELEM.asInteger(), 2);
    QCOMPARE(dm->ClElemsTable.recordCount(), 3);
    QVERIFY2(fake.count(ServiceCall::ErrorReport) == 0, qPrintable(fake.describe()));
}

QTEST_MAIN(ElementsListTest)
#include "elements_list_test.moc"
