// The parameter value grid: rows 1..96 show the value fields N1..N96 of the current
// parameter row; typed text is taken in with the locale's number rules; ranges are
// selected by dragging, with auto-scroll while the pointer is held beyond an edge.
#include "app/main_form.h"
#include "elements/type_pane.h"
#include <QLineEdit> // before the grid, whose editor pointer needs the full type

#include "widgets/text_grid.h"
#include "params/params_pane.h"
#include "params/response_chart.h"
#include "platform/profile_file.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <QGroupBox>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

using dorvin::ClientTable;
using dorvin::TableState;

namespace {

constexpr int kFirstRow = 1;
constexpr int kLastRow = 96;
constexpr int kValueColumn = 2;
// The grid's row height; the drag rules measure with it.
constexpr int kRowHeight = 20;

enum ScrollDirection { ScrollUp = 0, ScrollDown = 1 };

// Enabling the timer leaves a running one alone: restarting it at every move of the
// pointer would put its tick off for as long as the hand keeps moving.
void enableTimer(QTimer* timer)
{
    if (!timer->isActive())
        timer->start();
}

void repaintChart(TMainForm& form)
{
    if (form.Chart2)
        form.Chart2->update();
}

// Where the drag rules look for a row: the left edge of the value column.
int valueColumnLeft(const TextGrid& grid)
{
    const QRect cell = grid.cellRect(kValueColumn, 0);
    return cell.isValid() ? cell.left() : grid.colWidth(0) + grid.colWidth(1);
}

} // namespace

namespace dorvin {

Field& paramValueField(TMainForm& form, int k)
{
    ClientTable& params = form.DataM->ClParamsTable;
    const int index = form.n1FieldIndex + k - 1;
    if (form.n1FieldIndex < 0 || k < kFirstRow || k > kLastRow || index >= params.fieldCount())
        throw Error("Field index out of range");
    return params.field(index);
}

void beginParamEdit(ClientTable& params)
{
    if (params.state() != TableState::Edit && params.state() != TableState::Insert)
        params.edit();
}

bool paramsGridEnabled(const TMainForm& form)
{
    // The grid's own setting: the pane around it is disabled while no base is open, but the
    // rules that ask this speak of the grid alone.
    return form.ParamsGrid && !form.ParamsGrid->testAttribute(Qt::WA_ForceDisabled);
}

RowRange selectedParamRows(const TMainForm& form)
{
    const TGridRect rect = form.ParamsGrid->selection();
    return {rect.Top, rect.Bottom};
}

} // namespace dorvin

void TMainForm::RefreshParamValues()
{
    // The cells are about to show the row anew: an editor left open would keep the old
    // text over them and take it into whichever row is current at the next move.
    ParamsGrid->hideEditor();
    ClientTable& params = DataM->ClParamsTable;
    n1FieldIndex = params.fieldByName("N1").index();
    const bool hasRows = params.recordCount() != 0;
    ParamsGrid->setEnabled(hasRows);
    for (int k = kFirstRow; k <= kLastRow; ++k) {
        const QString text = hasRows ? dorvin::formatValueText(dorvin::paramValueField(*this, k).asFloat())
                                     : dorvin::zeroValueText();
        ParamsGrid->setCells(kValueColumn, k, text);
    }
    RebuildResponseChart();
}

void TMainForm::CommitParamCell()
{
    if (!ParamsGrid->editorMode())
        return;
    ClientTable& params = DataM->ClParamsTable;
    dorvin::beginParamEdit(params);
    const int row = ParamsGrid->row();
    // The typed text is taken in once: the editor closes here, before the cell shows the
    // value with three decimals, so the move that follows (Enter, Up, Down, a press on
    // another cell) does not take that rounded text in a second time.
    ParamsGrid->hideEditor();
    const std::optional<double> value = dorvin::parseValueText(ParamsGrid->cells(kValueColumn, row));
    if (!value)
        ParamsGrid->setCells(kValueColumn, row, dorvin::zeroValueText());
    // Stored as typed, not rounded to the three decimals shown.
    dorvin::paramValueField(*this, row).setFloat(value.value_or(0.0));
    RefreshParamValues();
}

void TMainForm::ParamsGridSelectCell(int col, int row, bool& canSelect)
{
    if (ParamsGrid->editorMode())
        CommitParamCell();
    canSelect = col >= kValueColumn && row != 0;
    TopBut->setEnabled(row != kFirstRow);
    UpBut->setEnabled(row != kFirstRow);
    ButtomBut->setEnabled(row != kLastRow);
    DownBut->setEnabled(row != kLastRow);
    repaintChart(*this);
    ParamsGrid->viewport()->update();
}

void TMainForm::ParamsGridKeyDown(int& key, Qt::KeyboardModifiers)
{
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (!enter && key != Qt::Key_Up && key != Qt::Key_Down)
        return;
    const bool editing = ParamsGrid->editorMode();
    CommitParamCell();
    if (!enter)
        return;
    // The key goes on to the grid, whose Enter opens a closed editor: on the next row made
    // current here, so values are typed as value, Enter, value, Enter. On the last row
    // Enter only takes the value in and closes the editor, which CommitParamCell has done.
    if (ParamsGrid->row() < kLastRow)
        ParamsGrid->selectCell(kValueColumn, ParamsGrid->row() + 1);
    else if (editing)
        key = 0;
}

void TMainForm::ParamsGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int)
{
    if (button != Qt::LeftButton)
        return;
    paramsDragFlag = 1;
    DragAnchorRow = ParamsGrid->selection().Top;
}

void TMainForm::ParamsGridMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    paramsDragFlag = 0;
    DragAnchorRow = -1;
    // A timer left running would scroll at the first tick of the next drag, wherever the
    // pointer is then.
    Timer1->stop();
}

void TMainForm::ParamsGridMouseMove(Qt::KeyboardModifiers, int, int y)
{
    if (paramsDragFlag != 1)
        return;
    const int topRow = ParamsGrid->topRow();
    const int visible = ParamsGrid->visibleRowCount();
    if (y < kRowHeight) {
        if (topRow >= 2) {
            paramsScrollDirection = ScrollUp;
            enableTimer(Timer1);
        }
        return;
    }
    if (y >= ParamsGrid->height()) {
        if (topRow + visible <= kLastRow) {
            paramsScrollDirection = ScrollDown;
            enableTimer(Timer1);
        }
        return;
    }
    Timer1->stop();
    const int r = ParamsGrid->mouseCoord(valueColumnLeft(*ParamsGrid), y).y();
    int first, last;
    if (DragAnchorRow <= r) {
        first = DragAnchorRow;
        last = r;
    } else {
        // Over the title row or past the last row: the range starts at the top row shown.
        first = r < topRow ? topRow : r;
        last = DragAnchorRow;
    }
    const TGridRect selection = ParamsGrid->selection();
    if (selection.Top == first && selection.Bottom == last)
        return;
    ParamsGrid->setSelection({kValueColumn, first, kValueColumn, last});
    repaintChart(*this);
}

void TMainForm::Timer1Timer()
{
    if (paramsDragFlag != 1)
        return;
    Timer1->stop();
    int first, last;
    if (paramsScrollDirection == ScrollDown) {
        if (ParamsGrid->topRow() + ParamsGrid->visibleRowCount() < kLastRow)
            ParamsGrid->setTopRow(ParamsGrid->topRow() + 1);
        first = DragAnchorRow;
        last = std::min(ParamsGrid->topRow() + ParamsGrid->visibleRowCount(), kLastRow);
    } else {
        if (ParamsGrid->topRow() > kFirstRow)
            ParamsGrid->setTopRow(ParamsGrid->topRow() - 1);
        first = ParamsGrid->topRow();
        last = DragAnchorRow;
    }
    ParamsGrid->setSelection({kValueColumn, first, kValueColumn, last});
    for (int r = std::min(first, last); r <= std::max(first, last); ++r)
        ParamsGrid->invalidateCell(kValueColumn, r);
    repaintChart(*this);
    // Keeps the timer going while the pointer is still held beyond the edge.
    const int y = paramsScrollDirection == ScrollDown ? ParamsGrid->height() + 10 : -10;
    ParamsGridMouseMove(Qt::NoModifier, valueColumnLeft(*ParamsGrid), y);
}

void TMainForm::ParamsGridSelectionCh()
{
    repaintChart(*this);
}

void TMainForm::ParamsGridEnter()
{
    dorvin::setCaptionColour(ParamsGroupBox, dorvin::kFocusedCaption);
    ToolBar2Resize();
}

void TMainForm::ParamsGridExit()
{
    // Text still in the cell editor is not taken in: leaving the grid keeps the stored value.
    AppButClick();
    dorvin::setCaptionColour(ParamsGroupBox, dorvin::kUnfocusedCaption);
    ToolBar2Resize();
}

void TMainForm::TopButClick()
{
    ParamsGrid->selectCell(kValueColumn, kFirstRow);
}

void TMainForm::UpButClick()
{
    const int row = ParamsGrid->row();
    if (row > kFirstRow)
        ParamsGrid->selectCell(kValueColumn, row - 1);
}

void TMainForm::DownButClick()
{
    const int row = ParamsGrid->row();
    if (row >= kFirstRow && row < kLastRow)
        ParamsGrid->selectCell(kValueColumn, row + 1);
}

void TMainForm::ButtomButClick()
{
    ParamsGrid->selectCell(kValueColumn, kLastRow);
}

void TMainForm::AppButClick()
{
    if (!DataM)
        return;
    ClientTable& params = DataM->ClParamsTable;
    if (params.state() == TableState::Edit)
        params.post();
    RefreshParamValues();
}

void TMainForm::CancelClick()
{
    if (!DataM)
        return;
    DataM->ClParamsTable.cancel();
    RefreshParamValues();
}

void TMainForm::ParamsTableBeforeScroll()
{
    if (!DataM)
        return;
    ClientTable& params = DataM->ClParamsTable;
    if (params.state() == TableState::Edit)
        params.post();
}

void TMainForm::ParamsTableAfterScroll()
{
    const QString model = dorvin::fromCp1251(DataM->ClElemsTable.fieldByName("MODEL").asString());
    ParamsGroupBox->setTitle(QStringLiteral("Параметры элемента:") + model);
    if (dorvin::ResponseChart* chart = dorvin::responseChart(*this)) {
        const QString parameter = dorvin::fromCp1251(DataM->ClParamsTable.fieldByName("PARNAME").asString());
        chart->setTitleText(model + QStringLiteral("    ") + parameter);
    }
    RefreshParamValues();
    // The indicators follow state changes; a base just opened has had none of the
    // parameter table yet, so they are brought in line here as well.
    ParamsSourceStateChange();
}

void TMainForm::DBNavigator2Click(dorvin::NavigateBtn)
{
    ParamsGrid->setFocus(Qt::OtherFocusReason);
}

void TMainForm::ParamsSourceStateChange()
{
    if (!DataM)
        return;
    const bool paramsEditing = DataM->ClParamsTable.state() == TableState::Edit;
    const bool editing = paramsEditing || DataM->ClElemsTable.state() == TableState::Edit;
    setStatusPanelText(1, editing ? QStringLiteral("Редактирование") : QStringLiteral("Просмотр"));
    CancBut->setEnabled(paramsEditing);
    AppBut->setEnabled(paramsEditing);
}

void TMainForm::SelectAllClick()
{
    ParamsGrid->setSelection({kValueColumn, kFirstRow, kValueColumn, kLastRow});
    repaintChart(*this);
}

void TMainForm::ActionSelectAllUpdate()
{
    ActionSelectAll->setEnabled(dorvin::paramsGridEnabled(*this));
}

void TMainForm::ActionApplyUpdate()
{
    if (!DataM)
        return;
    ActionApply->setEnabled(DataM->ClParamsTable.state() == TableState::Edit);
}

void TMainForm::ActionCancelUpdate()
{
    if (!DataM)
        return;
    ActionCancel->setEnabled(DataM->ClParamsTable.state() == TableState::Edit);
}

void TMainForm::EditMenuPopup()
{
    const dorvin::RowRange rows = dorvin::selectedParamRows(*this);
    const bool range = rows.top < rows.bottom;
    FillUp->setEnabled(range);
    FillDown->setEnabled(range);
    CmExtra->setEnabled(range);
    const bool editing = DataM->ClParamsTable.state() == TableState::Edit;
    CmCanc->setEnabled(editing);
    CmApplyCh->setEnabled(editing);
}
