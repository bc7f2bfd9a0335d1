// The conventional graphic symbols of the built-in element types, eight
// pictures per type (fields B1 to B8), each a complete enhanced metafile.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace gen {

using Picture = std::vector<std::uint8_t>;

// The eight pictures of built-in type `group` (1 to 11).
std::array<Picture, 8> typeSymbols(int group);

} // namespace gen
