#include "params/response_chart.h"

#include "platform/file_names.h"
#include "platform/services.h"
#include "storage/error.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace dorvin {

namespace {

const QColor kGridColour(64, 128, 128);
const QColor kBandColour(128, 0, 0);

QFont arialFont(int pixelHeight)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelHeight);
    return font;
}

// Lines one pixel wide at the chart's own scale: a zero-width (cosmetic) pen would stay one
// device pixel thin where the screen scales text by two, or on a printed page.
QPen linePen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour, 1, style);
    pen.setCosmetic(false);
    return pen;
}

void setUpAxis(QCPAxis* axis)
{
    axis->setTickLabelFont(arialFont(9));
    axis->setTickLabelColor(Qt::black);
    axis->setLabelFont(arialFont(9));
    axis->setLabelColor(Qt::black);
    axis->setBasePen(linePen(Qt::black));
    axis->setTickPen(linePen(Qt::black));
    axis->setSubTickPen(linePen(Qt::black));
    axis->grid()->setPen(linePen(kGridColour, axis->grid()->pen().style()));
    axis->grid()->setSubGridPen(linePen(kGridColour, Qt::DotLine));
    // No line of its own at zero: there the grid line is drawn like every other one.
    axis->grid()->setZeroLinePen(Qt::NoPen);
}

// A value ticker whose steps leave at least `spacing` pixels between two labels in a plot
// area `height()` pixels tall: the engine's own ticker aims at a fixed number of ticks
// and lets the labels run into each other when the chart is low.
class SpacedTicker : public QCPAxisTicker {
public:
    SpacedTicker(std::function<int()> height, int spacing) : m_height(std::move(height)), m_spacing(spacing)
    {}

protected:
    double getTickStep(const QCPRange& range) override
    {
        const int room = std::max(1, m_height() / std::max(1, m_spacing));
        const int count = std::clamp(room, 1, tickCount());
        const double exact = range.size() / count;
        if (!(exact > 0) || !std::isfinite(exact))
            return QCPAxisTicker::getTickStep(range);
        // The next readable step at or above the exact one, so no two ticks come closer.
        const double magnitude = std::pow(10.0, std::floor(std::log10(exact)));
        for (const double mantissa : {1.0, 2.0, 2.5, 5.0, 10.0})
            if (mantissa * magnitude >= exact * (1 - 1e-9))
                return mantissa * magnitude;
        return 10 * magnitude;
    }

private:
    std::function<int()> m_height;
    int m_spacing;
};

// Makes [lo, hi] a range the chart engine accepts: inside its largest range and not
// narrower than its smallest one. Ranges that are fine already come back unchanged.
std::pair<double, double> acceptableRange(double lo, double hi)
{
    if (QCPRange::validRange(lo, hi))
        return {lo, hi};
    const double limit = QCPRange::maxRange / 4;
    double centre = lo / 2 + hi / 2;
    if (!std::isfinite(centre))
        centre = 0;
    centre = std::clamp(centre, -limit, limit);
    const double half = std::max(std::fabs(hi / 2 - lo / 2), 1.0);
    lo = std::max(centre - half, -limit);
    hi = std::min(centre + half, limit);
    if (!QCPRange::validRange(lo, hi)) // a huge centre swallowed the half width
        return {centre - std::fabs(centre) / 10 - 1, centre + std::fabs(centre) / 10 + 1};
    return {lo, hi};
}

} // namespace

std::pair<double, double> valueAxisRange(double m, double M)
{
    double lo = m - std::fabs(m) / 10;
    double hi = M + std::fabs(M) / 10;
    if (lo == hi) { // every value is zero
        lo = -1;
        hi = 1;
    }
    return acceptableRange(lo, hi);
}

QString proposedPictureName(const QString& model, const QString& parameterName)
{
    return cleanFileName(model + QLatin1Char(',') + parameterName + QStringLiteral(".bmp"));
}

ResponseChart::ResponseChart(QWidget* parent) : QCustomPlot(parent)
{
    setInteractions(QCP::Interactions());
    legend->setVisible(false);
    setBackground(Qt::white);

    plotLayout()->insertRow(0);
    m_title = new QCPTextElement(this, QString(), arialFont(11));
    m_title->setTextColor(Qt::black);
    m_title->setMargins(QMargins(0, 1, 0, 0));
    plotLayout()->addElement(0, 0, m_title);

    xAxis->setLabel(QStringLiteral("Частота,МГц"));
    setUpAxis(xAxis);
    setUpAxis(yAxis);
    yAxis->setTicker(QSharedPointer<QCPAxisTicker>(
        new SpacedTicker([this] { return m_plotHeight; }, valueLabelSpacing())));
    yAxis->setRange(0, 100);

    Series1 = addGraph(xAxis, yAxis);
    Series1->setName(QStringLiteral("Series1"));
    // The engine draws a line series' pen of exactly one pixel as a hairline on screen,
    // which a screen that scales by two leaves half as thick as the text; a hair more than
    // one keeps the pen scaled and looks the same everywhere else.
    QPen curve = linePen(QColor(0, 0, 255));
    curve.setWidthF(1.05);
    Series1->setPen(curve);
    Series1->setLineStyle(QCPGraph::lsLine);
    Series1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
}

void ResponseChart::clearPoints()
{
    m_points.clear();
    Series1->data()->clear();
}

void ResponseChart::addPoint(double x, double y, const QString& label)
{
    // A point goes after every point whose x is not greater than its own. The series'
    // container does not promise that order among equal keys, so it gets the whole
    // sorted list, marked as sorted.
    const auto at = std::upper_bound(m_points.begin(), m_points.end(), x,
                                     [](double key, const Point& p) { return key < p.x; });
    m_points.insert(at, Point{x, y, label});
    QVector<QCPGraphData> data;
    data.reserve(static_cast<qsizetype>(m_points.size()));
    for (const Point& p : m_points)
        data.append(QCPGraphData(p.x, p.y));
    Series1->data()->set(data, true);
}

std::optional<std::pair<double, double>> ResponseChart::valueExtent() const
{
    std::optional<std::pair<double, double>> extent;
    for (const Point& p : m_points) {
        if (!std::isfinite(p.y))
            continue;
        if (!extent)
            extent = std::pair{p.y, p.y};
        extent->first = std::min(extent->first, p.y);
        extent->second = std::max(extent->second, p.y);
    }
    return extent;
}

void ResponseChart::fitValueAxis()
{
    if (const auto extent = valueExtent()) {
        const auto [lo, hi] = valueAxisRange(extent->first, extent->second);
        yAxis->setRange(lo, hi);
    }
}

void ResponseChart::fitFrequencyAxis()
{
    std::optional<std::pair<double, double>> extent;
    for (const Point& p : m_points) {
        if (!std::isfinite(p.x))
            continue;
        if (!extent)
            extent = std::pair{p.x, p.x};
        extent->first = std::min(extent->first, p.x);
        extent->second = std::max(extent->second, p.x);
    }
    if (!extent)
        return;
    auto [lo, hi] = *extent;
    if (lo == hi) {
        lo -= 1;
        hi += 1;
    }
    const auto range = acceptableRange(lo, hi);
    xAxis->setRange(range.first, range.second);
}

void ResponseChart::setTitleText(const QString& text)
{
    m_title->setText(text);
}

QString ResponseChart::titleText() const
{
    return m_title->text();
}

std::optional<ResponseChart::BandPixels> ResponseChart::bandPixels() const
{
    const auto band = m_band;
    if (!band)
        return std::nullopt;
    const QRect plot = axisRect()->rect();
    // Columns far outside the surface are pinned just beyond it: the band is clipped
    // there anyway, and the pixel numbers stay small.
    const double leftLimit = viewport().left() - 1;
    const double rightLimit = viewport().right() + 1;
    auto column = [&](double frequency) {
        const double px = xAxis->coordToPixel(frequency);
        if (std::isnan(px))
            return std::optional<int>();
        return std::optional<int>(static_cast<int>(std::lround(std::clamp(px, leftLimit, rightLimit))));
    };
    const auto x1 = column(band->first);
    const auto x2 = column(band->second);
    if (!x1 || !x2 || *x1 > *x2)
        return std::nullopt;
    return BandPixels{*x1, *x2, plot.top(), plot.bottom()};
}

void ResponseChart::finishDrawing(QPainter* painter)
{
    if (onAfterDraw)
        onAfterDraw();
    const auto band = bandPixels();
    if (!band)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter->setPen(Qt::NoPen);
    // One-pixel vertical lines from the bottom to the top edge of the plot area, one for
    // every column from x1 to x2: together exactly this rectangle, each pixel touched once.
    painter->fillRect(QRect(QPoint(band->x1, band->top), QPoint(band->x2, band->bottom)), kBandColour);
    painter->restore();
}

void ResponseChart::paintEvent(QPaintEvent* event)
{
    QCustomPlot::paintEvent(event);
    QPainter painter(this);
    finishDrawing(&painter);
}

void ResponseChart::draw(QCPPainter* painter)
{
    QCustomPlot::draw(painter);
    finishDrawing(painter);
}

QImage ResponseChart::renderImage(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1;
    const int w = std::max(width(), 1);
    const int h = std::max(height(), 1);
    QImage image(std::max(1, static_cast<int>(std::lround(w * scale))),
                 std::max(1, static_cast<int>(std::lround(h * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    QCPPainter painter(&image);
    if (scale != 1) {
        // Everything drawn larger, hairlines included, as the screen would at this scale.
        painter.setMode(QCPPainter::pmNonCosmetic);
        painter.scale(image.width() / double(w), image.height() / double(h));
    }
    toPainter(&painter, w, h);
    painter.end();
    // The picture's resolution says how large it is meant to be: the screen's inches.
    const double dotsPerMeter = 96.0 / 0.0254 * scale;
    image.setDotsPerMeterX(static_cast<int>(std::lround(dotsPerMeter)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dotsPerMeter)));
    return image;
}

QImage ResponseChart::renderImageForWidth(int widthPixels)
{
    return renderImage(double(std::max(widthPixels, 1)) / std::max(width(), 1));
}

void ResponseChart::saveBmpFile(const QString& path)
{
    const QImage image = renderImage();
    if (!image.save(path, "BMP"))
        throw Error(QStringLiteral("Не удаётся создать файл \"%1\"").arg(path).toStdString());
}

void ResponseChart::printChart()
{
    services().printImage([this](int widthPixels) { return renderImageForWidth(widthPixels); }, titleText());
}

int ResponseChart::valueLabelSpacing() const
{
    // A label's height and a little air above and below it.
    return QFontMetrics(yAxis->tickLabelFont()).height() + 4;
}

int ResponseChart::minimumReadableHeight()
{
    // The margins above and below the plot area do not depend on the chart's height; they
    // are measured with a title in place, as the chart always shows one. The plot area
    // needs room for five labels' spacing: the steps round up to readable numbers, by up
    // to twice, and even then the axis shows at least two labels.
    const QString title = m_title->text();
    if (title.isEmpty())
        m_title->setText(QStringLiteral("Ag"));
    replot(rpImmediateRefresh);
    const int margins = std::max(0, viewport().height() - axisRect()->rect().height());
    m_title->setText(title);
    replot(rpQueuedReplot);
    return margins + 5 * valueLabelSpacing();
}

void ResponseChart::updateLayout()
{
    // The ticks are made before the plot area gets its new height, so the height they are
    // made for is the viewport's less the margins of the last layout, which do not depend
    // on the height; a second pass puts it right where the margins changed after all.
    m_plotHeight = std::max(0, mViewport.height() - m_verticalMargins);
    QCustomPlot::updateLayout();
    const int actual = axisRect()->rect().height();
    m_verticalMargins = mViewport.height() - actual;
    if (actual != m_plotHeight) {
        m_plotHeight = actual;
        QCustomPlot::updateLayout();
    }
}

} // namespace dorvin
