#pragma once
// Element exchange files (.exp): one element with all its parameter rows, in a fixed
// little-endian layout that carries an element from one base to another.
//
//   header (80 bytes):  GR i32 | ELEM i32 | MODEL text[50] | CENA i64 (price x 10000)
//                       | CODE text[10] | count i32
//   count x parameter record (426 bytes):
//                       GROUP i32 | ELEM i32 | PARAM i32 | PARNAME text[30] | N1..N96 f32
//
// A text field of width w holds Windows-1251 bytes followed by a zero byte, or exactly w
// bytes and no zero byte when the text fills it. The window code converts between the
// tables and the structs below; this layer never sees a table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvin {

inline constexpr std::size_t exchangeHeaderSize = 80;
inline constexpr std::size_t exchangeRecordSize = 426;
inline constexpr std::size_t exchangeModelWidth = 50;
inline constexpr std::size_t exchangeCodeWidth = 10;
inline constexpr std::size_t exchangeParNameWidth = 30;
inline constexpr int exchangeValueCount = 96;

struct ExchangeParam {
    std::int32_t group = 0;
    std::int32_t elem = 0; // the number in the base the file came from; ignored on insertion
    std::int32_t param = 0;
    std::string parName; // Windows-1251
    // A value without a number is written as 0; read values are never empty.
    std::array<std::optional<double>, exchangeValueCount> values{};
};

struct ExchangeElement {
    std::int32_t gr = 0;
    std::int32_t elem = 0; // as ExchangeParam::elem
    std::string model;     // Windows-1251
    double price = 0.0;
    std::string code; // Windows-1251
    std::vector<ExchangeParam> params;
};

// The file's bytes: 80 + 426 x params.size(). Throws dorvin::Error when the price or a
// value cannot be represented (not finite, or beyond the range of its field).
std::string encodeExchange(const ExchangeElement& element);

// Reads and checks a whole file image. The type code, the parameter rows' type codes and
// parameter numbers must fit a small integer (-32768..32767); every value must be a finite
// number; the bytes must hold the header and all the records the count announces (a count
// of zero or less means none). Bytes after the last record are ignored. Throws
// dorvin::Error on any violation; nothing is allocated beyond what the bytes can hold.
ExchangeElement decodeExchange(std::string_view bytes);

// Writes the file completely or not at all: the bytes go to a temporary file beside the
// target, which replaces the target only once it is complete. An existing file of that
// name is left as it was when anything fails. Throws dorvin::Error.
void writeExchangeFile(const std::filesystem::path& path, const ExchangeElement& element);

// Opens, reads and decodes the file; throws dorvin::Error when it cannot be read or is
// damaged. Looks at no more of the file than the header's count calls for.
ExchangeElement readExchangeFile(const std::filesystem::path& path);

// A text field of width `width`: the bytes up to the first zero byte, or all of them.
std::string readTextField(std::string_view field);

} // namespace dorvin
