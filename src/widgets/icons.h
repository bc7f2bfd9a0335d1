#pragma once
// The pictures of the window's two image lists, drawn in code so that they scale cleanly
// and need no files.
#include <QIcon>

namespace dorvin::icons {

// The 25 pictures of the menus and actions (16 x 16), by number:
//  0 first, 1 previous, 2 next, 3 last, 4 check mark, 5 cross, 6 question mark on yellow,
//  7 green minus, 8 scissors, 9 copy, 10 paste, 11 exit door, 12 green ball with arrow out,
// 13 green ball with arrow in, 14 table sheet, 15 table sheet (bases), 16 green plus,
// 17 picture in a folder, 18 binoculars, 19 sheet with arrow down, 20 sheet with arrow up,
// 21 blue sheet, 22 dotted slope, 23 printer, 24 disk with picture.
constexpr int menuImageCount = 25;
QIcon menuImage(int index);

// The 6 pictures of the parameter tool bar (14 x 14): first, previous, next, last,
// check mark, cross.
constexpr int toolImageCount = 6;
QIcon toolImage(int index);

// The program's icon.
QIcon programIcon();

} // namespace dorvin::icons
