#pragma once
// Focus entering and leaving a control as a whole. A grid whose in-place editor takes the
// focus still holds it: only a move from outside the control (and its children) to inside
// counts as entering, and the reverse as leaving; focus going to another window does
// not count.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace dorvin {

class FocusWatch : public QObject {
    Q_OBJECT
public:
    // Watches `control`; the watcher is a child of it and dies with it.
    explicit FocusWatch(QWidget* control);

    std::function<void()> onEnter;
    std::function<void()> onExit;

    bool hasFocusWithin() const { return m_inside; }

private:
    void focusChanged(QWidget* old, QWidget* now);
    bool contains(QWidget* w) const;

    QPointer<QWidget> m_control;
    bool m_inside = false;
};

} // namespace dorvin
