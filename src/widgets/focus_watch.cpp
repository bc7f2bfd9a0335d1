#include "widgets/focus_watch.h"

#include "platform/guarded.h"

#include <QApplication>

namespace dorvin {

FocusWatch::FocusWatch(QWidget* control) : QObject(control), m_control(control)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusWatch::focusChanged);
}

bool FocusWatch::contains(QWidget* w) const
{
    return w && m_control && (w == m_control || m_control->isAncestorOf(w));
}

void FocusWatch::focusChanged(QWidget*, QWidget* now)
{
    // Only the new focus matters: the old one may already be half destroyed. Focus moving
    // to another window (a message box, another program) leaves the control's window with
    // its focused control unchanged, so it neither enters nor leaves.
    if (!now || !m_control || now->window() != m_control->window())
        return;
    const bool inside = contains(now);
    if (inside == m_inside)
        return;
    m_inside = inside;
    if (inside && onEnter)
        runGuarded(onEnter);
    else if (!inside && onExit)
        runGuarded(onExit);
}

} // namespace dorvin
