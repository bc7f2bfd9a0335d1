// The parameter pane in the main window over a real base: typing values, the value text
// in both kinds of locale, drag selection with auto-scroll, navigation, accepting and
// cancelling, fill and interpolation, the parameter clipboard and the chart commands.
#include "app/main_form.h"
#include "dbaware/table_grid.h"
#include "params/params_pane.h"
#include "params/response_chart.h"
#include "platform/profile_file.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "support/fake_services.h"
#include "support/image_compare.h"
#include "widgets/text_grid.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace dorvin;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;

using dorvin::test::differingPixels;

namespace {

const QString kModel = QStringLiteral("KA-12/2");
const QStringList kParamNames{QStringLiteral("Затухание, дБ"), QStringLiteral("Усиление, дБ"),
                              QStringLiteral("Пустой")};

// Stored values of the test element: parameter 1 rises with the row, parameter 2 is 27
// everywhere, parameter 3 has no values at all (every field null).
double storedValue(int param, int k)
{
    return param == 1 ? k * 1.5 : 27.0;
}

// A program directory with Dorvin.ini naming one base, whose first type holds one element
// with three parameter rows.
struct BaseDir {
    test::TempProgramDir dir;
    QString path;

    BaseDir()
    {
        path = dir.file("Test.CBB");
        TDataM dm;
        dm.ClGroupsTable.first();
        dm.ClElemsTable.insert();
        dm.ClElemsTableELEM.setInteger(1);
        dm.ClElemsTableMODEL.setString(toCp1251(kModel));
        dm.ClElemsTableCENA.setFloat(0);
        dm.ClElemsTableCODE.setString("1");
        dm.ClElemsTable.post();
        for (int p = 1; p <= 3; ++p) {
            dm.ClParamsTable.insert();
            dm.ClParamsTablePARAM.setInteger(p);
            dm.ClParamsTablePARNAME.setString(toCp1251(kParamNames[p - 1]));
            if (p < 3)
                for (int k = 1; k <= 96; ++k)
                    dm.ClParamsTableN[k - 1]->setFloat(storedValue(p, k));
            dm.ClParamsTable.post();
        }
        dm.SaveBase(path.toStdString());
        const QString ini =
            QStringLiteral("[Bases]\r\nTest=%1\r\n[CurBase]\r\nРабочая база=Test\r\n").arg(path);
        const std::string bytes = toCp1251(ini);
        dir.writeFile("Dorvin.ini", QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
};

} // namespace

class ParamsGridTest : public QObject {
    Q_OBJECT

    std::unique_ptr<BaseDir> m_base;
    std::unique_ptr<FakeServices> m_fake;
    std::unique_ptr<test::ServicesGuard> m_guard;
    std::unique_ptr<test::LocaleGuard> m_locale;
    std::unique_ptr<TMainForm> m_form;

    TMainForm& form() { return *m_form; }
    dorvin::TextGrid& grid() { return *m_form->ParamsGrid; }
    ClientTable& params() { return m_form->DataM->ClParamsTable; }
    Field& valueField(int k) { return *m_form->DataM->ClParamsTableN[k - 1]; }
    double stored(int k) { return valueField(k).asFloat(); }
    QString shown(int k) { return grid().cells(2, k); }
    ResponseChart& chart() { return *m_form->paramsPane().responseChart(); }

    void openWindow(const QString& locale)
    {
        m_locale = std::make_unique<test::LocaleGuard>(locale);
        m_form = std::make_unique<TMainForm>();
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QCOMPARE(params().recordCount(), 3);
        grid().setFocus();
        QTRY_VERIFY(grid().hasFocus());
    }

    // Sends text to whatever has the focus, one character at a time, as a user types.
    void type(const QString& text)
    {
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QVERIFY(target);
            QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, c, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, c, Qt::NoModifier);
        }
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key, modifiers);
    }
    // Types a value into the value cell of a row and presses Enter.
    void enterValue(int row, const QString& text)
    {
        QVERIFY(grid().selectCell(2, row));
        type(text);
        QVERIFY(grid().editorMode());
        press(Qt::Key_Return);
    }
    void select(int top, int bottom)
    {
        grid().setSelection({2, top, 2, bottom});
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, top, 2, bottom}));
    }
    // The point in the grid's viewport at the middle of a value cell.
    QPoint cellCentre(int row)
    {
        const QRect r = grid().cellRect(2, row);
        return QPoint(r.center().x(), r.center().y() - grid().horizontalHeader()->height());
    }
    QString errorReports() { return m_fake->texts(ServiceCall::ErrorReport).join(" | "); }

private slots:
    void init()
    {
        m_base = std::make_unique<BaseDir>();
        m_fake = std::make_unique<FakeServices>();
        m_guard = std::make_unique<test::ServicesGuard>(*m_fake);
    }
    void cleanup()
    {
        if (m_form)
            m_form->close();
        m_form.reset();
        m_locale.reset();
        m_guard.reset();
        m_fake.reset();
        m_base.reset();
    }

    void showsTheCurrentParameter()
    {
        openWindow("ru_RU");
        QCOMPARE(form().ParamsGroupBox->title(), QString("Параметры элемента:") + kModel);
        QCOMPARE(chart().titleText(), kModel + "    " + kParamNames[0]);
        QCOMPARE(shown(1), QString("1,500"));
        QCOMPARE(shown(96), QString("144,000"));
        QVERIFY(grid().isEnabled());
        QCOMPARE(chart().pointCount(), 96);
        QCOMPARE(chart().pointY(95), 144.0);
        QCOMPARE(chart().pointLabel(0), grid().cells(0, 1));
        // Value axis from 0.9 m to 1.1 M.
        QVERIFY(std::fabs(chart().yAxis->range().lower - 1.35) < 1e-9);
        QVERIFY(std::fabs(chart().yAxis->range().upper - 158.4) < 1e-9);
        QCOMPARE(form().statusPanelText(1), QString("Просмотр"));
        QVERIFY(!form().AppBut->isEnabled());
        QVERIFY(!form().CancBut->isEnabled());
    }

    void nullValuesShowAsZeroUntilWritten()
    {
        openWindow("ru_RU");
        params().last();
        QCOMPARE(chart().titleText(), kModel + "    " + kParamNames[2]);
        QVERIFY(valueField(5).isNull());
        QCOMPARE(shown(5), QString("0,000"));
        // Emptying a cell and pressing Enter stores 0, not null.
        QVERIFY(grid().selectCell(2, 5));
        grid().showEditor();
        QVERIFY(grid().editorMode());
        grid().inplaceEditor()->selectAll();
        press(Qt::Key_Backspace);
        QCOMPARE(grid().cells(2, 5), QString());
        press(Qt::Key_Return);
        QVERIFY(!valueField(5).isNull());
        QCOMPARE(stored(5), 0.0);
        QCOMPARE(shown(5), QString("0,000"));
        QVERIFY(valueField(6).isNull());
    }

    void typingWithADecimalComma()
    {
        openWindow("ru_RU");
        enterValue(7, "12,5");
        QCOMPARE(stored(7), 12.5);
        QCOMPARE(shown(7), QString("12,500"));
        // The editor is open on the next row, ready for the next value.
        QCOMPARE(grid().row(), 8);
        QTRY_VERIFY(grid().editorMode());
        QCOMPARE(params().state(), TableState::Edit);
        QCOMPARE(form().statusPanelText(1), QString("Редактирование"));
        QVERIFY(form().AppBut->isEnabled());
        QVERIFY(form().CancBut->isEnabled());
        // The next value goes straight in.
        type("1,23456");
        press(Qt::Key_Return);
        QCOMPARE(stored(8), 1.23456);
        QCOMPARE(shown(8), QString("1,235"));
        QCOMPARE(chart().pointY(7), 1.23456);
        // A point is not the decimal separator here: the value becomes 0.
        press(Qt::Key_Escape);
        enterValue(9, "12.5");
        QCOMPARE(stored(9), 0.0);
        QCOMPARE(shown(9), QString("0,000"));
        QCOMPARE(errorReports(), QString());
    }

    void typingWithADecimalPoint()
    {
        openWindow("en_US");
        QCOMPARE(shown(1), QString("1.500"));
        enterValue(3, "12.5");
        QCOMPARE(stored(3), 12.5);
        QCOMPARE(shown(3), QString("12.500"));
        press(Qt::Key_Escape);
        enterValue(4, "12,5");
        QCOMPARE(stored(4), 0.0);
        QCOMPARE(shown(4), QString("0.000"));
    }

    void upAndDownTakeTheValueInAndMove()
    {
        openWindow("ru_RU");
        QVERIFY(grid().selectCell(2, 20));
        type("3");
        press(Qt::Key_Up);
        QCOMPARE(stored(20), 3.0);
        QCOMPARE(grid().row(), 19);
        QVERIFY(!grid().editorMode());
        type("4");
        press(Qt::Key_Down);
        QCOMPARE(stored(19), 4.0);
        QCOMPARE(grid().row(), 20);
        // Enter on the last row takes the value in and stays there.
        QVERIFY(grid().selectCell(2, 96));
        type("5");
        press(Qt::Key_Return);
        QCOMPARE(stored(96), 5.0);
        QCOMPARE(grid().row(), 96);
        QVERIFY(!grid().editorMode());
    }

    void onlyValueCellsBecomeCurrent()
    {
        openWindow("ru_RU");
        QVERIFY(grid().selectCell(2, 10));
        for (int col : {0, 1}) {
            const QRect r = grid().cellRect(col, 12);
            const QPoint p(r.center().x(), r.center().y() - grid().horizontalHeader()->height());
            QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, p);
            QCOMPARE(grid().col(), 2);
            QCOMPARE(grid().row(), 10);
        }
        // A refused request still sets the navigation buttons from the requested row.
        QVERIFY(!grid().selectCell(0, 1));
        QVERIFY(!form().TopBut->isEnabled());
        QVERIFY(!form().UpBut->isEnabled());
        QVERIFY(form().DownBut->isEnabled());
    }

    void frequencyNavigation()
    {
        openWindow("ru_RU");
        QVERIFY(grid().selectCell(2, 50));
        form().TopBut->click();
        QCOMPARE(grid().row(), 1);
        QVERIFY(!form().TopBut->isEnabled() && !form().UpBut->isEnabled());
        form().paramsPane().UpButClick(); // at row 1 nothing happens
        QCOMPARE(grid().row(), 1);
        form().DownBut->click();
        QCOMPARE(grid().row(), 2);
        form().ButtomBut->click();
        QCOMPARE(grid().row(), 96);
        QVERIFY(!form().ButtomBut->isEnabled() && !form().DownBut->isEnabled());
        QVERIFY(grid().cellRect(2, 96).isValid()); // scrolled into view
        form().paramsPane().DownButClick();
        QCOMPARE(grid().row(), 96);
        form().UpBut->click();
        QCOMPARE(grid().row(), 95);
        // Moving through the buttons takes an open editor's text in.
        type("7,25");
        form().TopBut->click();
        QCOMPARE(stored(95), 7.25);
    }

    void dragSelectsARange()
    {
        openWindow("ru_RU");
        grid().setTopRow(5);
        const int last = 5 + grid().visibleRowCount() - 1; // the last fully visible row
        QVERIFY(last >= 9);
        QTest::mousePress(grid().viewport(), Qt::LeftButton, {}, cellCentre(7));
        QCOMPARE(form().paramsPane().dragAnchorRow(), 7);
        QTest::mouseMove(grid().viewport(), cellCentre(last));
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, 7, 2, last}));
        QCOMPARE(grid().row(), last);
        // Back above the anchor: the anchor becomes the bottom, and the current row.
        QTest::mouseMove(grid().viewport(), cellCentre(5));
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, 5, 2, 7}));
        QCOMPARE(grid().row(), 7);
        QVERIFY(!form().Timer1->isActive());
        QTest::mouseRelease(grid().viewport(), Qt::LeftButton, {}, cellCentre(5));
        QCOMPARE(form().paramsPane().dragAnchorRow(), -1);
        // Moves after the release select nothing.
        QTest::mouseMove(grid().viewport(), cellCentre(9));
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, 5, 2, 7}));
        // A right press starts no drag.
        QTest::mousePress(grid().viewport(), Qt::RightButton, {}, cellCentre(8));
        QCOMPARE(form().paramsPane().paramsDragFlag(), 0);
        QTest::mouseRelease(grid().viewport(), Qt::RightButton, {}, cellCentre(8));
    }

    void holdingThePointerBelowScrollsDown()
    {
        openWindow("ru_RU");
        QCOMPARE(form().Timer1->interval(), 200);
        const int visible = grid().visibleRowCount();
        QVERIFY(visible >= 3);
        grid().setTopRow(96 - visible - 3);
        const int anchor = grid().topRow() + 1;
        QTest::mousePress(grid().viewport(), Qt::LeftButton, {}, cellCentre(anchor));
        const int below = grid().height() + 5 - grid().horizontalHeader()->height();
        QTest::mouseMove(grid().viewport(), QPoint(cellCentre(anchor).x(), below));
        QVERIFY(form().Timer1->isActive());
        // One tick: one row further, the range reaching the row under the last visible one.
        const int top = grid().topRow();
        QTRY_COMPARE_WITH_TIMEOUT(grid().topRow(), top + 1, 1000);
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, anchor, 2, grid().topRow() + visible}));
        // Scrolling stops with row 95 the last fully visible one; the range reaches 96.
        QTRY_COMPARE_WITH_TIMEOUT(grid().selection().Bottom, 96, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(grid().topRow() + visible - 1, 95, 2000);
        QCOMPARE(grid().selection().Top, anchor);
        QCOMPARE(grid().row(), 96);
        // Back inside the grid: the timer stops.
        QTest::mouseMove(grid().viewport(), cellCentre(grid().topRow() + 1));
        QVERIFY(!form().Timer1->isActive());
        QTest::mouseRelease(grid().viewport(), Qt::LeftButton, {}, cellCentre(grid().topRow() + 1));
    }

    void holdingThePointerAboveScrollsUp()
    {
        openWindow("ru_RU");
        grid().setTopRow(6);
        const int anchor = 9;
        QTest::mousePress(grid().viewport(), Qt::LeftButton, {}, cellCentre(anchor));
        // Over the title row.
        QTest::mouseMove(grid().viewport(), QPoint(cellCentre(anchor).x(), -10));
        QVERIFY(form().Timer1->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(grid().topRow(), 1, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(grid().selection(), (dorvin::TGridRect{2, 1, 2, anchor}), 1000);
        // With row 1 at the top nothing is left to scroll: the timer stays off.
        QTRY_VERIFY_WITH_TIMEOUT(!form().Timer1->isActive(), 1000);
        QTest::mouseRelease(grid().viewport(), Qt::LeftButton, {}, QPoint(0, -10));
        QCOMPARE(form().paramsPane().paramsDragFlag(), 0);
        // Ticks after the release do nothing.
        grid().setTopRow(10);
        form().paramsPane().Timer1Timer();
        QCOMPARE(grid().topRow(), 10);
    }

    void selectAllByShortcut()
    {
        openWindow("ru_RU");
        QVERIFY(grid().selectCell(2, 1));
        const int top = grid().topRow();
        QTest::keyClick(&form(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, 1, 2, 96}));
        QCOMPARE(grid().row(), 96);
        QCOMPARE(grid().topRow(), top);
        // The navigation buttons keep the states of the last request (row 1).
        QVERIFY(!form().TopBut->isEnabled());
    }

    void acceptingCancellingAndLeaving()
    {
        openWindow("ru_RU");
        enterValue(2, "100");
        press(Qt::Key_Escape);
        form().CancBut->click();
        QCOMPARE(stored(2), storedValue(1, 2));
        QCOMPARE(shown(2), QString("3,000"));
        QCOMPARE(params().state(), TableState::Browse);
        QCOMPARE(form().statusPanelText(1), QString("Просмотр"));

        enterValue(2, "100");
        press(Qt::Key_Escape);
        form().AppBut->click();
        QCOMPARE(params().state(), TableState::Browse);
        QCOMPARE(stored(2), 100.0);

        // Leaving the grid posts the row.
        enterValue(3, "200");
        QCOMPARE(params().state(), TableState::Edit);
        form().ElemDBGrid->setFocus();
        QTRY_COMPARE(params().state(), TableState::Browse);
        QCOMPARE(stored(3), 200.0);
        QCOMPARE(form().statusPanelText(1), QString("Просмотр"));
        QCOMPARE(form().ParamsGroupBox->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        auto captionIsBlue = [this] {
            const QImage box = form().ParamsGroupBox->grab(QRect(0, 0, 300, 16)).toImage();
            for (int y = 0; y < box.height(); ++y)
                for (int x = 0; x < box.width(); ++x)
                    if (box.pixelColor(x, y) == QColor(0, 0, 255))
                        return true;
            return false;
        };
        QVERIFY(!captionIsBlue());
        grid().setFocus();
        QTRY_COMPARE(form().ParamsGroupBox->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(captionIsBlue());

        // Moving to the next parameter posts first, then shows the next one.
        enterValue(4, "300");
        press(Qt::Key_Escape);
        params().next();
        QCOMPARE(chart().titleText(), kModel + "    " + kParamNames[1]);
        QCOMPARE(shown(4), QString("27,000"));
        params().prior();
        QCOMPARE(stored(4), 300.0);
        QCOMPARE(errorReports(), QString());
    }

    void applyAndCancelShortcutsActOnTheParameterRow()
    {
        openWindow("ru_RU");
        form().runIdleUpdate();
        QVERIFY(!form().ActionApply->isEnabled());
        QVERIFY(!form().ActionCancel->isEnabled());
        enterValue(5, "55");
        press(Qt::Key_Escape);
        form().runIdleUpdate();
        QVERIFY(form().ActionApply->isEnabled());
        QVERIFY(form().ActionCancel->isEnabled());
        // Ctrl+Z cancels the parameter row's changes, as its caption says.
        QTest::keyClick(&form(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(params().state(), TableState::Browse);
        QCOMPARE(stored(5), storedValue(1, 5));
        QCOMPARE(shown(5), QString("7,500"));

        enterValue(5, "56");
        press(Qt::Key_Escape);
        form().runIdleUpdate();
        // Ctrl+A accepts them; it selects nothing.
        QTest::keyClick(&form(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(params().state(), TableState::Browse);
        QCOMPARE(stored(5), 56.0);
        QCOMPARE(grid().selection(), (dorvin::TGridRect{2, 6, 2, 6}));
        QCOMPARE(errorReports(), QString());
    }

    void fillDownAndUpUseTheShownValues()
    {
        openWindow("ru_RU");
        enterValue(5, "1,23456");
        press(Qt::Key_Escape);
        form().AppBut->click();
        select(5, 9);
        form().runIdleUpdate();
        QVERIFY(form().ActionFillDown->isEnabled());
        form().executeAction(form().ActionFillDown);
        for (int k = 5; k <= 9; ++k)
            QCOMPARE(stored(k), 1.235);
        QCOMPARE(stored(10), storedValue(1, 10));
        QCOMPARE(stored(4), storedValue(1, 4));
        QCOMPARE(params().state(), TableState::Edit);
        QCOMPARE(form().statusPanelText(1), QString("Редактирование"));
        form().CancBut->click();
        QCOMPARE(stored(5), 1.23456);

        // Fill up copies row 9 into rows 5 to 8.
        select(5, 9);
        form().executeAction(form().ActionFillUp);
        for (int k = 5; k <= 9; ++k)
            QCOMPARE(stored(k), 13.5);

        // One row selected: the commands are disabled.
        select(7, 7);
        form().runIdleUpdate();
        QVERIFY(!form().ActionFillDown->isEnabled());
        QVERIFY(!form().ActionFillUp->isEnabled());
        QVERIFY(!form().ActionInter->isEnabled());
    }

    void interpolationOverFrequency()
    {
        openWindow("ru_RU");
        QCOMPARE(grid().cells(1, 1), QString("49,750"));
        QCOMPARE(grid().cells(1, 2), QString("59,250"));
        QCOMPARE(grid().cells(1, 3), QString("77,250"));
        grid().setCells(2, 1, "10,000");
        grid().setCells(2, 3, "20,000");
        select(1, 3);
        form().executeAction(form().ActionInter);
        QCOMPARE(errorReports(), QString());
        QCOMPARE(stored(2), 13.454545974731445);
        QCOMPARE(shown(2), QString("13,455"));
        // The end rows keep their stored values: only rows between them are written.
        QCOMPARE(stored(1), storedValue(1, 1));
        QCOMPARE(stored(3), storedValue(1, 3));
        QCOMPARE(params().state(), TableState::Edit);
        form().CancBut->click();

        // Two rows: nothing in between, but the row is being edited.
        select(10, 11);
        form().executeAction(form().ActionInter);
        QCOMPARE(params().state(), TableState::Edit);
        QCOMPARE(stored(10), storedValue(1, 10));
    }

    void interpolationFailuresChangeNothing()
    {
        openWindow("ru_RU");
        // Two rows of the same frequency, as a short frequency plan repeats its last one.
        grid().setCells(1, 40, grid().cells(1, 30));
        select(30, 40);
        form().executeAction(form().ActionInter);
        QCOMPARE(errorReports(), QString("Floating point division by zero"));
        grid().setCells(2, 40, grid().cells(2, 30));
        m_fake->clear();
        form().executeAction(form().ActionInter);
        QCOMPARE(errorReports(), QString("Invalid floating point operation"));
        QCOMPARE(params().state(), TableState::Browse);
        for (int k = 30; k <= 40; ++k)
            QCOMPARE(stored(k), storedValue(1, k));

        // Text that was typed but not taken in does not parse: reported, nothing written.
        m_fake->clear();
        form().paramsPane().RefreshParamValues();
        grid().setCells(2, 20, "abc");
        select(20, 25);
        form().executeAction(form().ActionFillDown);
        QVERIFY(errorReports().contains("abc"));
        QCOMPARE(params().state(), TableState::Browse);
        // An inner frequency that does not parse is found before anything is written.
        m_fake->clear();
        form().paramsPane().RefreshParamValues();
        grid().setCells(1, 22, "?");
        select(20, 25);
        form().executeAction(form().ActionInter);
        QVERIFY(!errorReports().isEmpty());
        QCOMPARE(params().state(), TableState::Browse);
        for (int k = 20; k <= 25; ++k)
            QCOMPARE(stored(k), storedValue(1, k));
    }

    void copyAndPasteAllValues()
    {
        openWindow("ru_RU");
        QTest::keyClick(&form(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(&form(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(m_fake->clipboard.has_value());
        const QStringList lines = m_fake->clipboard->split('\r');
        QCOMPARE(lines.size(), 97);
        QCOMPARE(lines.first(), QString("**Параметры**"));
        QCOMPARE(lines.at(1), QString("1,500"));
        QCOMPARE(lines.last(), QString("144,000"));
        QVERIFY(!m_fake->clipboard->contains('\n'));

        params().next();
        QVERIFY(grid().selectCell(2, 1));
        QTest::keyClick(&form(), Qt::Key_V, Qt::ControlModifier);
        for (int k = 1; k <= 96; ++k)
            QCOMPARE(stored(k), storedValue(1, k));
        QCOMPARE(params().state(), TableState::Edit);
        QCOMPARE(form().PasteBox->count(), 97);
    }

    void pasteNeedsRoomBelowTheTop()
    {
        openWindow("ru_RU");
        m_fake->clipboard = QString("**Параметры**\r5,5\r6,25");
        select(96, 96);
        form().executeAction(form().ActionPastParams);
        QCOMPARE(m_fake->kinds(), (std::vector<ServiceCall::Kind>{ServiceCall::ClipboardRead,
                                                                  ServiceCall::Beep, ServiceCall::Message}));
        QCOMPARE(m_fake->texts(ServiceCall::Message), QStringList{"Нет места для вставки!"});
        QCOMPARE(params().state(), TableState::Browse);
        QCOMPARE(stored(96), storedValue(1, 96));
        QCOMPARE(form().PasteBox->count(), 0);

        m_fake->clear();
        select(95, 95);
        form().executeAction(form().ActionPastParams);
        QCOMPARE(m_fake->count(ServiceCall::Message), 0);
        QCOMPARE(stored(95), 5.5);
        QCOMPARE(stored(96), 6.25);
        QCOMPARE(shown(96), QString("6,250"));
    }

    void pasteReadsForeignLineBreaks()
    {
        openWindow("ru_RU");
        m_fake->clipboard = QString("**Параметры**\r\n1,23456\r\n2\r\n3,5\r\n");
        select(10, 40);
        form().executeAction(form().ActionPastParams);
        QCOMPARE(stored(10), 1.23456);
        QCOMPARE(shown(10), QString("1,235"));
        QCOMPARE(stored(11), 2.0);
        QCOMPARE(stored(12), 3.5);
        QCOMPARE(stored(13), storedValue(1, 13));
        QCOMPARE(form().PasteBox->count(), 4);
    }

    void pasteIgnoresOtherText()
    {
        openWindow("ru_RU");
        for (const QString& text :
             {QString("**параметры**\r1"), QString("**Параметры**"), QString("1\r2\r3"), QString()}) {
            m_fake->clipboard = text;
            grid().setCells(2, 1, "typed");
            form().executeAction(form().ActionPastParams);
            QCOMPARE(params().state(), TableState::Browse);
            QCOMPARE(shown(1), QString("1,500")); // refreshed
            QCOMPARE(m_fake->count(ServiceCall::Message), 0);
        }
        // No text on the clipboard at all: not even a refresh.
        m_fake->clipboard.reset();
        grid().setCells(2, 1, "typed");
        form().executeAction(form().ActionPastParams);
        QCOMPARE(shown(1), QString("typed"));
    }

    void pasteOfABadLineChangesNothing()
    {
        openWindow("en_US");
        // Copied under a comma locale, pasted under a point locale.
        m_fake->clipboard = QString("**Параметры**\r1.5\r2,000\r3.5");
        select(1, 1);
        form().executeAction(form().ActionPastParams);
        QVERIFY(errorReports().contains("2,000"));
        QCOMPARE(params().state(), TableState::Browse);
        for (int k = 1; k <= 3; ++k)
            QCOMPARE(stored(k), storedValue(1, k));
        QCOMPARE(shown(1), QString("1.500"));
        // A value the user had typed but not posted survives a failed paste.
        enterValue(50, "8");
        press(Qt::Key_Escape);
        m_fake->clear();
        m_fake->clipboard = QString("**Параметры**\r1\r\r3");
        select(1, 1);
        form().executeAction(form().ActionPastParams);
        QVERIFY(!errorReports().isEmpty());
        QCOMPARE(stored(50), 8.0);
        QCOMPARE(stored(1), storedValue(1, 1));
    }

    void clipboardKeysActOnTheGridFromAnyControl()
    {
        openWindow("ru_RU");
        select(3, 4);
        form().ElemDBGrid->setFocus();
        QTRY_VERIFY(form().ElemDBGrid->hasFocus());
        m_fake->clear();
        press(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(m_fake->texts(ServiceCall::ClipboardWrite), QStringList{"**Параметры**\r4,500\r6,000"});
        // An open cell editor of the parameter grid does not keep the keys either.
        grid().setFocus();
        QVERIFY(grid().selectCell(2, 60));
        type("9");
        QVERIFY(grid().editorMode());
        m_fake->clear();
        press(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(m_fake->count(ServiceCall::ClipboardWrite), 1);
        QCOMPARE(grid().inplaceEditor()->text(), QString("9"));
    }

    void chartBandFollowsTheSelection()
    {
        openWindow("ru_RU");
        select(10, 20);
        QImage banded = chart().renderImage();
        auto pixels = chart().bandPixels();
        QVERIFY(pixels.has_value());
        const double f10 = parseValueText(grid().cells(1, 10)).value();
        const double f20 = parseValueText(grid().cells(1, 20)).value();
        QCOMPARE(pixels->x1, int(std::lround(chart().xAxis->coordToPixel(f10))));
        QCOMPARE(pixels->x2, int(std::lround(chart().xAxis->coordToPixel(f20))));
        // Inside the band the white plot background is XOR-ed with red 128.
        bool sawBand = false;
        for (int y = pixels->top; y <= pixels->bottom; ++y)
            sawBand = sawBand || (banded.pixel(pixels->x1, y) & 0xffffff) == 0x7fffff;
        QVERIFY(sawBand);
        // Select all: the whole frequency range.
        form().paramsPane().SelectAllClick();
        chart().renderImage();
        pixels = chart().bandPixels();
        QVERIFY(pixels.has_value());
        QVERIFY(std::abs(pixels->x1 - chart().axisRect()->rect().left()) <= 1);
        QVERIFY(std::abs(pixels->x2 - chart().axisRect()->rect().right()) <= 1);
        // A frequency cell that does not parse: no band.
        grid().setCells(1, 96, QString());
        chart().renderImage();
        QVERIFY(!chart().bandPixels().has_value());
    }

    void savingTheChartAsAPicture()
    {
        openWindow("ru_RU");
        m_fake->saveAnswers = {QString()};
        form().executeAction(form().ActionSaveGraphAsPicture);
        const ServiceCall* dialog = m_fake->last(ServiceCall::SaveFile);
        QVERIFY(dialog);
        // "KA-12/2" + "," + "Затухание, дБ" + ".bmp", cleaned.
        QCOMPARE(dialog->options.fileName, QString("KA-12_2,Затухание, дБ.bmp"));
        QCOMPARE(dialog->options.defaultExtension, QString("bmp"));
        QCOMPARE(dialog->options.filter, QString("Картинки (*.bmp)|*.bmp"));
        QVERIFY(!dialog->options.overwritePrompt);
        QVERIFY(dialog->options.initialDir.isEmpty());
        QVERIFY(m_base->dir.path().size() > 0);
        QCOMPARE(QDir(m_base->dir.path()).entryList({"*.bmp"}).size(), 0);

        const QString target = m_base->dir.file("picture.bmp");
        m_fake->saveAnswers = {target};
        select(30, 40);
        form().executeAction(form().ActionSaveGraphAsPicture);
        QCOMPARE(errorReports(), QString());
        QImage saved(target, "BMP");
        QCOMPARE(saved.size(), chart().size());
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), chart().renderImage());

        // A path that cannot be written reaches the error report.
        m_fake->saveAnswers = {m_base->dir.file("no such folder/x.bmp")};
        form().executeAction(form().ActionSaveGraphAsPicture);
        QVERIFY(errorReports().contains("no such folder"));
    }

    void printingTheChart()
    {
        openWindow("ru_RU");
        select(1, 2);
        form().executeAction(form().ActionPrintGraph);
        QCOMPARE(m_fake->count(ServiceCall::Print), 1);
        const QImage printed = m_fake->last(ServiceCall::Print)->image;
        const QImage again = chart().renderImageForWidth(m_fake->printWidth);
        QCOMPARE(printed.size(), again.size());
        // Smoothing of the large title glyphs aside (a few hundred of 4 million pixels).
        QVERIFY(differingPixels(printed, again) < printed.width() * printed.height() / 2000);
        m_fake->printFailure = QString("Printer selected is not valid");
        form().executeAction(form().ActionPrintGraph);
        QCOMPARE(errorReports(), QString("Printer selected is not valid"));
    }

    // Repeated refreshes leave the cells and the chart as one refresh does, and auto-scroll
    // ticks walk the grid to its last row. Their cost is measured by bench/gui_bench.cpp.
    void repeatedRefreshAndAutoScroll()
    {
        openWindow("ru_RU");
        const QString before = shown(5);
        for (int i = 0; i < 50; ++i)
            form().paramsPane().RefreshParamValues();
        QCOMPARE(shown(5), before);
        QCOMPARE(chart().renderImage().size(), chart().size());

        grid().setTopRow(1);
        QTest::mousePress(grid().viewport(), Qt::LeftButton, {}, cellCentre(2));
        form().paramsPane().setParamsScrollDirection(1);
        int ticks = 0;
        while (grid().topRow() + grid().visibleRowCount() < 96 && ticks < 200) {
            form().paramsPane().Timer1Timer();
            QCoreApplication::processEvents(); // the repaints a tick asks for
            ++ticks;
        }
        QTest::mouseRelease(grid().viewport(), Qt::LeftButton, {}, cellCentre(2));
        QVERIFY(ticks > 10);
        QVERIFY(grid().topRow() + grid().visibleRowCount() >= 96);
    }
};

QTEST_MAIN(ParamsGridTest)
#include "params_grid_test.moc"
