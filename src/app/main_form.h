#pragma once
// The main window: the frame (panels, splitters, status bar) around three panes over the
// data module's tables (TypePane, ElementListPane with its ElementExchange, ParamsPane),
// the actions and menus, start-up and shutdown.
//
// Every named control, action and menu item has an objectName equal to its member name,
// so tests and host programs can find it with findChild. The panes' controls are also
// reachable under those names here, as pointers the window does not own: only the pane
// that built a control changes it. The window reaches a pane through its entry points.
//
// Handlers are plain member functions of the window or of the pane that owns them;
// connections call them through dorvin::runGuarded, which reports any error that escapes.
#include "elements/element_exchange.h"
#include "elements/element_list_pane.h"
#include "elements/type_pane.h"
#include "panes/pane_host.h"
#include "params/params_pane.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
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

namespace dorvin {
class TImage;
class TImageList;
class TPanel;
class TSplitter;
class TextGrid;
class TToolBar;
class TableGrid;
class TDBNavigator;
class TDBText;
enum class NavigateBtn;
} // namespace dorvin

class TMainForm : public QMainWindow, public dorvin::PaneHost {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate.
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The panes.
    TypePane& typePane() const { return *m_types; }
    ElementListPane& elementListPane() const { return *m_elements; }
    ElementExchange& elementExchange() const { return *m_exchange; }
    ParamsPane& paramsPane() const { return *m_params; }

    // ---------------------------------------------------------------------------------------
    // Components (objectName = member name); those of a pane are its own, shown here
    // ---------------------------------------------------------------------------------------
    dorvin::TPanel* Panel1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    dorvin::TPanel* Panel4 = nullptr;
    dorvin::TPanel* Panel5 = nullptr;
    dorvin::TImage* UGOImage = nullptr;
    QLabel* OrLabel = nullptr;
    QLabel* Label5 = nullptr;
    dorvin::TPanel* Panel2 = nullptr;
    dorvin::TableGrid* DBGrid1 = nullptr;
    dorvin::TDBNavigator* DBNavigator4 = nullptr;
    QComboBox* AliasComboBox = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QListWidget* PasteBox = nullptr;
    dorvin::TSplitter* Splitter2 = nullptr;
    QGroupBox* ElemListGroupBox = nullptr;
    dorvin::TableGrid* ElemDBGrid = nullptr;
    dorvin::TPanel* Panel6 = nullptr;
    dorvin::TDBNavigator* ElemDBNavigator = nullptr;
    dorvin::TSplitter* Splitter1 = nullptr;
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
    QStatusBar* StatusBar1 = nullptr;

    // Non-visual components.
    dorvin::TImageList* ImageList1 = nullptr;
    dorvin::TImageList* ImageList2 = nullptr;
    QTimer* Timer1 = nullptr;
    QObject* ApplicationEvents1 = nullptr;
    QObject* ActionList1 = nullptr;

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
    // The left side's column rule: the element list's columns follow its width.
    void Panel1Resize();
    void Splitter1CanResize(int& newSize, bool& accept);
    void Splitter2CanResize(int& newSize, bool& accept);
    void Splitter1Moved();
    // "&Изменить...": the base selection dialog (main_form_bases.cpp).
    void ToolButton2Click();

    // The path stored for a base name in ComboBox1 (first line whose name part matches
    // without regard to letter case); empty when none does.
    QString basePathOfName(const QString& name) const;
    // Status-bar panels 0 to 2.
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString& text) override;
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

    // The actions' enabling rules and the popup menus' own handlers (main_form_actions.cpp):
    // the actions and menus are the window's, what they ask the panes tell.
    void ActionDeleteUpdate();
    void ActionSaveElToFileUpdate();
    void ActionSelectAllUpdate();
    void ActionApplyUpdate();
    void ActionCancelUpdate();
    void ActionFillDownUpdate();
    void ActionFillUpUpdate();
    void ActionInterUpdate();
    void ActionCopyParamsUpdate();
    void ActionPastParamsUpdate();
    void PopupMenu1Popup();
    void EditMenuPopup();

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
    QAction* newAction(const char* name, const QString& caption, const QKeySequence& shortcut, int image,
                       std::function<void()> execute, void (TMainForm::*update)() = nullptr);
    QAction* newMenuItem(QMenu* menu, const char* name, QAction* action, const QString& shownShortcut = {});
    QAction* newSeparator(QMenu* menu, const char* name = nullptr);
    void popupMenu(QMenu* menu, void (TMainForm::*beforeShowing)(), const QPoint& globalPos);
    // Table notifications (main_form_tables.cpp).
    void attachTableHandlers();
    void detachTableHandlers();
    void createDataModule();
    void destroyDataModule();
    // The data module's current base path, and its two file operations (UTF-8 paths).
    QString currentBasePath() const;
    void loadBase(const QString& path);
    void saveBase(const QString& path);
    int baseLineOfName(const QString& name) const;
    void setPanesEnabled(bool enabled);
    // Mouse-wheel translation and hint tracking for every window of the program.
    bool applicationEvent(QObject* watched, QEvent* event);
    // What the panes ask of the window (dorvin::PaneHost).
    void elementTypeReached() override;
    void applyParamsEdit() override;
    void cancelParamsEdit() override;
    void paramsStateChanged() override;
    void paramsRowReached() override;
    void refreshParamValues() override;

    struct ActionRule {
        QAction* action;
        std::function<void()> execute;
        void (TMainForm::*update)();
    };
    // The panes, children of the window made before any of its controls.
    TypePane* m_types = nullptr;
    ElementListPane* m_elements = nullptr;
    ElementExchange* m_exchange = nullptr;
    ParamsPane* m_params = nullptr;
    // The three panes in the order they are bound, connected and let go.
    std::array<dorvin::Pane*, 3> panes() const { return {m_types, m_elements, m_params}; }
    std::vector<ActionRule> m_actionRules;
    QString m_applicationHint;
    QString m_openBaseName; // the name under which the open base was opened
    QList<QLabel*> m_statusPanels;
    bool m_closing = false;
    bool m_closed = false;
    bool m_inIdleUpdate = false;
    QMetaObject::Connection m_idleConnection;
};

// The one main window of the program (null under a host program and before creation).
extern QPointer<TMainForm> MainForm;
