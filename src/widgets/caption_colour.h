#pragma once
// The caption colour of a group box: the panes of the main window show theirs in blue
// while their grid holds the keyboard focus.
#include <QColor>

class QGroupBox;

namespace dorvin {

inline const QColor kFocusedCaption{0, 0, 255};
inline const QColor kUnfocusedCaption{0, 0, 0};

// Sets the colour of a group box's caption (and of the text of children that follow it).
void setCaptionColour(QGroupBox* box, const QColor& colour);
QColor captionColour(const QGroupBox* box);

} // namespace dorvin
