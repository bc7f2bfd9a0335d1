// Commands over the selected rows of the parameter grid: fill down and up, interpolation
// over frequency, and the parameter clipboard. Source values are read from the cell texts,
// as shown; every value is checked and computed before the row is touched, so a command
// that fails reports its error and changes nothing.
#include "params/params_pane.h"

#include "params/fill_interpolation.h"
#include "params/param_clipboard_text.h"
#include "platform/services.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "widgets/text_grid.h"

#include <QListWidget>

#include <vector>

namespace {

constexpr int kFrequencyColumn = 1;
constexpr int kValueColumn = 2;

} // namespace

void ParamsPane::FillDownClick()
{
    fillFrom(selectedRows().top);
}

void ParamsPane::FillUpClick()
{
    fillFrom(selectedRows().bottom);
}

void ParamsPane::CmExtraClick()
{
    const dorvin::RowRange rows = selectedRows();
    const double y1 = dorvin::valueFromText(ParamsGrid->cells(kValueColumn, rows.top));
    const double y2 = dorvin::valueFromText(ParamsGrid->cells(kValueColumn, rows.bottom));
    const double f1 = dorvin::valueFromText(ParamsGrid->cells(kFrequencyColumn, rows.top));
    const double f2 = dorvin::valueFromText(ParamsGrid->cells(kFrequencyColumn, rows.bottom));
    // Equal end frequencies are reported before the inner rows are looked at.
    dorvin::interpolatedValues(y1, y2, f1, f2, {});
    std::vector<double> frequencies;
    for (int r = rows.top + 1; r < rows.bottom; ++r)
        frequencies.push_back(dorvin::valueFromText(ParamsGrid->cells(kFrequencyColumn, r)));
    const std::vector<double> values = dorvin::interpolatedValues(y1, y2, f1, f2, frequencies);
    // With two rows there is nothing in between, but the row still enters edit state.
    writeParamValues(rows.top + 1, values);
    RefreshParamValues();
}

void ParamsPane::CopyItemClick()
{
    CopyParamsToClipboard();
}

void ParamsPane::CopyParamsToClipboard()
{
    const dorvin::RowRange rows = selectedRows();
    QStringList values;
    for (int r = rows.top; r <= rows.bottom; ++r)
        values.append(ParamsGrid->cells(kValueColumn, r));
    dorvin::services().setClipboardText(dorvin::paramClipboardText(values));
}

void ParamsPane::PasteItemClick()
{
    dorvin::Services& desktop = dorvin::services();
    if (!desktop.clipboardHasText())
        return;
    // One line more than a paste can use is enough to know that it does not fit.
    const QStringList lines =
        dorvin::splitClipboardLines(desktop.clipboardText(), dorvin::kMaxParamClipboardLines + 1);
    PasteBox->clear();
    PasteBox->addItems(lines);
    const int top = selectedRows().top;
    switch (dorvin::checkParamPaste(lines, top)) {
    case dorvin::PasteCheck::NotParameters: RefreshParamValues(); return;
    case dorvin::PasteCheck::NoRoom:
        desktop.beep();
        desktop.message(QStringLiteral("Нет места для вставки!"));
        PasteBox->clear();
        return;
    case dorvin::PasteCheck::Fits: break;
    }
    // Every line is read before anything is written: a line that is not a number is
    // reported and the row keeps all its values.
    std::vector<double> values;
    for (qsizetype i = 1; i < lines.size(); ++i)
        values.push_back(dorvin::valueFromText(lines[i]));
    writeParamValues(top, values);
    RefreshParamValues();
}

// Writes values into rows first, first + 1, ...: the value text into the cell and the
// value itself into the row's value field.
void ParamsPane::writeParamValues(int first, const std::vector<double>& values)
{
    dorvin::beginParamEdit(m_dm->ClParamsTable);
    int row = first;
    for (const double v : values) {
        ParamsGrid->setCells(kValueColumn, row, dorvin::formatValueText(v));
        paramValueField(row).setFloat(v);
        ++row;
    }
}

void ParamsPane::fillFrom(int sourceRow)
{
    const dorvin::RowRange rows = selectedRows();
    const double v = dorvin::valueFromText(ParamsGrid->cells(kValueColumn, sourceRow));
    writeParamValues(rows.top, dorvin::filledValues(v, rows.bottom - rows.top + 1));
    RefreshParamValues();
}
