// Text forms of packet values for the dump commands.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace cbbtool {

// A JSON string literal, quotes included, of UTF-8 text.
std::string jsonString(std::string_view utf8);

// The shortest text that reads back to the same double; JSON has no
// infinities or NaN, so those become null.
std::string jsonNumber(double v);

// The shortest round-trip text of a double for people to read.
std::string plainNumber(double v);

std::string base64(std::span<const std::uint8_t> bytes);

}  // namespace cbbtool
