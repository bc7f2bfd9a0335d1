// The main window's controls, menus, actions, resize rules, splitter limits, shortcuts,
// help, mouse-wheel translation and the About box.
#include "app/about_box.h"
#include "app/main_form.h"
#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "support/fake_services.h"
#include "widgets/hints.h"
#include "widgets/image.h"
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"
#include "widgets/text_grid.h"
#include "widgets/tool_bar.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <qcustomplot.h>

#include <map>
#include <memory>

using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;

// Every test starts from a fresh window over an empty program folder, with the services
// fake in place.
struct WindowFixture {
    TempProgramDir dir;
    FakeServices fake;
    ServicesGuard guard{fake};
    TMainForm window;
};

class MainWindowLayoutTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> m_window;
    TMainForm& window() { return m_window->window; }
private slots:
    void init() { m_window = std::make_unique<WindowFixture>(); }
    void cleanup() { m_window.reset(); }
    void everyNamedComponentExists();
    void windowFactsAndStatusBar();
    void actionsCarryCaptionShortcutAndPicture();
    void menusListTheirItemsInOrder();
    void elementColumnsFollowTheWindow();
    void toolBarButtonsShareTheWidth();
    void splitterLimits();
    void everyShortcutCarriesOutItsOwnCommand();
    void windowShortcutsComeBeforeTheEditor();
    void disabledRuleStopsTheCommand();
    void helpByContextAndContents();
    void wheelBecomesOneArrowKey();
    void aboutBoxAndMailLink();
};

void MainWindowLayoutTest::everyNamedComponentExists()
{
    TMainForm& w = window();
    const char* widgets[] = {"Panel1",        "GroupBox2", "Panel4",          "Panel5",    "UGOImage",
                             "OrLabel",       "Label5",    "Panel2",          "DBGrid1",   "DBNavigator4",
                             "AliasComboBox", "ComboBox1", "PasteBox",        "Splitter2", "ElemListGroupBox",
                             "ElemDBGrid",    "Panel6",    "ElemDBNavigator", "Splitter1", "ParamsGroupBox",
                             "Panel3",        "DBText1",   "DBNavigator2",    "Panel7",    "ParamsGrid",
                             "ToolBar2",      "TopBut",    "UpBut",           "DownBut",   "ButtomBut",
                             "AppBut",        "CancBut",   "Splitter3",       "Chart2",    "StatusBar1",
                             "MainMenu1"};
    for (const char* name : widgets)
        QVERIFY2(w.findChild<QWidget*>(QString::fromLatin1(name)), name);
    const char* objects[] = {"ImageList1",         "ImageList2",  "Timer1",
                             "ApplicationEvents1", "ActionList1", "PopupMenu1",
                             "EditMenu",           "PopupMenu2",  "Series1"};
    for (const char* name : objects)
        QVERIFY2(w.findChild<QObject*>(QString::fromLatin1(name)), name);
    const char* items[] = {"N8",        "N10",     "N7",       "N13",       "N14", "N15",       "CopyBtn",
                           "CmPast",    "N16",     "N17",      "N11",       "N3",  "CmAddElem", "CmDelElem",
                           "CmApply",   "CmUndo",  "N19",      "N18",       "N9",  "SelectAll", "FillDown",
                           "FillUp",    "CmExtra", "CopyItem", "PasteItem", "N22", "N23",       "CmCanc",
                           "CmApplyCh", "Graph1",  "N20"};
    for (const char* name : items)
        QVERIFY2(w.findChild<QAction*>(QString::fromLatin1(name)), name);
    // Names are unique among the window's objects.
    QCOMPARE(w.findChildren<QObject*>(QStringLiteral("ParamsGrid")).size(), 1);
    QVERIFY(w.AliasComboBox->isHidden() && w.ComboBox1->isHidden() && w.PasteBox->isHidden());
}

void MainWindowLayoutTest::windowFactsAndStatusBar()
{
    TMainForm& w = window();
    QCOMPARE(w.objectName(), QStringLiteral("MainForm"));
    QCOMPARE(w.minimumSize(), QSize(640, 480));
    QCOMPARE(w.size(), QSize(714, 526));
    QCOMPARE(w.font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(w.font().pointSize(), 8);
    QCOMPARE(w.Panel1->width(), 337);
    QCOMPARE(w.GroupBox2->title(), QStringLiteral("Тип элемента"));
    QCOMPARE(w.ElemListGroupBox->title(), QStringLiteral("Все элементы типа:"));
    QCOMPARE(w.ParamsGroupBox->title(), QStringLiteral("Параметры :"));
    QCOMPARE(w.Chart2->height(), 267);
    QCOMPARE(w.OrLabel->text(), QStringLiteral("0"));
    QCOMPARE(w.UGOImage->size(), QSize(88, 88));
    QCOMPARE(w.Timer1->interval(), 200);
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(w.ParamsGrid->colCount(), 3);
    QCOMPARE(w.ParamsGrid->rowCountWithTitle(), 97);
    QCOMPARE(w.ParamsGrid->defaultRowHeight(), 20);
    QCOMPARE(dorvin::controlHint(w.ParamsGrid), QStringLiteral("Значения параметра  для разных частот "));
    QVERIFY(w.ParamsGrid->toolTip().isEmpty());
    QVERIFY(w.ElemDBGrid->toolTip().isEmpty());
    QCOMPARE(w.DBGrid1->toolTip(), QStringLiteral("Список типов элементов"));
    QCOMPARE(w.TopBut->toolTip(), QStringLiteral("Первая частота"));
    QCOMPARE(w.CancBut->toolTip(), QStringLiteral("Отменить изменения"));
    QCOMPARE(w.ElemDBNavigator->visibleButtons().size(), 8);
    QCOMPARE(w.ElemDBNavigator->button(dorvin::NavigateBtn::Insert)->toolTip(),
             QStringLiteral("Добавить элемент"));
    QCOMPARE(w.DBNavigator2->visibleButtons().size(), 2);
    QVERIFY(w.DBNavigator2->button(dorvin::NavigateBtn::Prior)->toolTip().isEmpty());
    QCOMPARE(dorvin::controlHint(w.DBNavigator2->button(dorvin::NavigateBtn::Next)),
             QStringLiteral("Следующий параметр"));
    QCOMPARE(w.elementExchange().OpenDialog1.filter, QStringLiteral("Файлы экспорта (*.exp)|*.exp"));
    QCOMPARE(w.elementExchange().OpenDialog1.initialDir, m_window->dir.path());
    QCOMPARE(w.elementExchange().SaveDialog1.initialDir, m_window->dir.path());
    w.setStatusPanelText(1, QStringLiteral("Просмотр"));
    QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));
    auto panels = w.StatusBar1->findChildren<QLabel*>();
    QCOMPARE(panels.size(), 3);
    QCOMPARE(panels[0]->width(), 400);
    QCOMPARE(panels[1]->width(), 130);
    QCOMPARE(panels[2]->width(), 50);
    QCOMPARE(w.ImageList1->count(), 25);
    QCOMPARE(w.ImageList1->imageSize(), QSize(16, 16));
    QCOMPARE(w.ImageList2->count(), 6);
    for (int i = 0; i < 25; ++i)
        QVERIFY2(!w.ImageList1->icon(i).pixmap(16, 16).toImage().isNull(), qPrintable(QString::number(i)));
}

void MainWindowLayoutTest::actionsCarryCaptionShortcutAndPicture()
{
    TMainForm& w = window();
    struct Expect {
        QAction* action;
        const char* caption;
        QKeySequence keys;
    };
    const Expect expected[] = {
        {w.ActionChangeBase, "&Изменить...", {}},
        {w.ActionExit, "Вы&ход", {}},
        {w.ActionChangeUGO, "Сменить УГО", {}},
        {w.ActionAdd, "&Добавить", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {w.ActionDelete, "&Удалить", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {w.ActionApply, "Принять изменения", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {w.ActionCancel, "Отменить изменения", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {w.ActionSaveElToFile, "Сохранить в файл...", {}},
        {w.ActionInsertElToFile, "Вставить из файла...", {}},
        {w.ActionFind, "Найти...", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {w.ActionSelectAll, "Выделить все", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {w.ActionFillDown, "Заполнить вниз", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {w.ActionFillUp, "Заполнить вверх", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {w.ActionInter, "Интерполировать", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {w.ActionCopyParams, "Скопировать", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {w.ActionPastParams, "Вставить", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {w.ActionPrintGraph, "Напечатать график", {}},
        {w.ActionSaveGraphAsPicture, "Сохранить график как картинку", {}},
    };
    QSet<QString> shortcuts;
    for (const Expect& e : expected) {
        QVERIFY(e.action);
        QCOMPARE(e.action->text(), QString::fromUtf8(e.caption));
        QCOMPARE(e.action->shortcut(), e.keys);
        QVERIFY2(!e.action->icon().isNull(), e.caption);
        if (!e.keys.isEmpty()) {
            QVERIFY2(!shortcuts.contains(e.keys.toString()), e.caption); // no shortcut twice
            shortcuts.insert(e.keys.toString());
        }
    }
    // Menu items show their action's caption and shortcut without owning the shortcut.
    QCOMPARE(w.N14->text(), QStringLiteral("&Добавить\tCtrl+N"));
    QVERIFY(w.N14->shortcut().isEmpty());
    QCOMPARE(w.N7->text(), QStringLiteral("Вы&ход\tAlt+F4"));
    QCOMPARE(w.N11->text(), QStringLiteral("&Содержание"));
    QCOMPARE(w.N3->text(), QStringLiteral("О программе"));
    // An item follows its action's enabled state.
    w.ActionDelete->setEnabled(false);
    QVERIFY(!w.N15->isEnabled() && !w.CmDelElem->isEnabled());
    w.ActionDelete->setEnabled(true);
    QVERIFY(w.N15->isEnabled() && w.CmDelElem->isEnabled());
}

void MainWindowLayoutTest::menusListTheirItemsInOrder()
{
    TMainForm& w = window();
    auto names = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") + a->objectName() : a->objectName());
        return out;
    };
    QStringList titles;
    for (QAction* a : w.MainMenu1->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"&База", "&Элемент", "&Помощь"}));
    QCOMPARE(names(w.BaseMenu), (QStringList{"N8", "-N10", "N7"}));
    QCOMPARE(names(w.ElementMenu), (QStringList{"N13", "N14", "N15", "CopyBtn", "CmPast", "-N16", "N17"}));
    QCOMPARE(names(w.HelpMenu), (QStringList{"N11", "N3"}));
    QCOMPARE(names(w.PopupMenu1),
             (QStringList{"CmAddElem", "CmDelElem", "CmApply", "CmUndo", "-", "N19", "N18", "-", "N9"}));
    QCOMPARE(names(w.EditMenu), (QStringList{"SelectAll", "FillDown", "FillUp", "CmExtra", "CopyItem",
                                             "PasteItem", "-", "N22", "N23", "-", "CmCanc", "CmApplyCh"}));
    QCOMPARE(names(w.PopupMenu2), (QStringList{"Graph1", "N20"}));
    // The swapped-looking pair of the edit menu stays as it is: CmCanc accepts, CmApplyCh cancels.
    QCOMPARE(w.CmCanc->text(),
             w.ActionApply->text() + u'\t' + w.ActionApply->shortcut().toString(QKeySequence::NativeText));
    QVERIFY(w.CmApplyCh->text().startsWith(w.ActionCancel->text()));
}

void MainWindowLayoutTest::elementColumnsFollowTheWindow()
{
    TMainForm& w = window();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (QSize size : {QSize(640, 480), QSize(900, 700), QSize(714, 526)}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        QCoreApplication::processEvents();
        const int cw = w.ElemDBGrid->clientWidth();
        QCOMPARE(w.ElemDBGrid->colWidth(0), int(cw * 0.12));
        QCOMPARE(w.ElemDBGrid->colWidth(1), int(cw * 0.65));
        QCOMPARE(w.ElemDBGrid->colWidth(2), cw - int(cw * 0.12) - int(cw * 0.65) - 15);
        const int gw = w.ParamsGrid->clientWidth();
        QCOMPARE(w.ParamsGrid->colWidth(0), int(gw * 0.15));
        QCOMPARE(w.ParamsGrid->colWidth(1), int(gw * 0.4));
        QCOMPARE(w.ParamsGrid->colWidth(2), gw - int(gw * 0.15) - int(gw * 0.4) - 2);
        QCOMPARE(w.DBGrid1->colWidth(0), w.DBGrid1->dataClientWidth());
        QCOMPARE(w.ToolBar2->buttonWidth(), w.ToolBar2->width() / 6);
    }
    // The window cannot be made smaller than 640 x 480.
    w.resize(300, 200);
    QCoreApplication::processEvents();
    QVERIFY(w.width() >= 640 && w.height() >= 480);
}

void MainWindowLayoutTest::toolBarButtonsShareTheWidth()
{
    TMainForm& w = window();
    for (auto [width, button] :
         {std::pair{300, 50}, std::pair{305, 50}, std::pair{311, 51}, std::pair{5, 0}}) {
        w.ToolBar2->setFixedWidth(width);
        w.ToolBar2->resize(width, w.ToolBar2->height());
        w.paramsPane().ToolBar2Resize();
        QCOMPARE(w.ToolBar2->buttonWidth(), button);
        QCOMPARE(w.TopBut->width(), button);
        QCOMPARE(w.CancBut->x() - w.TopBut->x(), 5 * button);
    }
}

void MainWindowLayoutTest::splitterLimits()
{
    TMainForm& w = window();
    w.resize(900, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.Panel1->width(), 337);
    QVERIFY(!w.Splitter1->proposeSize(320));
    QCOMPARE(w.Panel1->width(), 337);
    QVERIFY(w.Splitter1->proposeSize(321));
    QCOMPARE(w.Panel1->width(), 321);
    QVERIFY(!w.Splitter1->proposeSize(100)); // limited to the minimum, which is refused too
    QCOMPARE(w.Panel1->width(), 321);
    QVERIFY(w.Splitter1->proposeSize(400));
    QCoreApplication::processEvents();
    QCOMPARE(w.Panel1->width(), 400);

    QCOMPARE(w.GroupBox2->height(), 135);
    QVERIFY(!w.Splitter2->proposeSize(200));
    QVERIFY(!w.Splitter2->proposeSize(220));
    QCOMPARE(w.GroupBox2->height(), 135);
    QVERIFY(w.Splitter2->proposeSize(221));
    QCOMPARE(w.GroupBox2->height(), 221);
    QVERIFY(!w.Splitter2->proposeSize(220));
    QCOMPARE(w.GroupBox2->height(), 221);

    // A real drag of the vertical bar, 30 pixels to the right.
    QCoreApplication::processEvents();
    const int before = w.Panel1->width();
    const QPoint centre = w.Splitter1->rect().center();
    QTest::mousePress(w.Splitter1, Qt::LeftButton, {}, centre);
    QMouseEvent move(QEvent::MouseMove, QPointF(centre + QPoint(30, 0)),
                     w.Splitter1->mapToGlobal(QPointF(centre + QPoint(30, 0))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w.Splitter1, &move);
    QTest::mouseRelease(w.Splitter1, Qt::LeftButton, {}, centre + QPoint(30, 0));
    QCOMPARE(w.Panel1->width(), before + 30);
}

void MainWindowLayoutTest::everyShortcutCarriesOutItsOwnCommand()
{
    // Pressed in a fresh window, each command's key sequence carries out that command and no
    // other one.
    QList<QPair<QString, QKeySequence>> keyed;
    for (const QAction* a : window().findChildren<QAction*>()) {
        if (!a->shortcut().isEmpty())
            keyed.append({a->objectName(), a->shortcut()});
    }
    QVERIFY(!keyed.isEmpty());
    for (const auto& [name, keys] : keyed) {
        m_window.reset();
        m_window = std::make_unique<WindowFixture>();
        TMainForm& w = window();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        std::map<QString, int> fired;
        for (QAction* a : w.findChildren<QAction*>()) {
            if (!a->objectName().isEmpty())
                connect(a, &QAction::triggered, &w, [&fired, a] { ++fired[a->objectName()]; });
        }
        QAction* action = w.findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        action->setEnabled(true);
        QTest::keySequence(&w, keys);
        QVERIFY2(fired[name] == 1, qPrintable(name + QStringLiteral(" by ") + keys.toString()));
        for (const auto& [other, count] : fired)
            QVERIFY2(other == name || count == 0,
                     qPrintable(keys.toString() + QStringLiteral(" also ran ") + other));
    }
}

void MainWindowLayoutTest::windowShortcutsComeBeforeTheEditor()
{
    TMainForm& w = window();
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // A line edit inside the window would use Ctrl+C itself; the window's command wins.
    w.ParamsGroupBox->setEnabled(true);
    auto* edit = new QLineEdit(w.Panel3);
    edit->show();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    int copies = 0, finds = 0;
    connect(w.ActionCopyParams, &QAction::triggered, [&] { ++copies; });
    connect(w.ActionFind, &QAction::triggered, [&] { ++finds; });
    w.ActionCopyParams->setEnabled(true);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copies, 1);
    QTest::keyClick(edit, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(finds, 1);
    // Keys that are no command reach the control.
    QTest::keyClick(edit, Qt::Key_Q);
    QCOMPARE(edit->text(), QStringLiteral("q"));
}

void MainWindowLayoutTest::disabledRuleStopsTheCommand()
{
    TMainForm& w = window();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A disabled action's shortcut does nothing.
    int fills = 0;
    connect(w.ActionFillDown, &QAction::triggered, [&] { ++fills; });
    w.ActionFillDown->setEnabled(false);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(fills, 0);
    // Exit closes the window through its close handling.
    QVERIFY(w.isVisible());
    w.ActionExit->trigger();
    QVERIFY(!w.isVisible());
}

void MainWindowLayoutTest::helpByContextAndContents()
{
    TMainForm& w = window();
    QCOMPARE(TMainForm::helpContextOf(w.DBGrid1), 100);
    QCOMPARE(TMainForm::helpContextOf(w.UGOImage), 100);
    QCOMPARE(TMainForm::helpContextOf(w.ElemDBGrid->viewport()), 101);
    QCOMPARE(TMainForm::helpContextOf(w.ParamsGrid->viewport()), 102);
    QCOMPARE(TMainForm::helpContextOf(w.Chart2), 102);
    QCOMPARE(TMainForm::helpContextOf(w.StatusBar1), 0);
    w.N11->trigger();
    QCOMPARE(m_window->fake.count(ServiceCall::HelpContents), 1);

    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.ParamsGroupBox->setEnabled(true);
    w.ParamsGrid->setFocus();
    QTRY_VERIFY(w.ParamsGrid->hasFocus());
    QTest::keyClick(w.ParamsGrid, Qt::Key_F1);
    QCOMPARE(m_window->fake.count(ServiceCall::HelpContext), 1);
    QCOMPARE(m_window->fake.last(ServiceCall::HelpContext)->context, 102);
}

void MainWindowLayoutTest::wheelBecomesOneArrowKey()
{
    // The main window (made by init()) translates the wheel for any window of the program: a list with the focus moves one row per wheel message.
    QListWidget list;
    list.addItems({"a", "b", "c", "d", "e", "f", "g"});
    list.setCurrentRow(3);
    list.show();
    list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    list.setFocus();
    auto wheel = [&](int delta) {
        const QPointF pos = list.viewport()->rect().center();
        QWheelEvent e(pos, list.viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(list.viewport(), &e);
    };
    wheel(120 * 3); // several notches in one message: still one row
    QCOMPARE(list.currentRow(), 2);
    wheel(-120);
    QCOMPARE(list.currentRow(), 3);
    wheel(-1);
    QCOMPARE(list.currentRow(), 4);
    wheel(0); // no vertical distance: not a turn
    QCOMPARE(list.currentRow(), 4);
    // After the window has gone, wheel messages are the widgets' own again.
}

void MainWindowLayoutTest::aboutBoxAndMailLink()
{
    FakeServices fake;
    ServicesGuard guard(fake);
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
    QCOMPARE(box.size(), QSize(255, 238));
    QCOMPARE(box.Label1->text(), QStringLiteral("TOLVEK"));
    QCOMPARE(box.Label1->font().family(), QStringLiteral("Arial Black"));
    QVERIFY(box.Label1->font().bold() && box.Label1->font().italic());
    QCOMPARE(box.ProductName->text(), QStringLiteral("Редактор базы данных элементов DorvinDB"));
    QCOMPARE(box.Version->text(), QStringLiteral("Версия 1.4 от 27.12.2005"));
    QCOMPARE(box.Comments->text(), QStringLiteral("По всем возникающим вопросам обращайтесь по адресу:"));
    QCOMPARE(box.Label7->toolTip(), QStringLiteral("Нажмите здесь, чтобы написать письмо разработчику."));
    QCOMPARE(box.OKButton->geometry(), QRect(90, 204, 75, 25));
    QVERIFY(box.OKButton->isDefault());

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.Label7, Qt::LeftButton);
    QCOMPARE(fake.count(ServiceCall::DesktopOpen), 1);
    const QString link = fake.last(ServiceCall::DesktopOpen)->text;
    QCOMPARE(
        link,
        QStringLiteral("mailto:") + box.Label7->text()
            + QStringLiteral("?subject=Dorvin 1.4, редактор базы данных элементов.&body=Здравствуйте! ")
            + QChar(u'\n')
            + QStringLiteral("Я использую Вашу программу Dorvin 1.4, и у меня возникли следующие вопросы:"));
    QVERIFY(!link.contains(u'%'));
    QCOMPARE(link.count(u'\n'), 1);
    QVERIFY(box.isVisible()); // the box stays open, whatever the shell answered
    fake.desktopOpenResult = false;
    QTest::mouseClick(box.Label7, Qt::LeftButton);
    QVERIFY(box.isVisible());
    QCOMPARE(fake.calls.size(), size_t(2)); // no message of its own

    // Esc closes it.
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(MainWindowLayoutTest)
#include "main_window_layout_test.moc"
