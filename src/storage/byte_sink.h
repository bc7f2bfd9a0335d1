#pragma once
// Where a streaming writer hands its bytes, in order, a piece at a time.
#include <cstdint>
#include <functional>
#include <span>

namespace dorvin {

using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

} // namespace dorvin
