// Text forms of packet values for the dump commands.
#pragma once

#include <cstdint>
#include <optional>
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

// A float field's value for the JSON dump, so that loading gives back the very same
// bits: a number as jsonNumber, except that negative zero is "-0.0" (a bare "-0" reads
// as the integer 0), and values JSON has no number for are strings: "Infinity",
// "-Infinity", "NaN" for the usual quiet NaN and "NaN(0x...)" with the bits of any other.
std::string jsonFloat(double v);
// The reverse for the string forms; nullopt for any other text.
std::optional<double> floatFromJsonText(std::string_view text);

std::string base64(std::span<const std::uint8_t> bytes);
// Standard base64 with padding; nullopt for any other text.
std::optional<std::string> fromBase64(std::string_view text);

// FNV-1a, 64 bits, as 16 hex digits: a short stable name for the contents of a blob.
std::string contentHash(std::string_view bytes);

} // namespace cbbtool
