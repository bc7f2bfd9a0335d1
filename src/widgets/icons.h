#pragma once
// The pictures of the window's two image lists, drawn in code so that they scale cleanly
// and need no files.
#include <QIcon>

namespace dorvin::icons {

// The pictures of the menus and actions (16 x 16), in their places in the image list.
enum class MenuImage : int {
    First = 0,        // triangle to a bar
    Prior = 1,        // triangle left
    Next = 2,         // triangle right
    Last = 3,         // triangle to a bar
    Check = 4,        // check mark
    Cross = 5,        // cross
    Help = 6,         // question mark on yellow
    Minus = 7,        // green minus
    Scissors = 8,     // scissors
    Copy = 9,         // two sheets
    Paste = 10,       // sheet on a clipboard
    Exit = 11,        // exit door
    SaveOut = 12,     // green ball with arrow out
    InsertIn = 13,    // green ball with arrow in
    Table = 14,       // table sheet
    Bases = 15,       // table sheet (bases)
    Plus = 16,        // green plus
    Picture = 17,     // picture in a folder
    Find = 18,        // binoculars
    FillDown = 19,    // sheet with arrow down
    FillUp = 20,      // sheet with arrow up
    SelectAll = 21,   // blue sheet
    Slope = 22,       // dotted slope
    Print = 23,       // printer
    SavePicture = 24, // disk with picture
};
constexpr int menuImageCount = 25;
QIcon menuImage(int index);
constexpr int imageIndex(MenuImage image)
{
    return static_cast<int>(image);
}

// The pictures of the parameter tool bar (14 x 14), in their places in the image list.
enum class ToolImage : int { First = 0, Prior = 1, Next = 2, Last = 3, Check = 4, Cross = 5 };
constexpr int toolImageCount = 6;
QIcon toolImage(int index);
constexpr int imageIndex(ToolImage image)
{
    return static_cast<int>(image);
}

// The program's icon.
QIcon programIcon();

} // namespace dorvin::icons
