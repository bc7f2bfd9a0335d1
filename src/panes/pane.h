#pragma once
// What every pane of the main window does over its life, so the window treats its panes
// alike: each builds its own box (build(), whose arguments differ by pane), then
// connectControls() ties its controls to its handlers; attach() binds it to the data
// module's tables and detach() lets them go; disconnectControls() unties the controls again
// (the window does this before its controls are destroyed, so that nothing a control
// reports while it goes reaches a handler); setEnabled() enables or disables the pane as a
// whole.
#include <QObject>

class TDataM;

namespace dorvin {

class Pane : public QObject {
public:
    using QObject::QObject;

    virtual void connectControls() = 0;
    virtual void disconnectControls() = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void attach(TDataM& dm) = 0;
    virtual void detach() = 0;
};

} // namespace dorvin
