#pragma once
// The parameter pane: the current parameter's name and navigator, the value grid with one
// row per frequency point, the tool bar of row moves and confirm/cancel buttons, and the
// frequency response chart with the band of the grid's selection. The pane keeps the
// drag state of a range selection and its auto-scroll.
#include "panes/pane.h"
#include "platform/services.h"

#include <QObject>
#include <QString>

#include <vector>

class QCustomPlot;
class QCPGraph;
class QGroupBox;
class QListWidget;
class QTimer;
class QToolButton;
class TDataM;

namespace dorvin {
class TImageList;
class TPanel;
class TextGrid;
class TSplitter;
class TToolBar;

class ClientTable;
class Field;
class PaneHost;
class ResponseChart;
class TDBNavigator;
class TDBText;
enum class NavigateBtn;

// Puts the parameter table into edit state unless it is being edited already.
void beginParamEdit(ClientTable& params);

// The selected rows (Top, Bottom) of the value column.
struct RowRange {
    int top;
    int bottom;
};

} // namespace dorvin

class ParamsPane : public dorvin::Pane {
    Q_OBJECT
public:
    // `window` parents the pane's timer; the pane's widgets are made by build().
    ParamsPane(dorvin::PaneHost& host, QWidget* window);

    // Builds the pane's box inside `parent` (the tool bar takes its pictures from
    // `toolImages`) and returns it; connectControls() then ties its controls to the
    // handlers.
    QGroupBox* build(QWidget* parent, const dorvin::TImageList& toolImages);
    void connectControls() override;
    void disconnectControls() override;
    void setEnabled(bool enabled) override;
    // Binds the data module's parameter table and its source.
    void attach(TDataM& dm) override;
    void detach() override;

    // Components (objectName = member name); the pane alone changes them.
    QGroupBox* ParamsGroupBox = nullptr;
    dorvin::TPanel* Panel3 = nullptr;
    dorvin::TDBText* DBText1 = nullptr;
    dorvin::TDBNavigator* DBNavigator2 = nullptr;
    dorvin::TPanel* Panel7 = nullptr;
    dorvin::TextGrid* ParamsGrid = nullptr;
    dorvin::TToolBar* ToolBar2 = nullptr;
    QToolButton* TopBut = nullptr;
    QToolButton* UpBut = nullptr;
    QToolButton* DownBut = nullptr;
    QToolButton* ButtomBut = nullptr;
    QToolButton* AppBut = nullptr;
    QToolButton* CancBut = nullptr;
    dorvin::TSplitter* Splitter3 = nullptr;
    QCustomPlot* Chart2 = nullptr;
    QCPGraph* Series1 = nullptr;
    QListWidget* PasteBox = nullptr; // never shown: the lines of the last paste
    QTimer* Timer1 = nullptr;        // auto-scroll while a drag is held beyond an edge
    dorvin::FileDialogOptions SavePictureDialog1;

    // The window's start: the grid's titles and first cell, the tool bar's buttons.
    void FormCreate();
    // The channel and frequency columns from the base's frequency plan.
    void fillFrequencyColumns();
    // Reads where N1 sits in the parameter table.
    void readN1Index();

    // Value grid.
    void RefreshParamValues();
    void CommitParamCell();
    void ParamsTableAfterScroll();
    void ParamsTableBeforeScroll();
    void ParamsSourceStateChange();
    void ParamsGridSelectCell(int col, int row, bool& canSelect);
    // key: a Qt key code (Qt::Key_Return, Qt::Key_Up, ...); set it to 0 to consume the key.
    void ParamsGridKeyDown(int& key, Qt::KeyboardModifiers shift);
    void ParamsGridMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ParamsGridMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void ParamsGridMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Timer1Timer();
    void ParamsGridSelectionCh();
    void ParamsGridEnter();
    void ParamsGridExit();
    void TopButClick();
    void UpButClick();
    void DownButClick();
    void ButtomButClick();
    void AppButClick();
    void CancelClick();
    void DBNavigator2Click(dorvin::NavigateBtn button);
    void SelectAllClick();
    // Fill and interpolation.
    void FillDownClick();
    void FillUpClick();
    void CmExtraClick();
    // Clipboard.
    void CopyItemClick();
    void PasteItemClick();
    void CopyParamsToClipboard();
    // Chart.
    void RebuildResponseChart();
    void Chart2AfterDraw();
    void Chart1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ActionPrintGraphExecute();
    void ActionSaveGraphAsPictureExecute();
    // Layout rules: the grid's columns share its width, the tool bar's six buttons its.
    void Panel7Resize();
    void ToolBar2Resize();
    // The pane got wider or narrower (the splitter beside it moved).
    void widthChanged();
    // Brings the navigator's buttons in line with the table.
    void refreshNavigator();

    // What the window's commands ask.
    // Whether the grid itself is enabled (the current element has parameter rows),
    // regardless of the pane around it, which is disabled while no base is open.
    bool gridEnabled() const;
    // A range of more than one row is selected and the grid is enabled.
    bool rangeCommandEnabled() const;
    // The parameter row is being edited.
    bool editing() const;
    dorvin::RowRange selectedRows() const;

    // The chart as the class that draws it.
    dorvin::ResponseChart* responseChart() const;
    // The value field of frequency point k (1..96) of the current parameter row: the field
    // at the position of N1 plus k - 1. Throws dorvin::Error if the table has no such field.
    dorvin::Field& paramValueField(int k);

    // Field index of N1 in ClParamsTable; the value field of frequency point k is at
    // n1FieldIndex + k - 1.
    int n1FieldIndex() const { return m_n1FieldIndex; }
    // The drag state: 1 while the left button drags a selection; the row where the drag
    // started (-1 after a release); the auto-scroll direction (0 up, 1 down).
    int paramsDragFlag() const { return m_dragFlag; }
    int dragAnchorRow() const { return m_dragAnchorRow; }
    int paramsScrollDirection() const { return m_scrollDirection; }
    void setParamsScrollDirection(int direction) { m_scrollDirection = direction; }

private:
    void repaintChart();
    void writeParamValues(int first, const std::vector<double>& values);
    void fillFrom(int sourceRow);

    dorvin::PaneHost& m_host;
    QWidget* m_window;
    TDataM* m_dm = nullptr;
    int m_n1FieldIndex = -1;
    int m_dragFlag = 0;
    int m_dragAnchorRow = 0;
    int m_scrollDirection = 0;
};
