#pragma once
// The font the windows are laid out for: "MS Sans Serif" at 8 points. Its pixel sizes
// (labels, combo boxes, grid columns) are fixed in the layouts, so the face that stands in
// for it must be a narrow one: a regular sans serif draws about a fifth wider and cuts
// texts off at those sizes.
#include <QFont>
#include <QStringList>

namespace dorvin {

// The faces that stand in for "MS Sans Serif", best first.
QStringList designFontSubstitutes();

// Registers the substitutes (once per process).
void substituteDesignFont();

// The windows' font: "MS Sans Serif", 8 points.
QFont designFont();

} // namespace dorvin
