#pragma once
// The frequency response chart of the parameter pane: one blue line through the values of
// the current parameter against frequency, and over it a band that marks the frequencies
// of the rows selected in the grid. The band is drawn with an exclusive-or pen after every
// complete drawing, on screen, into pictures and for printing.
#include <qcustomplot.h>

#include <QImage>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace dorvin {

// The value axis range for a series whose smallest value is m and largest is M.
// Non-negative values get m − m/10 to M + M/10. Negative ends are pushed outwards by a
// tenth of their size instead (the same formula would pull them inside the range), and a
// series of zeros gets −1 to 1, so that every point lies inside the plot. The result is
// always a range the chart engine accepts.
std::pair<double, double> valueAxisRange(double m, double M);

// The proposed name of a saved chart picture: "MODEL,PARNAME.bmp", cleaned for use as a
// file name.
QString proposedPictureName(const QString& model, const QString& parameterName);

class ResponseChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit ResponseChart(QWidget* parent = nullptr);

    // The chart's only series: a blue line without point markers.
    QCPGraph* Series1 = nullptr;

    // ---- points: kept in ascending order of x; a point with an x equal to others goes
    //      after them ----
    void clearPoints();
    void addPoint(double x, double y, const QString& label);
    int pointCount() const { return static_cast<int>(m_points.size()); }
    double pointX(int i) const { return m_points.at(static_cast<std::size_t>(i)).x; }
    double pointY(int i) const { return m_points.at(static_cast<std::size_t>(i)).y; }
    QString pointLabel(int i) const { return m_points.at(static_cast<std::size_t>(i)).label; }
    // The smallest and the largest y of the series, ignoring values that are not finite;
    // nullopt when there is none.
    std::optional<std::pair<double, double>> valueExtent() const;
    // Sets the value axis from the series' values (valueAxisRange); with no finite value
    // the axis keeps its range. Redraws the chart.
    void fitValueAxis();
    // Recomputes the frequency axis from the points (a small range around a lone
    // frequency), then redraws.
    void fitFrequencyAxis();

    void setTitleText(const QString& text);
    QString titleText() const;
    QCPTextElement* titleElement() const { return m_title; }

    // ---- the selection band ----
    // Runs after each complete drawing of the chart (screen, picture, printout), just
    // before the band is drawn, so the owner can say with setBand what the band marks now.
    std::function<void()> onAfterDraw;
    // The frequencies of the first and the last selected rows; nullopt draws no band.
    void setBand(std::optional<std::pair<double, double>> frequencies) { m_band = frequencies; }
    std::optional<std::pair<double, double>> band() const { return m_band; }
    // The pixel columns the band covers in the current layout (x1..x2, inclusive), and the
    // plot area's top and bottom rows. nullopt when there is no band to draw.
    struct BandPixels {
        int x1, x2, top, bottom;
    };
    std::optional<BandPixels> bandPixels() const;

    // ---- output ----
    // The chart as on screen, band included, drawn over a white image of the chart's
    // present size times scale: a scale above 1 draws text, lines and band that much
    // larger, so the picture looks as on screen, only finer.
    QImage renderImage(double scale = 1.0);
    // renderImage at the scale that makes the picture widthPixels wide.
    QImage renderImageForWidth(int widthPixels);
    // Writes renderImage() as a BMP file, replacing any file of that name. Throws
    // dorvin::Error when the file cannot be written.
    void saveBmpFile(const QString& path);
    // Prints the chart on the default printer as one page (through the services), drawn
    // for the printer's resolution.
    void printChart();

    // The least height at which the value axis still shows at least two labels that do
    // not overlap; the splitter above the chart keeps it at least this tall.
    int minimumReadableHeight();
    // The least distance between two value axis labels, in the chart's pixels.
    int valueLabelSpacing() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Used by toPixmap, toPainter and saveBmp: the band goes into every picture too.
    void draw(QCPPainter* painter) override;
    // Lays the chart out so that the value axis gets as many ticks as its height has room
    // for labels (see SpacedTicker in the source).
    void updateLayout() override;

private:
    struct Point {
        double x;
        double y;
        QString label;
    };

    // Runs onAfterDraw, then draws the band onto the surface just drawn.
    void finishDrawing(QPainter* painter);

    std::vector<Point> m_points;
    QCPTextElement* m_title = nullptr;
    std::optional<std::pair<double, double>> m_band;
    // The plot area's height in the layout being made; the value ticker reads it.
    int m_plotHeight = 0;
    // The viewport's height less the plot area's in the last layout: title and axes.
    int m_verticalMargins = 0;
};

} // namespace dorvin
