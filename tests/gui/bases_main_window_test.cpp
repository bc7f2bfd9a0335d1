// The "&Изменить..." command of the main window: the dialog over the window's base list,
// what a confirmation opens and writes into Dorvin.ini, and what a cancel leaves alone.
#include "bases_support.h"

#include "app/main_form.h"
#include "platform/file_names.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "support/fake_services.h"

#include <QAction>
#include <QComboBox>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;
using namespace bases_test;

namespace {

QByteArray cp1251(const QString& text)
{
    const std::string bytes = dorvin::toCp1251(text);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

const QString designCaption = QStringLiteral("База данных элементов кабельных сетей");

} // namespace

class BasesMainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fake.resetScript();
        dir = std::make_unique<TempProgramDir>();
        QVERIFY(dir->isValid());
        dorvin::setProgramDirectoryForTests(dir->path());
        writeBase(dir->file("A.CBB"), "A");
        writeBase(dir->file("B.CBB"), "B");
        writeBase(dir->file("Template.cds"), "TPL");
    }
    void cleanup()
    {
        dorvin::setProgramDirectoryForTests({});
        dir.reset();
    }

    void confirmOpensTheChosenBaseAndRewritesSettings();
    void removingTheLastEntryOpensNothingAndStaysThatWay();
    void cancelAfterCreateKeepsFileButNotEntry();
    void firstEntryIsOfferedWhenNoneIsCurrent();
    void failedOpenAfterConfirmWritesNoSettings();
    void doubleClickConfirmsTheRealDialog();
    void hintsShowInTheStatusBar();

private:
    // Dorvin.ini with base A (stored with the program-directory prefix) and base B
    // (absolute), A current.
    void writeTwoBaseSettings()
    {
        settingsText = QStringLiteral("[Bases]\r\nБаза А=$(ProgDirectory)\\A.CBB\r\nБаза Б=")
                       + dir->file("B.CBB") + QStringLiteral("\r\n[CurBase]\r\nРабочая база=База А\r\n");
        QVERIFY(dir->writeFile("Dorvin.ini", cp1251(settingsText)));
    }
    static void markBase(TDataM& dm, const QString& mark)
    {
        dm.BaseFreqs.first();
        dm.BaseFreqs.edit();
        dm.BaseFreqsNAME.setString(mark.toStdString());
        dm.BaseFreqs.post();
    }

    FakeServices fake;
    ServicesGuard guard{fake};
    std::unique_ptr<TempProgramDir> dir;
    QString settingsText;
};

void BasesMainWindowTest::confirmOpensTheChosenBaseAndRewritesSettings()
{
    writeTwoBaseSettings();
    TMainForm form;
    QCOMPARE(QString::fromStdString(form.DataM->currentBasePath()), dir->file("A.CBB"));
    markBase(*form.DataM, "AEDIT");

    ModalScript script;
    QStringList offered;
    QString pathShown;
    script.then([&](QDialog* d) {
        auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        offered = dialog->lines();
        pathShown = dialog->PathLabel->text();
        dialog->AliasListBox->setCurrentRow(1);
        return int(QDialog::Accepted);
    });
    form.ActionChangeBase->trigger();
    QCOMPARE(script.shown, 1);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);

    QCOMPARE(offered, (QStringList{"База А=$(ProgDirectory)\\A.CBB", "База Б=" + dir->file("B.CBB")}));
    QCOMPARE(pathShown, dorvin::shortenedPath(dir->file("A.CBB")));
    // The base that was open went back to its file; the chosen one is open now.
    QCOMPARE(markOf(dir->file("A.CBB")), QStringLiteral("AEDIT"));
    QCOMPARE(QString::fromStdString(form.DataM->currentBasePath()), dir->file("B.CBB"));
    QCOMPARE(markOf(*form.DataM), QStringLiteral("B"));
    QCOMPARE(form.windowTitle(), QStringLiteral("База элементов: База Б"));
    QCOMPARE(form.AliasComboBox->currentText(), QStringLiteral("База Б"));

    // The current name in place, the list rewritten in order with the stored paths as
    // they were (the prefix kept), all in Windows-1251 with CRLF.
    const QByteArray expected = cp1251(QStringLiteral("[CurBase]\r\nРабочая база=База Б\r\n"
                                                      "[Bases]\r\nБаза А=$(ProgDirectory)\\A.CBB\r\n"
                                                      "База Б=")
                                       + dir->file("B.CBB") + QStringLiteral("\r\n"));
    QCOMPARE(dir->readFile("Dorvin.ini"), expected);
}

void BasesMainWindowTest::removingTheLastEntryOpensNothingAndStaysThatWay()
{
    QVERIFY(dir->writeFile("Dorvin.ini", cp1251(QStringLiteral("[Bases]\r\nОдна=") + dir->file("A.CBB")
                                                + QStringLiteral("\r\n[CurBase]\r\nРабочая база=Одна\r\n"))));
    {
        TMainForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("База элементов: Одна"));
        ModalScript script;
        QString nameShown;
        script.then([&](QDialog* d) {
            auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            dialog->ActionDeleteExecute();
            nameShown = dialog->NameLabel->text();
            return int(QDialog::Accepted);
        });
        form.ToolButton2Click();
        QCOMPARE(fake.count(ServiceCall::Question), 1);
        QCOMPARE(nameShown, QStringLiteral("Одна"));
        QCOMPARE(form.AliasComboBox->count(), 0);
        QCOMPARE(form.ComboBox1->count(), 0);
        // Nothing else is opened; the base that was open stays.
        QCOMPARE(QString::fromStdString(form.DataM->currentBasePath()), dir->file("A.CBB"));
        QCOMPARE(form.windowTitle(), QStringLiteral("База элементов: Одна"));
        QCOMPARE(dir->readFile("Dorvin.ini"), cp1251(QStringLiteral("[CurBase]\r\nРабочая база=\r\n")));
        form.close();
    }
    TMainForm next;
    QVERIFY(next.DataM->currentBasePath().empty());
    QCOMPARE(next.windowTitle(), designCaption);
    QVERIFY(!next.GroupBox2->isEnabled());
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
}

void BasesMainWindowTest::cancelAfterCreateKeepsFileButNotEntry()
{
    writeTwoBaseSettings();
    const QByteArray settingsBefore = dir->readFile("Dorvin.ini");
    const QByteArray templateBefore = dir->readFile("Template.cds");
    {
        TMainForm form;
        markBase(*form.DataM, "AEDIT");
        ModalScript script;
        script.then([&](QDialog* d) {
            auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
            if (!dialog)
                return int(QDialog::Rejected);
            fake.saveAnswers = {dir->file("Новая.CBB")};
            dialog->ActionCreateEmptyExecute();
            return int(QDialog::Rejected);
        });
        script.keepName();
        form.ToolButton2Click();
        QCOMPARE(script.shown, 2);
        QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
        QCOMPARE(markOf(dir->file("Новая.CBB")), QStringLiteral("TPL"));
        QCOMPARE(dir->readFile("Dorvin.ini"), settingsBefore);
        QCOMPARE(form.AliasComboBox->count(), 2);
        // The window still holds its own base, edits included.
        QCOMPARE(QString::fromStdString(form.DataM->currentBasePath()), dir->file("A.CBB"));
        QCOMPARE(markOf(*form.DataM), QStringLiteral("AEDIT"));
        QCOMPARE(form.windowTitle(), QStringLiteral("База элементов: База А"));
        form.close();
    }
    // Closing wrote the open base to its own file and never touched the template.
    QCOMPARE(dir->readFile("Template.cds"), templateBefore);
    QCOMPARE(markOf(dir->file("A.CBB")), QStringLiteral("AEDIT"));
}

void BasesMainWindowTest::firstEntryIsOfferedWhenNoneIsCurrent()
{
    const QString text = QStringLiteral("[Bases]\r\nПервая=") + dir->file("A.CBB")
                         + QStringLiteral("\r\nВторая=") + dir->file("B.CBB") + QStringLiteral("\r\n");
    QVERIFY(dir->writeFile("Dorvin.ini", cp1251(text)));
    TMainForm form;
    QVERIFY(form.DataM->currentBasePath().empty());

    ModalScript script;
    int selected = -2;
    QString nameShown;
    script.then([&](QDialog* d) {
        auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        selected = dialog->selectedIndex();
        nameShown = dialog->NameLabel->text();
        return int(QDialog::Rejected);
    });
    form.ToolButton2Click();
    QCOMPARE(selected, 0);
    QCOMPARE(nameShown, QStringLiteral("Первая"));
    // Cancelling opens nothing and writes nothing.
    QVERIFY(form.DataM->currentBasePath().empty());
    QCOMPARE(dir->readFile("Dorvin.ini"), cp1251(text));
}

void BasesMainWindowTest::failedOpenAfterConfirmWritesNoSettings()
{
    writeTwoBaseSettings();
    QVERIFY(QFile::remove(dir->file("B.CBB")));
    const QByteArray settingsBefore = dir->readFile("Dorvin.ini");
    TMainForm form;
    ModalScript script;
    script.then([&](QDialog* d) {
        auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        fake.openAnswers = {{dir->file("C.CBB")}};
        dialog->AddExisting(); // named at once by the step below
        dialog->AliasListBox->setCurrentRow(1);
        return int(QDialog::Accepted);
    });
    script.nameWith("Третья");
    form.ActionChangeBase->trigger();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(dir->readFile("Dorvin.ini"), settingsBefore);
    // The window keeps the confirmed list until the next read of the settings file.
    QCOMPARE(form.AliasComboBox->count(), 3);
    QCOMPARE(form.ComboBox1->itemText(2), "Третья=" + dir->file("C.CBB"));
}

void BasesMainWindowTest::doubleClickConfirmsTheRealDialog()
{
    writeTwoBaseSettings();
    TMainForm form;
    bool found = false;
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = qobject_cast<TOpenBaseDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        found = true;
        const QRect item = dialog->AliasListBox->visualItemRect(dialog->AliasListBox->item(1));
        QTest::mouseClick(dialog->AliasListBox->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(dialog->AliasListBox->viewport(), Qt::LeftButton, {}, item.center());
    });
    // A guard so a failure cannot leave the test waiting.
    QTimer::singleShot(5000, &form, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    form.ToolButton2Click();
    QVERIFY(found);
    QCOMPARE(QString::fromStdString(form.DataM->currentBasePath()), dir->file("B.CBB"));
    QVERIFY(dorvin::fromCp1251(dir->readFile("Dorvin.ini").toStdString())
                .contains(QStringLiteral("Рабочая база=База Б")));
}

void BasesMainWindowTest::hintsShowInTheStatusBar()
{
    writeTwoBaseSettings();
    TMainForm form;
    ModalScript script;
    QString shown;
    script.then([&](QDialog* d) {
        auto* dialog = qobject_cast<TOpenBaseDialog*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(dialog->RemoveButt, &enter);
        shown = form.statusPanelText(0);
        return int(QDialog::Rejected);
    });
    form.ToolButton2Click();
    QCOMPARE(shown, QStringLiteral("Удалить базу из списка используемых"));
    QCOMPARE(form.statusPanelText(0), QString());
}

QTEST_MAIN(BasesMainWindowTest)
#include "bases_main_window_test.moc"
