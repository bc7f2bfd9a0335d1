#pragma once
// The requests with which the system and the desktop end a program (on POSIX the signals
// SIGTERM, SIGHUP and SIGINT), turned into a call on the event loop's thread instead of
// the signal's immediate end of the process, so the program can write its work back and
// leave normally.
//
// While an object lives the signals are caught (the signal handler only writes a byte into
// a socket pair; the call happens when the event loop reads it); destroying it restores the
// dispositions that were there before. One object is active at a time; a second one made
// while another lives watches nothing.
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace dorvin {

class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void()> onRequest, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False where the platform gives no such requests, or when another object watches.
    bool active() const;
    // The signal numbers received so far, each once, in order of arrival.
    const std::vector<int>& received() const { return m_received; }
    // Restores the earlier dispositions now and hands every signal received to them
    // (raises it again), for a host program whose own handling must still see it.
    void restoreAndForward();

private:
    void readPending();
    bool drain();
    void restore();

    struct Platform;
    std::unique_ptr<Platform> m_platform;
    std::function<void()> m_onRequest;
    std::vector<int> m_received;
};

} // namespace dorvin
