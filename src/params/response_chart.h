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
    // present size.
    QImage renderImage();
    // Writes renderImage() as a BMP file, replacing any file of that name. Throws
    // dorvin::Error when the file cannot be written.
    void saveBmpFile(const QString& path);
    // Prints renderImage() on the default printer as one page (through the services).
    void printChart();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Used by toPixmap, toPainter and saveBmp: the band goes into every picture too.
    void draw(QCPPainter* painter) override;

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
};

} // namespace dorvin
