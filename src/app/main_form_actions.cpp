// The action list, the main menu, the popup menus, and the connections of every control
// to its handler. Enabling rules run whenever the application is about to wait for input.
#include "app/main_form.h"

#include "dbaware/table_grid.h"
#include "platform/guarded.h"
#include "widgets/icons.h"
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"
#include "widgets/text_grid.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include <qcustomplot.h>

using dorvin::runGuarded;
using dorvin::icons::imageIndex;
using dorvin::icons::MenuImage;

namespace {

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

QAction* TMainForm::newAction(const char* name, const QString& caption, const QKeySequence& shortcut,
                              int image, std::function<void()> execute, void (TMainForm::*update)())
{
    auto* a = new QAction(caption, ActionList1);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setIcon(ImageList1->icon(image));
    addAction(a); // shortcuts work wherever the focus is in the window
    m_actionRules.push_back({a, std::move(execute), update});
    connect(a, &QAction::triggered, this, [this, a] { executeAction(a); });
    return a;
}

void TMainForm::buildActions()
{
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const QKeySequence none;
    auto image = [](MenuImage i) { return imageIndex(i); };
    TypePane* types = m_types;
    ElementListPane* elements = m_elements;
    ElementExchange* exchange = m_exchange;
    ParamsPane* params = m_params;
    ActionChangeBase = newAction("ActionChangeBase", QStringLiteral("&Изменить..."), none,
                                 image(MenuImage::Bases), [this] { ToolButton2Click(); });
    ActionExit = newAction("ActionExit", QStringLiteral("Вы&ход"), none, image(MenuImage::Exit),
                           [this] { ActionExitExecute(); });
    ActionChangeUGO = newAction("ActionChangeUGO", QStringLiteral("Сменить УГО"), none,
                                image(MenuImage::Picture), [types] { types->UGOImageClick(); });
    ActionAdd = newAction("ActionAdd", QStringLiteral("&Добавить"), QKeySequence(Qt::CTRL | Qt::Key_N),
                          image(MenuImage::Plus), [elements] { elements->CmAddElemClick(); });
    ActionDelete = newAction(
        "ActionDelete", QStringLiteral("&Удалить"), QKeySequence(Qt::CTRL | Qt::Key_Delete),
        image(MenuImage::Minus), [elements] { elements->CmDelElemClick(); }, &TMainForm::ActionDeleteUpdate);
    ActionApply = newAction(
        "ActionApply", QStringLiteral("Принять изменения"), QKeySequence(Qt::CTRL | Qt::Key_A),
        image(MenuImage::Check), [elements] { elements->CmApplyClick(); }, &TMainForm::ActionApplyUpdate);
    ActionCancel = newAction(
        "ActionCancel", QStringLiteral("Отменить изменения"), QKeySequence(Qt::CTRL | Qt::Key_Z),
        image(MenuImage::Cross), [elements] { elements->CmUndoClick(); }, &TMainForm::ActionCancelUpdate);
    ActionSaveElToFile = newAction(
        "ActionSaveElToFile", QStringLiteral("Сохранить в файл..."), none, image(MenuImage::SaveOut),
        [exchange] { exchange->CopyBtnClick(); }, &TMainForm::ActionSaveElToFileUpdate);
    ActionInsertElToFile = newAction("ActionInsertElToFile", QStringLiteral("Вставить из файла..."), none,
                                     image(MenuImage::InsertIn), [exchange] { exchange->InsertFromFile(); });
    ActionFind = newAction("ActionFind", QStringLiteral("Найти..."), QKeySequence(Qt::CTRL | Qt::Key_F),
                           image(MenuImage::Find), [exchange] { exchange->FindClick(); });
    ActionSelectAll = newAction(
        "ActionSelectAll", QStringLiteral("Выделить все"), QKeySequence(Qt::CTRL | Qt::Key_S),
        image(MenuImage::SelectAll), [params] { params->SelectAllClick(); },
        &TMainForm::ActionSelectAllUpdate);
    ActionFillDown = newAction(
        "ActionFillDown", QStringLiteral("Заполнить вниз"), QKeySequence(Qt::CTRL | Qt::Key_D),
        image(MenuImage::FillDown), [params] { params->FillDownClick(); }, &TMainForm::ActionFillDownUpdate);
    ActionFillUp = newAction(
        "ActionFillUp", QStringLiteral("Заполнить вверх"), QKeySequence(Qt::CTRL | Qt::Key_U),
        image(MenuImage::FillUp), [params] { params->FillUpClick(); }, &TMainForm::ActionFillUpUpdate);
    ActionInter = newAction(
        "ActionInter", QStringLiteral("Интерполировать"), QKeySequence(Qt::CTRL | Qt::Key_I),
        image(MenuImage::Slope), [params] { params->CmExtraClick(); }, &TMainForm::ActionInterUpdate);
    ActionCopyParams = newAction(
        "ActionCopyParams", QStringLiteral("Скопировать"), QKeySequence(Qt::CTRL | Qt::Key_C),
        image(MenuImage::Copy), [params] { params->CopyItemClick(); }, &TMainForm::ActionCopyParamsUpdate);
    ActionPastParams = newAction(
        "ActionPastParams", QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V),
        image(MenuImage::Paste), [params] { params->PasteItemClick(); }, &TMainForm::ActionPastParamsUpdate);
    ActionPrintGraph = newAction("ActionPrintGraph", QStringLiteral("Напечатать график"), none,
                                 image(MenuImage::Print), [params] { params->ActionPrintGraphExecute(); });
    ActionSaveGraphAsPicture =
        newAction("ActionSaveGraphAsPicture", QStringLiteral("Сохранить график как картинку"), none,
                  image(MenuImage::SavePicture), [params] { params->ActionSaveGraphAsPictureExecute(); });
    qApp->installEventFilter(new ParamClipboardKeys(this));
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
        const QString keys =
            !shownShortcut.isEmpty() ? shownShortcut : action->shortcut().toString(QKeySequence::NativeText);
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
    N11->setIcon(ImageList1->icon(imageIndex(MenuImage::Help)));
    connect(N11, &QAction::triggered, this, [this] { runGuarded([this] { N11Click(); }); });
    N3 = newMenuItem(HelpMenu, "N3", nullptr);
    N3->setText(QStringLiteral("О программе"));
    N3->setIcon(ImageList1->icon(imageIndex(MenuImage::Help)));
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
        runGuarded([&] { rule.execute(); });
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
    m_types->refreshNavigator();
    m_elements->refreshNavigator();
    m_params->refreshNavigator();
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
    // Idle-time enabling: whenever this thread's event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        m_idleConnection =
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { runIdleUpdate(); });

    Panel1->onResize = [this] { Panel1Resize(); };
    ElemDBGrid->viewport()->installEventFilter(this);
    DBGrid1->viewport()->installEventFilter(this);
    ParamsGrid->viewport()->installEventFilter(this);
    Splitter1->onCanResize = [this](int& size, bool& accept) { Splitter1CanResize(size, accept); };
    Splitter1->onMoved = [this] { Splitter1Moved(); };
    Splitter2->onCanResize = [this](int& size, bool& accept) { Splitter2CanResize(size, accept); };
    connect(AliasComboBox, &QComboBox::activated, this,
            [this] { runGuarded([this] { AliasComboBoxClick(); }); });

    for (dorvin::Pane* pane : panes())
        pane->connectControls();

    // The popup menus are the window's; the panes' controls ask for them.
    connect(ElemDBGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupMenu(PopupMenu1, &TMainForm::PopupMenu1Popup, ElemDBGrid->viewport()->mapToGlobal(pos));
    });
    connect(ParamsGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        popupMenu(EditMenu, &TMainForm::EditMenuPopup, ParamsGrid->viewport()->mapToGlobal(pos));
    });
    connect(Chart2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupMenu(PopupMenu2, nullptr, Chart2->mapToGlobal(pos)); });
}

// ---- enabling rules and popup handlers: the panes tell what the window's items show ----

void TMainForm::ActionDeleteUpdate()
{
    ActionDelete->setEnabled(m_elements->hasElements());
}

void TMainForm::ActionSaveElToFileUpdate()
{
    ActionSaveElToFile->setEnabled(m_elements->hasElements());
}

void TMainForm::ActionSelectAllUpdate()
{
    ActionSelectAll->setEnabled(m_params->gridEnabled());
}

void TMainForm::ActionApplyUpdate()
{
    if (!DataM)
        return;
    ActionApply->setEnabled(m_params->editing());
}

void TMainForm::ActionCancelUpdate()
{
    if (!DataM)
        return;
    ActionCancel->setEnabled(m_params->editing());
}

void TMainForm::ActionFillDownUpdate()
{
    ActionFillDown->setEnabled(m_params->rangeCommandEnabled());
}

void TMainForm::ActionFillUpUpdate()
{
    ActionFillUp->setEnabled(m_params->rangeCommandEnabled());
}

void TMainForm::ActionInterUpdate()
{
    ActionInter->setEnabled(m_params->rangeCommandEnabled());
}

void TMainForm::ActionCopyParamsUpdate()
{
    ActionCopyParams->setEnabled(m_params->gridEnabled());
}

void TMainForm::ActionPastParamsUpdate()
{
    ActionPastParams->setEnabled(m_params->gridEnabled());
}

void TMainForm::PopupMenu1Popup()
{
    const bool editingRow = m_elements->editingRow();
    CmApply->setEnabled(editingRow);
    CmUndo->setEnabled(editingRow);
}

void TMainForm::EditMenuPopup()
{
    const dorvin::RowRange rows = m_params->selectedRows();
    const bool range = rows.top < rows.bottom;
    FillUp->setEnabled(range);
    FillDown->setEnabled(range);
    CmExtra->setEnabled(range);
    const bool editing = m_params->editing();
    CmCanc->setEnabled(editing);
    CmApplyCh->setEnabled(editing);
}
