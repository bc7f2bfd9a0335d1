// The frequency response chart on its own: point order, value axis, the exclusive-or band
// in every kind of drawing, the BMP file and printing.
#include "params/response_chart.h"
#include "storage/error.h"
#include "support/fake_services.h"
#include "support/image_compare.h"

#include <QtTest>

#include <cmath>

using namespace dorvin;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;

using dorvin::test::differingPixels;

namespace {

// A frequency plan like the usual one: 96 points from 49.75 MHz upwards, unevenly spaced.
double frequencyOf(int row)
{
    return row <= 10 ? 49.75 + (row - 1) * 8.0 : 121.75 + (row - 10) * 8.0 + (row % 3) * 0.5;
}

void fillChart(ResponseChart& chart, double (*value)(int))
{
    chart.clearPoints();
    for (int row = 1; row <= 96; ++row)
        chart.addPoint(frequencyOf(row), value(row), QString("K%1").arg(row));
    chart.fitFrequencyAxis();
    chart.fitValueAxis();
    chart.replot();
}

double slopedValue(int row)
{
    return 10.0 + row * 0.25;
}

constexpr QRgb kBandXor = 0x800000;

// Checks that `with` is `without` with the band rectangle XOR-ed in red 128 and every
// other pixel untouched. Returns a failure description, or "" when all pixels agree.
QString compareBand(const QImage& without, const QImage& with, const QRect& band)
{
    if (without.size() != with.size())
        return "sizes differ";
    const QImage a = without.convertToFormat(QImage::Format_RGB32);
    const QImage b = with.convertToFormat(QImage::Format_RGB32);
    int bandPixels = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb base = a.pixel(x, y) & 0xffffff;
            const QRgb drawn = b.pixel(x, y) & 0xffffff;
            const QRgb expected = band.contains(x, y) ? (base ^ kBandXor) : base;
            if (drawn != expected)
                return QString("pixel %1,%2: %3 expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(drawn, 6, 16)
                    .arg(expected, 6, 16);
            bandPixels += band.contains(x, y);
        }
    }
    return bandPixels > 0 ? QString() : QString("the band is off the picture");
}

} // namespace

class ParamsChartTest : public QObject {
    Q_OBJECT

    std::optional<std::pair<double, double>> m_band;
    int m_afterDraws = 0;

    void attachBand(ResponseChart& chart)
    {
        chart.onAfterDraw = [this, &chart] {
            ++m_afterDraws;
            chart.setBand(m_band);
        };
    }

    // What the band marks: the chart learns it again at every drawing through its hook.
    void mark(ResponseChart& chart, std::optional<std::pair<double, double>> band)
    {
        m_band = band;
        chart.setBand(band);
    }

private slots:
    void init()
    {
        m_band.reset();
        m_afterDraws = 0;
    }

    void pointsStayInAscendingFrequency()
    {
        ResponseChart chart;
        chart.addPoint(300, 1, "C");
        chart.addPoint(100, 2, "A");
        chart.addPoint(200, 3, "B1");
        chart.addPoint(200, 4, "B2"); // same frequency: after the first one
        chart.addPoint(50, 5, "Z");
        const QStringList labels{"Z", "A", "B1", "B2", "C"};
        const QList<double> xs{50, 100, 200, 200, 300};
        const QList<double> ys{5, 2, 3, 4, 1};
        QCOMPARE(chart.pointCount(), 5);
        QCOMPARE(chart.Series1->dataCount(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(chart.pointLabel(i), labels[i]);
            QCOMPARE(chart.pointX(i), xs[i]);
            QCOMPARE(chart.pointY(i), ys[i]);
            // The series drawn holds the same points in the same order.
            QCOMPARE(chart.Series1->data()->at(i)->key, xs[i]);
            QCOMPARE(chart.Series1->data()->at(i)->value, ys[i]);
        }
        chart.clearPoints();
        QCOMPARE(chart.pointCount(), 0);
        QCOMPARE(chart.Series1->dataCount(), 0);
    }

    void valueAxisFollowsTheValues()
    {
        ResponseChart chart;
        fillChart(chart, [](int) { return 27.0; });
        QVERIFY(std::fabs(chart.yAxis->range().lower - 24.3) < 1e-9);
        QVERIFY(std::fabs(chart.yAxis->range().upper - 29.7) < 1e-9);
        QCOMPARE(chart.pointCount(), 96);
        QCOMPARE(chart.xAxis->range().lower, frequencyOf(1));

        fillChart(chart, [](int row) { return row == 50 ? -8.0 : 2.0; });
        QVERIFY(chart.yAxis->range().lower < -8.0);
        QVERIFY(chart.yAxis->range().upper > 2.0);

        // No points: the axis keeps its last range.
        const QCPRange before = chart.yAxis->range();
        chart.clearPoints();
        chart.fitValueAxis();
        QCOMPARE(chart.yAxis->range(), before);
    }

    void valuesThatAreNotFiniteDoNotSpoilTheAxis()
    {
        ResponseChart chart;
        chart.addPoint(10, 5, "a");
        chart.addPoint(20, std::nan(""), "b");
        chart.addPoint(30, INFINITY, "c");
        chart.addPoint(40, 15, "d");
        chart.fitValueAxis();
        QVERIFY(std::fabs(chart.yAxis->range().lower - 4.5) < 1e-9);
        QVERIFY(std::fabs(chart.yAxis->range().upper - 16.5) < 1e-9);
    }

    void bandIsXoredIntoRenderedPictures()
    {
        ResponseChart chart;
        chart.resize(420, 267);
        attachBand(chart);
        fillChart(chart, slopedValue);
        const QImage plain = chart.renderImage();
        QCOMPARE(plain.size(), QSize(420, 267));

        mark(chart, std::pair{frequencyOf(10), frequencyOf(20)});
        const auto pixels = chart.bandPixels();
        QVERIFY(pixels.has_value());
        QCOMPARE(pixels->x1, int(std::lround(chart.xAxis->coordToPixel(frequencyOf(10)))));
        QCOMPARE(pixels->x2, int(std::lround(chart.xAxis->coordToPixel(frequencyOf(20)))));
        QCOMPARE(pixels->top, chart.axisRect()->rect().top());
        QCOMPARE(pixels->bottom, chart.axisRect()->rect().bottom());
        QVERIFY(pixels->x2 - pixels->x1 > 10);
        const QRect rect(QPoint(pixels->x1, pixels->top), QPoint(pixels->x2, pixels->bottom));
        const QImage banded = chart.renderImage();
        QCOMPARE(compareBand(plain, banded, rect), QString());
        // Over the white plot background the band shows as white XOR red 128.
        const QPoint inside(pixels->x1 + 1, pixels->top + 1);
        if ((plain.pixel(inside) & 0xffffff) == 0xffffff)
            QCOMPARE(banded.pixel(inside) & 0xffffff, QRgb(0x7fffff));

        // One selected row: one pixel column.
        mark(chart, std::pair{frequencyOf(30), frequencyOf(30)});
        const auto line = chart.bandPixels();
        QVERIFY(line.has_value());
        QCOMPARE(line->x1, line->x2);
        QCOMPARE(compareBand(plain, chart.renderImage(),
                             QRect(QPoint(line->x1, line->top), QPoint(line->x2, line->bottom))),
                 QString());

        // Select all: the band covers the whole frequency range, edge to edge of the plot.
        mark(chart, std::pair{frequencyOf(1), frequencyOf(96)});
        const auto all = chart.bandPixels();
        QVERIFY(all.has_value());
        QVERIFY(std::abs(all->x1 - chart.axisRect()->rect().left()) <= 1);
        QVERIFY(std::abs(all->x2 - chart.axisRect()->rect().right()) <= 1);
    }

    void noBandWhenThereIsNothingToMark()
    {
        ResponseChart chart;
        chart.resize(300, 200);
        attachBand(chart);
        fillChart(chart, slopedValue);
        const QImage plain = chart.renderImage();
        // x1 right of x2 (a frequency plan that falls): nothing.
        mark(chart, std::pair{frequencyOf(20), frequencyOf(10)});
        QVERIFY(!chart.bandPixels().has_value());
        QCOMPARE(chart.renderImage(), plain);
        // A frequency far off the axis is pinned just beyond the picture, never a huge loop.
        mark(chart, std::pair{frequencyOf(5), 1e300});
        const auto pinned = chart.bandPixels();
        QVERIFY(pinned.has_value());
        QCOMPARE(pinned->x2, chart.viewport().right() + 1);
        mark(chart, std::pair{std::nan(""), 100.0});
        QVERIFY(!chart.bandPixels().has_value());
    }

    void bandShowsOnScreen()
    {
        ResponseChart chart;
        chart.resize(400, 250);
        attachBand(chart);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        fillChart(chart, slopedValue);
        const QImage plain = chart.grab().toImage();
        mark(chart, std::pair{frequencyOf(40), frequencyOf(60)});
        const auto pixels = chart.bandPixels();
        QVERIFY(pixels.has_value());
        const QImage banded = chart.grab().toImage();
        QCOMPARE(compareBand(plain, banded,
                             QRect(QPoint(pixels->x1, pixels->top), QPoint(pixels->x2, pixels->bottom))),
                 QString());
    }

    void everyDrawingAsksWhatTheBandMarks()
    {
        ResponseChart chart;
        chart.resize(300, 200);
        attachBand(chart);
        fillChart(chart, slopedValue);
        const QImage plain = chart.renderImage();
        QVERIFY(m_afterDraws >= 1);
        // The selection changed since the last drawing: the next picture follows it.
        chart.setBand(std::nullopt);
        m_band = std::pair{frequencyOf(40), frequencyOf(50)};
        const int before = m_afterDraws;
        const QImage banded = chart.renderImage();
        QCOMPARE(m_afterDraws, before + 1);
        QCOMPARE(chart.band(), m_band);
        const auto pixels = chart.bandPixels();
        QVERIFY(pixels.has_value());
        QCOMPARE(compareBand(plain, banded,
                             QRect(QPoint(pixels->x1, pixels->top), QPoint(pixels->x2, pixels->bottom))),
                 QString());
        // A selection whose frequency text did not parse: no band at the next drawing.
        m_band.reset();
        QCOMPARE(chart.renderImage(), plain);
    }

    void savedBmpHoldsTheChartWithItsBand()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ResponseChart chart;
        chart.resize(360, 240);
        attachBand(chart);
        fillChart(chart, slopedValue);
        mark(chart, std::pair{frequencyOf(3), frequencyOf(7)});
        const QString path = dir.filePath("M,P.bmp");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older file of that name");
        old.close();

        chart.saveBmpFile(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(2), QByteArray("BM"));
        file.close();
        QImage saved(path, "BMP");
        QCOMPARE(saved.size(), QSize(360, 240));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), chart.renderImage());
        const auto band = chart.bandPixels();
        QVERIFY(band.has_value());
        const QRgb plotWhiteXor = 0x7fffff;
        bool sawBand = false;
        for (int y = band->top; y <= band->bottom; ++y)
            sawBand = sawBand || (saved.pixel(band->x1, y) & 0xffffff) == plotWhiteXor;
        QVERIFY(sawBand);
    }

    void unwritablePictureIsAnErrorAndWritesNothing()
    {
        QTemporaryDir dir;
        ResponseChart chart;
        chart.resize(200, 150);
        const QString path = dir.filePath("missing folder/x.bmp");
        bool thrown = false;
        try {
            chart.saveBmpFile(path);
        } catch (const Error& e) {
            thrown = true;
            QVERIFY(QString::fromUtf8(e.what()).contains(path));
        }
        QVERIFY(thrown);
        QVERIFY(!QFile::exists(path));
    }

    void printingSendsTheChartAsOnePage()
    {
        FakeServices fake;
        test::ServicesGuard guard(fake);
        ResponseChart chart;
        chart.resize(330, 220);
        attachBand(chart);
        chart.setTitleText("KA-12    Затухание, дБ");
        fillChart(chart, slopedValue);
        mark(chart, std::pair{frequencyOf(2), frequencyOf(9)});
        chart.printChart();
        QCOMPARE(fake.count(ServiceCall::Print), 1);
        // Drawn for the page's width at print resolution, not the screen's 330 pixels.
        const QImage printed = fake.last(ServiceCall::Print)->image.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(printed.width(), fake.printWidth);
        QCOMPARE(printed.height(), qRound(220.0 * fake.printWidth / 330));
        QVERIFY(differingPixels(printed, chart.renderImageForWidth(fake.printWidth))
                < printed.width() * printed.height() / 2000);

        fake.printFailure = QString("no printer");
        bool thrown = false;
        try {
            chart.printChart();
        } catch (const Error&) {
            thrown = true;
        }
        QVERIFY(thrown);
    }
};

QTEST_MAIN(ParamsChartTest)
#include "params_chart_test.moc"
