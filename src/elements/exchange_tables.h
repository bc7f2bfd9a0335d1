#pragma once
// Moving elements between the base's tables and exchange files. Plain table work, no
// widgets: the window supplies the tables and runs the steps that belong to its panes.
#include "storage/exchange_file.h"

#include <cstdint>
#include <functional>
#include <string>

namespace dorvin {
class ClientTable;
}

namespace dorvin::elements {

// The current element of `elems` with the parameter rows `params` shows, in their order.
// Each parameter row is made current in turn, so `params` ends on the last one.
ExchangeElement elementFromTables(ClientTable& elems, ClientTable& params);

// The largest element number among all rows of `elems` with type code `gr`, also rows the
// master link hides; 0 when the type has no element. Ends a pending edit of `elems`.
std::int64_t maxElementNumber(ClientTable& elems, std::int64_t gr);

// Ends a pending edit or insertion the way a move does: posted when a field was changed,
// cancelled otherwise.
void endPendingEdit(ClientTable& table);

// Fills the element row being inserted in `elems` from the file and gives it the number
// `number` within the file's type; replaces the parameter rows `params` shows with the
// file's, numbered alike. Both tables are left with their last row posted. When anything
// fails, the rows made so far are taken back and the error is passed on.
void insertElementRows(ClientTable& elems, ClientTable& params, const ExchangeElement& element,
                       std::int64_t number);

} // namespace dorvin::elements
