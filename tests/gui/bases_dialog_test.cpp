// The base selection dialog and the name input dialog on their own, over a data module of
// the test's: adding, creating, copying, removing and renaming entries, and the labels.
#include "bases_support.h"

#include "platform/file_names.h"
#include "platform/program_dir.h"
#include "support/fake_services.h"

#include <QAction>
#include <QComboBox>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTimer>

using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;
using namespace bases_test;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class BasesDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fake.resetScript();
        dir = std::make_unique<TempProgramDir>();
        QVERIFY(dir->isValid());
        dorvin::setProgramDirectoryForTests(dir->path());
    }
    void cleanup()
    {
        dorvin::setProgramDirectoryForTests({});
        dir.reset();
    }

    void layoutAndCommands();
    void addingTheSameFileGivesNumberedNames();
    void uniqueNamesIgnoreLetterCase();
    void namesFromOddFileNamesCanBeStored();
    void createFromTemplateLeavesTheEditorAlone();
    void createWithoutAnOpenBaseLeavesNoBaseOpen();
    void createWithoutTemplateReportsAndAddsNothing();
    void createOntoOpenBaseOrTemplateIsRefused();
    void copyProposesNameWithoutExtension();
    void copyWritesBackTheOpenBaseFirst();
    void removeAsksAndKeepsFiles();
    void removingTheLastEntryKeepsLabels();
    void removeAndRenameOnEmptyListDoNothing();
    void renameToOwnNameChangesNothing();
    void renameToEmptyNameRestoresAndStaysOpen();
    void renameToTakenName();
    void renameRefusesNamesTheSettingsFileCannotKeep();
    void renameChangingOnlyLetterCaseOfItsOwnName();
    void shortenedPaths();
    void hintsGoToTheHintSink();
    void doubleClickConfirmsAndKeysDoNot();

private:
    FakeServices fake;
    ServicesGuard guard{fake};
    std::unique_ptr<TempProgramDir> dir;
};

void BasesDialogTest::layoutAndCommands()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("OpenBaseDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Выбор базы данных"));
    QCOMPARE(dialog.size(), QSize(415, 252));
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Не выбрано"));
    QCOMPARE(dialog.PathLabel->text(), QStringLiteral("Не выбран"));
    QVERIFY(dialog.ComboBox1->isHidden());
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("Отмена"));

    // Five commands, each on its button and in the context menu in the same order.
    const QList<QPushButton*> buttons{dialog.CreateEmptyBtn, dialog.CreateCopyBtn, dialog.AddButton,
                                      dialog.RemoveButt, dialog.RenameBut};
    const QStringList captions{"Создать...", "Сделать копию", "Добавить...", "Удалить", "Переименовать..."};
    const QStringList hints{"Создать новую базу элементов", "Создать новую базу элементов - копию указанной",
                            "Добавить новую базу", "Удалить базу из списка используемых",
                            "Переименовать базу"};
    const QList<QAction*> items = dialog.ContextMenu->actions();
    QCOMPARE(items.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(buttons[i]->text(), captions[i]);
        QVERIFY(buttons[i]->toolTip().isEmpty());
        QCOMPARE(items[i]->text(), captions[i]);
        QCOMPARE(items[i]->statusTip(), hints[i]);
    }
    QCOMPARE(dialog.SaveDialog1.title, QStringLiteral("Создать новую базу"));
    QCOMPARE(dialog.SaveDialog1.filter, QStringLiteral("Базы элементов (*.CBB)|*.CBB"));
    QVERIFY(dialog.SaveDialog1.overwritePrompt);
    QCOMPARE(dialog.OpenDialog1.title, QStringLiteral("Добавить новую базу"));
    QCOMPARE(dialog.OpenDialog1.defaultExtension, QStringLiteral("CBB"));
    QVERIFY(dialog.OpenDialog1.mustExist);

    // Copy needs a selected entry; with nothing selected its button is off.
    QVERIFY(!dialog.ActionCopy->isEnabled());
    QVERIFY(!dialog.CreateCopyBtn->isEnabled());
    dialog.setEntries({"A", "B"}, {"A=a.CBB", "B=b.CBB"}, -1);
    QVERIFY(!dialog.ActionCopy->isEnabled());
    dialog.AliasListBox->setCurrentRow(1);
    QVERIFY(dialog.ActionCopy->isEnabled());
    QVERIFY(dialog.CreateCopyBtn->isEnabled());
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("B"));

    TNameForm form;
    QCOMPARE(form.objectName(), QStringLiteral("NameForm"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Новое имя базы элементов"));
    QCOMPARE(form.size(), QSize(341, 83));
    QCOMPARE(form.Edit1->maxLength(), 100);
    QCOMPARE(form.BitBtn1->text(), QStringLiteral("ОК"));
    QVERIFY(form.BitBtn1->isDefault());
}

void BasesDialogTest::addingTheSameFileGivesNumberedNames()
{
    const QString file = QStringLiteral("D:\\Data\\Main.CBB");
    TOpenBaseDialog dialog(nullptr, nullptr);
    ModalScript script;
    for (int i = 0; i < 3; ++i) {
        fake.openAnswers.push_back({file});
        script.cancel(); // the name input dialog that follows each add
        dialog.ActionAdd->trigger();
    }
    QCOMPARE(script.shown, 3);
    QCOMPARE(script.unexpected, 0);
    QCOMPARE(dialog.names(), (QStringList{"Main", "Main_0", "Main_1"}));
    QCOMPARE(dialog.lines(), (QStringList{"Main=" + file, "Main_0=" + file, "Main_1=" + file}));
    QCOMPARE(dialog.selectedIndex(), 2);
    QCOMPARE(dialog.ComboBox1->currentIndex(), 2);
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Main_1"));
    QCOMPARE(dialog.PathLabel->text(), dorvin::shortenedPath(dorvin::ResolveBasePath(file)));
    // The open dialog is the add dialog; the file itself is never read.
    QCOMPARE(fake.texts(ServiceCall::OpenFiles), QStringList(3, QStringLiteral("Добавить новую базу")));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);

    // A cancelled open dialog adds nothing and asks for no name.
    fake.openAnswers.push_back({});
    dialog.ActionAdd->trigger();
    QCOMPARE(dialog.names().size(), 3);
    QCOMPARE(script.shown, 3);
}

void BasesDialogTest::uniqueNamesIgnoreLetterCase()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"main", "MAIN_0", "Сеть"}, {"main=x", "MAIN_0=y", "Сеть=z"}, 0);
    // Exact test for IsNameFree, settings-file equality for MakeUniqueName.
    QVERIFY(dialog.IsNameFree("Main"));
    QVERIFY(!dialog.IsNameFree("main"));
    QCOMPARE(dialog.MakeUniqueName("Main"), QStringLiteral("Main_1"));
    QCOMPARE(dialog.MakeUniqueName("СЕТЬ"), QStringLiteral("СЕТЬ_0"));
    QCOMPARE(dialog.MakeUniqueName(" main "), QStringLiteral(" main _0"));
    QCOMPARE(dialog.MakeUniqueName("Other"), QStringLiteral("Other"));
}

void BasesDialogTest::namesFromOddFileNamesCanBeStored()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    ModalScript script;
    fake.openAnswers = {{"/data/a=b.CBB"}, {"/data/;note.CBB"}, {"/data/.CBB"}};
    script.cancel().cancel().cancel();
    for (int i = 0; i < 3; ++i)
        dialog.AddExisting();
    QCOMPARE(dialog.names(), (QStringList{"a_b", "_note", "База"}));
    QCOMPARE(dialog.lines()[0], QStringLiteral("a_b=/data/a=b.CBB"));

    // A path the settings file cannot hold is refused before anything is added.
    fake.openAnswers = {{QStringLiteral("/data/\u4E2D.CBB")}};
    dialog.AddExisting();
    QCOMPARE(dialog.names().size(), 3);
    QCOMPARE(fake.count(ServiceCall::Message), 1);
    QCOMPARE(script.shown, 3);
}

void BasesDialogTest::createFromTemplateLeavesTheEditorAlone()
{
    const QString templ = dir->file("Template.cds");
    const QString open = dir->file("Open.CBB");
    const QString created = dir->file("sub/New base.CBB");
    QVERIFY(QDir().mkpath(dir->file("sub")));
    writeBase(templ, "TPL");
    writeBase(open, "OPEN");
    const QByteArray templateBytes = bytesOf(templ);

    TDataM dm;
    dm.LoadBase(open.toStdString());
    // An unsaved change of the open base: create writes it back before anything else.
    dm.BaseFreqs.first();
    dm.BaseFreqs.edit();
    dm.BaseFreqsNAME.setString("EDIT");
    dm.BaseFreqs.post();

    TOpenBaseDialog dialog(nullptr, &dm);
    dialog.setEntries({"Open"}, {"Open=" + open}, 0);
    ModalScript script;
    script.nameWith("Новая");
    fake.saveAnswers = {created};
    dialog.ActionCreateEmpty->trigger();

    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    QCOMPARE(fake.texts(ServiceCall::SaveFile), QStringList{"Создать новую базу"});
    QCOMPARE(markOf(created), QStringLiteral("TPL"));
    QCOMPARE(markOf(open), QStringLiteral("EDIT"));
    QCOMPARE(bytesOf(templ), templateBytes);
    // The editor still holds its own base under its own path.
    QCOMPARE(QString::fromStdString(dm.currentBasePath()), open);
    QCOMPARE(markOf(dm), QStringLiteral("EDIT"));
    // The entry was named by the user right away.
    QCOMPARE(dialog.names(), (QStringList{"Open", "Новая"}));
    QCOMPARE(dialog.lines()[1], "Новая=" + created);
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Новая"));
    QCOMPARE(script.shown, 1);

    // A cancelled save dialog stops at once: nothing written back, nothing added.
    dm.BaseFreqs.first();
    dm.BaseFreqs.edit();
    dm.BaseFreqsNAME.setString("AGAIN");
    dm.BaseFreqs.post();
    fake.saveAnswers = {QString()};
    dialog.ActionCreateEmptyExecute();
    QCOMPARE(markOf(open), QStringLiteral("EDIT"));
    QCOMPARE(dialog.names().size(), 2);
}

void BasesDialogTest::createWithoutAnOpenBaseLeavesNoBaseOpen()
{
    writeBase(dir->file("Template.cds"), "TPL");
    TDataM dm;
    TOpenBaseDialog dialog(nullptr, &dm);
    ModalScript script;
    script.keepName();
    fake.saveAnswers = {dir->file("First.CBB")};
    dialog.ActionCreateEmptyExecute();
    QCOMPARE(dialog.names(), QStringList{"First"});
    QCOMPARE(markOf(dir->file("First.CBB")), QStringLiteral("TPL"));
    // With no base open before, none is open after: closing the editor writes nothing.
    QVERIFY(dm.currentBasePath().empty());
}

void BasesDialogTest::createWithoutTemplateReportsAndAddsNothing()
{
    const QString open = dir->file("Open.CBB");
    writeBase(open, "OPEN");
    TDataM dm;
    dm.LoadBase(open.toStdString());
    TOpenBaseDialog dialog(nullptr, &dm);
    dialog.setEntries({"Open"}, {"Open=" + open}, 0);
    ModalScript script;
    fake.saveAnswers = {dir->file("New.CBB")};
    dialog.ActionCreateEmpty->trigger();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QVERIFY(!QFile::exists(dir->file("New.CBB")));
    QCOMPARE(dialog.names(), QStringList{"Open"});
    QCOMPARE(script.shown, 0);
    QCOMPARE(QString::fromStdString(dm.currentBasePath()), open);

    // A damaged template is reported the same way.
    QVERIFY(dir->writeFile("Template.cds", QByteArray("not a base")));
    fake.saveAnswers = {dir->file("New.CBB")};
    dialog.ActionCreateEmpty->trigger();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 2);
    QVERIFY(!QFile::exists(dir->file("New.CBB")));
    QCOMPARE(dialog.names(), QStringList{"Open"});
}

void BasesDialogTest::createOntoOpenBaseOrTemplateIsRefused()
{
    const QString templ = dir->file("Template.cds");
    const QString open = dir->file("Open.CBB");
    writeBase(templ, "TPL");
    writeBase(open, "OPEN");
    const QByteArray templateBytes = bytesOf(templ);
    const QByteArray openBytes = bytesOf(open);
    TDataM dm;
    dm.LoadBase(open.toStdString());
    TOpenBaseDialog dialog(nullptr, &dm);
    dialog.setEntries({"Open"}, {"Open=" + open}, 0);
    ModalScript script;

    // The same files reached through another spelling of their paths.
    fake.saveAnswers = {dir->path() + "/./Open.CBB", dir->path() + "/sub/../Template.cds"};
    dialog.ActionCreateEmptyExecute();
    dialog.ActionCopyExecute();
    QCOMPARE(fake.count(ServiceCall::Message), 2);
    QVERIFY(fake.texts(ServiceCall::Message)[0].contains(QStringLiteral("открытой базы")));
    QVERIFY(fake.texts(ServiceCall::Message)[1].contains(QStringLiteral("шаблона")));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    QCOMPARE(bytesOf(templ), templateBytes);
    QCOMPARE(bytesOf(open), openBytes);
    QCOMPARE(dialog.names(), QStringList{"Open"});
    QCOMPARE(script.shown, 0);
}

void BasesDialogTest::copyProposesNameWithoutExtension()
{
    const QString source = dir->file("net.CBB");
    writeBase(source, "NET");
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Сеть 2.5", "сеть 2"}, {"Сеть 2.5=" + source, "сеть 2=elsewhere"}, 0);
    ModalScript script;
    QString proposed;
    script.then([&proposed](QDialog* d) {
        auto* form = qobject_cast<TNameForm*>(d);
        proposed = form ? form->Edit1->text() : QString();
        return int(QDialog::Rejected);
    });
    fake.saveAnswers = {dir->file("copy.CBB")};
    dialog.ActionCopy->trigger();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    // "Сеть 2.5(копия)" loses everything from its last dot; "сеть 2" makes it "Сеть 2_0".
    QCOMPARE(proposed, QStringLiteral("Сеть 2_0"));
    QCOMPARE(dialog.names().last(), QStringLiteral("Сеть 2_0"));
    QCOMPARE(dialog.lines().last(), "Сеть 2_0=" + dir->file("copy.CBB"));
    QCOMPARE(markOf(dir->file("copy.CBB")), QStringLiteral("NET"));
    QCOMPARE(fake.texts(ServiceCall::SaveFile), QStringList{"Создать новую базу"});

    // Without a selection there is nothing to copy: no dialog is shown.
    dialog.AliasListBox->setCurrentRow(-1);
    dialog.ActionCopyExecute();
    QCOMPARE(fake.count(ServiceCall::SaveFile), 1);
}

void BasesDialogTest::copyWritesBackTheOpenBaseFirst()
{
    const QString open = dir->file("Open.CBB");
    writeBase(open, "OPEN");
    TDataM dm;
    dm.LoadBase(open.toStdString());
    dm.BaseFreqs.first();
    dm.BaseFreqs.edit();
    dm.BaseFreqsNAME.setString("EDIT");
    dm.BaseFreqs.post();

    TOpenBaseDialog dialog(nullptr, &dm);
    dialog.setEntries({"Open"}, {"Open=" + open}, 0);
    ModalScript script;
    script.keepName();
    fake.saveAnswers = {dir->file("Copy of open.CBB")};
    dialog.ActionCopyExecute();
    // The copy holds the edits, and the source is still the editor's base.
    QCOMPARE(markOf(dir->file("Copy of open.CBB")), QStringLiteral("EDIT"));
    QCOMPARE(markOf(open), QStringLiteral("EDIT"));
    QCOMPARE(QString::fromStdString(dm.currentBasePath()), open);
    QCOMPARE(dialog.names(), (QStringList{"Open", "Open(копия)"}));

    // A source that cannot be read: reported, nothing added, the editor's base kept.
    dialog.setEntries({"Gone"}, {"Gone=" + dir->file("missing.CBB")}, 0);
    fake.saveAnswers = {dir->file("x.CBB")};
    dialog.ActionCopy->trigger();
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(dialog.names(), QStringList{"Gone"});
    QVERIFY(!QFile::exists(dir->file("x.CBB")));
    QCOMPARE(QString::fromStdString(dm.currentBasePath()), open);
}

void BasesDialogTest::removeAsksAndKeepsFiles()
{
    const QString a = dir->file("a.CBB");
    writeBase(a, "A");
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"A", "B", "C"}, {"A=" + a, "B=b.CBB", "C=c.CBB"}, 2);

    fake.questionAnswers = {false};
    dialog.ActionDelete->trigger();
    QCOMPARE(dialog.names().size(), 3);
    QCOMPARE(fake.texts(ServiceCall::Question),
             QStringList{"Удалить базу элементов:\n'C'\nиз списка используемых?"});
    QVERIFY(fake.last(ServiceCall::Question)->caption.isEmpty());

    dialog.AliasListBox->setCurrentRow(0);
    fake.questionAnswers = {true};
    dialog.ActionDelete->trigger();
    QCOMPARE(dialog.names(), (QStringList{"B", "C"}));
    QCOMPARE(dialog.lines(), (QStringList{"B=b.CBB", "C=c.CBB"}));
    QCOMPARE(dialog.selectedIndex(), 0);
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("B"));
    QVERIFY(QFile::exists(a));
}

void BasesDialogTest::removingTheLastEntryKeepsLabels()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"B", "Only"}, {"B=b.CBB", "Only=/x/y/z/only.CBB"}, 0);
    dialog.ActionDeleteExecute();
    QCOMPARE(dialog.names(), QStringList{"Only"});
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Only"));
    dialog.ActionDeleteExecute();
    QVERIFY(dialog.names().isEmpty());
    QVERIFY(dialog.lines().isEmpty());
    QCOMPARE(dialog.selectedIndex(), -1);
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Only"));
    QCOMPARE(dialog.PathLabel->text(), QStringLiteral("/../z/only.CBB"));
    QVERIFY(!dialog.ActionCopy->isEnabled());
}

void BasesDialogTest::removeAndRenameOnEmptyListDoNothing()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    ModalScript script;
    dialog.ActionDelete->trigger();
    dialog.ActionRename->trigger();
    dialog.ActionCopy->trigger();
    QCOMPARE(script.shown, 0);
    QVERIFY(fake.calls.empty());
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Не выбрано"));
}

void BasesDialogTest::renameToOwnNameChangesNothing()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Main", "Other"}, {"Main=m.CBB", "Other=o.CBB"}, 0);
    ModalScript script;
    script.keepName();
    dialog.ActionRename->trigger();
    QCOMPARE(script.shown, 1);
    QVERIFY(fake.calls.empty());
    QCOMPARE(dialog.names(), (QStringList{"Main", "Other"}));
    QCOMPARE(dialog.lines(), (QStringList{"Main=m.CBB", "Other=o.CBB"}));
}

void BasesDialogTest::renameToEmptyNameRestoresAndStaysOpen()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Main"}, {"Main=m.CBB"}, 0);
    ModalScript script;
    bool stayedOpen = false;
    QString restored;
    QString selected;
    QString initial;
    script.then([&](QDialog* d) {
        auto* form = qobject_cast<TNameForm*>(d);
        if (!form)
            return int(QDialog::Rejected);
        initial = form->InitialName;
        form->Edit1->clear();
        form->BitBtn1->click();
        stayedOpen = form->result() != QDialog::Accepted;
        restored = form->Edit1->text();
        selected = form->Edit1->selectedText();
        // Blanks are a name as far as emptiness goes, but the settings file drops them.
        form->Edit1->setText("   ");
        form->BitBtn1->click();
        stayedOpen = stayedOpen && form->result() != QDialog::Accepted;
        form->Edit1->setText(" Сеть ");
        form->BitBtn1->click();
        return form->result();
    });
    dialog.ActionRenameExecute();
    QCOMPARE(initial, QStringLiteral("Main"));
    QVERIFY(stayedOpen);
    QCOMPARE(restored, QStringLiteral("Main"));
    QCOMPARE(selected, QStringLiteral("Main"));
    QCOMPARE(fake.kinds(),
             (std::vector<ServiceCall::Kind>{ServiceCall::Beep, ServiceCall::Message, ServiceCall::Message}));
    QCOMPARE(fake.texts(ServiceCall::Message).first(),
             QStringLiteral("Имя базы элементов не должно быть пустой строкой!"));
    QCOMPARE(dialog.names(), QStringList{" Сеть "});
    QCOMPARE(dialog.lines(), QStringList{" Сеть =m.CBB"});
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral(" Сеть "));
}

void BasesDialogTest::renameToTakenName()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Main", "Other"}, {"Main=m.CBB", "Other=o.CBB"}, 1);
    ModalScript script;
    script.nameWith("Main");
    dialog.ActionRenameExecute();
    QCOMPARE(fake.texts(ServiceCall::Message), QStringList{"База с именем: 'Main' \nуже есть в списке!"});
    QCOMPARE(dialog.names(), (QStringList{"Main", "Other"}));
    QCOMPARE(dialog.lines(), (QStringList{"Main=m.CBB", "Other=o.CBB"}));

    // A free name replaces the entry's name and keeps its path.
    script.nameWith("Third");
    dialog.ActionRenameExecute();
    QCOMPARE(dialog.lines(), (QStringList{"Main=m.CBB", "Third=o.CBB"}));
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("Third"));
}

void BasesDialogTest::renameRefusesNamesTheSettingsFileCannotKeep()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Main", "Сеть"}, {"Main=m.CBB", "Сеть=s.CBB"}, 0);
    ModalScript script;
    QStringList outcomes;
    script.then([&](QDialog* d) {
        auto* form = qobject_cast<TNameForm*>(d);
        if (!form)
            return int(QDialog::Rejected);
        for (const QString& name :
             {QStringLiteral("a=b"), QStringLiteral("СЕТЬ"), QStringLiteral(" сеть"),
              QStringLiteral(";comment"), QStringLiteral("[x"), QStringLiteral("\u4E2D")}) {
            form->Edit1->setText(name);
            form->BitBtn1->click();
            outcomes << (form->result() == QDialog::Accepted ? "accepted" : "refused");
        }
        return int(QDialog::Rejected);
    });
    dialog.ActionRenameExecute();
    QCOMPARE(outcomes, QStringList(6, "refused"));
    const QStringList messages = fake.texts(ServiceCall::Message);
    QCOMPARE(messages.size(), 6);
    QVERIFY(messages[0].contains(QStringLiteral("\"=\"")));
    QVERIFY(messages[1].contains(QStringLiteral("'Сеть'")));
    QVERIFY(messages[1].contains(QStringLiteral("регистром")));
    QCOMPARE(fake.count(ServiceCall::Beep), 0);
    QCOMPARE(dialog.names(), (QStringList{"Main", "Сеть"}));
}

void BasesDialogTest::renameChangingOnlyLetterCaseOfItsOwnName()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"Main", "Other"}, {"Main=m.CBB", "Other=o.CBB"}, 0);
    ModalScript script;
    script.nameWith("MAIN");
    dialog.ActionRenameExecute();
    QVERIFY(fake.calls.empty());
    QCOMPARE(dialog.lines(), (QStringList{"MAIN=m.CBB", "Other=o.CBB"}));
}

void BasesDialogTest::shortenedPaths()
{
    TOpenBaseDialog dialog(nullptr, nullptr);
    const QList<QPair<QString, QString>> cases{
        {"C:\\Bases\\Sub\\Main.CBB", "C:\\..\\Sub\\Main.CBB"},
        {"C:\\Bases\\Main.CBB", "C:\\..\\Bases\\Main.CBB"},
        {"C:\\Main.CBB", "C:\\Main.CBB"},
        {"Main.CBB", "Main.CBB"},
        {"\\\\server\\share\\bases\\net\\Main.CBB", "\\\\server\\share\\..\\net\\Main.CBB"},
        {"\\\\server\\share\\Main.CBB", "\\\\server\\share\\Main.CBB"},
        {"/home/user/bases/Main.CBB", "/../bases/Main.CBB"},
        {"/Main.CBB", "/Main.CBB"},
        {"/bases/Main.CBB", "/../bases/Main.CBB"},
    };
    for (const auto& [path, shown] : cases) {
        dialog.SetPath(path);
        QCOMPARE(dialog.PathLabel->text(), shown);
    }

    // The label shows the resolved path: the program-directory prefix is replaced.
    dialog.setEntries({"P"}, {"P=$(ProgDirectory)\\bases\\p.CBB"}, 0);
    dialog.AliasListBoxClick();
    const QString resolved = dorvin::programDirectory() + "/bases/p.CBB";
    QCOMPARE(dialog.PathLabel->text(), dorvin::shortenedPath(resolved));
    QVERIFY(dialog.PathLabel->text().endsWith("bases/p.CBB"));
    QVERIFY(dialog.PathLabel->text().contains(".."));
}

void BasesDialogTest::hintsGoToTheHintSink()
{
    // Declared first: the dialog clears the hint as it goes, after the test's last look.
    QStringList shown;
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setHintSink([&shown](const QString& hint) { shown << hint; });
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(dialog.AddButton, &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(dialog.AddButton, &leave);
    dialog.ActionRename->hover();
    QCOMPARE(shown, (QStringList{"Добавить новую базу", "", "Переименовать базу"}));
}

void BasesDialogTest::doubleClickConfirmsAndKeysDoNot()
{
    // Shown for real: the dialog's own event loop runs until the double click.
    TOpenBaseDialog dialog(nullptr, nullptr);
    dialog.setEntries({"A", "B"}, {"A=a.CBB", "B=b.CBB"}, 0);
    bool openAfterKeys = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(dialog.AliasListBox, Qt::Key_Return);
        openAfterKeys = dialog.isVisible();
        const QRect item = dialog.AliasListBox->visualItemRect(dialog.AliasListBox->item(1));
        QTest::mouseClick(dialog.AliasListBox->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(dialog.AliasListBox->viewport(), Qt::LeftButton, {}, item.center());
    });
    // A guard so a failure cannot leave the test waiting.
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    const int result = dialog.exec();
    QVERIFY(openAfterKeys);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.selectedIndex(), 1);
    QCOMPARE(dialog.NameLabel->text(), QStringLiteral("B"));
}

QTEST_MAIN(BasesDialogTest)
#include "bases_dialog_test.moc"
