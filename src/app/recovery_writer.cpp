#include "app/recovery_writer.h"

#include "storage/data_module_snapshot.h"
#include "storage/file_io.h"

namespace dorvin {

RecoveryWriter::RecoveryWriter() : m_thread([this] { run(); }) {}

RecoveryWriter::~RecoveryWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.reset();
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void RecoveryWriter::submit(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::make_unique<Job>(std::move(job));
    }
    m_wake.notify_all();
}

void RecoveryWriter::cancelAndWait()
{
    std::unique_lock lock(m_mutex);
    m_pending.reset();
    m_idle.wait(lock, [this] { return !m_busy; });
}

void RecoveryWriter::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_busy && !m_pending; });
}

int RecoveryWriter::failures() const
{
    std::lock_guard lock(m_mutex);
    return m_failures;
}

void RecoveryWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop)
            return;
        const std::unique_ptr<Job> job = std::move(m_pending);
        m_busy = true;
        lock.unlock();
        bool ok = true;
        try {
            // The note first: a copy is never on disk without the name of its base.
            const std::string& note = job->basePath;
            files::replaceFile(job->notePath,
                               std::span(reinterpret_cast<const std::uint8_t*>(note.data()), note.size()));
            job->snapshot->writeFile(job->copyPath);
        } catch (...) {
            ok = false;
        }
        lock.lock();
        if (!ok)
            ++m_failures;
        m_busy = false;
        m_idle.notify_all();
    }
}

} // namespace dorvin
