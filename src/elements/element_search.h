#pragma once
// The find dialog's search over the element list pane.
#include <QString>

class ElementListPane;

namespace dorvin::elements {

// Makes the first element of the current type whose field (CODE or MODEL) equals the text
// exactly the current element. A pending edit of the element table ends first, found or
// not. False when none matches or no base is open.
bool locateElement(ElementListPane& pane, const QString& field, const QString& text);

// Sets the element grid's current column (0 CODE, 1 MODEL, 2 CENA) on the current row and
// scrolls that row to the middle of the grid where the grid can scroll.
void setElementColumn(ElementListPane& pane, int column);

} // namespace dorvin::elements
