#pragma once
// Keeps a recovery copy of the open base while it has changes that are not yet in its
// file, so a crash, a kill or a power cut loses no work.
//
// - The copy lives in the per-user state folder (platform/state_folder.h), named after the
//   base's file name and a hash of its full path, with a note beside it that names the
//   base; never beside the base.
// - After a posted change (a post or a deletion in a stored table) a copy is taken at
//   most every few seconds: the rows are encoded in slices of a few milliseconds on the
//   user interface thread, between its other work, and the finished copy is written by
//   RecoveryWriter on its own thread. A change during the encoding starts it again.
// - A successful write-back of the base removes the copy.
// - Opening a base for which a copy newer than its file exists asks whether to restore
//   the changes; Yes opens the copy's contents under the base's own path, No deletes it.
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class BaseSnapshot;
class QTimer;
class TDataM;

namespace dorvin {

class RecoveryWriter;
class ClientTable;

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    RecoveryKeeper(TDataM& dataModule, QObject* parent);
    ~RecoveryKeeper() override;

    // LoadBase of `path`, or of its recovery copy when the user wants that back.
    // `baseName` is the name the question shows.
    void loadBase(const QString& path, const QString& baseName);
    // The open base was written back to `path`: its copy has no more use.
    void baseWritten(const QString& path);

    // True while the open base has posted changes that are not in its file.
    bool hasUnsavedChanges() const { return m_dirty; }
    // Encodes and writes a copy now if one is due, and waits until it is on disk (tests,
    // measurements).
    void writePendingCopyNow();
    // The time of the UI thread the last copy took, in microseconds (measurements).
    qint64 lastCopyCostMicroseconds() const { return m_lastCostUs; }
    // The longest single slice of the last copy, and how many slices it took.
    qint64 lastCopyLongestSliceMicroseconds() const { return m_lastLongestSliceUs; }
    int lastCopySlices() const { return m_lastSlices; }

    // The recovery copy of a base, and the note beside it that names the base.
    static QString copyPathFor(const QString& basePath);
    static QString notePathFor(const QString& basePath);

    // The least pause between two copies (2 seconds unless a test sets it).
    static void setIntervalForTests(int milliseconds);

private:
    struct Watch;
    void tablesChanged();
    void startCopy();
    void copySlice();
    void finishCopy();
    void dropCopyInProgress();
    void takeBaseline();
    void removeCopy(const QString& basePath);
    int interval() const;

    TDataM& m_dm;
    std::unique_ptr<RecoveryWriter> m_writer;
    std::array<std::unique_ptr<Watch>, 4> m_watches;
    std::array<std::uint64_t, 4> m_baseline{};
    QTimer* m_timer = nullptr;  // the pause before the next copy
    QTimer* m_slices = nullptr; // the next slice of a copy under way
    std::shared_ptr<BaseSnapshot> m_snapshot;
    QString m_snapshotBase;
    qint64 m_costUs = 0; // UI time spent on the copy under way
    qint64 m_lastCostUs = 0;
    qint64 m_longestSliceUs = 0;
    qint64 m_lastLongestSliceUs = 0;
    int m_slicesDone = 0;
    int m_lastSlices = 0;
    bool m_dirty = false;
    bool m_loading = false;
};

} // namespace dorvin
