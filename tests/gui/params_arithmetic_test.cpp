// The arithmetic and text rules under the parameter commands: fill, interpolation over
// frequency, the clipboard text, the chart's value axis and the picture name.
#include "params/fill_interpolation.h"
#include "params/param_clipboard_text.h"
#include "params/response_chart.h"
#include "storage/error.h"

#include <QtTest>

#include <cfloat>
#include <cmath>
#include <cstring>

using namespace dorvin;

namespace {

// Runs fn and returns the text of the dorvin::Error it throws ("" when it throws none).
template <typename Fn> QString errorOf(Fn&& fn)
{
    try {
        fn();
    } catch (const Error& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class ParamsArithmeticTest : public QObject {
    Q_OBJECT
private slots:
    void fillCopiesTheSourceIntoEveryRow()
    {
        const auto values = filledValues(1.235, 5);
        QCOMPARE(values.size(), std::size_t(5));
        for (double v : values)
            QCOMPARE(v, 1.235);
        // Fill keeps double precision: a value with no exact single-precision form survives.
        QCOMPARE(filledValues(0.1, 2).back(), 0.1);
        QVERIFY(filledValues(3, 0).empty());
        QVERIFY(filledValues(3, -4).empty());
    }

    void interpolationMatchesTheWorkedExample()
    {
        // Rows 1..3 at 49.750, 59.250 and 77.250 MHz, 10 and 20 at the ends.
        const auto values = interpolatedValues(10.0, 20.0, 49.75, 77.25, {59.25});
        QCOMPARE(values.size(), std::size_t(1));
        QCOMPARE(values[0], 13.454545974731445);
        // Done in double throughout, the same line gives a different number.
        QVERIFY(values[0] != 10.0 + 9.5 * 10.0 / 27.5);
    }

    void interpolationResultsAreSinglePrecisionValues()
    {
        const auto values = interpolatedValues(0.1, 0.7, 100, 700, {150, 200, 333.3, 650});
        QCOMPARE(values.size(), std::size_t(4));
        for (double v : values)
            QCOMPARE(static_cast<double>(static_cast<float>(v)), v);
        // Linear in frequency, not in row number: 150 MHz lies a twelfth of the way.
        QVERIFY(std::fabs(values[0] - 0.15) < 1e-6);
        QVERIFY(std::fabs(values[3] - 0.65) < 1e-6);
    }

    void interpolationRoundsItsEndsFirst()
    {
        // 16777217 is not a float: it becomes 16777216 before anything else, so the line
        // is flat.
        const auto values = interpolatedValues(16777216.0, 16777217.0, 1, 3, {2});
        QCOMPARE(values.at(0), 16777216.0);
    }

    void interpolationWithNoInnerRowsGivesNothing() { QVERIFY(interpolatedValues(1, 2, 10, 20, {}).empty()); }

    void interpolationDescendingAndNegative()
    {
        // Slope −0.1 has no exact single-precision form, so the midpoint is not exactly 0:
        // it is what the single-precision slope gives.
        const auto values = interpolatedValues(-5, 5, 200, 100, {150});
        const double slope = static_cast<float>(-0.1);
        QCOMPARE(values.at(0), static_cast<double>(static_cast<float>((150.0 - 200.0) * slope - 5.0)));
        QVERIFY(values.at(0) != 0.0 && std::fabs(values.at(0)) < 1e-6);
    }

    void equalEndFrequenciesAreReported()
    {
        QCOMPARE(errorOf([] { interpolatedValues(1, 2, 50, 50, {50}); }),
                 QString("Floating point division by zero"));
        QCOMPARE(errorOf([] { interpolatedValues(3, 3, 50, 50, {50}); }),
                 QString("Invalid floating point operation"));
        // Frequencies that differ in double but meet in single precision are equal here.
        QCOMPARE(errorOf([] { interpolatedValues(1, 2, 100.0, 100.000000001, {}); }),
                 QString("Floating point division by zero"));
    }

    void valuesBeyondSinglePrecisionAreReportedNotWritten()
    {
        QCOMPARE(errorOf([] { interpolatedValues(1e39, 1, 10, 20, {15}); }),
                 QString("Floating point overflow"));
        // Ends in range, but the line leaves the range at a far inner frequency.
        QCOMPARE(errorOf([] { interpolatedValues(0, 3e38, 0, 1, {2}); }), QString("Floating point overflow"));
        // The largest float itself is fine.
        QCOMPARE(toSingle(static_cast<double>(FLT_MAX)), FLT_MAX);
        QCOMPARE(errorOf([] { toSingle(std::nan("")); }), QString("Invalid floating point operation"));
        QCOMPARE(errorOf([] { toSingle(-INFINITY); }), QString("Floating point overflow"));
    }

    void clipboardTextUsesCarriageReturnsOnly()
    {
        QCOMPARE(paramClipboardText({"1,000", "2,000", "3,000"}),
                 QString("**Параметры**\r1,000\r2,000\r3,000"));
        QCOMPARE(paramClipboardText({}), QString("**Параметры**"));
    }

    void splittingHandlesEveryLineBreak_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("cr") << "h\r1\r2" << QStringList{"h", "1", "2"};
        QTest::newRow("crlf with final break") << "h\r\n1\r\n2\r\n" << QStringList{"h", "1", "2"};
        QTest::newRow("lf") << "h\n1\n" << QStringList{"h", "1"};
        QTest::newRow("lf cr is two breaks") << "h\n\r1" << QStringList{"h", "", "1"};
        QTest::newRow("empty line inside") << "h\r\r1" << QStringList{"h", "", "1"};
        QTest::newRow("two final breaks") << "h\r\n\r\n" << QStringList{"h", ""};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("break only") << "\r\n" << QStringList{""};
        QTest::newRow("blanks kept") << " h \r 1 " << QStringList{" h ", " 1 "};
    }
    void splittingHandlesEveryLineBreak()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(splitClipboardLines(text), lines);
    }

    void splittingStopsAtTheLimit()
    {
        QString huge;
        for (int i = 0; i < 100000; ++i)
            huge += QStringLiteral("1\r");
        const QStringList lines = splitClipboardLines(huge, 98);
        QCOMPARE(lines.size(), 98);
        // The limit still tells a paste that too many values came.
        QCOMPARE(checkParamPaste(QStringList{kParamClipboardHeader} + lines, 1), PasteCheck::NoRoom);
    }

    void pasteChecks()
    {
        const QString h = kParamClipboardHeader;
        QCOMPARE(checkParamPaste({h}, 1), PasteCheck::NotParameters);
        QCOMPARE(checkParamPaste({}, 1), PasteCheck::NotParameters);
        QCOMPARE(checkParamPaste({"**параметры**", "1"}, 1), PasteCheck::NotParameters);
        QCOMPARE(checkParamPaste({" " + h, "1"}, 1), PasteCheck::NotParameters);
        QCOMPARE(checkParamPaste({h, "1", "2"}, 95), PasteCheck::Fits);
        QCOMPARE(checkParamPaste({h, "1", "2"}, 96), PasteCheck::NoRoom);
        QCOMPARE(checkParamPaste({h, "1"}, 96), PasteCheck::Fits);
        QStringList all{h};
        for (int i = 0; i < 96; ++i)
            all << "0";
        QCOMPARE(checkParamPaste(all, 1), PasteCheck::Fits);
        QCOMPARE(checkParamPaste(all, 2), PasteCheck::NoRoom);
        all << "0";
        QCOMPARE(checkParamPaste(all, 1), PasteCheck::NoRoom);
    }

    void valueAxisRange_data()
    {
        QTest::addColumn<double>("m");
        QTest::addColumn<double>("M");
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::newRow("all 27") << 27.0 << 27.0 << 24.3 << 29.7;
        QTest::newRow("zero to ten") << 0.0 << 10.0 << 0.0 << 11.0;
        QTest::newRow("all zero") << 0.0 << 0.0 << -1.0 << 1.0;
        QTest::newRow("negative low") << -10.0 << 20.0 << -11.0 << 22.0;
        QTest::newRow("all negative") << -20.0 << -10.0 << -22.0 << -9.0;
        QTest::newRow("all -5") << -5.0 << -5.0 << -5.5 << -4.5;
    }
    void valueAxisRange()
    {
        QFETCH(double, m);
        QFETCH(double, M);
        QFETCH(double, lo);
        QFETCH(double, hi);
        const auto range = dorvin::valueAxisRange(m, M);
        QVERIFY2(std::fabs(range.first - lo) < 1e-9 && std::fabs(range.second - hi) < 1e-9,
                 qPrintable(QString("%1 .. %2").arg(range.first).arg(range.second)));
        // Every value is inside the range.
        QVERIFY(range.first <= m && M <= range.second);
    }

    void valueAxisRangeIsAlwaysUsable()
    {
        // Ranges the chart engine would refuse (and silently keep the old one for).
        for (const auto& [m, M] : {std::pair{1e-300, 1e-300}, std::pair{1e300, 1e300},
                                   std::pair{-1e300, 1e300}, std::pair{5e-290, 6e-290}}) {
            const auto range = dorvin::valueAxisRange(m, M);
            QVERIFY2(QCPRange::validRange(range.first, range.second),
                     qPrintable(QString("%1 %2 -> %3 %4").arg(m).arg(M).arg(range.first).arg(range.second)));
        }
        const auto tiny = dorvin::valueAxisRange(1e-300, 1e-300);
        QVERIFY(tiny.first < 1e-300 && 1e-300 < tiny.second);
    }

    void proposedPictureName()
    {
        QCOMPARE(dorvin::proposedPictureName("M", "P"), QString("M,P.bmp"));
        QCOMPARE(dorvin::proposedPictureName("КН-7, мод.2", "Затухание, дБ"),
                 QString("КН-7, мод.2,Затухание, дБ.bmp"));
        QCOMPARE(dorvin::proposedPictureName("A/B:C", "x*y?<\">\\"), QString("A_B_C,x_y_____.bmp"));
        QCOMPARE(dorvin::proposedPictureName("", ""), QString(",.bmp"));
    }
};

QTEST_GUILESS_MAIN(ParamsArithmeticTest)
#include "params_arithmetic_test.moc"
