// Start-up, opening a base, switching bases and closing the main window.
#include "app/main_form.h"
#include "platform/guarded.h"
#include "platform/profile_file.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "support/fake_services.h"
#include "support/ini_text.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QtTest>

#include "widgets/text_grid.h"

using dorvin::test::FakeServices;
using dorvin::test::iniBytes;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;

namespace {

// A base file with the built-in contents, one element type renamed so that bases can be
// told apart.
void writeBase(const QString& path, const QString& marker = {})
{
    TDataM dm;
    if (!marker.isEmpty()) {
        dm.ClGroupsTable.first();
        dm.ClGroupsTable.edit();
        dm.ClGroupsTableGRNAME.setString(dorvin::toCp1251(marker));
        dm.ClGroupsTable.post();
    }
    dm.SaveBase(path.toStdString());
}

bool hasType(TDataM& dm, const QString& name)
{
    return dm.ClGroupsTable.locate("GRNAME", dorvin::toCp1251(name));
}

bool fileHasType(const QString& path, const QString& name)
{
    TDataM dm;
    dm.LoadBase(path.toStdString());
    return hasType(dm, name);
}

bool panesEnabled(const TMainForm& w)
{
    return w.GroupBox2->isEnabled() && w.ElemListGroupBox->isEnabled() && w.ParamsGroupBox->isEnabled();
}

bool panesDisabled(const TMainForm& w)
{
    return !w.GroupBox2->isEnabled() && !w.ElemListGroupBox->isEnabled() && !w.ParamsGroupBox->isEnabled();
}

const QString designCaption = QStringLiteral("База данных элементов кабельных сетей");

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutSettings();
    void opensTheCurrentBase_data();
    void opensTheCurrentBase();
    void programDirectoryPrefixIsCaseSensitive();
    void currentNameNotInTheList();
    void unreadableBaseAtStartUp();
    void closingWritesTheOpenBaseEvenUnchanged();
    void saveFailureOnCloseIsReported();
    void failedSwitchKeepsTheOpenBase();
    void failedSaveDuringSwitchKeepsTheOpenBase();
    void frequencyPlanWithFewerRows();
    void hintsGoToTheStatusBar();
    void startUpTimeWithTheDemoBase();
};

void StartupTest::firstStartWithoutSettings()
{
    TempProgramDir dir;
    FakeServices fake;
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QCOMPARE(w.windowTitle(), designCaption);
        QVERIFY(panesDisabled(w));
        QCOMPARE(w.ParamsGrid->cells(0, 0), QStringLiteral("Канал"));
        QCOMPARE(w.ParamsGrid->cells(1, 0), QStringLiteral("Частота,МГц"));
        QCOMPARE(w.ParamsGrid->cells(2, 0), QStringLiteral("Значение"));
        for (int k = 1; k <= 96; ++k)
            QVERIFY(w.ParamsGrid->cells(0, k).isEmpty() && w.ParamsGrid->cells(1, k).isEmpty());
        QCOMPARE(w.AliasComboBox->count(), 0);
        QCOMPARE(w.ParamsGrid->col(), 2);
        w.close();
    }
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    // Closing without a base writes nothing, not even the settings file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

void StartupTest::opensTheCurrentBase_data()
{
    QTest::addColumn<QString>("storedPath");
    QTest::addColumn<QString>("currentName");
    QTest::addColumn<QString>("expectedCaption");
    QTest::newRow("absolute path") << QStringLiteral("ABS") << QStringLiteral("Main")
                                   << QStringLiteral("Main");
    QTest::newRow("name in another case")
        << QStringLiteral("ABS") << QStringLiteral("mAIN") << QStringLiteral("Main");
    QTest::newRow("program directory prefix") << QStringLiteral("$(ProgDirectory)\\Sub\\base.CBB")
                                              << QStringLiteral("Main") << QStringLiteral("Main");
}

void StartupTest::opensTheCurrentBase()
{
    QFETCH(QString, storedPath);
    QFETCH(QString, currentName);
    QFETCH(QString, expectedCaption);
    TempProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Sub")));
    const QString basePath = dir.file(QStringLiteral("Sub/base.CBB"));
    writeBase(basePath, QStringLiteral("Отметка"));
    const QString stored = storedPath == u"ABS" ? basePath : storedPath;
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral("[Bases]\nДругая=C:\\none.CBB\nMain=%1\n[CurBase]\nРабочая база=%2\n")
                     .arg(stored, currentName))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: ") + expectedCaption);
    QVERIFY(panesEnabled(w));
    QCOMPARE(w.AliasComboBox->currentIndex(), 1);
    QCOMPARE(w.AliasComboBox->count(), 2);
    QCOMPARE(w.ComboBox1->itemText(0), QStringLiteral("Другая=C:\\none.CBB"));
    QCOMPARE(QString::fromStdString(w.DataM->currentBasePath()), QDir::cleanPath(basePath));
    QVERIFY(hasType(*w.DataM, QStringLiteral("Отметка")));
    QCOMPARE(w.paramsPane().n1FieldIndex(), w.DataM->ClParamsTableN1.index());

    // Grid rows 1 to 96 follow the frequency plan in ascending frequency.
    TDataM plan;
    plan.LoadBase(basePath.toStdString());
    plan.BaseFreqs.first();
    double previous = -1e300;
    for (int k = 1; k <= 96; ++k) {
        const double f = plan.BaseFreqsFREQ.asFloat();
        QVERIFY(f >= previous);
        previous = f;
        QCOMPARE(w.ParamsGrid->cells(0, k), dorvin::fromCp1251(plan.BaseFreqsNAME.asString()));
        QCOMPARE(w.ParamsGrid->cells(1, k), dorvin::formatValueText(f));
        plan.BaseFreqs.next();
    }
}

void StartupTest::programDirectoryPrefixIsCaseSensitive()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("base.CBB")));
    // Another letter case is not the prefix: the path is taken as it stands, which names
    // nothing here.
    QVERIFY(dir.writeFile(QStringLiteral("Dorvin.ini"),
                          iniBytes(QStringLiteral(
                              "[Bases]\nMain=$(progdirectory)\\base.CBB\n[CurBase]\nРабочая база=Main\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QCOMPARE(w.windowTitle(), designCaption);
    QVERIFY(panesDisabled(w));
    QVERIFY(w.DataM->currentBasePath().empty());
}

void StartupTest::currentNameNotInTheList()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(dir.writeFile(QStringLiteral("Dorvin.ini"),
                          iniBytes(QStringLiteral("[Bases]\nMain=%1\n[CurBase]\nРабочая база=Другая\n")
                                       .arg(dir.file(QStringLiteral("base.CBB"))))));
    FakeServices fake;
    ServicesGuard guard(fake);
    {
        TMainForm w;
        // The open is tried with an empty path and fails like a missing file.
        QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
        QCOMPARE(w.AliasComboBox->currentIndex(), -1);
        QCOMPARE(w.AliasComboBox->currentText(), QString());
        QCOMPARE(w.windowTitle(), designCaption);
        QVERIFY(panesDisabled(w));
        fake.clear();
        const QByteArray before = dir.readFile(QStringLiteral("base.CBB"));
        w.close();
        QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), before);
    }
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void StartupTest::unreadableBaseAtStartUp()
{
    TempProgramDir dir;
    QVERIFY(dir.writeFile(QStringLiteral("bad.CBB"), QByteArray("this is not a base file")));
    QVERIFY(
        dir.writeFile(QStringLiteral("Dorvin.ini"),
                      iniBytes(QStringLiteral(
                          "[Bases]\nПлохая=$(ProgDirectory)\\bad.CBB\n[CurBase]\nРабочая база=Плохая\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QVERIFY(!fake.last(ServiceCall::ErrorReport)->text.isEmpty());
    QCOMPARE(w.windowTitle(), designCaption);
    QVERIFY(panesDisabled(w));
    QVERIFY(w.DataM->currentBasePath().empty());
    // The rest of start-up was skipped: the frequency columns stay empty.
    QVERIFY(w.ParamsGrid->cells(1, 1).isEmpty());
    fake.clear();
    w.close();
    QCOMPARE(dir.readFile(QStringLiteral("bad.CBB")), QByteArray("this is not a base file"));
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void StartupTest::closingWritesTheOpenBaseEvenUnchanged()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Сохранённая"));
    QVERIFY(dir.writeFile(QStringLiteral("Dorvin.ini"),
                          iniBytes(QStringLiteral(
                              "[Bases]\nMain=$(ProgDirectory)\\base.CBB\n[CurBase]\nРабочая база=Main\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QVERIFY(panesEnabled(w));
        // Take the file away: only the close can bring it back.
        QVERIFY(QFile::remove(dir.file(QStringLiteral("base.CBB"))));
        w.close();
        QVERIFY(dir.exists(QStringLiteral("base.CBB")));
        // A second close request writes nothing more.
        QVERIFY(QFile::remove(dir.file(QStringLiteral("base.CBB"))));
        w.close();
        QVERIFY(!dir.exists(QStringLiteral("base.CBB")));
    }
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void StartupTest::saveFailureOnCloseIsReported()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(dir.writeFile(QStringLiteral("Dorvin.ini"),
                          iniBytes(QStringLiteral(
                              "[Bases]\nMain=$(ProgDirectory)\\base.CBB\n[CurBase]\nРабочая база=Main\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    w.show();
    QVERIFY(panesEnabled(w));
    // A folder where the file was: nothing can be written there.
    QVERIFY(QFile::remove(dir.file(QStringLiteral("base.CBB"))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("base.CBB")));
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QCOMPARE(fake.count(ServiceCall::Message), 1);
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 0);
    const QString text = fake.last(ServiceCall::Message)->text;
    QVERIFY2(text.startsWith(QStringLiteral("Не удалось сохранить базу! Причина:\n")), qPrintable(text));
    QVERIFY(text.size() > QStringLiteral("Не удалось сохранить базу! Причина:\n").size());
}

void StartupTest::failedSwitchKeepsTheOpenBase()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("a.CBB")), QStringLiteral("База А"));
    QVERIFY(dir.writeFile(QStringLiteral("b.CBB"), QByteArray(300, 'x')));
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral("[Bases]\nA=$(ProgDirectory)\\a.CBB\nB=$(ProgDirectory)\\b.CBB\n"
                                "[CurBase]\nРабочая база=A\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY(panesEnabled(w));
    // Change the open base in memory; the switch writes it back before trying B.
    w.DataM->ClGroupsTable.first();
    w.DataM->ClGroupsTable.edit();
    w.DataM->ClGroupsTableGRNAME.setString(dorvin::toCp1251(QStringLiteral("Изменённая")));
    w.DataM->ClGroupsTable.post();

    w.AliasComboBox->setCurrentIndex(1);
    QVERIFY(!dorvin::runGuarded([&] { w.AliasComboBoxClick(); }));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    QVERIFY(fileHasType(dir.file(QStringLiteral("a.CBB")), QStringLiteral("Изменённая")));
    // A is still open and usable.
    QVERIFY(panesEnabled(w));
    QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: A"));
    QCOMPARE(w.AliasComboBox->currentText(), QStringLiteral("A"));
    QCOMPARE(QString::fromStdString(w.DataM->currentBasePath()),
             QDir::cleanPath(dir.file(QStringLiteral("a.CBB"))));
    QVERIFY(hasType(*w.DataM, QStringLiteral("Изменённая")));
    fake.clear();
    w.close();
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    QCOMPARE(dir.readFile(QStringLiteral("b.CBB")), QByteArray(300, 'x'));
}

void StartupTest::failedSaveDuringSwitchKeepsTheOpenBase()
{
    TempProgramDir dir;
    writeBase(dir.file(QStringLiteral("a.CBB")), QStringLiteral("База А"));
    writeBase(dir.file(QStringLiteral("b.CBB")), QStringLiteral("База Б"));
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral("[Bases]\nA=$(ProgDirectory)\\a.CBB\nB=$(ProgDirectory)\\b.CBB\n"
                                "[CurBase]\nРабочая база=A\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY(QFile::remove(dir.file(QStringLiteral("a.CBB"))));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a.CBB")));
    w.AliasComboBox->setCurrentIndex(1);
    QVERIFY(!dorvin::runGuarded([&] { w.AliasComboBoxClick(); }));
    QCOMPARE(fake.count(ServiceCall::ErrorReport), 1);
    // Nothing further was loaded; A stays open.
    QVERIFY(panesEnabled(w));
    QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: A"));
    QCOMPARE(w.AliasComboBox->currentText(), QStringLiteral("A"));
    QVERIFY(hasType(*w.DataM, QStringLiteral("База А")));
    QVERIFY(!hasType(*w.DataM, QStringLiteral("База Б")));

    // Once the obstacle is gone, the switch works.
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("a.CBB")));
    fake.clear();
    w.AliasComboBox->setCurrentIndex(1);
    QVERIFY(dorvin::runGuarded([&] { w.AliasComboBoxClick(); }));
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: B"));
    QVERIFY(fileHasType(dir.file(QStringLiteral("a.CBB")), QStringLiteral("База А")));
    QVERIFY(hasType(*w.DataM, QStringLiteral("База Б")));
}

void StartupTest::frequencyPlanWithFewerRows()
{
    TempProgramDir dir;
    {
        TDataM dm;
        // Keep only the three lowest frequencies.
        dm.BaseFreqs.last();
        while (dm.BaseFreqs.recordCount() > 3) {
            dm.BaseFreqs.last();
            dm.BaseFreqs.deleteRecord();
        }
        dm.SaveBase(dir.file(QStringLiteral("short.CBB")).toStdString());
    }
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral("[Bases]\nS=$(ProgDirectory)\\short.CBB\n[CurBase]\nРабочая база=S\n"))));
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    QCOMPARE(w.DataM->BaseFreqs.recordCount(), 3);
    QVERIFY(w.ParamsGrid->cells(1, 2) != w.ParamsGrid->cells(1, 3));
    for (int k = 4; k <= 96; ++k) {
        QCOMPARE(w.ParamsGrid->cells(0, k), w.ParamsGrid->cells(0, 3));
        QCOMPARE(w.ParamsGrid->cells(1, k), w.ParamsGrid->cells(1, 3));
    }
}

void StartupTest::hintsGoToTheStatusBar()
{
    TempProgramDir dir;
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    w.setApplicationHint(QStringLiteral("Кратко|Подробно|ещё"));
    QCOMPARE(w.statusPanelText(0), QStringLiteral("Подробно|ещё"));
    w.setApplicationHint(QStringLiteral("Без черты"));
    QCOMPARE(w.statusPanelText(0), QStringLiteral("Без черты"));

    // The mouse entering a control shows its hint, or its nearest parent's.
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(w.ParamsGrid->viewport(), &enter);
    QCOMPARE(w.statusPanelText(0), QStringLiteral("Значения параметра  для разных частот "));
    QCoreApplication::sendEvent(w.Label5, &enter);
    QCOMPARE(w.statusPanelText(0), QString());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&w, &leave);
    QCOMPARE(w.statusPanelText(0), QString());
}

void StartupTest::startUpTimeWithTheDemoBase()
{
    const QString bin = qEnvironmentVariable("DORVIN_BIN_DIR");
    if (bin.isEmpty() || !QFile::exists(bin + QStringLiteral("/Demo.CBB")))
        QSKIP("the demo base is not built");
    TempProgramDir dir;
    QVERIFY(QFile::copy(bin + QStringLiteral("/Demo.CBB"), dir.file(QStringLiteral("Demo.CBB"))));
    QVERIFY(QFile::copy(bin + QStringLiteral("/Dorvin.ini"), dir.file(QStringLiteral("Dorvin.ini"))));
    FakeServices fake;
    ServicesGuard guard(fake);

    // The editor comes up on the demo base, shown, with its panes enabled and no message;
    // three times in a row, so nothing of one window leaks into the next. How long it takes
    // is measured by bench/gui_bench.cpp.
    for (int run = 0; run < 3; ++run) {
        TMainForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(panesEnabled(w));
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("База элементов: ")));
    }
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
