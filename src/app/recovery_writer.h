#pragma once
// Writes finished recovery copies to disk on a thread of its own, so a slow or large
// write never holds the window up. It only ever reads the copy it was handed (whose bytes
// nothing changes any more), and it never touches a table: the tables stay on the user
// interface thread alone.
//
// One job waits at most: a newer copy replaces one that has not started yet.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class BaseSnapshot;

namespace dorvin {

class RecoveryWriter {
public:
    struct Job {
        std::shared_ptr<const BaseSnapshot> snapshot;
        std::string copyPath; // the recovery copy (UTF-8)
        std::string notePath; // the file that names the base beside it
        std::string basePath; // what the note holds
    };

    RecoveryWriter();
    ~RecoveryWriter(); // waits for a write under way; drops one that has not started
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    void submit(Job job);
    // Drops a job that has not started and waits until no write is under way; after it
    // returns, no copy written so far is still being written.
    void cancelAndWait();
    // Waits until every submitted job is written (for tests and measurements).
    void waitUntilIdle();
    // How many jobs failed to write (the copy stays as it was; the next one tries again).
    int failures() const;

private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::unique_ptr<Job> m_pending;
    bool m_busy = false;
    bool m_stop = false;
    int m_failures = 0;
    std::thread m_thread;
};

} // namespace dorvin
