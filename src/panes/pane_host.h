#pragma once
// What the panes of the main window ask of the window they sit in: the status bar, and the
// few entry points of one pane that another pane's handlers reach. The window implements
// it and forwards each call to the pane that owns the work, so the panes never know the
// window's class or each other's.
#include <QString>

namespace dorvin {

class PaneHost {
public:
    // Status-bar panels 0 to 2 (1 shows whether the tables are browsed or edited).
    virtual void setStatusPanelText(int panel, const QString& text) = 0;

    // The type pane reached another type: the element list binds its navigator, fits its
    // columns and names the type in its caption.
    virtual void elementTypeReached() = 0;

    // The parameter pane's entry points the element panes reach: confirming and dropping
    // an edit of the parameter row, the editing indicators, showing the current row anew
    // (after a confirmed or dropped element edit), and the values of rows just inserted.
    virtual void applyParamsEdit() = 0;
    virtual void cancelParamsEdit() = 0;
    virtual void paramsStateChanged() = 0;
    virtual void paramsRowReached() = 0;
    virtual void refreshParamValues() = 0;

protected:
    ~PaneHost() = default;
};

} // namespace dorvin
