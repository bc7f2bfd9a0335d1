// The frequency response chart as a user meets it: printed from its menu onto a page
// (here a PDF file) at print resolution with the selection band where the screen shows
// it, the zero line in the colour of the other grid lines, and value labels that never
// run into each other however low the splitter makes the chart.
#include "params_scenario.h"

#include "params/response_chart.h"
#include "platform/services.h"
#include "widgets/splitter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

using namespace acceptance;
using namespace acceptance::params;

namespace {

// White under the band's exclusive-or colour (128, 0, 0).
bool isBandOnWhite(QRgb p, int tolerance = 0)
{
    return std::abs(qRed(p) - 127) <= tolerance && qGreen(p) >= 255 - tolerance
           && qBlue(p) >= 255 - tolerance;
}

// The first and last column of the band in the image row that holds most of it, as
// fractions of the image's width; nullopt when there is no band.
std::optional<std::pair<double, double>> bandColumns(const QImage& image, int tolerance)
{
    int bestRow = -1, bestCount = 0;
    for (int y = 0; y < image.height(); ++y) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += isBandOnWhite(image.pixel(x, y), tolerance);
        if (count > bestCount) {
            bestCount = count;
            bestRow = y;
        }
    }
    if (bestRow < 0)
        return std::nullopt;
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        if (isBandOnWhite(image.pixel(x, bestRow), tolerance)) {
            if (first < 0)
                first = x;
            last = x;
        }
    return std::pair{double(first) / image.width(), double(last + 1) / image.width()};
}

struct PdfImage {
    int width = 0, height = 0, xPpi = 0, yPpi = 0;
};

// The images of a PDF file as `pdfimages -list` lists them.
QList<PdfImage> pdfImages(const QString& pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    tool.waitForFinished(30000);
    QList<PdfImage> images;
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (f.size() < 14 || f[2] != QLatin1String("image"))
            continue;
        images.append({f[3].toInt(), f[4].toInt(), f[12].toInt(), f[13].toInt()});
    }
    return images;
}

void withNegativeValues(TDataM& dm)
{
    twoElementsWithTwoParameters(dm);
    dm.ClElemsTable.last();
    dm.ClElemsTable.insert();
    dm.ClElemsTableELEM.setInteger(3);
    dm.ClElemsTableMODEL.setString("KA-30");
    dm.ClElemsTableCENA.setFloat(0);
    dm.ClElemsTableCODE.setString("3");
    dm.ClElemsTable.post();
    dm.ClParamsTable.insert();
    dm.ClParamsTablePARAM.setInteger(1);
    dm.ClParamsTablePARNAME.setString("dB");
    for (int k = 1; k <= 96; ++k)
        dm.ClParamsTableN[k - 1]->setFloat(-4.85 + 0.1 * k);
    dm.ClParamsTable.post();
}

int countInRow(const QImage& image, int y, QRgb colour)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

} // namespace

class ParamsChartTest : public QObject {
    Q_OBJECT

private slots:
    void printedFromItsMenuAtPrintResolutionWithTheBand()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
            QSKIP("pdfimages (poppler-utils) is not installed");
        Program program(twoElementsWithTwoParameters);
        const QString pdf = program.dir().file(QStringLiteral("print.pdf"));
        dorvin::setPrintFileForTests(pdf);
        TMainForm& w = program.start();
        Dialogs dialogs;
        User user;

        user.clickCell(w.ParamsGrid, 2, 3);
        for (int i = 0; i < 12; ++i)
            user.press(Qt::Key_Down, Qt::ShiftModifier);
        settle(100);
        const QImage screen = w.Chart2->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto onScreen = bandColumns(screen, 0);
        QVERIFY(onScreen);

        rightClickForMenu(w.Chart2, w.Chart2->rect().center());
        QVERIFY(choosePopupItem(QStringLiteral("Напечатать график")));
        QVERIFY(waitFor([&] { return QFileInfo(pdf).size() > 0; }, 20000));
        dorvin::setPrintFileForTests({});
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));

        const QList<PdfImage> images = pdfImages(pdf);
        QCOMPARE(images.size(), 1);
        const PdfImage picture = images.first();
        QVERIFY2(picture.xPpi >= 300, qPrintable(QString::number(picture.xPpi)));
        QVERIFY(std::abs(picture.xPpi - picture.yPpi) <= 1); // proportions kept
        // Across the printable width of the page: more than 6.5 inches.
        QVERIFY2(double(picture.width) / picture.xPpi > 6.5, qPrintable(QString::number(picture.width)));
        QCOMPARE(picture.height, qRound(double(picture.width) * w.Chart2->height() / w.Chart2->width()));

        // The picture itself: the band at the same place as on screen.
        QProcess extract;
        const QString prefix = program.dir().file(QStringLiteral("printed"));
        extract.start(QStringLiteral("pdfimages"), {QStringLiteral("-png"), pdf, prefix});
        QVERIFY(extract.waitForFinished(30000));
        const QImage printed =
            QImage(prefix + QStringLiteral("-000.png")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(printed.width(), picture.width);
        const auto onPaper = bandColumns(printed, 24);
        QVERIFY(onPaper);
        const double screenPixel = 1.0 / screen.width();
        QVERIFY2(std::abs(onPaper->first - onScreen->first) <= 1.5 * screenPixel,
                 qPrintable(QString("%1 %2").arg(onPaper->first).arg(onScreen->first)));
        QVERIFY2(std::abs(onPaper->second - onScreen->second) <= 1.5 * screenPixel,
                 qPrintable(QString("%1 %2").arg(onPaper->second).arg(onScreen->second)));
    }

    void zeroLineHasTheGridColour()
    {
        Program program(withNegativeValues);
        TMainForm& w = program.start();
        User user;
        user.clickCell(w.ElemDBGrid, 2, 1);
        QTRY_COMPARE(shown(w, 1), QStringLiteral("-4,750"));
        settle(100);
        const QImage chart = w.Chart2->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int zero = qRound(w.Chart2->yAxis->coordToPixel(0));
        const QRgb grid = qRgb(64, 128, 128);
        int best = 0;
        for (int y = zero - 1; y <= zero + 1; ++y)
            best = std::max(best, countInRow(chart, y, grid));
        QVERIFY2(best > chart.width() / 6, qPrintable(QString::number(best)));
        for (int y = 0; y < chart.height(); ++y)
            QVERIFY2(countInRow(chart, y, qRgb(200, 200, 200)) < 10, qPrintable(QString::number(y)));
    }

    void labelsNeverOverlapHoweverLowTheSplitterMakesTheChart()
    {
        Program program(twoElementsWithTwoParameters);
        TMainForm& w = program.start();
        User user;
        const int before = w.Chart2->height();
        const QPoint bar = w.Splitter3->rect().center();
        user.drag(w.Splitter3, bar, bar + QPoint(0, before + 100));
        settle(100);
        QVERIFY(w.Chart2->height() < before);

        const QFontMetrics metrics(w.Chart2->yAxis->tickLabelFont());
        const QCPRange range = w.Chart2->yAxis->range();
        QList<double> shownAt;
        for (double tick : w.Chart2->yAxis->tickVector())
            if (range.contains(tick))
                shownAt.append(w.Chart2->yAxis->coordToPixel(tick));
        std::sort(shownAt.begin(), shownAt.end());
        QVERIFY2(shownAt.size() >= 2, qPrintable(QString::number(shownAt.size())));
        for (int i = 1; i < shownAt.size(); ++i)
            QVERIFY2(shownAt[i] - shownAt[i - 1] >= metrics.height(),
                     qPrintable(
                         QString("%1 %2 (%3)").arg(shownAt[i - 1]).arg(shownAt[i]).arg(w.Chart2->height())));

        // And back up again: taller, still apart.
        const QPoint barNow = w.Splitter3->rect().center();
        user.drag(w.Splitter3, barNow, barNow - QPoint(0, 60));
        settle(100);
        QVERIFY(w.Chart2->height() > 60);
    }
};

QTEST_MAIN(ParamsChartTest)
#include "params_chart_test.moc"
