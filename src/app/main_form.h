#pragma once
// The main window: three panes over the data module's tables (element types, the element
// list, and the parameter values with their chart), the menus and actions, start-up and
// shutdown.
//
// Every named control, action and menu item is a public member whose objectName is its
// name, so tests and host programs can find it with findChild.
//
// The window's handlers are plain member functions; connections call them through
// dorvin::runGuarded, which reports any error that escapes. The handlers of each pane are
// defined in that pane's own files (see the section markers below).
#include "platform/services.h"

#include <QMainWindow>
#include <QPointer>

#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;
class QToolButton;
class QCustomPlot;
class QCPGraph;

class TDataM;
class TImage;
class TImageList;
class TPanel;
class TSplitter;
class TextGrid;
class TToolBar;

namespace dorvin {
class TableGrid;
class TDBNavigator;
class TDBText;
enum class NavigateBtn;
} // namespace dorvin

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---------------------------------------------------------------------------------------
    // Components (objectName = member name)
    // ---------------------------------------------------------------------------------------
    TPanel* Panel1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    TPanel* Panel4 = nullptr;
    TPanel* Panel5 = nullptr;
    TImage* UGOImage = nullptr;
    QLabel* OrLabel = nullptr;
    QLabel* Label5 = nullptr;
    TPanel* Panel2 = nullptr;
    dorvin::TableGrid* DBGrid1 = nullptr;
    dorvin::TDBNavigator* DBNavigator4 = nullptr;
    QComboBox* AliasComboBox = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QListWidget* PasteBox = nullptr;
    TSplitter* Splitter2 = nullptr;
    QGroupBox* ElemListGroupBox = nullptr;
    dorvin::TableGrid* ElemDBGrid = nullptr;
    TPanel* Panel6 = nullptr;
    dorvin::TDBNavigator* ElemDBNavigator = nullptr;
    TSplitter* Splitter1 = nullptr;
    QGroupBox* ParamsGroupBox = nullptr;
    TPanel* Panel3 = nullptr;
    dorvin::TDBText* DBText1 = nullptr;
    dorvin::TDBNavigator* DBNavigator2 = nullptr;
    TPanel* Panel7 = nullptr;
    TextGrid* ParamsGrid = nullptr;
    TToolBar* ToolBar2 = nullptr;
    QToolButton* TopBut = nullptr;
    QToolButton* UpBut = nullptr;
    QToolButton* DownBut = nullptr;
    QToolButton* ButtomBut = nullptr;
    QToolButton* AppBut = nullptr;
    QToolButton* CancBut = nullptr;
    TSplitter* Splitter3 = nullptr;
    QCustomPlot* Chart2 = nullptr;
    QCPGraph* Series1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // Non-visual components.
    TImageList* ImageList1 = nullptr;
    TImageList* ImageList2 = nullptr;
    QTimer* Timer1 = nullptr;
    QObject* ApplicationEvents1 = nullptr;
    QObject* ActionList1 = nullptr;
    dorvin::FileDialogOptions OpenPictureDialog1;
    dorvin::FileDialogOptions OpenDialog1;
    dorvin::FileDialogOptions SaveDialog1;
    dorvin::FileDialogOptions SavePictureDialog1;

    // Actions.
    QAction* ActionChangeBase = nullptr;
    QAction* ActionExit = nullptr;
    QAction* ActionChangeUGO = nullptr;
    QAction* ActionAdd = nullptr;
    QAction* ActionDelete = nullptr;
    QAction* ActionApply = nullptr;
    QAction* ActionCancel = nullptr;
    QAction* ActionSaveElToFile = nullptr;
    QAction* ActionInsertElToFile = nullptr;
    QAction* ActionFind = nullptr;
    QAction* ActionSelectAll = nullptr;
    QAction* ActionFillDown = nullptr;
    QAction* ActionFillUp = nullptr;
    QAction* ActionInter = nullptr;
    QAction* ActionCopyParams = nullptr;
    QAction* ActionPastParams = nullptr;
    QAction* ActionPrintGraph = nullptr;
    QAction* ActionSaveGraphAsPicture = nullptr;

    // Main menu and its items (an item shows its action: caption, picture, shortcut text,
    // enabled state; choosing it carries the action out).
    QMenuBar* MainMenu1 = nullptr;
    QMenu* BaseMenu = nullptr;    // "&База"
    QMenu* ElementMenu = nullptr; // "&Элемент"
    QMenu* HelpMenu = nullptr;    // "&Помощь"
    QAction* N8 = nullptr;
    QAction* N10 = nullptr;
    QAction* N7 = nullptr;
    QAction* N13 = nullptr;
    QAction* N14 = nullptr;
    QAction* N15 = nullptr;
    QAction* CopyBtn = nullptr;
    QAction* CmPast = nullptr;
    QAction* N16 = nullptr;
    QAction* N17 = nullptr;
    QAction* N11 = nullptr;
    QAction* N3 = nullptr;

    // Popup menus and their items.
    QMenu* PopupMenu1 = nullptr;
    QAction* CmAddElem = nullptr;
    QAction* CmDelElem = nullptr;
    QAction* CmApply = nullptr;
    QAction* CmUndo = nullptr;
    QAction* N19 = nullptr;
    QAction* N18 = nullptr;
    QAction* N9 = nullptr;
    QMenu* EditMenu = nullptr;
    QAction* SelectAll = nullptr;
    QAction* FillDown = nullptr;
    QAction* FillUp = nullptr;
    QAction* CmExtra = nullptr;
    QAction* CopyItem = nullptr;
    QAction* PasteItem = nullptr;
    QAction* N22 = nullptr;
    QAction* N23 = nullptr;
    QAction* CmCanc = nullptr;
    QAction* CmApplyCh = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Graph1 = nullptr;
    QAction* N20 = nullptr;

    // ---------------------------------------------------------------------------------------
    // Window state
    // ---------------------------------------------------------------------------------------
    // The data module, created and owned by the window (FormCreate).
    TDataM* DataM = nullptr;
    // Field index of N1 in ClParamsTable; the value field of frequency point k is at
    // n1FieldIndex + k - 1.
    int n1FieldIndex = -1;
    // The UGO symbol orientation shown, 0 to 7.
    int ugoOrientation = 0;

    // ---------------------------------------------------------------------------------------
    // --- start-up, base list, shutdown, layout commands (src/app/*.cpp)
    // ---------------------------------------------------------------------------------------
    void FormCreate();
    // True when a current base name was read and selected.
    bool ReadBaseList();
    void OpenCurrentBase();
    void AliasComboBoxClick();
    void FormShow();
    // Writes the open base back; the window closes in any case.
    void FormClose();
    void ShowApplicationHint();
    void ActionExitExecute();
    void N11Click();
    void N3Click();
    void Panel1Resize();
    void Panel2Resize();
    void Panel7Resize();
    void ToolBar2Resize();
    void Splitter1CanResize(int& newSize, bool& accept);
    void Splitter2CanResize(int& newSize, bool& accept);
    void Splitter1Moved();

    // The path stored for a base name in ComboBox1 (first line whose name part matches
    // without regard to letter case); empty when none does.
    QString basePathOfName(const QString& name) const;
    // Status-bar panels 0 to 2.
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString& text);
    // The current application hint (the long part goes to status panel 0).
    QString applicationHint() const { return m_applicationHint; }
    void setApplicationHint(const QString& hint);
    // One pass of the idle-time updates: every action's enabling rule, then the
    // navigator bars' buttons.
    void runIdleUpdate();
    // The enabled state an action would get now (runs its rule when it has one).
    bool refreshAction(QAction* action);
    // Carries an action out as its shortcut or menu item would: its rule first, then its
    // handler if it is enabled.
    void executeAction(QAction* action);
    // Help context of a control: its own or its nearest enclosing control's; 0 for none.
    static int helpContextOf(const QWidget* widget);

    // ---------------------------------------------------------------------------------------
    // --- element types (src/elements/type_pane*.cpp)
    // ---------------------------------------------------------------------------------------
    void GroupsTableAfterScroll();
    void ChangeOr();
    void UGOImageClick();
    void DBGrid22Enter();
    void DBGrid22Exit();
    void ShowUGO();
    void StoreUGO();
    // The picture UGOImage shows, kept in its own form so that storing writes it back
    // unchanged (defined in elements/type_pane.h).
    struct UgoPicture;
    std::shared_ptr<UgoPicture> ugoPicture;

    // ---------------------------------------------------------------------------------------
    // --- element list (src/elements/element_list*.cpp)
    // ---------------------------------------------------------------------------------------
    void CmAddElemClick();
    void CmDelElemClick();
    void CmApplyClick();
    void CmUndoClick();
    void ActionDeleteUpdate();
    void ElemDBNavigatorBeforeAction(dorvin::NavigateBtn button);
    void ElemDBNavigatorClick(dorvin::NavigateBtn button);
    void ElementTableBeforeInsert();
    void ElementTableAfterInsert();
    void ElementTableBeforeDelete();
    void ElemDBGridKeyPress(QChar& key);
    void ElemDBGridEnter();
    void ElemDBGridExit();
    void PopupMenu1Popup();
    // State changes of the element table: the editing indicator, and the captions that
    // show the current element's model name once an edit of it has ended.
    void ElementsSourceStateChange();
    // The add gate, kept in ElemDBNavigator's "tag": 1 lets the next insertion into
    // ClElemsTable through (and that insertion closes it again), 0 refuses insertions.
    // The exchange-file import opens it before each element it inserts.
    int addGate() const;
    void setAddGate(int gate);
    // Binds ElemDBNavigator's buttons to ClElemsTable unless the layout has done so.
    void bindElementNavigator();

    // ---------------------------------------------------------------------------------------
    // --- exchange files and find (src/elements/exchange*.cpp, find*)
    // ---------------------------------------------------------------------------------------
    void CopyBtnClick();
    void InsertFromFile();
    void ActionSaveElToFileUpdate();
    void FindClick();

    // ---------------------------------------------------------------------------------------
    // --- base selection (src/bases/*.cpp)
    // ---------------------------------------------------------------------------------------
    void ToolButton2Click();

    // ---------------------------------------------------------------------------------------
    // --- parameter grid, fill, clipboard, chart (src/params/*.cpp)
    // ---------------------------------------------------------------------------------------
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
    void ActionSelectAllUpdate();
    void ActionApplyUpdate();
    void ActionCancelUpdate();
    void EditMenuPopup();
    // Fill and interpolation.
    void FillDownClick();
    void FillUpClick();
    void CmExtraClick();
    void ActionFillDownUpdate();
    void ActionFillUpUpdate();
    void ActionInterUpdate();
    // Clipboard.
    void CopyItemClick();
    void PasteItemClick();
    void ActionCopyParamsUpdate();
    void ActionPastParamsUpdate();
    // Chart.
    void RebuildResponseChart();
    void Chart2AfterDraw();
    void Chart1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ActionPrintGraphExecute();
    void ActionSaveGraphAsPictureExecute();
    // State and helpers of the parameter pane.
    void CopyParamsToClipboard();
    int paramsDragFlag = 0;        // 1 while the left button drags a selection
    int DragAnchorRow = 0;         // the row where the drag started; -1 after a release
    int paramsScrollDirection = 0; // 0 up, 1 down

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Layout (main_form_layout.cpp) and commands (main_form_actions.cpp).
    void buildLayout();
    void buildImageLists();
    void buildActions();
    void buildMenus();
    void connectControls();
    QAction* newAction(const char* name, const QString& caption, const QKeySequence& shortcut,
                       int image, void (TMainForm::*execute)(),
                       void (TMainForm::*update)() = nullptr);
    QAction* newMenuItem(QMenu* menu, const char* name, QAction* action,
                         const QString& shownShortcut = {});
    QAction* newSeparator(QMenu* menu, const char* name = nullptr);
    void popupMenu(QMenu* menu, void (TMainForm::*beforeShowing)(), const QPoint& globalPos);
    // Table notifications (main_form_tables.cpp).
    void attachTableHandlers();
    void detachTableHandlers();
    void createDataModule();
    void destroyDataModule();
    int paramsN1Index() const;
    // The data module's current base path, and its two file operations (UTF-8 paths).
    QString currentBasePath() const;
    void loadBase(const QString& path);
    void saveBase(const QString& path);
    void fillFrequencyColumns();
    int baseLineOfName(const QString& name) const;
    void setPanesEnabled(bool enabled);
    // Mouse-wheel translation and hint tracking for every window of the program.
    bool applicationEvent(QObject* watched, QEvent* event);

    struct ActionRule {
        QAction* action;
        void (TMainForm::*execute)();
        void (TMainForm::*update)();
    };
    std::vector<ActionRule> m_actionRules;
    QString m_applicationHint;
    QString m_openBaseName; // the name under which the open base was opened
    QList<QLabel*> m_statusPanels;
    bool m_closing = false;
    bool m_closed = false;
    bool m_inIdleUpdate = false;
    bool m_elementWasEdited = false; // the element table was editing or inserting
    QMetaObject::Connection m_idleConnection;
};

// The one main window of the program (null under a host program and before creation).
extern QPointer<TMainForm> MainForm;
