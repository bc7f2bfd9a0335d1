#pragma once
// Moving elements between a base's element and parameter tables and exchange files
// (storage/exchange_file.h): the table work, with no windows. The caller supplies the
// tables and does what its panes need around it.
#include "storage/exchange_file.h"

#include <cstdint>

namespace dorvin {

class ClientTable;

// The current element of `elems` with the parameter rows `params` shows, in their order.
// Each parameter row is made current in turn, so `params` ends on the last one.
ExchangeElement elementFromTables(ClientTable& elems, ClientTable& params);

// The largest element number among all posted rows of `elems` with type code `gr`, also
// rows the master link hides; 0 when the type has no element. Ends a pending edit of
// `elems` (and of its detail tables) first, so the row being edited counts as posted.
std::int64_t maxElementNumber(ClientTable& elems, std::int64_t gr);

// Fills the element row being inserted in `elems` from the file and gives it the number
// `number` within the file's type; replaces the parameter rows `params` shows with the
// file's, numbered alike. Both tables are left with their last row posted. When anything
// fails, the rows made so far are taken back and the error is passed on.
void insertElementRows(ClientTable& elems, ClientTable& params, const ExchangeElement& element,
                       std::int64_t number);

// Deletes every row the table shows. Stops (rather than spinning) should a deletion
// ever leave the count unchanged.
void deleteShownRows(ClientTable& table);

} // namespace dorvin
