#include "app/session_end.h"

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace dorvin {

namespace {
int g_requests = 0; // requests of living SessionEnd objects
} // namespace

bool sessionEndRequested()
{
    return g_requests > 0;
}

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {}

SessionEnd::~SessionEnd()
{
    if (m_requested)
        --g_requests;
}

void SessionEnd::setWindow(QWidget* window, int loopLevel)
{
    m_window = window;
    m_loopLevel = loopLevel;
    if (m_requested)
        scheduleStep();
}

void SessionEnd::request()
{
    if (!m_requested) {
        m_requested = true;
        ++g_requests;
    }
    scheduleStep();
}

void SessionEnd::scheduleStep(int delayMs)
{
    if (m_stepScheduled)
        return;
    m_stepScheduled = true;
    QTimer::singleShot(delayMs, this, [this] {
        m_stepScheduled = false;
        step();
    });
}

void SessionEnd::step()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_window) {
        // Closing answers a question box with its escape button and rejects a dialog; a
        // window that refused to close is hidden, which ends its loop all the same. The
        // pause lets the closed window's loop return to the code that opened it.
        if (modal == m_lastModal)
            modal->hide();
        else
            modal->close();
        m_lastModal = modal;
        scheduleStep(20);
        return;
    }
    m_lastModal = nullptr;
    if (m_windowClosed || !m_window)
        return;
    if (QThread::currentThread()->loopLevel() > m_loopLevel) {
        // A modal loop is still on its way back to the code that opened it.
        scheduleStep(20);
        return;
    }
    m_windowClosed = true;
    // A message the closing shows (a failed write-back) must not hold the end up: the
    // next step, run inside its loop, closes it.
    scheduleStep(20);
    m_window->close();
}

} // namespace dorvin
