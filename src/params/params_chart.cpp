// The frequency response chart in the parameter pane: rebuilding it from the current
// parameter row, the band of the grid's selection, printing and saving as a picture.
#include "params/params_pane.h"

#include "params/response_chart.h"
#include "platform/services.h"
#include "platform/text_codec.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "widgets/text_grid.h"

#include <qcustomplot.h>

namespace {

constexpr int kChannelColumn = 0;
constexpr int kFrequencyColumn = 1;

} // namespace

void ParamsPane::RebuildResponseChart()
{
    dorvin::ResponseChart* chart = responseChart();
    if (!chart)
        return;
    chart->clearPoints();
    if (m_dm->ClParamsTable.recordCount() != 0) {
        for (int k = 1; k <= 96; ++k) {
            const QString frequency = ParamsGrid->cells(kFrequencyColumn, k);
            if (frequency.isEmpty())
                continue;
            // Frequency cells are written by the program; one that is not a number gives
            // no point rather than stopping every refresh of the grid.
            const std::optional<double> x = dorvin::parseValueText(frequency);
            if (!x)
                continue;
            chart->addPoint(*x, paramValueField(k).asFloat(), ParamsGrid->cells(kChannelColumn, k));
        }
        chart->fitFrequencyAxis();
        chart->fitValueAxis();
    }
    chart->replot(QCustomPlot::rpQueuedReplot);
}

void ParamsPane::Chart2AfterDraw()
{
    dorvin::ResponseChart* chart = responseChart();
    if (!chart)
        return;
    const dorvin::RowRange rows = selectedRows();
    const auto f1 = dorvin::parseValueText(ParamsGrid->cells(kFrequencyColumn, rows.top));
    const auto f2 = dorvin::parseValueText(ParamsGrid->cells(kFrequencyColumn, rows.bottom));
    if (f1 && f2)
        chart->setBand(std::pair{*f1, *f2});
    else
        chart->setBand(std::nullopt);
}

void ParamsPane::Chart1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int)
{
    // The chart can be neither zoomed nor panned, so undoing a zoom comes down to a redraw.
    if (button == Qt::RightButton)
        Chart2->replot();
}

void ParamsPane::ActionPrintGraphExecute()
{
    if (dorvin::ResponseChart* chart = responseChart())
        chart->printChart();
}

void ParamsPane::ActionSaveGraphAsPictureExecute()
{
    dorvin::ResponseChart* chart = responseChart();
    if (!chart)
        return;
    const QString model = dorvin::fromCp1251(m_dm->ClElemsTable.fieldByName("MODEL").asString());
    const QString parameter = dorvin::fromCp1251(m_dm->ClParamsTable.fieldByName("PARNAME").asString());
    SavePictureDialog1.fileName = dorvin::proposedPictureName(model, parameter);
    SavePictureDialog1.defaultExtension = QStringLiteral("bmp");
    SavePictureDialog1.filter = QStringLiteral("Картинки (*.bmp)|*.bmp");
    SavePictureDialog1.initialDir.clear();
    SavePictureDialog1.overwritePrompt = false;
    const QString path = dorvin::services().saveFile(SavePictureDialog1);
    if (path.isEmpty())
        return;
    chart->saveBmpFile(path);
}
