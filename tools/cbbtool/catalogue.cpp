#include "catalogue.h"

#include "catalogue_layout.h"

#include "metafile/metafile.h"
#include "metafile/metafile_player.h"
#include "params/response_chart.h"
#include "platform/value_text.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

namespace cbbtool {

namespace {

using Geo = PageGeometry;

constexpr int kPoints = 96;
constexpr double kSymbolBox = 88; // the type pane's picture box
constexpr double kRowHeight = 17;
constexpr double kChartColumns = 3;
constexpr double kChartGap = 8;
constexpr double kChartHeight = 140; // three elements of five parameters fill a page
constexpr double kCaptionHeight = 20;

QString text(const dorvin::Field& f)
{
    return QString::fromStdString(dorvin::cp1251ToUtf8(f.asString()));
}

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

struct FrequencyPoint {
    std::optional<double> frequency;
    QString channel;
};

class Catalogue {
public:
    Catalogue(TDataM& dm, QString title) : dm_(dm), title_(std::move(title))
    {
        // Frequency point k is the k-th row of the plan in frequency order.
        auto& f = dm_.BaseFreqs;
        for (f.first(); !f.eof() && static_cast<int>(points_.size()) < kPoints; f.next())
            points_.push_back(
                {dm_.BaseFreqsFREQ.isNull() ? std::optional<double>() : dm_.BaseFreqsFREQ.asFloat(),
                 text(dm_.BaseFreqsNAME)});
        chart_.resize(static_cast<int>(chartWidth()), static_cast<int>(kChartHeight));
    }

    // Lays the catalogue out, drawing with `painter` or, without one, only measuring.
    // Returns the number of pages.
    int layOut(QCPPainter* painter, QPdfWriter* pdf, const CatalogueProgress& progress)
    {
        painter_ = painter;
        PageCursor cursor([&](int page) {
            if (pdf)
                pdf->newPage();
            footer(page);
            if (progress)
                progress(page - 1, pages_);
        });
        cursor_ = &cursor;
        footer(1);
        contents();
        std::size_t t = 0;
        auto& groups = dm_.ClGroupsTable;
        for (groups.first(); !groups.eof(); groups.next(), ++t) {
            cursor.newPage();
            if (!painter_)
                typePages_.push_back(cursor.page());
            typeSection();
        }
        if (progress && painter_)
            progress(cursor.page(), pages_);
        pages_ = cursor.page();
        return pages_;
    }

private:
    static double chartWidth()
    {
        return (Geo::contentWidth() - (kChartColumns - 1) * kChartGap) / kChartColumns;
    }

    void footer(int page)
    {
        if (!painter_)
            return;
        painter_->setFont(font(7.5));
        painter_->setPen(Qt::darkGray);
        const QRectF line(Geo::left(), Geo::kHeight - Geo::kMargin - 14, Geo::contentWidth(), 14);
        painter_->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, title_);
        painter_->drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                           QStringLiteral("стр. %1 из %2").arg(page).arg(pages_));
        painter_->setPen(Qt::black);
    }

    void textLine(const QString& s, const QFont& f, double height, Qt::Alignment align = Qt::AlignLeft,
                  double x = Geo::left(), double width = Geo::contentWidth())
    {
        if (!painter_)
            return;
        painter_->setFont(f);
        const QRectF box(x, cursor_->y(), width, height);
        painter_->drawText(box, align | Qt::AlignVCenter,
                           QFontMetricsF(f, painter_->device()).elidedText(s, Qt::ElideRight, width));
    }

    void contents()
    {
        textLine(QStringLiteral("Каталог базы элементов"), font(18, true), 34);
        cursor_->advance(34);
        textLine(title_, font(10), 20);
        cursor_->advance(34);
        textLine(QStringLiteral("Содержание"), font(13, true), 26);
        cursor_->advance(30);
        std::size_t t = 0;
        auto& groups = dm_.ClGroupsTable;
        for (groups.first(); !groups.eof(); groups.next(), ++t) {
            cursor_->ensure(kRowHeight);
            const QString page = t < typePages_.size() ? QString::number(typePages_[t]) : QString();
            textLine(text(dm_.ClGroupsTableGRNAME), font(10), kRowHeight, Qt::AlignLeft, Geo::left(),
                     Geo::contentWidth() - 60);
            textLine(page, font(10), kRowHeight, Qt::AlignRight);
            if (painter_) {
                painter_->setPen(QPen(Qt::lightGray, 0.5, Qt::DotLine));
                painter_->drawLine(QPointF(Geo::left(), cursor_->y() + kRowHeight - 3),
                                   QPointF(Geo::right(), cursor_->y() + kRowHeight - 3));
                painter_->setPen(Qt::black);
            }
            cursor_->advance(kRowHeight);
        }
    }

    void typeSection()
    {
        const double top = cursor_->y();
        textLine(text(dm_.ClGroupsTableGRNAME), font(16, true), 30, Qt::AlignLeft, Geo::left(),
                 Geo::contentWidth() - kSymbolBox - 16);
        cursor_->advance(32);
        textLine(QStringLiteral("Тип %1, элементов: %2")
                     .arg(text(dm_.ClGroupsTableGROUP))
                     .arg(dm_.ClElemsTable.recordCount()),
                 font(9), 18, Qt::AlignLeft, Geo::left(), Geo::contentWidth() - kSymbolBox - 16);
        symbol(QPointF(Geo::right() - kSymbolBox, top));
        cursor_->advance(std::max(kSymbolBox + 16 - 32, 18.0));

        auto& elems = dm_.ClElemsTable;
        if (elems.recordCount() == 0) {
            textLine(QStringLiteral("Элементов нет."), font(9), kRowHeight);
            cursor_->advance(kRowHeight);
            return;
        }
        elementTable();
        cursor_->advance(14);
        cursor_->ensure(26 + kCaptionHeight + kChartHeight);
        textLine(QStringLiteral("Частотные характеристики"), font(12, true), 24);
        cursor_->advance(26);
        for (elems.first(); !elems.eof(); elems.next())
            elementCharts();
    }

    void symbol(QPointF at)
    {
        if (!painter_)
            return;
        const QRectF box(at, QSizeF(kSymbolBox, kSymbolBox));
        painter_->fillRect(box, Qt::white);
        painter_->setPen(QPen(Qt::lightGray, 0.5));
        painter_->drawRect(box);
        painter_->setPen(Qt::black);
        const std::string bytes = dm_.ClGroupsTableB1.asBytes();
        if (bytes.empty())
            return;
        try {
            const dorvin::Metafile picture = dorvin::Metafile::fromBytes(bytes);
            const QRect r = dorvin::symbolRect(
                picture, QSize(static_cast<int>(kSymbolBox), static_cast<int>(kSymbolBox)));
            painter_->save();
            painter_->setClipRect(box);
            dorvin::drawMetafile(*painter_, picture, QRectF(r).translated(at));
            painter_->restore();
        } catch (const dorvin::Error&) {
            // A damaged symbol leaves its box empty, as in the window.
        }
    }

    // Code, model and price columns of the element table, from the left edge.
    struct Columns {
        double code = Geo::left(), model = Geo::left() + 110, price = Geo::right() - 130, end = Geo::right();
    };

    void tableHeader()
    {
        const Columns c;
        if (painter_)
            painter_->fillRect(QRectF(Geo::left(), cursor_->y(), Geo::contentWidth(), kRowHeight),
                               QColor(230, 236, 236));
        textLine(QStringLiteral("Код"), font(9, true), kRowHeight, Qt::AlignLeft, c.code + 4,
                 c.model - c.code - 8);
        textLine(QStringLiteral("Модель"), font(9, true), kRowHeight, Qt::AlignLeft, c.model + 4,
                 c.price - c.model - 8);
        textLine(QStringLiteral("Цена"), font(9, true), kRowHeight, Qt::AlignRight, c.price + 4,
                 c.end - c.price - 8);
        cursor_->advance(kRowHeight);
    }

    void elementTable()
    {
        const Columns c;
        cursor_->ensure(2 * kRowHeight);
        tableHeader();
        auto& elems = dm_.ClElemsTable;
        int row = 0;
        for (elems.first(); !elems.eof(); elems.next(), ++row) {
            if (cursor_->ensure(kRowHeight))
                tableHeader();
            if (painter_) {
                if (row % 2)
                    painter_->fillRect(QRectF(Geo::left(), cursor_->y(), Geo::contentWidth(), kRowHeight),
                                       QColor(246, 248, 248));
                const QString price = dm_.ClElemsTableCENA.isNull()
                                          ? QString()
                                          : dorvin::formatMoneyText(dm_.ClElemsTableCENA.asMoney());
                textLine(text(dm_.ClElemsTableCODE), font(9), kRowHeight, Qt::AlignLeft, c.code + 4,
                         c.model - c.code - 8);
                textLine(text(dm_.ClElemsTableMODEL), font(9), kRowHeight, Qt::AlignLeft, c.model + 4,
                         c.price - c.model - 8);
                textLine(price, font(9), kRowHeight, Qt::AlignRight, c.price + 4, c.end - c.price - 8);
            }
            cursor_->advance(kRowHeight);
        }
    }

    void elementCharts()
    {
        auto& params = dm_.ClParamsTable;
        const int count = params.recordCount();
        const int rows = (count + static_cast<int>(kChartColumns) - 1) / static_cast<int>(kChartColumns);
        cursor_->ensure(kCaptionHeight + std::max(rows, 1) * (kChartHeight + kChartGap));
        QString caption = text(dm_.ClElemsTableMODEL);
        if (!dm_.ClElemsTableCODE.isNull())
            caption += QStringLiteral(" — код ") + text(dm_.ClElemsTableCODE);
        textLine(caption, font(10, true), kCaptionHeight);
        cursor_->advance(kCaptionHeight);
        if (count == 0) {
            textLine(QStringLiteral("Параметров нет."), font(9), kRowHeight);
            cursor_->advance(kRowHeight + kChartGap);
            return;
        }
        int i = 0;
        for (params.first(); !params.eof(); params.next(), ++i) {
            const int column = i % static_cast<int>(kChartColumns);
            if (column == 0 && i > 0)
                cursor_->advance(kChartHeight + kChartGap);
            if (painter_)
                drawChart(QPointF(Geo::left() + column * (chartWidth() + kChartGap), cursor_->y()));
        }
        cursor_->advance(kChartHeight + kChartGap);
    }

    // The chart of the current parameter row, built as the parameter pane builds it.
    void drawChart(QPointF at)
    {
        chart_.clearPoints();
        // The caption above the charts names the element; at this width the window's
        // "MODEL    PARNAME" title would be cut off at both ends.
        chart_.setTitleText(text(dm_.ClParamsTablePARNAME));
        for (std::size_t k = 0; k < points_.size(); ++k)
            if (points_[k].frequency)
                chart_.addPoint(*points_[k].frequency, dm_.ClParamsTableN[k]->asFloat(), points_[k].channel);
        chart_.fitFrequencyAxis();
        chart_.fitValueAxis();
        painter_->save();
        painter_->translate(at);
        chart_.toPainter(painter_, static_cast<int>(chartWidth()), static_cast<int>(kChartHeight));
        painter_->restore();
    }

    TDataM& dm_;
    QString title_;
    std::vector<FrequencyPoint> points_;
    dorvin::ResponseChart chart_;
    QCPPainter* painter_ = nullptr;
    PageCursor* cursor_ = nullptr;
    std::vector<int> typePages_;
    int pages_ = 0;
};

// Painting text and widgets needs a GUI application; without a display, off screen.
class ToolkitApp {
public:
    ToolkitApp()
    {
        if (QCoreApplication::instance())
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[8] = "cbbtool";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

} // namespace

int writeCatalogue(const std::string& basePath, const std::string& pdfPath, const CatalogueProgress& progress)
{
    TDataM dm;
    dm.LoadBase(basePath);
    const QString path = QString::fromStdString(pdfPath);
    Catalogue catalogue(dm, QFileInfo(QString::fromStdString(basePath)).fileName());
    const int pages = catalogue.layOut(nullptr, nullptr, {});

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw dorvin::Error("Не удаётся создать файл \"" + pdfPath + "\"");
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setResolution(96);
        pdf.setTitle(QStringLiteral("Каталог базы элементов ")
                     + QFileInfo(QString::fromStdString(basePath)).fileName());
        pdf.setCreator(QStringLiteral("cbbtool"));
        QCPPainter painter(&pdf);
        if (!painter.isActive())
            throw dorvin::Error("Не удаётся создать файл \"" + pdfPath + "\"");
        catalogue.layOut(&painter, &pdf, progress);
        painter.end();
    }
    if (!file.commit())
        throw dorvin::Error("Не удаётся записать файл \"" + pdfPath + "\"");
    return pages;
}

int runCatalogueCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        std::cerr << "usage: cbbtool catalogue BASE OUT.pdf\n";
        return 2;
    }
    ToolkitApp app;
    QElapsedTimer shown;
    shown.start();
    bool any = false;
    try {
        const int pages = writeCatalogue(args[0], args[1], [&](int done, int total) {
            if (done < total && shown.elapsed() < 500 && any)
                return;
            shown.restart();
            any = true;
            std::cerr << "\rcatalogue: page " << done << " of " << total << std::flush;
        });
        if (any)
            std::cerr << '\n';
        std::cout << pages << " pages written\n";
    } catch (const std::exception& e) {
        if (any)
            std::cerr << '\n';
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace cbbtool
