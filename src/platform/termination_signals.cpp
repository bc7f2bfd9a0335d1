#include "platform/termination_signals.h"

#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <atomic>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace dorvin {

#if defined(Q_OS_UNIX)

namespace {

constexpr std::array<int, 3> watchedSignals{SIGTERM, SIGHUP, SIGINT};

// The write end of the active object's socket pair; -1 while none is active.
std::atomic<int> g_writeEnd{-1};

// Internal linkage and a C++ name: the library exports no C names but its two entries.
void onTerminationSignal(int sig)
{
    // Only async-signal-safe work here: one byte into the socket pair, errno kept.
    const int savedErrno = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(sig);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

bool makeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0
           && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

struct TerminationSignals::Platform {
    int fds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
    std::array<struct sigaction, watchedSignals.size()> previous{};
    bool installed = false;
};

TerminationSignals::TerminationSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), m_platform(std::make_unique<Platform>()), m_onRequest(std::move(onRequest))
{
    Platform& p = *m_platform;
    if (g_writeEnd.load() >= 0)
        return; // another object watches
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, p.fds) != 0)
        return;
    if (!makeNonBlocking(p.fds[0]) || !makeNonBlocking(p.fds[1])) {
        ::close(p.fds[0]);
        ::close(p.fds[1]);
        p.fds[0] = p.fds[1] = -1;
        return;
    }
    p.notifier = new QSocketNotifier(p.fds[1], QSocketNotifier::Read, this);
    connect(p.notifier, &QSocketNotifier::activated, this, [this] { readPending(); });
    g_writeEnd.store(p.fds[0]);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i) {
        ::sigaction(watchedSignals[i], nullptr, &p.previous[i]);
        // A signal someone chose to ignore (nohup, a background job) stays ignored.
        if (p.previous[i].sa_handler != SIG_IGN)
            ::sigaction(watchedSignals[i], &action, nullptr);
    }
    p.installed = true;
}

TerminationSignals::~TerminationSignals()
{
    restore();
}

bool TerminationSignals::active() const
{
    return m_platform->installed;
}

void TerminationSignals::restore()
{
    Platform& p = *m_platform;
    if (!p.installed)
        return;
    // The old dispositions first, so no handler can still be writing when the pair closes.
    for (std::size_t i = 0; i < watchedSignals.size(); ++i)
        ::sigaction(watchedSignals[i], &p.previous[i], nullptr);
    g_writeEnd.store(-1);
    delete p.notifier;
    p.notifier = nullptr;
    ::close(p.fds[0]);
    ::close(p.fds[1]);
    p.fds[0] = p.fds[1] = -1;
    p.installed = false;
}

bool TerminationSignals::drain()
{
    bool any = false;
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(m_platform->fds[1], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            any = true;
            if (std::find(m_received.begin(), m_received.end(), int(bytes[i])) == m_received.end())
                m_received.push_back(bytes[i]);
        }
    }
    return any;
}

void TerminationSignals::readPending()
{
    if (drain() && m_onRequest)
        m_onRequest();
}

void TerminationSignals::restoreAndForward()
{
    if (!m_platform->installed)
        return;
    drain(); // signals that arrived but were not read yet still count
    restore();
    for (int sig : m_received)
        ::raise(sig);
}

#else

// Other platforms end a program through their own session messages, which reach the
// toolkit's session signals; there is nothing to catch here.
struct TerminationSignals::Platform {};

TerminationSignals::TerminationSignals(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), m_platform(std::make_unique<Platform>()), m_onRequest(std::move(onRequest))
{}

TerminationSignals::~TerminationSignals() = default;

bool TerminationSignals::active() const
{
    return false;
}

void TerminationSignals::restore() {}
void TerminationSignals::readPending() {}
bool TerminationSignals::drain()
{
    return false;
}
void TerminationSignals::restoreAndForward() {}

#endif

} // namespace dorvin
