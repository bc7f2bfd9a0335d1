// The action list, the main menu, the popup menus, and the connections of every control
// to its handler. Enabling rules run whenever the application is about to wait for input.
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"
#include "widgets/tool_bar.h"
#include "widgets/image.h"
#include "app/main_form.h"
#include "widgets/text_grid.h"
#include "dbaware/table_grid.h"
#include "dbaware/db_navigator.h"
#include "widgets/focus_watch.h"
#include "platform/guarded.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

#include <qcustomplot.h>

using dorvin::runGuarded;

QAction* TMainForm::newAction(const char* name, const QString& caption, const QKeySequence& shortcut,
                              int image, void (TMainForm::*execute)(), void (TMainForm::*update)())
{
    auto* a = new QAction(caption, ActionList1);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setIcon(ImageList1->icon(image));
    addAction(a); // shortcuts work wherever the focus is in the window
    m_actionRules.push_back({a, execute, update});
    connect(a, &QAction::triggered, this, [this, a] { executeAction(a); });
    return a;
}

void TMainForm::buildActions()
{
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const QKeySequence none;
    ActionChangeBase = newAction("ActionChangeBase", QStringLiteral("&Изменить..."), none, 15,
                                 &TMainForm::ToolButton2Click);
    ActionExit = newAction("ActionExit", QStringLiteral("Вы&ход"), none, 11, &TMainForm::ActionExitExecute);
    ActionChangeUGO = newAction("ActionChangeUGO", QStringLiteral("Сменить УГО"), none, 17,
                                &TMainForm::UGOImageClick);
    ActionAdd = newAction("ActionAdd", QStringLiteral("&Добавить"), QKeySequence(Qt::CTRL | Qt::Key_N), 16,
                          &TMainForm::CmAddElemClick);
    ActionDelete = newAction("ActionDelete", QStringLiteral("&Удалить"), QKeySequence(Qt::CTRL | Qt::Key_Delete), 7,
                             &TMainForm::CmDelElemClick, &TMainForm::ActionDeleteUpdate);
    ActionApply = newAction("ActionApply", QStringLiteral("Принять изменения"), QKeySequence(Qt::CTRL | Qt::Key_A), 4,
                            &TMainForm::CmApplyClick, &TMainForm::ActionApplyUpdate);
    ActionCancel = newAction("ActionCancel", QStringLiteral("Отменить изменения"), QKeySequence(Qt::CTRL | Qt::Key_Z),
                             5, &TMainForm::CmUndoClick, &TMainForm::ActionCancelUpdate);
    ActionSaveElToFile = newAction("ActionSaveElToFile", QStringLiteral("Сохранить в файл..."), none, 12,
                                   &TMainForm::CopyBtnClick, &TMainForm::ActionSaveElToFileUpdate);
    ActionInsertElToFile = newAction("ActionInsertElToFile", QStringLiteral("Вставить из файла..."), none, 13,
                                     &TMainForm::InsertFromFile);
    ActionFind = newAction("ActionFind", QStringLiteral("Найти..."), QKeySequence(Qt::CTRL | Qt::Key_F), 18,
                           &TMainForm::FindClick);
    ActionSelectAll = newAction("ActionSelectAll", QStringLiteral("Выделить все"), QKeySequence(Qt::CTRL | Qt::Key_S),
                                21, &TMainForm::SelectAllClick, &TMainForm::ActionSelectAllUpdate);
    ActionFillDown = newAction("ActionFillDown", QStringLiteral("Заполнить вниз"), QKeySequence(Qt::CTRL | Qt::Key_D),
                               19, &TMainForm::FillDownClick, &TMainForm::ActionFillDownUpdate);
    ActionFillUp = newAction("ActionFillUp", QStringLiteral("Заполнить вверх"), QKeySequence(Qt::CTRL | Qt::Key_U), 20,
                             &TMainForm::FillUpClick, &TMainForm::ActionFillUpUpdate);
    ActionInter = newAction("ActionInter", QStringLiteral("Интерполировать"), QKeySequence(Qt::CTRL | Qt::Key_I), 22,
                            &TMainForm::CmExtraClick, &TMainForm::ActionInterUpdate);
    ActionCopyParams = newAction("ActionCopyParams", QStringLiteral("Скопировать"), QKeySequence(Qt::CTRL | Qt::Key_C),
                                 9, &TMainForm::CopyItemClick, &TMainForm::ActionCopyParamsUpdate);
    ActionPastParams = newAction("ActionPastParams", QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V), 10,
                                 &TMainForm::PasteItemClick, &TMainForm::ActionPastParamsUpdate);
    ActionPrintGraph = newAction("ActionPrintGraph", QStringLiteral("Напечатать график"), none, 23,
                                 &TMainForm::ActionPrintGraphExecute);
    ActionSaveGraphAsPicture = newAction("ActionSaveGraphAsPicture", QStringLiteral("Сохранить график как картинку"),
                                         none, 24, &TMainForm::ActionSaveGraphAsPictureExecute);
}

QAction* TMainForm::newMenuItem(QMenu* menu, const char* name, QAction* action, const QString& shownShortcut)
{
    // A menu item of its own (so that it has its own name and its own enabled state, which
    // popup handlers may change), showing its action. The shortcut is only shown: it
    // belongs to the action.
    auto* item = new QAction(menu);
    item->setObjectName(QString::fromLatin1(name));
    menu->addAction(item);
    if (!action)
        return item;
    auto sync = [item, action, shownShortcut] {
        const QString keys = !shownShortcut.isEmpty() ? shownShortcut
                                                      : action->shortcut().toString(QKeySequence::NativeText);
        item->setText(keys.isEmpty() ? action->text() : action->text() + u'\t' + keys);
        item->setIcon(action->icon());
        item->setEnabled(action->isEnabled());
        item->setVisible(action->isVisible());
    };
    sync();
    connect(action, &QAction::changed, item, sync);
    connect(item, &QAction::triggered, this, [this, action] { executeAction(action); });
    return item;
}

QAction* TMainForm::newSeparator(QMenu* menu, const char* name)
{
    QAction* s = menu->addSeparator();
    if (name)
        s->setObjectName(QString::fromLatin1(name));
    return s;
}

void TMainForm::buildMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    BaseMenu = MainMenu1->addMenu(QStringLiteral("&База"));
    BaseMenu->setObjectName(QStringLiteral("BaseMenu"));
    N8 = newMenuItem(BaseMenu, "N8", ActionChangeBase);
    N10 = newSeparator(BaseMenu, "N10");
    N7 = newMenuItem(BaseMenu, "N7", ActionExit, QStringLiteral("Alt+F4"));

    ElementMenu = MainMenu1->addMenu(QStringLiteral("&Элемент"));
    ElementMenu->setObjectName(QStringLiteral("ElementMenu"));
    N13 = newMenuItem(ElementMenu, "N13", ActionChangeUGO);
    N14 = newMenuItem(ElementMenu, "N14", ActionAdd);
    N15 = newMenuItem(ElementMenu, "N15", ActionDelete);
    CopyBtn = newMenuItem(ElementMenu, "CopyBtn", ActionSaveElToFile);
    CmPast = newMenuItem(ElementMenu, "CmPast", ActionInsertElToFile);
    N16 = newSeparator(ElementMenu, "N16");
    N17 = newMenuItem(ElementMenu, "N17", ActionFind);

    HelpMenu = MainMenu1->addMenu(QStringLiteral("&Помощь"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    N11 = newMenuItem(HelpMenu, "N11", nullptr);
    N11->setText(QStringLiteral("&Содержание"));
    N11->setIcon(ImageList1->icon(6));
    connect(N11, &QAction::triggered, this, [this] { runGuarded([this] { N11Click(); }); });
    N3 = newMenuItem(HelpMenu, "N3", nullptr);
    N3->setText(QStringLiteral("О программе"));
    N3->setIcon(ImageList1->icon(6));
    connect(N3, &QAction::triggered, this, [this] { runGuarded([this] { N3Click(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    CmAddElem = newMenuItem(PopupMenu1, "CmAddElem", ActionAdd);
    CmDelElem = newMenuItem(PopupMenu1, "CmDelElem", ActionDelete);
    CmApply = newMenuItem(PopupMenu1, "CmApply", ActionApply);
    CmUndo = newMenuItem(PopupMenu1, "CmUndo", ActionCancel);
    newSeparator(PopupMenu1);
    N19 = newMenuItem(PopupMenu1, "N19", ActionSaveElToFile);
    N18 = newMenuItem(PopupMenu1, "N18", ActionInsertElToFile);
    newSeparator(PopupMenu1);
    N9 = newMenuItem(PopupMenu1, "N9", ActionFind);

    EditMenu = new QMenu(this);
    EditMenu->setObjectName(QStringLiteral("EditMenu"));
    SelectAll = newMenuItem(EditMenu, "SelectAll", ActionSelectAll);
    FillDown = newMenuItem(EditMenu, "FillDown", ActionFillDown);
    FillUp = newMenuItem(EditMenu, "FillUp", ActionFillUp);
    CmExtra = newMenuItem(EditMenu, "CmExtra", ActionInter);
    CopyItem = newMenuItem(EditMenu, "CopyItem", ActionCopyParams);
    PasteItem = newMenuItem(EditMenu, "PasteItem", ActionPastParams);
    newSeparator(EditMenu);
    N22 = newMenuItem(EditMenu, "N22", ActionPrintGraph);
    N23 = newMenuItem(EditMenu, "N23", ActionSaveGraphAsPicture);
    newSeparator(EditMenu);
    CmCanc = newMenuItem(EditMenu, "CmCanc", ActionApply);
    CmApplyCh = newMenuItem(EditMenu, "CmApplyCh", ActionCancel);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Graph1 = newMenuItem(PopupMenu2, "Graph1", ActionPrintGraph);
    N20 = newMenuItem(PopupMenu2, "N20", ActionSaveGraphAsPicture);
}

bool TMainForm::refreshAction(QAction* action)
{
    for (const ActionRule& rule : m_actionRules) {
        if (rule.action == action) {
            if (rule.update)
                runGuarded([&] { (this->*rule.update)(); });
            break;
        }
    }
    return action->isEnabled();
}

void TMainForm::executeAction(QAction* action)
{
    for (const ActionRule& rule : m_actionRules) {
        if (rule.action != action)
            continue;
        // A command runs only when its rule, evaluated again now, enables it.
        if (!refreshAction(action))
            return;
        runGuarded([&] { (this->*rule.execute)(); });
        return;
    }
}

void TMainForm::runIdleUpdate()
{
    if (m_inIdleUpdate || m_closed)
        return;
    m_inIdleUpdate = true;
    for (const ActionRule& rule : m_actionRules)
        if (rule.update)
            runGuarded([&] { (this->*rule.update)(); });
    for (dorvin::TDBNavigator* nav : {DBNavigator4, ElemDBNavigator, DBNavigator2})
        if (nav)
            nav->refreshButtons();
    m_inIdleUpdate = false;
}

void TMainForm::popupMenu(QMenu* menu, void (TMainForm::*beforeShowing)(), const QPoint& globalPos)
{
    // The actions' rules first, then the menu's own handler may adjust its items.
    runIdleUpdate();
    if (beforeShowing)
        runGuarded([&] { (this->*beforeShowing)(); });
    menu->popup(globalPos);
}

void TMainForm::connectControls()
{
    using dorvin::NavigateBtn;

    // Idle-time enabling: whenever this thread's event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        m_idleConnection = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                   [this] { runIdleUpdate(); });

    Panel1->onResize = [this] { Panel1Resize(); };
    ElemDBGrid->viewport()->installEventFilter(this);
    DBGrid1->viewport()->installEventFilter(this);
    ParamsGrid->viewport()->installEventFilter(this);
    Panel2->onResize = [this] { Panel2Resize(); };
    Panel7->onResize = [this] { Panel7Resize(); };
    ToolBar2->onResize = [this] { ToolBar2Resize(); };
    Splitter1->onCanResize = [this](int& size, bool& accept) { Splitter1CanResize(size, accept); };
    Splitter1->onMoved = [this] { Splitter1Moved(); };
    Splitter2->onCanResize = [this](int& size, bool& accept) { Splitter2CanResize(size, accept); };

    connect(UGOImage, &TImage::clicked, this, [this] { runGuarded([this] { ChangeOr(); }); });
    connect(AliasComboBox, &QComboBox::activated, this, [this] { runGuarded([this] { AliasComboBoxClick(); }); });

    auto* typeFocus = new dorvin::FocusWatch(DBGrid1);
    typeFocus->onEnter = [this] { DBGrid22Enter(); };
    typeFocus->onExit = [this] { DBGrid22Exit(); };
    auto* elemFocus = new dorvin::FocusWatch(ElemDBGrid);
    elemFocus->onEnter = [this] { ElemDBGridEnter(); };
    elemFocus->onExit = [this] { ElemDBGridExit(); };
    ElemDBGrid->onKeyPress = [this](QChar& key) { ElemDBGridKeyPress(key); };
    connect(ElemDBGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupMenu(PopupMenu1, &TMainForm::PopupMenu1Popup, ElemDBGrid->viewport()->mapToGlobal(pos));
    });
    ElemDBNavigator->beforeAction = [this](NavigateBtn b) { ElemDBNavigatorBeforeAction(b); };
    ElemDBNavigator->onClick = [this](NavigateBtn b) { ElemDBNavigatorClick(b); };
    DBNavigator2->onClick = [this](NavigateBtn b) { DBNavigator2Click(b); };

    ParamsGrid->onSelectCell = [this](int c, int r, bool& can) { ParamsGridSelectCell(c, r, can); };
    ParamsGrid->onKeyDown = [this](int& key, Qt::KeyboardModifiers shift) { ParamsGridKeyDown(key, shift); };
    ParamsGrid->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        ParamsGridMouseDown(b, s, x, y);
    };
    ParamsGrid->onMouseMove = [this](Qt::KeyboardModifiers s, int x, int y) { ParamsGridMouseMove(s, x, y); };
    ParamsGrid->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        ParamsGridMouseUp(b, s, x, y);
    };
    ParamsGrid->onClick = [this] { ParamsGridSelectionCh(); };
    ParamsGrid->onEnter = [this] { ParamsGridEnter(); };
    ParamsGrid->onExit = [this] { ParamsGridExit(); };
    connect(ParamsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupMenu(EditMenu, &TMainForm::EditMenuPopup, ParamsGrid->viewport()->mapToGlobal(pos));
    });
    connect(Timer1, &QTimer::timeout, this, [this] { runGuarded([this] { Timer1Timer(); }); });

    auto click = [this](QToolButton* b, void (TMainForm::*handler)()) {
        connect(b, &QToolButton::clicked, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    };
    click(TopBut, &TMainForm::TopButClick);
    click(UpBut, &TMainForm::UpButClick);
    click(DownBut, &TMainForm::DownButClick);
    click(ButtomBut, &TMainForm::ButtomButClick);
    click(AppBut, &TMainForm::AppButClick);
    click(CancBut, &TMainForm::CancelClick);

    connect(Chart2, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        runGuarded([&] { Chart1MouseDown(e->button(), e->modifiers(), p.x(), p.y()); });
    });
    connect(Chart2, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupMenu(PopupMenu2, nullptr, Chart2->mapToGlobal(pos));
    });
}
