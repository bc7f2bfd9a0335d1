#pragma once
// Small layout helpers every pane of the main window builds its widgets with.
#include <QBoxLayout>
#include <QString>
#include <QWidget>

namespace dorvin::panes {

// Layouts without margins or spacing: the design places its controls edge to edge.
inline QVBoxLayout* vbox(QWidget* owner, int margin = 0)
{
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

inline QHBoxLayout* hbox(QWidget* owner, int margin = 0)
{
    auto* l = new QHBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

// The object name of a control is its member name: tests and host programs find it so.
template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Help context numbers of the three panes are kept in this property of the pane's box
// (and of controls that have their own); F1 looks for the nearest one.
inline constexpr const char* kHelpContextProperty = "helpContext";

} // namespace dorvin::panes
