// The window around the element list as a user sees it: it speaks Russian (the toolkit's
// dialogs and buttons included), its texts fit their boxes, its panes never overlap, the
// find dialog goes with it, and the help says what Ctrl+A and Ctrl+Z do.
#include "support/dialogs.h"
#include "support/program.h"
#include "support/user.h"

#include "dbaware/table_grid.h"
#include "elements/find_form.h"
#include "platform/help_viewer.h"
#include "storage/data_module.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

using namespace acceptance;

namespace {

void exitProgram(User& user, Program& program)
{
    QVERIFY(
        user.chooseMenuItem(program.window().MainMenu1, QStringLiteral("&База"), QStringLiteral("Вы&ход")));
    QVERIFY(program.waitUntilClosed());
}

QStringList visibleTexts(QWidget* dialog)
{
    QStringList texts;
    for (QLabel* l : dialog->findChildren<QLabel*>())
        if (l->isVisible())
            texts << l->text();
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible())
            texts << b->text();
    texts << dialog->windowTitle();
    texts.removeAll(QString());
    return texts;
}

// Words of the toolkit's English dialogs.
const QRegularExpression englishWords(QStringLiteral(
    "\\b(Save|Open|Cancel|Look in|File name|Files of type|Yes|No|already exists|replace|not found)\\b"));

// 60 elements of the first type, numbered models and codes, for a list that scrolls.
void sixtyElements(TDataM& dm)
{
    dm.ClGroupsTable.first();
    const int group = int(dm.ClGroupsTableGROUP.asInteger());
    for (int i = 1; i <= 60; ++i) {
        dm.ClElemsTable.append();
        dm.ClElemsTableGR.setInteger(group);
        dm.ClElemsTableELEM.setInteger(i);
        dm.ClElemsTableMODEL.setString(QStringLiteral("Model %1").arg(i, 2, 10, QChar(u'0')).toStdString());
        dm.ClElemsTableCODE.setString(QStringLiteral("E%1").arg(i, 2, 10, QChar(u'0')).toStdString());
        dm.ClElemsTableCENA.setMoney(i);
        dm.ClElemsTable.post();
    }
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void theFindDialogGoesWithTheWindow()
    {
        auto program = Program::withDemoBase();
        program->start();
        Dialogs dialogs;
        User user;
        user.press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(waitFor([] { return FindForm && FindForm->isVisible(); }));
        exitProgram(user, *program);
        QVERIFY(!FindForm->isVisible());
        // Nothing of the program stays on screen, so the program ends with its window.
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible() || !top->testAttribute(Qt::WA_QuitOnClose),
                     qPrintable(top->objectName() + QLatin1Char(' ') + top->windowTitle()));
        QVERIFY2(dialogs.seen().empty(), qPrintable(dialogs.describe()));
    }

    void aFoundElementIsShownInTheMiddleOfTheList()
    {
        Program program(sixtyElements);
        TMainForm& w = program.start();
        User user;
        user.clickCell(w.ElemDBGrid, 0, 1);
        user.press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(waitFor([] { return FindForm && FindForm->isVisible(); }));
        user.type(QStringLiteral("E40"));
        QCOMPARE(w.ElemDBGrid->currentIndex().row(), 39);
        const QRect cell = w.ElemDBGrid->visualRect(w.ElemDBGrid->currentIndex());
        const int middle = w.ElemDBGrid->viewport()->height() / 2;
        // The list scrolls by whole rows: the middle is met within a row or two.
        QVERIFY2(std::abs(cell.center().y() - middle) <= 2 * cell.height(),
                 qPrintable(QStringLiteral("row at %1, middle %2").arg(cell.center().y()).arg(middle)));
        user.press(Qt::Key_Escape);
        exitProgram(user, program);
    }

    void dialogsAndMessagesSpeakRussian()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ElemDBGrid, 0, 1);

        // The save dialog, answered by typing a name; then the same name again, which asks
        // whether to replace the file.
        QStringList seenTexts;
        const QString file = program->dir().file(QStringLiteral("first"));
        dialogs.answer([&](QWidget* d) {
            seenTexts << visibleTexts(d);
            User u;
            u.press(Qt::Key_A, Qt::ControlModifier);
            u.type(file);
            u.press(Qt::Key_Return);
        });
        QVERIFY(user.chooseMenuItem(w.MainMenu1, QStringLiteral("&Элемент"),
                                    QStringLiteral("Сохранить в файл...")));
        QVERIFY2(waitFor([&] { return dialogs.pendingAnswers() == 0 && !QApplication::activeModalWidget(); },
                         8000),
                 qPrintable(dialogs.describe()));
        QVERIFY(QFile::exists(file + QStringLiteral(".exp")));
        QVERIFY(!seenTexts.isEmpty());
        for (const QString& t : seenTexts)
            QVERIFY2(!englishWords.match(t).hasMatch(), qPrintable(t));

        dialogs.typeAndEnter(file);
        dialogs.answer([&](QWidget* d) {
            seenTexts = visibleTexts(d);
            for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
                if (b->isVisible() && b->text().remove(u'&') == QStringLiteral("Да")) {
                    QTest::mouseClick(b, Qt::LeftButton);
                    return;
                }
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QVERIFY(user.chooseMenuItem(w.MainMenu1, QStringLiteral("&Элемент"),
                                    QStringLiteral("Сохранить в файл...")));
        QVERIFY2(waitFor([&] { return dialogs.pendingAnswers() == 0 && !QApplication::activeModalWidget(); },
                         8000),
                 qPrintable(dialogs.describe()));
        QVERIFY2(dialogs.seen().size() >= 3, qPrintable(dialogs.describe()));
        const SeenDialog& replace = dialogs.seen()[2];
        QCOMPARE(replace.kind, QStringLiteral("message"));
        QVERIFY2(replace.text.contains(QStringLiteral("first.exp")), qPrintable(replace.text));
        QVERIFY2(!englishWords.match(replace.text).hasMatch(), qPrintable(replace.text));
        QVERIFY2(replace.buttons.contains(QStringLiteral("Да"))
                     && replace.buttons.contains(QStringLiteral("Нет")),
                 qPrintable(replace.buttons.join(u'|')));
        exitProgram(user, *program);
    }

    void textsFitTheirBoxesAtTheStartSize()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        User user;
        QCOMPARE(w.size(), QSize(714, 526));
        // The codes of the first type are readable in the code column: six characters show
        // ("OUT-TV", where a regular face showed "OU…"); a longer code is cut at the edge.
        const QFontMetrics grid(w.ElemDBGrid->font());
        for (int r = 0; r < w.ElemDBGrid->model()->rowCount(); ++r) {
            const QString code = cellText(w.ElemDBGrid, r, 0).left(6);
            QVERIFY2(grid.horizontalAdvance(code) + 4 <= w.ElemDBGrid->columnWidth(0),
                     qPrintable(code + QStringLiteral(" in %1 px").arg(w.ElemDBGrid->columnWidth(0))));
        }
        QCOMPARE(w.ElemDBGrid->textElideMode(), Qt::ElideNone);
        // The find dialog's field box shows "Наименование" whole.
        user.press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(waitFor([] { return FindForm && FindForm->isVisible(); }));
        QLineEdit* field = FindForm->FieldCombo->lineEdit();
        QVERIFY(QFontMetrics(field->font()).horizontalAdvance(QStringLiteral("Наименование")) + 4
                <= field->width());
        QVERIFY(FindForm->Label1->geometry().right() < FindForm->FieldCombo->geometry().left());
        user.press(Qt::Key_Escape);
        exitProgram(user, *program);
    }

    void panesNeverOverlapWhenTheWindowShrinks()
    {
        auto program = Program::withDemoBase();
        TMainForm& w = program->start();
        User user;
        w.resize(1200, 800);
        settle(100);
        const int start = w.Panel1->width();
        const QPoint bar = w.Splitter1->rect().center();
        user.drag(w.Splitter1, bar, bar + QPoint(500, 0));
        const int wide = w.Panel1->width();
        QVERIFY(wide > start + 300);
        const int startHeight = w.GroupBox2->height();
        const QPoint bar2 = w.Splitter2->rect().center();
        user.drag(w.Splitter2, bar2, bar2 + QPoint(0, 300));
        const int tall = w.GroupBox2->height();
        QVERIFY(tall > startHeight + 200);

        w.resize(640, 480);
        settle(100);
        const QRect left = w.Panel1->geometry();
        const QRect split = w.Splitter1->geometry();
        const QRect right = w.ParamsGroupBox->geometry();
        QVERIFY2(left.right() < split.left() && split.right() < right.left(),
                 qPrintable(QStringLiteral("left ends %1, splitter at %2, parameters at %3")
                                .arg(left.right())
                                .arg(split.left())
                                .arg(right.left())));
        QVERIFY(right.right() < w.centralWidget()->width());
        QVERIFY(right.width() >= w.ParamsGroupBox->minimumSizeHint().width());
        const QRect types = w.GroupBox2->geometry();
        const QRect split2 = w.Splitter2->geometry();
        const QRect list = w.ElemListGroupBox->geometry();
        QVERIFY(types.bottom() < split2.top() && split2.bottom() < list.top());
        QVERIFY(list.bottom() < w.Panel1->height());
        QVERIFY(list.height() >= w.ElemListGroupBox->minimumSizeHint().height());

        // The chosen sizes come back with the room.
        w.resize(1200, 800);
        settle(100);
        QCOMPARE(w.Panel1->width(), wide);
        QCOMPARE(w.GroupBox2->height(), tall);
        exitProgram(user, *program);
    }

    void theHelpSaysWhatCtrlAAndCtrlZDo()
    {
        auto program = Program::withDemoBase();
        // The help file lives beside the program.
        QVERIFY(QFile::copy(QStringLiteral(DORVIN_BIN_DIR "/Dorvindb.hlp"),
                            program->dir().file(QStringLiteral("Dorvindb.hlp"))));
        TMainForm& w = program->start();
        Dialogs dialogs;
        User user;
        user.clickCell(w.ElemDBGrid, 0, 1);
        user.press(Qt::Key_F1);
        QVERIFY2(waitFor([] { return dorvin::HelpViewer::instance()->isVisible(); }),
                 qPrintable(dialogs.describe()));
        const QString text = dorvin::HelpViewer::instance()->browser()->toPlainText().simplified();
        QVERIFY(text.contains(QStringLiteral(
            "Клавиши Ctrl+A и Ctrl+Z действуют только тогда, когда редактируются значения параметра")));
        dorvin::HelpViewer::instance()->close();

        // And so they do: an element being typed is neither confirmed nor cancelled by them.
        const QString model = cellText(w.ElemDBGrid, 0, 1);
        const QString code = cellText(w.ElemDBGrid, 0, 0);
        user.click(w.ElemDBGrid->viewport(), cellCentre(w.ElemDBGrid, 0, 0));
        user.type(QStringLiteral("K1"));
        user.press(Qt::Key_A, Qt::ControlModifier);
        QVERIFY(w.ElemDBGrid->editorOpen());
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Редактирование"));
        user.press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Редактирование"));
        // Escape closes the editor, the next one drops the edit.
        user.press(Qt::Key_Escape);
        user.press(Qt::Key_Escape);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("Просмотр"));
        exitProgram(user, *program);
        QCOMPARE(program->saved().elementNamed(model).value("CODE").toString(), code);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
