// The parameter value grid: rows 1..96 show the value fields N1..N96 of the current
// parameter row; typed text is taken in with the locale's number rules; ranges are
// selected by dragging, with auto-scroll while the pointer is held beyond an edge.
#include "params/params_pane.h"

#include "panes/pane_host.h"
#include "params/response_chart.h"
#include "platform/text_codec.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "widgets/caption_colour.h"
#include "widgets/text_grid.h"

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

// Where the drag rules look for a row: the left edge of the value column.
int valueColumnLeft(const dorvin::TextGrid& grid)
{
    const QRect cell = grid.cellRect(kValueColumn, 0);
    return cell.isValid() ? cell.left() : grid.colWidth(0) + grid.colWidth(1);
}

} // namespace

namespace dorvin {

void beginParamEdit(ClientTable& params)
{
    if (params.state() != TableState::Edit && params.state() != TableState::Insert)
        params.edit();
}

} // namespace dorvin

void ParamsPane::RefreshParamValues()
{
    // The cells are about to show the row anew: an editor left open would keep the old
    // text over them and take it into whichever row is current at the next move.
    ParamsGrid->hideEditor();
    ClientTable& params = m_dm->ClParamsTable;
    m_n1FieldIndex = params.fieldByName("N1").index();
    const bool hasRows = params.recordCount() != 0;
    ParamsGrid->setEnabled(hasRows);
    for (int k = kFirstRow; k <= kLastRow; ++k) {
        const QString text =
            hasRows ? dorvin::formatValueText(paramValueField(k).asFloat()) : dorvin::zeroValueText();
        ParamsGrid->setCells(kValueColumn, k, text);
    }
    RebuildResponseChart();
}

void ParamsPane::CommitParamCell()
{
    if (!ParamsGrid->editorMode())
        return;
    ClientTable& params = m_dm->ClParamsTable;
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
    paramValueField(row).setFloat(value.value_or(0.0));
    RefreshParamValues();
}

void ParamsPane::ParamsGridSelectCell(int col, int row, bool& canSelect)
{
    if (ParamsGrid->editorMode())
        CommitParamCell();
    canSelect = col >= kValueColumn && row != 0;
    TopBut->setEnabled(row != kFirstRow);
    UpBut->setEnabled(row != kFirstRow);
    ButtomBut->setEnabled(row != kLastRow);
    DownBut->setEnabled(row != kLastRow);
    repaintChart();
    ParamsGrid->viewport()->update();
}

void ParamsPane::ParamsGridKeyDown(int& key, Qt::KeyboardModifiers)
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

void ParamsPane::ParamsGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, int, int)
{
    if (button != Qt::LeftButton)
        return;
    m_dragFlag = 1;
    m_dragAnchorRow = ParamsGrid->selection().Top;
}

void ParamsPane::ParamsGridMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    m_dragFlag = 0;
    m_dragAnchorRow = -1;
    // A timer left running would scroll at the first tick of the next drag, wherever the
    // pointer is then.
    Timer1->stop();
}

void ParamsPane::ParamsGridMouseMove(Qt::KeyboardModifiers, int, int y)
{
    if (m_dragFlag != 1)
        return;
    const int topRow = ParamsGrid->topRow();
    const int visible = ParamsGrid->visibleRowCount();
    if (y < kRowHeight) {
        if (topRow >= 2) {
            m_scrollDirection = ScrollUp;
            enableTimer(Timer1);
        }
        return;
    }
    if (y >= ParamsGrid->height()) {
        if (topRow + visible <= kLastRow) {
            m_scrollDirection = ScrollDown;
            enableTimer(Timer1);
        }
        return;
    }
    Timer1->stop();
    const int r = ParamsGrid->mouseCoord(valueColumnLeft(*ParamsGrid), y).y();
    int first, last;
    if (m_dragAnchorRow <= r) {
        first = m_dragAnchorRow;
        last = r;
    } else {
        // Over the title row or past the last row: the range starts at the top row shown.
        first = r < topRow ? topRow : r;
        last = m_dragAnchorRow;
    }
    const dorvin::TGridRect selection = ParamsGrid->selection();
    if (selection.Top == first && selection.Bottom == last)
        return;
    ParamsGrid->setSelection({kValueColumn, first, kValueColumn, last});
    repaintChart();
}

void ParamsPane::Timer1Timer()
{
    if (m_dragFlag != 1)
        return;
    Timer1->stop();
    int first, last;
    if (m_scrollDirection == ScrollDown) {
        if (ParamsGrid->topRow() + ParamsGrid->visibleRowCount() < kLastRow)
            ParamsGrid->setTopRow(ParamsGrid->topRow() + 1);
        first = m_dragAnchorRow;
        last = std::min(ParamsGrid->topRow() + ParamsGrid->visibleRowCount(), kLastRow);
    } else {
        if (ParamsGrid->topRow() > kFirstRow)
            ParamsGrid->setTopRow(ParamsGrid->topRow() - 1);
        first = ParamsGrid->topRow();
        last = m_dragAnchorRow;
    }
    ParamsGrid->setSelection({kValueColumn, first, kValueColumn, last});
    for (int r = std::min(first, last); r <= std::max(first, last); ++r)
        ParamsGrid->invalidateCell(kValueColumn, r);
    repaintChart();
    // Keeps the timer going while the pointer is still held beyond the edge.
    const int y = m_scrollDirection == ScrollDown ? ParamsGrid->height() + 10 : -10;
    ParamsGridMouseMove(Qt::NoModifier, valueColumnLeft(*ParamsGrid), y);
}

void ParamsPane::ParamsGridSelectionCh()
{
    repaintChart();
}

void ParamsPane::ParamsGridEnter()
{
    dorvin::setCaptionColour(ParamsGroupBox, dorvin::kFocusedCaption);
    ToolBar2Resize();
}

void ParamsPane::ParamsGridExit()
{
    // Text still in the cell editor is not taken in: leaving the grid keeps the stored value.
    AppButClick();
    dorvin::setCaptionColour(ParamsGroupBox, dorvin::kUnfocusedCaption);
    ToolBar2Resize();
}

void ParamsPane::TopButClick()
{
    ParamsGrid->selectCell(kValueColumn, kFirstRow);
}

void ParamsPane::UpButClick()
{
    const int row = ParamsGrid->row();
    if (row > kFirstRow)
        ParamsGrid->selectCell(kValueColumn, row - 1);
}

void ParamsPane::DownButClick()
{
    const int row = ParamsGrid->row();
    if (row >= kFirstRow && row < kLastRow)
        ParamsGrid->selectCell(kValueColumn, row + 1);
}

void ParamsPane::ButtomButClick()
{
    ParamsGrid->selectCell(kValueColumn, kLastRow);
}

void ParamsPane::AppButClick()
{
    if (!m_dm)
        return;
    ClientTable& params = m_dm->ClParamsTable;
    if (params.state() == TableState::Edit)
        params.post();
    RefreshParamValues();
}

void ParamsPane::CancelClick()
{
    if (!m_dm)
        return;
    m_dm->ClParamsTable.cancel();
    RefreshParamValues();
}

void ParamsPane::ParamsTableBeforeScroll()
{
    if (!m_dm)
        return;
    ClientTable& params = m_dm->ClParamsTable;
    if (params.state() == TableState::Edit)
        params.post();
}

void ParamsPane::ParamsTableAfterScroll()
{
    const QString model = dorvin::fromCp1251(m_dm->ClElemsTable.fieldByName("MODEL").asString());
    ParamsGroupBox->setTitle(QStringLiteral("Параметры элемента:") + model);
    if (dorvin::ResponseChart* chart = responseChart()) {
        const QString parameter = dorvin::fromCp1251(m_dm->ClParamsTable.fieldByName("PARNAME").asString());
        chart->setTitleText(model + QStringLiteral("    ") + parameter);
    }
    RefreshParamValues();
    // The indicators follow state changes; a base just opened has had none of the
    // parameter table yet, so they are brought in line here as well.
    ParamsSourceStateChange();
}

void ParamsPane::DBNavigator2Click(dorvin::NavigateBtn)
{
    ParamsGrid->setFocus(Qt::OtherFocusReason);
}

void ParamsPane::ParamsSourceStateChange()
{
    if (!m_dm)
        return;
    const bool paramsEditing = m_dm->ClParamsTable.state() == TableState::Edit;
    const bool editing = paramsEditing || m_dm->ClElemsTable.state() == TableState::Edit;
    m_host.setStatusPanelText(1, editing ? QStringLiteral("Редактирование") : QStringLiteral("Просмотр"));
    CancBut->setEnabled(paramsEditing);
    AppBut->setEnabled(paramsEditing);
}

void ParamsPane::SelectAllClick()
{
    ParamsGrid->setSelection({kValueColumn, kFirstRow, kValueColumn, kLastRow});
    repaintChart();
}
