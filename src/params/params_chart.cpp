// The frequency response chart in the window: rebuilding it from the current parameter
// row, the band of the grid's selection, printing and saving as a picture; and the
// window-wide keys of the parameter clipboard.
#include "app/main_form.h"
#include <QLineEdit> // before the grid, whose editor pointer needs the full type

#include "widgets/text_grid.h"
#include "params/params_pane.h"
#include "params/response_chart.h"
#include "platform/profile_file.h"
#include "platform/services.h"
#include "platform/value_text.h"
#include "storage/data_module.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

namespace {

constexpr int kChannelColumn = 0;
constexpr int kFrequencyColumn = 1;

// Ctrl+C and Ctrl+V belong to the window: they copy from and paste into the parameter
// grid whichever control has the focus. A line editor (a grid's cell editor) claims these
// keys for itself before the window's shortcuts are looked at, so they are taken away
// from every widget of the window here and handed to the two commands.
class ParamClipboardKeys : public QObject {
public:
    explicit ParamClipboardKeys(TMainForm* form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() != Qt::ControlModifier || (key->key() != Qt::Key_C && key->key() != Qt::Key_V))
            return false;
        if (static_cast<QWidget*>(watched)->window() != m_form)
            return false;
        QAction* command = key->key() == Qt::Key_C ? m_form->ActionCopyParams : m_form->ActionPastParams;
        if (command)
            m_form->executeAction(command);
        return true;
    }

private:
    TMainForm* m_form;
};

} // namespace

namespace dorvin {

QCustomPlot* createResponseChart(TMainForm* form, QWidget* parent)
{
    auto* chart = new ResponseChart(parent);
    chart->onAfterDraw = [form, chart] {
        // Runs in the middle of painting, where nothing may escape: a band that cannot be
        // worked out is simply not drawn.
        try {
            form->Chart2AfterDraw();
        } catch (...) {
            chart->setBand(std::nullopt);
        }
    };
    qApp->installEventFilter(new ParamClipboardKeys(form));
    return chart;
}

ResponseChart* responseChart(const TMainForm& form)
{
    return qobject_cast<ResponseChart*>(form.Chart2);
}

} // namespace dorvin

void TMainForm::RebuildResponseChart()
{
    dorvin::ResponseChart* chart = dorvin::responseChart(*this);
    if (!chart)
        return;
    chart->clearPoints();
    if (DataM->ClParamsTable.recordCount() != 0) {
        for (int k = 1; k <= 96; ++k) {
            const QString frequency = ParamsGrid->cells(kFrequencyColumn, k);
            if (frequency.isEmpty())
                continue;
            // Frequency cells are written by the program; one that is not a number gives
            // no point rather than stopping every refresh of the grid.
            const std::optional<double> x = dorvin::parseValueText(frequency);
            if (!x)
                continue;
            chart->addPoint(*x, dorvin::paramValueField(*this, k).asFloat(),
                            ParamsGrid->cells(kChannelColumn, k));
        }
        chart->fitFrequencyAxis();
        chart->fitValueAxis();
    }
    chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::Chart2AfterDraw()
{
    dorvin::ResponseChart* chart = dorvin::responseChart(*this);
    if (!chart)
        return;
    const dorvin::RowRange rows = dorvin::selectedParamRows(*this);
    const auto f1 = dorvin::parseValueText(ParamsGrid->cells(kFrequencyColumn, rows.top));
    const auto f2 = dorvin::parseValueText(ParamsGrid->cells(kFrequencyColumn, rows.bottom));
    if (f1 && f2)
        chart->setBand(std::pair{*f1, *f2});
    else
        chart->setBand(std::nullopt);
}

void TMainForm::Chart1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int)
{
    // The chart can be neither zoomed nor panned, so undoing a zoom comes down to a redraw.
    if (button == Qt::RightButton)
        Chart2->replot();
}

void TMainForm::ActionPrintGraphExecute()
{
    if (dorvin::ResponseChart* chart = dorvin::responseChart(*this))
        chart->printChart();
}

void TMainForm::ActionSaveGraphAsPictureExecute()
{
    dorvin::ResponseChart* chart = dorvin::responseChart(*this);
    if (!chart)
        return;
    const QString model = dorvin::fromCp1251(DataM->ClElemsTable.fieldByName("MODEL").asString());
    const QString parameter = dorvin::fromCp1251(DataM->ClParamsTable.fieldByName("PARNAME").asString());
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
