// The data-aware controls over a client table: the model, the bound grid, the navigator
// bar and the bound label.
#include "dbaware/db_navigator.h"
#include "dbaware/db_text.h"
#include "dbaware/table_grid.h"
#include "dbaware/table_model.h"
#include "platform/profile_file.h"
#include "storage/client_table.h"
#include "storage/error.h"
#include "support/fake_services.h"

#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace dorvin;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;

namespace {

// A small table: number, name (Windows-1251) and price, rows in insertion order.
struct Fixture {
    ClientTable table{"T"};
    DataSource source{"S", &table};
    Fixture(int rows)
    {
        table.addField({"NUM", FieldKind::Integer});
        table.addField({"NAME", FieldKind::String, 20});
        table.addField({"PRICE", FieldKind::Money});
        table.open();
        for (int i = 1; i <= rows; ++i) {
            table.append();
            table.fieldByName("NUM").setInteger(i);
            table.fieldByName("NAME").setString(toCp1251(QStringLiteral("Элемент %1").arg(i)));
            table.fieldByName("PRICE").setMoney(i * 1.5);
            table.post();
        }
        table.first();
    }
};

} // namespace

class DbAwareControlsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void modelReadsRowsOnDemand();
    void modelWritesTypedText();
    void modelFollowsInsertAndDelete();
    void viewKeepsItsPlaceAcrossInsertAndDelete();
    void gridFollowsTheTableWhenItsRowIsDeleted();
    void gridAndTableShareTheCurrentRow();
    void navigatorEnablingAndHooks();
    void boundLabelShowsTheCurrentRow();
    void unknownFieldIsAClearError();
};

void DbAwareControlsTest::modelReadsRowsOnDemand()
{
    Fixture f(3);
    TableModel model(f.table, {"NAME", "NUM"});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Элемент 2"));
    QCOMPARE(model.index(2, 1).data().toString(), QStringLiteral("3"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("NAME"));
    QVERIFY(!model.index(5, 0).data().isValid());
    // Reading never moves the table.
    QCOMPARE(f.table.recNo(), 1);
    // A closed table shows no rows.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    f.table.close();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!reset.isEmpty());
}

void DbAwareControlsTest::modelWritesTypedText()
{
    FakeServices fake;
    ServicesGuard guard(fake);
    Fixture f(3);
    TableModel model(f.table, {"NAME", "NUM", "PRICE"});
    // Writing to another row moves the table there and starts an edit.
    QVERIFY(model.setData(model.index(1, 0), QStringLiteral("Новое имя"), Qt::EditRole));
    QCOMPARE(f.table.recNo(), 2);
    QCOMPARE(f.table.state(), TableState::Edit);
    QCOMPARE(fromCp1251(f.table.fieldByName("NAME").asString()), QStringLiteral("Новое имя"));
    f.table.post();
    // The same text starts no edit.
    QVERIFY(model.setData(model.index(1, 1), QStringLiteral("2"), Qt::EditRole));
    QCOMPARE(f.table.state(), TableState::Browse);
    // Text an integer field cannot take is reported and changes nothing.
    QVERIFY(!model.setData(model.index(1, 1), QStringLiteral("два"), Qt::EditRole));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(f.table.fieldByName("NUM").asInteger(), 2);
    QVERIFY(!model.setData(model.index(1, 1), QStringLiteral("99999999999"), Qt::EditRole));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 2);
    // Money is typed without the currency sign; empty text writes null.
    QVERIFY(model.setData(model.index(1, 2), QStringLiteral("12.25"), Qt::EditRole));
    QCOMPARE(f.table.fieldByName("PRICE").asMoney(), 12.25);
    QVERIFY(model.setData(model.index(1, 2), QString(), Qt::EditRole));
    QVERIFY(f.table.fieldByName("PRICE").isNull());
    f.table.cancel();
    QCOMPARE(f.table.fieldByName("PRICE").asMoney(), 3.0);
    // A read-only model takes nothing.
    model.setReadOnly(true);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x"), Qt::EditRole));
}

void DbAwareControlsTest::modelFollowsInsertAndDelete()
{
    Fixture f(2);
    TableModel model(f.table, {"NAME"});
    f.table.append();
    QCOMPARE(model.rowCount(), 3);
    f.table.cancel();
    QCOMPARE(model.rowCount(), 2);
    f.table.first();
    f.table.deleteRecord();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Элемент 2"));
}

// Rows that come and go one at a time reach the view as such: its current row, its
// selection and, for changes out of its sight, its scroll position stay.
void DbAwareControlsTest::viewKeepsItsPlaceAcrossInsertAndDelete()
{
    Fixture f(40);
    TableModel model(f.table, {"NUM", "NAME"});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTableView view;
    view.resize(300, 150);
    view.setModel(&model);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    const QModelIndex mark = model.index(30, 1);
    view.selectionModel()->setCurrentIndex(mark, QItemSelectionModel::ClearAndSelect);
    view.scrollTo(mark, QAbstractItemView::PositionAtTop);
    const int scroll = view.verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    const QString marked = QStringLiteral("Элемент 31");
    auto markedRow = [&] {
        const QModelIndex current = view.currentIndex();
        return current.data().toString() == marked && view.selectionModel()->isSelected(current)
                   ? current.row()
                   : -1;
    };

    // Below what the view shows: an insertion and its cancel.
    f.table.setRecNo(39);
    f.table.insert();
    QCOMPARE(model.rowCount(), 41);
    QCOMPARE(model.index(38, 0).data().toString(), QString());
    QCOMPARE(markedRow(), 30);
    QCOMPARE(view.verticalScrollBar()->value(), scroll);
    f.table.cancel();
    QCOMPARE(model.rowCount(), 40);
    QCOMPARE(markedRow(), 30);
    QCOMPARE(view.verticalScrollBar()->value(), scroll);

    // Above it: the marked row moves down one, then back once the posted row has gone
    // to its place at the end (rows keep the order they were added in).
    f.table.first();
    f.table.insert();
    QCOMPARE(markedRow(), 31);
    f.table.post();
    QCOMPARE(model.rowCount(), 41);
    QCOMPARE(markedRow(), 30);
    QCOMPARE(f.table.currentIndex(), 40);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("1"));

    // Deletions above and below.
    f.table.setRecNo(3);
    f.table.deleteRecord();
    QCOMPARE(markedRow(), 29);
    f.table.last();
    f.table.deleteRecord();
    QCOMPARE(model.rowCount(), 39);
    QCOMPARE(markedRow(), 29);
    QCOMPARE(model.index(38, 0).data().toString(), QStringLiteral("40"));
    QCOMPARE(resets.count(), 0);
}

// The view drops its current row with the deleted one; the table, not the view, says
// where the current row goes.
void DbAwareControlsTest::gridFollowsTheTableWhenItsRowIsDeleted()
{
    FakeServices fake;
    ServicesGuard guard(fake);
    Fixture f(10);
    TableGrid grid;
    grid.resize(300, 150);
    grid.setDataSource(&f.source, {"NUM", "NAME"});
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    f.table.setRecNo(5);
    QCOMPARE(grid.currentIndex().row(), 4);
    f.table.deleteRecord();
    QCOMPARE(f.table.recordCount(), 9);
    QCOMPARE(f.table.currentIndex(), 4);
    QCOMPARE(f.table.fieldByName("NUM").asInteger(), 6);
    QCOMPARE(grid.currentIndex().row(), 4);
    f.table.last();
    f.table.deleteRecord();
    QCOMPARE(f.table.currentIndex(), 7);
    QCOMPARE(grid.currentIndex().row(), 7);
    // An insertion at the current row becomes the grid's current row.
    f.table.setRecNo(2);
    f.table.insert();
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(grid.model()->rowCount(), 9);
    f.table.cancel();
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(f.table.fieldByName("NUM").asInteger(), 2);
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void DbAwareControlsTest::gridAndTableShareTheCurrentRow()
{
    FakeServices fake;
    ServicesGuard guard(fake);
    Fixture f(20);
    TableGrid grid;
    grid.resize(300, 120);
    grid.setDataSource(&f.source, {"NUM", "NAME"});
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.currentIndex().row(), 0);
    f.table.last();
    QCOMPARE(grid.currentIndex().row(), 19);
    // The last row was scrolled into view.
    QVERIFY(grid.viewport()->rect().intersects(grid.visualRect(grid.currentIndex())));
    // A key move of the grid moves the table.
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Up);
    QCOMPARE(f.table.recNo(), 19);
    // Typing edits the current row; Escape cancels the row's edit once the editor is closed.
    QTest::keyClick(&grid, Qt::Key_Right);
    QTest::keyClick(&grid, Qt::Key_Z);
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(f.table.state(), TableState::Edit);
    QCOMPARE(fromCp1251(f.table.fieldByName("NAME").asString()), QStringLiteral("z"));
    QTest::keyClick(&grid, Qt::Key_Escape);
    QCOMPARE(f.table.state(), TableState::Browse);
    QCOMPARE(fromCp1251(f.table.fieldByName("NAME").asString()), QStringLiteral("Элемент 19"));
    // Enter reaches the key hook as a carriage return.
    QList<QChar> keys;
    grid.onKeyPress = [&](QChar& k) { keys << k; };
    QTest::keyClick(&grid, Qt::Key_Return);
    QCOMPARE(keys, QList<QChar>{QChar(u'\r')});
    // A read-only grid opens no editor.
    grid.setReadOnly(true);
    QTest::keyClick(&grid, Qt::Key_Escape);
    QTest::keyClick(&grid, Qt::Key_Q);
    QCOMPARE(f.table.state(), TableState::Browse);
    // Unbinding leaves an empty grid and the table untouched.
    grid.setDataSource(nullptr);
    QVERIFY(!grid.model());
    QCOMPARE(f.table.recNo(), 19);
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void DbAwareControlsTest::navigatorEnablingAndHooks()
{
    FakeServices fake;
    ServicesGuard guard(fake);
    Fixture f(3);
    TDBNavigator nav({NavigateBtn::First, NavigateBtn::Prior, NavigateBtn::Next, NavigateBtn::Last,
                      NavigateBtn::Insert, NavigateBtn::Delete, NavigateBtn::Post, NavigateBtn::Cancel});
    nav.setDataSource(&f.source);
    auto enabled = [&](NavigateBtn b) { return nav.button(b)->isEnabled(); };
    QVERIFY(!enabled(NavigateBtn::First) && !enabled(NavigateBtn::Prior));
    QVERIFY(enabled(NavigateBtn::Next) && enabled(NavigateBtn::Last) && enabled(NavigateBtn::Delete));
    QVERIFY(!enabled(NavigateBtn::Post) && !enabled(NavigateBtn::Cancel));
    f.table.last();
    QVERIFY(enabled(NavigateBtn::First) && !enabled(NavigateBtn::Next) && !enabled(NavigateBtn::Last));

    QStringList log;
    nav.beforeAction = [&](NavigateBtn b) {
        log << QStringLiteral("before %1").arg(int(b));
        if (b == NavigateBtn::Delete)
            throw Abort{};
    };
    nav.onClick = [&](NavigateBtn b) { log << QStringLiteral("click %1").arg(int(b)); };
    // An abort in the before hook stops the press quietly.
    nav.button(NavigateBtn::Delete)->click();
    QCOMPARE(f.table.recordCount(), 3);
    QCOMPARE(log, QStringList{"before 5"});
    log.clear();
    nav.button(NavigateBtn::Insert)->click();
    QCOMPARE(log, (QStringList{"before 4", "click 4"}));
    QCOMPARE(f.table.state(), TableState::Insert);
    QVERIFY(enabled(NavigateBtn::Post) && enabled(NavigateBtn::Cancel));
    nav.button(NavigateBtn::Cancel)->click();
    QCOMPARE(f.table.state(), TableState::Browse);
    QCOMPARE(f.table.recordCount(), 3);
    // An error of the press reaches the error report; the buttons are read again.
    nav.press(NavigateBtn::First);
    QCOMPARE(f.table.recNo(), 1);
    nav.onClick = [](NavigateBtn) { throw Error("Key violation"); };
    nav.button(NavigateBtn::Next)->click();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(fake.last(ServiceCall::ErrorReport)->text, QStringLiteral("Key violation"));
    QCOMPARE(f.table.recNo(), 2);
    QVERIFY(enabled(NavigateBtn::Prior));
    // Unbound, every button is off; a closed table likewise.
    f.table.close();
    QVERIFY(!enabled(NavigateBtn::Next) && !enabled(NavigateBtn::Insert));
    nav.setDataSource(nullptr);
    QVERIFY(!nav.press(NavigateBtn::Delete)); // the hook still refuses deletion
}

void DbAwareControlsTest::boundLabelShowsTheCurrentRow()
{
    Fixture f(3);
    TDBText label;
    label.setDataSource(&f.source, "NAME");
    QCOMPARE(label.text(), QStringLiteral("Элемент 1"));
    f.table.next();
    QCOMPARE(label.text(), QStringLiteral("Элемент 2"));
    f.table.edit();
    f.table.fieldByName("NAME").setString(toCp1251(QStringLiteral("Правка")));
    f.table.post();
    QCOMPARE(label.text(), QStringLiteral("Правка"));
    f.table.emptyTable();
    QCOMPARE(label.text(), QString());
    label.setDataSource(nullptr);
    QCOMPARE(label.text(), QString());
}

void DbAwareControlsTest::unknownFieldIsAClearError()
{
    Fixture f(1);
    bool thrown = false;
    try {
        TableModel model(f.table, {"NAME", "MISSING"});
    } catch (const Error& e) {
        thrown = true;
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Field 'MISSING' not found"));
    }
    QVERIFY(thrown);
}

QTEST_MAIN(DbAwareControlsTest)
#include "dbaware_controls_test.moc"
