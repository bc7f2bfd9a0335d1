// Ending the editor from outside: the termination signals and the end of the session
// close the window as "Выход" does, so the open base is written back; a kill leaves the
// recovery copy, which the next start offers back.
//
// The program runs in a child process of this test (the same executable, started with
// "--child"), through the same entry the program's main() calls.
#include "app/entry.h"
#include "app/main_form.h"
#include "app/recovery_keeper.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "platform/state_folder.h"
#include "storage/data_module.h"
#include "support/fake_services.h"
#include "support/ini_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>

using dorvin::RecoveryKeeper;
using dorvin::test::FakeServices;
using dorvin::test::iniBytes;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;

namespace {

void prepareBase(const TempProgramDir& dir)
{
    TDataM dm;
    dm.ClGroupsTable.first();
    dm.ClElemsTable.append();
    dm.ClElemsTableELEM.setInteger(1);
    dm.ClElemsTableMODEL.setString(dorvin::toCp1251(QStringLiteral("Исходный")));
    dm.ClElemsTable.post();
    dm.SaveBase(dir.file(QStringLiteral("base.CBB")).toStdString());
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral(
            "[Bases]\nРабочая=$(ProgDirectory)\\base.CBB\n[CurBase]\nРабочая база=Рабочая\n"))));
}

void renameFirstElement(TMainForm& w, const QString& model, bool post = true)
{
    w.DataM->ClGroupsTable.first();
    w.DataM->ClElemsTable.first();
    w.DataM->ClElemsTable.edit();
    w.DataM->ClElemsTableMODEL.setString(dorvin::toCp1251(model));
    if (post)
        w.DataM->ClElemsTable.post();
}

bool fileHasModel(const QString& path, const QString& model)
{
    TDataM dm;
    dm.LoadBase(path.toStdString());
    dm.ClGroupsTable.first();
    return dm.ClElemsTable.locate("MODEL", dorvin::toCp1251(model));
}

QStringList stateFiles(const TempProgramDir& dir)
{
    return QDir(dir.stateFolder()).entryList(QDir::Files);
}

// ---- the host's own handling of SIGTERM, which the editor must leave as it found it ----

volatile std::sig_atomic_t hostSignals = 0;
extern "C" void hostHandler(int)
{
    hostSignals = hostSignals + 1;
}

using SignalHandler = void (*)(int);
SignalHandler currentHandler(int sig)
{
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    return now.sa_handler;
}

class HostHandlerGuard {
public:
    HostHandlerGuard()
    {
        hostSignals = 0;
        struct sigaction action {};
        action.sa_handler = hostHandler;
        sigemptyset(&action.sa_mask);
        sigaction(SIGTERM, &action, &m_previous);
    }
    ~HostHandlerGuard() { sigaction(SIGTERM, &m_previous, nullptr); }

private:
    struct sigaction m_previous {};
};

// Raises a second SIGTERM while the write-back is under way: the pending edit that the
// write-back posts is the moment.
struct SignalDuringWriteBack : dorvin::TableObserver {
    QPointer<TMainForm> window; // the table goes with it
    dorvin::ClientTable* table;
    int raised = 0;
    dorvin::ObserverConnection connection; // safe when the table goes first
    explicit SignalDuringWriteBack(TMainForm* w) : window(w), table(&w->DataM->ClElemsTable)
    {
        connection = table->observe(*this);
    }
    void rowChanged(int) override { once(); }
    void rowsReset() override { once(); }
    void once()
    {
        if (raised++ == 0)
            std::raise(SIGTERM);
    }
};

// ---- the child: the program itself, with an edit made once it runs ----

QString g_childModel;
bool g_childWaitsForCopy = false;

void childStartupStep()
{
    QTimer::singleShot(0, [] {
        renameFirstElement(*MainForm, g_childModel);
        if (g_childWaitsForCopy)
            MainForm->findChild<RecoveryKeeper*>()->writePendingCopyNow();
        std::printf("ready\n");
        std::fflush(stdout);
    });
}

int runChild(int argc, char** argv)
{
    // --child PROGRAM_DIR STATE_FOLDER MODEL copy|nocopy
    // Started as from a desktop: a test runner in the background may have left SIGINT
    // and SIGHUP ignored, which the program rightly keeps.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    dorvin::setProgramDirectoryForTests(QString::fromUtf8(argv[2]));
    dorvin::setStateFolderForTests(QString::fromUtf8(argv[3]));
    g_childModel = QString::fromUtf8(argv[4]);
    g_childWaitsForCopy = std::strcmp(argv[5], "copy") == 0;
    dorvin::registerProgramStartupStep(childStartupStep);
    return dorvin::runProgram(argc, argv);
}

// Starts the program on the folder and waits until its edit is made.
bool startChild(QProcess& child, const TempProgramDir& dir, const QString& model, bool waitForCopy)
{
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--child"), dir.path(), dir.stateFolder(), model,
                        waitForCopy ? QStringLiteral("copy") : QStringLiteral("nocopy")});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    if (!child.waitForStarted(60000))
        return false;
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!child.waitForReadyRead(120000))
            return false;
        out += child.readAllStandardOutput();
    }
    return true;
}

} // namespace

class TerminationTest : public QObject {
    Q_OBJECT
private slots:
    void sigtermWritesTheBaseBackAndExitsWithZero_data();
    void sigtermWritesTheBaseBackAndExitsWithZero();
    void killLeavesTheCopyAndYesBringsTheEditBack();
    void killLeavesTheCopyAndNoKeepsTheFile();
    void hostEditorClosesOnSignalAndGivesTheHostItsHandlerBack();
    void secondSignalDuringTheWriteBackChangesNothing();
    void signalWhileADialogIsOpenClosesTheDialogFirst();
    void theProgramItselfWritesBackOnSigterm();
};

void TerminationTest::sigtermWritesTheBaseBackAndExitsWithZero_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TerminationTest::sigtermWritesTheBaseBackAndExitsWithZero()
{
    QFETCH(int, sig);
    TempProgramDir dir;
    prepareBase(dir);
    QProcess child;
    QVERIFY(startChild(child, dir, QStringLiteral("Изменённый"), true));
    QCOMPARE(stateFiles(dir).size(), 2); // the edit was copied
    ::kill(child.processId(), sig);
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Изменённый")));
    QCOMPARE(stateFiles(dir), QStringList());
}

void TerminationTest::killLeavesTheCopyAndYesBringsTheEditBack()
{
    TempProgramDir dir;
    prepareBase(dir);
    const QByteArray original = dir.readFile(QStringLiteral("base.CBB"));
    QProcess child;
    QVERIFY(startChild(child, dir, QStringLiteral("Несохранённый"), true));
    child.kill();
    QVERIFY(child.waitForFinished(120000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), original);
    QCOMPARE(stateFiles(dir).size(), 2);

    FakeServices fake;
    fake.questionAnswers = {true};
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QCOMPARE(fake.count(ServiceCall::Question), 1);
        QVERIFY(fake.last(ServiceCall::Question)
                    ->text.startsWith(QStringLiteral("Найдены несохранённые изменения базы «Рабочая» от ")));
        w.close();
    }
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Несохранённый")));
    QCOMPARE(stateFiles(dir), QStringList());
}

void TerminationTest::killLeavesTheCopyAndNoKeepsTheFile()
{
    TempProgramDir dir;
    prepareBase(dir);
    const QByteArray original = dir.readFile(QStringLiteral("base.CBB"));
    QProcess child;
    QVERIFY(startChild(child, dir, QStringLiteral("Несохранённый"), true));
    child.kill();
    QVERIFY(child.waitForFinished(120000));
    FakeServices fake;
    fake.questionAnswers = {false};
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QCOMPARE(fake.count(ServiceCall::Question), 1);
        w.DataM->ClGroupsTable.first();
        QVERIFY(w.DataM->ClElemsTable.locate("MODEL", dorvin::toCp1251(QStringLiteral("Исходный"))));
        QCOMPARE(stateFiles(dir), QStringList());
        // The base is as it was in its file (the close writes the same rows back).
        QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), original);
    }
}

void TerminationTest::hostEditorClosesOnSignalAndGivesTheHostItsHandlerBack()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    HostHandlerGuard host;
    bool caughtByTheEditor = false;
    QTimer::singleShot(0, [&] {
        QVERIFY(MainForm);
        caughtByTheEditor = currentHandler(SIGTERM) != hostHandler;
        renameFirstElement(*MainForm, QStringLiteral("Из редактора"));
        std::raise(SIGTERM);
    });
    dorvin::launchEditor();
    QVERIFY(caughtByTheEditor);
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Из редактора")));
    // The host's handler is back and got the signal once, after the editor had closed.
    QVERIFY(currentHandler(SIGTERM) == hostHandler);
    QCOMPARE(int(hostSignals), 1);
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void TerminationTest::secondSignalDuringTheWriteBackChangesNothing()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    HostHandlerGuard host;
    std::unique_ptr<SignalDuringWriteBack> second;
    QTimer::singleShot(0, [&] {
        // The edit is still pending: the write-back posts it, and a second signal comes
        // right then.
        renameFirstElement(*MainForm, QStringLiteral("Во время записи"), false);
        second = std::make_unique<SignalDuringWriteBack>(MainForm.data());
        std::raise(SIGTERM);
    });
    dorvin::launchEditor();
    QVERIFY(second);
    QVERIFY(second->raised > 0);
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Во время записи")));
    // Both signals reach the host afterwards as one request to end.
    QCOMPARE(int(hostSignals), 1);
    QCOMPARE(stateFiles(dir), QStringList());
}

void TerminationTest::signalWhileADialogIsOpenClosesTheDialogFirst()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    HostHandlerGuard host;
    bool aboutReturned = false, windowOpenWhenItReturned = false;
    QTimer::singleShot(0, [&] {
        renameFirstElement(*MainForm, QStringLiteral("С открытым окном"));
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        MainForm->N3Click(); // the About box, modal
        aboutReturned = true;
        windowOpenWhenItReturned = MainForm && MainForm->isVisible();
    });
    dorvin::launchEditor();
    QVERIFY(aboutReturned);
    // The window was closed only after the dialog's handler had finished.
    QVERIFY(windowOpenWhenItReturned);
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("С открытым окном")));
    QCOMPARE(int(hostSignals), 1);
}

void TerminationTest::theProgramItselfWritesBackOnSigterm()
{
    // The built program, copied with its library into a folder of its own, which is then
    // its program directory. It tells nothing when it is up; a recovery copy that holds
    // nothing new, which the program removes as it opens the base, tells it instead.
    const QString bin = qEnvironmentVariable("DORVIN_BIN_DIR");
    if (bin.isEmpty() || !QFile::exists(bin + QStringLiteral("/dorvindb")))
        QSKIP("DORVIN_BIN_DIR does not name the built program");
    TempProgramDir dir;
    prepareBase(dir);
    for (const QString& name : {QStringLiteral("dorvindb"), QStringLiteral("libdorvindb.so")})
        QVERIFY(QFile::copy(bin + u'/' + name, dir.file(name)));
    QFile base(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(base.open(QIODevice::ReadWrite));
    const QDateTime past = QDateTime::currentDateTime().addDays(-3);
    QVERIFY(base.setFileTime(past, QFileDevice::FileModificationTime));
    base.close();
    // XDG_STATE_HOME is how the user's state folder reaches the program.
    const QString stateHome = QFileInfo(dir.stateFolder()).path();
    const QString marker = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(QDir().mkpath(dir.stateFolder()));
    QVERIFY(QFile::copy(dir.file(QStringLiteral("base.CBB")), marker));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(dir.file(QStringLiteral("dorvindb")), {});
    QVERIFY(program.waitForStarted(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(marker) || program.state() == QProcess::NotRunning, 120000);
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(QFileInfo(dir.file(QStringLiteral("base.CBB"))).lastModified(), past);
    ::kill(program.processId(), SIGTERM);
    QVERIFY(program.waitForFinished(120000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // Written back on the way out: newer, and still the base it was.
    QVERIFY(QFileInfo(dir.file(QStringLiteral("base.CBB"))).lastModified() > past);
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Исходный")));
    QCOMPARE(stateFiles(dir), QStringList());
}

int main(int argc, char** argv)
{
    if (argc >= 6 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TerminationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "termination_test.moc"
