#pragma once
// Ends the editor as its "Выход" command does when the system or the desktop asks
// (a termination signal, the session's end, the application quitting): whatever modal
// window is open is closed first, so the code that opened it can finish, and then the
// main window is closed, which writes the open base back.
#include <QObject>
#include <QPointer>

class QWidget;

namespace dorvin {

class SessionEnd : public QObject {
public:
    explicit SessionEnd(QObject* parent = nullptr);
    ~SessionEnd() override;

    // The window to close, and the event loop level at which it runs: it is closed only
    // once every loop a modal window started inside it has returned.
    void setWindow(QWidget* window, int loopLevel);

    // Asks for the end; more requests while one is under way change nothing.
    void request();
    bool requested() const { return m_requested; }

private:
    void step();
    void scheduleStep(int delayMs = 0);

    QPointer<QWidget> m_window;
    int m_loopLevel = 1;
    bool m_requested = false;
    bool m_stepScheduled = false;
    bool m_windowClosed = false;
    QPointer<QWidget> m_lastModal;
};

// True once the end of the program or of the editor window has been asked for, so that a
// question on the way (restoring unsaved changes) is not taken as the user's answer.
bool sessionEndRequested();

} // namespace dorvin
