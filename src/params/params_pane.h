#pragma once
// Pieces the parameter pane's handler files share. The handlers themselves are members
// of TMainForm (app/main_form.h); what lives here is their common ground: the chart
// factory the window's layout calls, the value fields of the current parameter row, and
// the grid's selection.
#include <QString>

class QCustomPlot;
class QWidget;
class TMainForm;

namespace dorvin {

class ClientTable;
class Field;
class ResponseChart;

// Creates the frequency response chart for the window's layout, with its hook to
// TMainForm::Chart2AfterDraw, and makes Ctrl+C and Ctrl+V the parameter clipboard's keys
// everywhere in the window.
QCustomPlot* createResponseChart(TMainForm* form, QWidget* parent);

// The window's chart as the class that draws it; nullptr for any other chart.
ResponseChart* responseChart(const TMainForm& form);

// The value field of frequency point k (1..96) of the current parameter row: the field at
// the position of N1 plus k - 1. Throws dorvin::Error if the table has no such field.
Field& paramValueField(TMainForm& form, int k);

// Puts the parameter table into edit state unless it is being edited already.
void beginParamEdit(ClientTable& params);

// Whether the grid itself is enabled (the current element has parameter rows),
// regardless of the pane around it, which is disabled while no base is open.
bool paramsGridEnabled(const TMainForm& form);

// The selected rows (Top, Bottom) of the value column.
struct RowRange {
    int top;
    int bottom;
};
RowRange selectedParamRows(const TMainForm& form);

} // namespace dorvin
