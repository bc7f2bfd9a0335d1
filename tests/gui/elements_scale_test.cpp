// The element pane with 20,000 elements in one type: moving through the list, switching
// types, adding and Enter keep the list whole and report no error. How long each takes is
// measured by bench/gui_bench.cpp, never asserted here.
#include "elements_support.h"

#include "dbaware/table_grid.h"
#include "platform/guarded.h"

using dorvin::TableState;
using dorvin::test::FakeServices;
using dorvin::test::ServicesGuard;
using namespace elements_test;

namespace {

constexpr int kElements = 20000;
constexpr int kBigType = 2;

// Calls fn `runs` times.
template <class F> void repeat(int runs, F&& fn)
{
    for (int i = 0; i < runs; ++i)
        fn();
}

} // namespace

class ElementsScaleTest : public QObject {
    Q_OBJECT

private slots:
    void largeTypeStaysWhole();

private:
    FakeServices fake;
    ServicesGuard guard{fake};
};

void ElementsScaleTest::largeTypeStaysWhole()
{
    ProgramWithBase program([](TDataM& dm) {
        QVERIFY(gotoType(dm, kBigType));
        for (int i = 1; i <= kElements; ++i)
            addElementRow(dm, kBigType, i, QStringLiteral("Модель %1").arg(i, 5, 10, QChar('0')));
    });
    TMainForm form;
    form.resize(714, 526);
    form.show();
    TDataM& dm = *form.DataM;
    QVERIFY(gotoType(dm, kBigType));
    QCOMPARE(dm.ClElemsTable.recordCount(), kElements);

    dorvin::ClientTable& elems = dm.ClElemsTable;
    repeat(200, [&] { elems.next(); });
    QCOMPARE(elems.recNo(), 201);
    repeat(20, [&] {
        elems.last();
        QCOMPARE(elems.recNo(), kElements);
        elems.first();
        QCOMPARE(elems.recNo(), 1);
    });
    repeat(20, [&] {
        gotoType(dm, 3);
        QCOMPARE(dm.ClGroupsTableGROUP.asInteger(), 3);
        gotoType(dm, kBigType);
        QCOMPARE(elems.recordCount(), kElements);
    });
    elems.setRecNo(kElements / 2);
    repeat(20, [&] {
        form.elementListPane().CmAddElemClick();
        QCOMPARE(elems.state(), TableState::Insert);
        elems.cancel();
    });
    QCOMPARE(elems.recordCount(), kElements);
    elems.first();
    repeat(200, [&] {
        QChar key(13);
        form.elementListPane().ElemDBGridKeyPress(key);
    });
    // Enter moves one element down each time.
    QCOMPARE(elems.recNo(), 201);
    QCOMPARE(fake.count(dorvin::test::ServiceCall::ErrorReport), 0);
    QCOMPARE(elems.recordCount(), kElements);
}

QTEST_MAIN(ElementsScaleTest)
#include "elements_scale_test.moc"
