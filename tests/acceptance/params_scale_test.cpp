// The chart on a screen that scales everything by two (QT_SCALE_FACTOR=2): the curve, the
// grid lines and the selection band are as thick, measured against the text, as on a
// screen that does not scale: two device pixels for one.
#include "params_scenario.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QtTest>

using namespace acceptance;
using namespace acceptance::params;

namespace {

// The longest run of rows, in column x, whose pixels satisfy is().
template <class Is> int thickestRun(const QImage& image, int x, Is is)
{
    int best = 0, run = 0;
    for (int y = 0; y < image.height(); ++y) {
        run = is(image.pixel(x, y)) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

bool isBlue(QRgb p)
{
    return qBlue(p) > 160 && qRed(p) < 140 && qGreen(p) < 140;
}

bool isGridColour(QRgb p)
{
    return (p & 0xFFFFFF) == (qRgb(64, 128, 128) & 0xFFFFFF);
}

// White under the band's exclusive-or colour.
bool isBand(QRgb p)
{
    return (p & 0xFFFFFF) == (qRgb(127, 255, 255) & 0xFFFFFF);
}

} // namespace

class ParamsScaleTest : public QObject {
    Q_OBJECT

private slots:
    void linesScaleWithTheText()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        QCOMPARE(w.Chart2->devicePixelRatioF(), 2.0);

        // The second parameter is 27 everywhere: a level line.
        user.click(navigatorButton(w, dorvin::NavigateBtn::Next));
        QTRY_COMPARE(shown(w, 1), QStringLiteral("27,000"));
        user.clickCell(w.ParamsGrid, 2, 2);
        settle(100);
        const QImage chart = w.Chart2->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(chart.width(), 2 * w.Chart2->width());
        const QRect plot = w.Chart2->axisRect()->rect();

        // The curve's thickness in a column: how much of it the line covers, edges
        // smoothed or not (white is 0, full blue is 1 for each pixel).
        const int middle = 2 * plot.center().x();
        double covered = 0;
        for (int y = 2 * plot.top(); y < 2 * plot.bottom(); ++y) {
            const QRgb p = chart.pixel(middle, y);
            if (qBlue(p) > qRed(p) + 40)
                covered += 1.0 - qRed(p) / 255.0;
        }
        QVERIFY2(covered >= 1.6, qPrintable(QString::number(covered)));
        QVERIFY(thickestRun(chart, middle, isBlue) >= 2);

        // Horizontal grid lines, looked for in every column of the plot's left half.
        int gridRun = 0;
        for (int x = 2 * plot.left() + 2; x < 2 * plot.center().x(); ++x)
            gridRun = std::max(gridRun, thickestRun(chart, x, isGridColour));
        QVERIFY2(gridRun >= 2, qPrintable(QString::number(gridRun)));

        // One selected row: one line of the band, one screen pixel (two device pixels) wide.
        const int bandRow = 2 * plot.top() + 4;
        int bandColumns = 0;
        for (int x = 0; x < chart.width(); ++x)
            bandColumns += isBand(chart.pixel(x, bandRow));
        QCOMPARE(bandColumns, 2);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    ParamsScaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "params_scale_test.moc"
