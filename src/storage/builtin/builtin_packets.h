#pragma once
// The built-in contents of the element base tables, as dataset packets compiled into
// the program. The bytes are produced at build time by tools/gen_builtin.
#include <cstdint>
#include <span>

namespace dorvin::builtin {

std::span<const std::uint8_t> groupsPacket();    // 11 element types with their symbols
std::span<const std::uint8_t> elementsPacket();  // empty
std::span<const std::uint8_t> paramsPacket();    // empty
std::span<const std::uint8_t> freqsPacket();     // the 96 frequency points, with history
std::span<const std::uint8_t> templatePacket();  // the parameter template, with history
std::span<const std::uint8_t> containerPacket(); // empty

} // namespace dorvin::builtin
