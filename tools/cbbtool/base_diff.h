// `cbbtool diff A B`: what differs between the contents of two bases, for people.
#pragma once

#include <iosfwd>
#include <string>

namespace cbbtool {

// Loads both bases as the editor does and writes one UTF-8 line per difference to
// `out`: types added, removed or changed (name, each symbol orientation by declared size,
// length and content), elements added, removed or changed (keyed by type code and element
// number: model, price, code), parameter rows added, removed or renamed and their values
// by frequency point, and the frequency plan. Returns whether anything differs. Throws
// dorvin::Error when a base cannot be loaded; nothing is written then.
bool diffBases(const std::string& pathA, const std::string& pathB, std::ostream& out);

} // namespace cbbtool
