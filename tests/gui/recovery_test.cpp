// Recovery copies of the open base: kept while it has unsaved changes, removed by a
// write-back, offered back when the base is opened after a crash.
#include "app/main_form.h"
#include "app/recovery_keeper.h"
#include "app/session_end.h"
#include "platform/profile_file.h"
#include "storage/data_module.h"
#include "support/fake_services.h"
#include "support/ini_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QtTest>

using dorvin::RecoveryKeeper;
using dorvin::test::FakeServices;
using dorvin::test::iniBytes;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;

namespace {

// A base with the built-in contents and one element of the first type, and a settings
// file that makes it the current base under `name`.
void prepareBase(const TempProgramDir& dir, const QString& file = QStringLiteral("base.CBB"),
                 const QString& name = QStringLiteral("Рабочая"))
{
    TDataM dm;
    dm.ClGroupsTable.first();
    dm.ClElemsTable.append();
    dm.ClElemsTableELEM.setInteger(1);
    dm.ClElemsTableMODEL.setString(dorvin::toCp1251(QStringLiteral("Исходный")));
    dm.ClElemsTable.post();
    dm.SaveBase(dir.file(file).toStdString());
    QVERIFY(dir.writeFile(
        QStringLiteral("Dorvin.ini"),
        iniBytes(QStringLiteral("[Bases]\n%1=$(ProgDirectory)\\%2\n[CurBase]\nРабочая база=%1\n")
                     .arg(name, QString(file).replace(u'/', u'\\')))));
}

RecoveryKeeper* keeperOf(TMainForm& w)
{
    return w.findChild<RecoveryKeeper*>(QStringLiteral("RecoveryKeeper"));
}

// An edit as the element list posts it: the first element of the first type gets a new
// model name.
void renameFirstElement(TMainForm& w, const QString& model)
{
    w.DataM->ClGroupsTable.first();
    w.DataM->ClElemsTable.first();
    w.DataM->ClElemsTable.edit();
    w.DataM->ClElemsTableMODEL.setString(dorvin::toCp1251(model));
    w.DataM->ClElemsTable.post();
}

bool hasModel(TDataM& dm, const QString& model)
{
    for (dm.ClGroupsTable.first(); !dm.ClGroupsTable.eof(); dm.ClGroupsTable.next())
        if (dm.ClElemsTable.locate("MODEL", dorvin::toCp1251(model)))
            return true;
    return false;
}

bool fileHasModel(const QString& path, const QString& model)
{
    TDataM dm;
    dm.LoadBase(path.toStdString());
    return hasModel(dm, model);
}

QStringList stateFiles(const TempProgramDir& dir)
{
    return QDir(dir.stateFolder()).entryList(QDir::Files);
}

// Makes the copy look as if the crash came a minute after the base was last written.
void ageBase(const TempProgramDir& dir, const QString& file = QStringLiteral("base.CBB"))
{
    QFile base(dir.file(file));
    QVERIFY(base.open(QIODevice::ReadWrite));
    QVERIFY(base.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
}

// Runs a window that edits the base and is then lost as in a crash: the window goes
// without its close, so nothing is written back.
void editAndCrash(const TempProgramDir& dir, FakeServices& fake, const QString& model)
{
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY(w.DataM && !w.DataM->currentBasePath().empty());
    renameFirstElement(w, model);
    keeperOf(w)->writePendingCopyNow();
    QCOMPARE(stateFiles(dir).size(), 2);
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { RecoveryKeeper::setIntervalForTests(0); }
    void copyIsKeptAfterAPostedChangeNeverBesideTheBase();
    void nothingIsCopiedWithoutAChange();
    void writeBackRemovesTheCopy();
    void yesRestoresTheChangesUnderTheBasesPath();
    void noDeletesTheCopyAndOpensTheFile();
    void copyThatHoldsNothingNewIsRemovedWithoutAsking();
    void copyOlderThanTheBaseIsNotOffered();
    void basesOfOneNameInTwoFoldersKeepTwoCopies();
    void damagedCopyIsReportedAndTheBaseOpens();
    void endOfSessionDuringTheQuestionKeepsTheCopy();
    void pendingEditIsNotEndedByACopy();
    void failedWriteBackOnCloseLeavesTheChangesInTheCopy();
};

void RecoveryTest::copyIsKeptAfterAPostedChangeNeverBesideTheBase()
{
    TempProgramDir dir;
    prepareBase(dir);
    const QByteArray original = dir.readFile(QStringLiteral("base.CBB"));
    RecoveryKeeper::setIntervalForTests(50);
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    renameFirstElement(w, QStringLiteral("Изменённый"));
    QVERIFY(keeperOf(w)->hasUnsavedChanges());
    // The throttle's timer takes the copy on its own.
    const QString copy = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QTRY_VERIFY(QFile::exists(copy));
    keeperOf(w)->writePendingCopyNow();
    QVERIFY(copy.startsWith(dir.stateFolder() + u'/'));
    QVERIFY(QFileInfo(copy).fileName().startsWith(QStringLiteral("base-")));
    QVERIFY(fileHasModel(copy, QStringLiteral("Изменённый")));
    // The note beside it names the base; the base file and its folder are untouched.
    QFile note(RecoveryKeeper::notePathFor(dir.file(QStringLiteral("base.CBB"))));
    QVERIFY(note.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(note.readAll()),
             QFileInfo(dir.file(QStringLiteral("base.CBB"))).canonicalFilePath());
    QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), original);
    QStringList besideTheBase = QDir(dir.path()).entryList(QDir::Files);
    besideTheBase.sort();
    QCOMPARE(besideTheBase, (QStringList{QStringLiteral("Dorvin.ini"), QStringLiteral("base.CBB")}));
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void RecoveryTest::nothingIsCopiedWithoutAChange()
{
    TempProgramDir dir;
    prepareBase(dir);
    RecoveryKeeper::setIntervalForTests(20);
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    // Moving, and an edit that is cancelled, change no row.
    w.DataM->ClGroupsTable.last();
    w.DataM->ClGroupsTable.first();
    w.DataM->ClElemsTable.first();
    w.DataM->ClElemsTable.edit();
    w.DataM->ClElemsTableMODEL.setString("x");
    w.DataM->ClElemsTable.cancel();
    QVERIFY(!keeperOf(w)->hasUnsavedChanges());
    QTest::qWait(100);
    keeperOf(w)->writePendingCopyNow();
    QCOMPARE(stateFiles(dir), QStringList());
}

void RecoveryTest::writeBackRemovesTheCopy()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    renameFirstElement(w, QStringLiteral("Первый"));
    keeperOf(w)->writePendingCopyNow();
    QCOMPARE(stateFiles(dir).size(), 2);
    // An edit after the copy was taken, then the window closes: the base gets it, the
    // copy goes.
    renameFirstElement(w, QStringLiteral("Второй"));
    w.close();
    QCOMPARE(stateFiles(dir), QStringList());
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Второй")));
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
}

void RecoveryTest::yesRestoresTheChangesUnderTheBasesPath()
{
    TempProgramDir dir;
    prepareBase(dir);
    const QByteArray original = dir.readFile(QStringLiteral("base.CBB"));
    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Несохранённый"));
    QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), original);
    ageBase(dir);
    const QDateTime copyTime =
        QFileInfo(RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")))).lastModified();

    fake.resetScript();
    fake.questionAnswers = {true};
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QCOMPARE(fake.texts(ServiceCall::Question),
                 QStringList{
                     QStringLiteral("Найдены несохранённые изменения базы «Рабочая» от %1. Восстановить их?")
                         .arg(copyTime.toString(QStringLiteral("dd.MM.yyyy HH:mm")))});
        QCOMPARE(fake.last(ServiceCall::Question)->caption, QString());
        QVERIFY(hasModel(*w.DataM, QStringLiteral("Несохранённый")));
        QCOMPARE(QString::fromStdString(w.DataM->currentBasePath()),
                 QDir::cleanPath(dir.file(QStringLiteral("base.CBB"))));
        QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: Рабочая"));
        // Until it is written back the changes are still only in the copy.
        QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), original);
        QCOMPARE(stateFiles(dir).size(), 2);
        w.close();
    }
    QVERIFY(fileHasModel(dir.file(QStringLiteral("base.CBB")), QStringLiteral("Несохранённый")));
    QCOMPARE(stateFiles(dir), QStringList());
    QCOMPARE(fake.count(ServiceCall::Question), 1);
}

void RecoveryTest::noDeletesTheCopyAndOpensTheFile()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Несохранённый"));
    ageBase(dir);
    fake.resetScript();
    fake.questionAnswers = {false};
    ServicesGuard guard(fake);
    {
        TMainForm w;
        QCOMPARE(fake.count(ServiceCall::Question), 1);
        QVERIFY(!hasModel(*w.DataM, QStringLiteral("Несохранённый")));
        QCOMPARE(stateFiles(dir), QStringList());
    }
    // The next start asks nothing.
    fake.resetScript();
    TMainForm again;
    QCOMPARE(fake.count(ServiceCall::Question), 0);
    QVERIFY(!hasModel(*again.DataM, QStringLiteral("Несохранённый")));
}

void RecoveryTest::copyThatHoldsNothingNewIsRemovedWithoutAsking()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Записанный"));
    // Another program (or the base dialog) wrote exactly these contents to the base.
    const QString copy = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(QFile::remove(dir.file(QStringLiteral("base.CBB"))));
    QVERIFY(QFile::copy(copy, dir.file(QStringLiteral("base.CBB"))));
    ageBase(dir);
    fake.resetScript();
    ServicesGuard guard(fake);
    TMainForm w;
    QVERIFY2(fake.calls.empty(), qPrintable(fake.describe()));
    QVERIFY(hasModel(*w.DataM, QStringLiteral("Записанный")));
    QCOMPARE(stateFiles(dir), QStringList());
}

void RecoveryTest::copyOlderThanTheBaseIsNotOffered()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Старый"));
    // The base was written after the copy was taken (by another program): it wins.
    {
        TDataM other;
        other.BaseFreqs.first();
        other.BaseFreqs.edit();
        other.BaseFreqsNAME.setString("NEW");
        other.BaseFreqs.post();
        other.SaveBase(dir.file(QStringLiteral("base.CBB")).toStdString());
    }
    QFile copy(RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB"))));
    QVERIFY(copy.open(QIODevice::ReadWrite));
    QVERIFY(copy.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    copy.close();
    fake.resetScript();
    ServicesGuard guard(fake);
    TMainForm w;
    QCOMPARE(fake.count(ServiceCall::Question), 0);
    QVERIFY(!hasModel(*w.DataM, QStringLiteral("Старый")));
    w.DataM->BaseFreqs.first();
    QCOMPARE(QString::fromStdString(w.DataM->BaseFreqsNAME.asString()), QStringLiteral("NEW"));
}

void RecoveryTest::basesOfOneNameInTwoFoldersKeepTwoCopies()
{
    TempProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a")) && QDir(dir.path()).mkpath(QStringLiteral("b")));
    const QString a = dir.file(QStringLiteral("a/base.CBB")), b = dir.file(QStringLiteral("b/base.CBB"));
    QVERIFY(RecoveryKeeper::copyPathFor(a) != RecoveryKeeper::copyPathFor(b));
    // The same file under two spellings of its path is one base.
    prepareBase(dir, QStringLiteral("a/base.CBB"));
    QCOMPARE(RecoveryKeeper::copyPathFor(dir.path() + QStringLiteral("/b/../a/base.CBB")),
             RecoveryKeeper::copyPathFor(a));

    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Из папки a"));
    prepareBase(dir, QStringLiteral("b/base.CBB"));
    fake.resetScript();
    {
        ServicesGuard guard(fake);
        TMainForm w;
        QCOMPARE(fake.count(ServiceCall::Question), 0); // b has no copy
        renameFirstElement(w, QStringLiteral("Из папки b"));
        keeperOf(w)->writePendingCopyNow();
        QCOMPARE(stateFiles(dir).size(), 4);
        QVERIFY(fileHasModel(RecoveryKeeper::copyPathFor(a), QStringLiteral("Из папки a")));
        QVERIFY(fileHasModel(RecoveryKeeper::copyPathFor(b), QStringLiteral("Из папки b")));
        w.close();
    }
    // b's write-back removed b's copy only.
    QCOMPARE(stateFiles(dir).size(), 2);
    QVERIFY(QFile::exists(RecoveryKeeper::copyPathFor(a)));
}

void RecoveryTest::damagedCopyIsReportedAndTheBaseOpens()
{
    TempProgramDir dir;
    prepareBase(dir);
    ageBase(dir);
    const QString copy = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(QDir().mkpath(dir.stateFolder()));
    QFile f(copy);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("half a base");
    f.close();
    FakeServices fake;
    fake.questionAnswers = {true};
    ServicesGuard guard(fake);
    TMainForm w;
    QCOMPARE(fake.kinds(), (std::vector<ServiceCall::Kind>{ServiceCall::Question, ServiceCall::Message}));
    QVERIFY(fake.last(ServiceCall::Message)
                ->text.startsWith(QStringLiteral("Не удалось восстановить изменения базы «Рабочая»:\n")));
    QVERIFY(!w.DataM->currentBasePath().empty());
    QCOMPARE(w.windowTitle(), QStringLiteral("База элементов: Рабочая"));
    QVERIFY(w.ParamsGroupBox->isEnabled());
}

void RecoveryTest::endOfSessionDuringTheQuestionKeepsTheCopy()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    editAndCrash(dir, fake, QStringLiteral("Несохранённый"));
    ageBase(dir);
    const QByteArray base = dir.readFile(QStringLiteral("base.CBB"));
    fake.resetScript();
    // The question box closed by the end of the session answers "No"; that is not the
    // user's answer.
    fake.questionAnswers = {false};
    ServicesGuard guard(fake);
    {
        dorvin::SessionEnd end;
        end.request();
        TMainForm w;
        QCOMPARE(fake.count(ServiceCall::Question), 1);
        QVERIFY(w.DataM->currentBasePath().empty());
        w.close();
    }
    QCOMPARE(stateFiles(dir).size(), 2);
    QCOMPARE(dir.readFile(QStringLiteral("base.CBB")), base);
    // Asked again at the next start.
    fake.resetScript();
    fake.questionAnswers = {true};
    TMainForm again;
    QCOMPARE(fake.count(ServiceCall::Question), 1);
    QVERIFY(hasModel(*again.DataM, QStringLiteral("Несохранённый")));
}

void RecoveryTest::pendingEditIsNotEndedByACopy()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    TMainForm w;
    renameFirstElement(w, QStringLiteral("Записанный"));
    // The user is typing in the element's row again while the copy is taken.
    w.DataM->ClElemsTable.edit();
    w.DataM->ClElemsTableMODEL.setString("typing");
    keeperOf(w)->writePendingCopyNow();
    QCOMPARE(w.DataM->ClElemsTable.state(), dorvin::TableState::Edit);
    QCOMPARE(QString::fromStdString(w.DataM->ClElemsTableMODEL.asString()), QStringLiteral("typing"));
    const QString copy = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(fileHasModel(copy, QStringLiteral("Записанный")));
    QVERIFY(!fileHasModel(copy, QStringLiteral("typing")));
}

void RecoveryTest::failedWriteBackOnCloseLeavesTheChangesInTheCopy()
{
    TempProgramDir dir;
    prepareBase(dir);
    FakeServices fake;
    ServicesGuard guard(fake);
    {
        TMainForm w;
        renameFirstElement(w, QStringLiteral("Спасённый"));
        // The base cannot be written any more (its name is now a folder's).
        QVERIFY(QFile::remove(dir.file(QStringLiteral("base.CBB"))));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("base.CBB")));
        w.close();
        QCOMPARE(fake.count(ServiceCall::Message), 1);
        QVERIFY(fake.last(ServiceCall::Message)
                    ->text.startsWith(QStringLiteral("Не удалось сохранить базу! Причина:\n")));
    }
    // No copy had been taken yet; the window took one as it went.
    const QString copy = RecoveryKeeper::copyPathFor(dir.file(QStringLiteral("base.CBB")));
    QVERIFY(fileHasModel(copy, QStringLiteral("Спасённый")));
}

QTEST_MAIN(RecoveryTest)
#include "recovery_test.moc"
