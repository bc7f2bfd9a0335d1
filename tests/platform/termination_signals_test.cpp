// The termination signals turned into a call on the event loop, and the dispositions that
// were there before coming back.
#include "platform/state_folder.h"
#include "platform/termination_signals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>

using dorvin::TerminationSignals;

namespace {

using Handler = void (*)(int);

Handler handlerOf(int sig)
{
    struct sigaction now {};
    sigaction(sig, nullptr, &now);
    return now.sa_handler;
}

// Processes events until the condition holds (or a generous limit passes, which fails the
// caller's check rather than hanging).
template <class F> void processUntil(F done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

class Dispositions {
public:
    Dispositions()
    {
        for (int i = 0; i < 3; ++i)
            sigaction(sigs[i], nullptr, &saved[i]);
    }
    ~Dispositions()
    {
        for (int i = 0; i < 3; ++i)
            sigaction(sigs[i], &saved[i], nullptr);
    }
    const int sigs[3] = {SIGTERM, SIGHUP, SIGINT};
    struct sigaction saved[3]{};
};

volatile std::sig_atomic_t previousCalls = 0;
extern "C" void previousHandler(int)
{
    previousCalls = previousCalls + 1;
}

} // namespace

TEST(TerminationSignals, EachSignalBecomesOneCallOnTheEventLoop)
{
    Dispositions keep;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    int calls = 0;
    TerminationSignals watch([&] { ++calls; });
    ASSERT_TRUE(watch.active());
    std::raise(SIGTERM);
    // The handler only noted it: nothing runs before the event loop reads the note.
    EXPECT_EQ(calls, 0);
    processUntil([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
    std::raise(SIGHUP);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    processUntil([&] { return watch.received().size() == 3; });
    EXPECT_EQ(watch.received(), (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    EXPECT_GE(calls, 2);
}

TEST(TerminationSignals, EarlierDispositionsComeBackAndIgnoredSignalsStayIgnored)
{
    Dispositions keep;
    struct sigaction host {};
    host.sa_handler = previousHandler;
    sigemptyset(&host.sa_mask);
    sigaction(SIGTERM, &host, nullptr);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGINT, SIG_DFL);
    {
        TerminationSignals watch([] {});
        ASSERT_TRUE(watch.active());
        EXPECT_NE(handlerOf(SIGTERM), previousHandler);
        EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
        EXPECT_NE(handlerOf(SIGINT), SIG_DFL);
        // A second watcher while one lives takes nothing over.
        TerminationSignals second([] {});
        EXPECT_FALSE(second.active());
    }
    EXPECT_EQ(handlerOf(SIGTERM), previousHandler);
    EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
    EXPECT_EQ(handlerOf(SIGINT), SIG_DFL);
    // Once the first is gone another can watch again.
    TerminationSignals again([] {});
    EXPECT_TRUE(again.active());
}

TEST(TerminationSignals, RestoreAndForwardHandsTheSignalOnOnce)
{
    Dispositions keep;
    previousCalls = 0;
    struct sigaction host {};
    host.sa_handler = previousHandler;
    sigemptyset(&host.sa_mask);
    sigaction(SIGTERM, &host, nullptr);
    TerminationSignals watch([] {});
    std::raise(SIGTERM);
    std::raise(SIGTERM); // not read yet when the window closes: still handed on
    EXPECT_EQ(int(previousCalls), 0);
    watch.restoreAndForward();
    EXPECT_EQ(int(previousCalls), 1);
    EXPECT_EQ(handlerOf(SIGTERM), previousHandler);
    EXPECT_FALSE(watch.active());
}

TEST(StateFolder, FollowsTheTestFolderAndOtherwiseTheUsersStateHome)
{
    dorvin::setStateFolderForTests(QStringLiteral("/tmp/x/../state"));
    EXPECT_EQ(dorvin::stateFolder(), QStringLiteral("/tmp/state"));
    dorvin::setStateFolderForTests(QString());
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/srv/state/");
    EXPECT_EQ(dorvin::stateFolder(), QStringLiteral("/srv/state/dorvindb"));
    // A relative value is not a state home.
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(dorvin::stateFolder(), QDir::homePath() + QStringLiteral("/.local/state/dorvindb"));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(dorvin::stateFolder(), QDir::homePath() + QStringLiteral("/.local/state/dorvindb"));
    if (!saved.isNull())
        qputenv("XDG_STATE_HOME", saved);
}
