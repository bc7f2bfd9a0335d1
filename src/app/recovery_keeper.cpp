#include "app/recovery_keeper.h"

#include "app/recovery_writer.h"
#include "app/session_end.h"
#include "platform/services.h"
#include "platform/state_folder.h"
#include "storage/data_module.h"
#include "storage/data_module_snapshot.h"
#include "storage/error.h"
#include "storage/file_io.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace dorvin {

namespace {

int g_interval = 2000;

// Rows encoded between two looks at the clock, and the time one slice may take: well
// inside a frame, so typing and painting go on while a large base is copied.
constexpr std::size_t rowsPerStep = 256;
constexpr qint64 sliceBudgetUs = 3000;

std::array<ClientTable*, 4> storedTables(TDataM& dm)
{
    return {&dm.ClGroupsTable, &dm.ClElemsTable, &dm.ClParamsTable, &dm.BaseFreqs};
}

QString fullPathOf(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// "<file name>-<16 hex digits of the path's hash>": readable, and distinct for bases of
// the same name in different folders.
QString copyStem(const QString& basePath)
{
    const QString full = fullPathOf(basePath);
    const QByteArray hash =
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    QString stem = QFileInfo(full).completeBaseName().left(40);
    if (stem.isEmpty())
        stem = QStringLiteral("base");
    return stem + u'-' + QString::fromLatin1(hash);
}

std::string utf8(const QString& s)
{
    return s.toUtf8().toStdString();
}

} // namespace

// Follows one stored table: every notification is a chance that rows were posted or
// deleted, which the table's change count tells for certain.
struct RecoveryKeeper::Watch : TableObserver {
    RecoveryKeeper* keeper;
    ClientTable* table;
    ObserverConnection connection;
    Watch(RecoveryKeeper* k, ClientTable* t) : keeper(k), table(t) { connection = table->observe(*this); }
    void rowsReset() override { keeper->tablesChanged(); }
    void rowChanged(int) override { keeper->tablesChanged(); }
    void rowRemoved(int) override { keeper->tablesChanged(); }
    void stateChanged() override { keeper->tablesChanged(); }
};

void RecoveryKeeper::setIntervalForTests(int milliseconds)
{
    g_interval = milliseconds > 0 ? milliseconds : 2000;
}

RecoveryKeeper::RecoveryKeeper(TDataM& dataModule, QObject* parent)
    : QObject(parent), m_dm(dataModule), m_writer(std::make_unique<RecoveryWriter>())
{
    setObjectName(QStringLiteral("RecoveryKeeper"));
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { startCopy(); });
    m_slices = new QTimer(this);
    m_slices->setSingleShot(true);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, [this] { copySlice(); });
    const auto tables = storedTables(m_dm);
    for (std::size_t i = 0; i < tables.size(); ++i)
        m_watches[i] = std::make_unique<Watch>(this, tables[i]);
    takeBaseline();
}

RecoveryKeeper::~RecoveryKeeper()
{
    // Still unsaved here means the write-back failed (or never came): the changes since
    // the last copy go into the copy now, so they are not lost with the window.
    if (m_dirty) {
        try {
            writePendingCopyNow();
        } catch (...) {}
    }
    m_writer.reset();
}

QString RecoveryKeeper::copyPathFor(const QString& basePath)
{
    return stateFolder() + u'/' + copyStem(basePath) + QStringLiteral(".CBB");
}

QString RecoveryKeeper::notePathFor(const QString& basePath)
{
    return stateFolder() + u'/' + copyStem(basePath) + QStringLiteral(".path");
}

int RecoveryKeeper::interval() const
{
    // Never more than about a tenth of the thread's time, however large the base.
    return int(std::max<qint64>(g_interval, m_lastCostUs / 100));
}

void RecoveryKeeper::takeBaseline()
{
    const auto tables = storedTables(m_dm);
    for (std::size_t i = 0; i < tables.size(); ++i)
        m_baseline[i] = tables[i]->changeCount();
}

void RecoveryKeeper::tablesChanged()
{
    if (m_loading || m_dm.currentBasePath().empty())
        return;
    if (!m_dirty) {
        const auto tables = storedTables(m_dm);
        bool changed = false;
        for (std::size_t i = 0; i < tables.size(); ++i)
            changed = changed || tables[i]->changeCount() != m_baseline[i];
        if (!changed)
            return;
        m_dirty = true;
    }
    if (m_snapshot && m_snapshot->stale())
        dropCopyInProgress();
    if (!m_snapshot && !m_timer->isActive())
        m_timer->start(interval());
}

void RecoveryKeeper::startCopy()
{
    if (!m_dirty || m_dm.currentBasePath().empty())
        return;
    try {
        m_snapshot = std::make_shared<BaseSnapshot>(m_dm);
    } catch (const std::exception&) {
        return; // a table is closed: nothing to copy now
    }
    m_snapshotBase = QString::fromStdString(m_dm.currentBasePath());
    m_costUs = 0;
    m_longestSliceUs = 0;
    m_slicesDone = 0;
    copySlice();
}

void RecoveryKeeper::copySlice()
{
    if (!m_snapshot)
        return;
    if (m_snapshot->stale()) {
        dropCopyInProgress();
        m_timer->start(interval());
        return;
    }
    QElapsedTimer clock;
    clock.start();
    try {
        bool done = false;
        while (!done && clock.nsecsElapsed() / 1000 < sliceBudgetUs)
            done = m_snapshot->encode(rowsPerStep);
        const qint64 sliceUs = clock.nsecsElapsed() / 1000;
        m_costUs += sliceUs;
        m_longestSliceUs = std::max(m_longestSliceUs, sliceUs);
        ++m_slicesDone;
        if (!done) {
            m_slices->start();
            return;
        }
    } catch (const std::exception&) {
        // The rows moved under the copy (it would have been stale anyway): try later.
        dropCopyInProgress();
        m_timer->start(interval());
        return;
    }
    finishCopy();
}

void RecoveryKeeper::finishCopy()
{
    m_lastCostUs = m_costUs;
    m_lastLongestSliceUs = m_longestSliceUs;
    m_lastSlices = m_slicesDone;
    QDir().mkpath(stateFolder());
    RecoveryWriter::Job job;
    job.snapshot = std::move(m_snapshot);
    job.copyPath = utf8(copyPathFor(m_snapshotBase));
    job.notePath = utf8(notePathFor(m_snapshotBase));
    job.basePath = utf8(fullPathOf(m_snapshotBase));
    m_snapshot.reset();
    m_writer->submit(std::move(job));
}

void RecoveryKeeper::dropCopyInProgress()
{
    m_slices->stop();
    m_snapshot.reset();
}

void RecoveryKeeper::writePendingCopyNow()
{
    if (m_timer->isActive()) {
        m_timer->stop();
        startCopy();
    }
    while (m_snapshot && m_slices->isActive()) {
        m_slices->stop();
        copySlice();
    }
    m_writer->waitUntilIdle();
}

void RecoveryKeeper::removeCopy(const QString& basePath)
{
    m_writer->cancelAndWait();
    QFile::remove(copyPathFor(basePath));
    QFile::remove(notePathFor(basePath));
}

void RecoveryKeeper::baseWritten(const QString& path)
{
    dropCopyInProgress();
    m_timer->stop();
    removeCopy(path);
    m_dirty = false;
    takeBaseline();
}

void RecoveryKeeper::loadBase(const QString& path, const QString& baseName)
{
    dropCopyInProgress();
    m_timer->stop();
    const QString copy = copyPathFor(path);
    const QFileInfo copyInfo(copy), baseInfo(path);
    bool restore = false;
    if (!path.isEmpty() && copyInfo.isFile()) {
        m_writer->cancelAndWait();
        if (baseInfo.isFile() && files::sameContents(utf8(copy), utf8(path))) {
            removeCopy(path); // nothing in it that the file does not hold
        } else if (!baseInfo.isFile() || copyInfo.lastModified() > baseInfo.lastModified()) {
            const QString when = copyInfo.lastModified().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
            const bool yes = services().question(
                QStringLiteral("Найдены несохранённые изменения базы «%1» от %2. Восстановить их?")
                    .arg(baseName, when));
            if (sessionEndRequested())
                throw Abort{}; // no answer from the user: open nothing, keep the copy
            if (yes)
                restore = true;
            else
                removeCopy(path);
        }
    }
    m_loading = true;
    try {
        if (restore) {
            try {
                m_dm.RestoreBase(utf8(copy), path.toStdString());
            } catch (const Error& e) {
                // A damaged copy gives nothing back; the base opens from its file.
                restore = false;
                services().message(
                    QStringLiteral("Не удалось восстановить изменения базы «%1»:\n").arg(baseName)
                    + QString::fromUtf8(e.what()));
                m_dm.LoadBase(path.toStdString());
            }
        } else {
            m_dm.LoadBase(path.toStdString());
        }
    } catch (...) {
        m_loading = false;
        takeBaseline();
        throw;
    }
    m_loading = false;
    takeBaseline();
    // Restored changes are not in the base file yet; the copy that holds them stays
    // until the base is written back.
    m_dirty = restore;
}

} // namespace dorvin
