#include "storage/exchange_file.h"

#include "storage/error.h"
#include "storage/file_io.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace dorvin {

namespace {

// Field offsets inside the header and inside a parameter record.
constexpr std::size_t hGr = 0, hElem = 4, hModel = 8, hCena = 58, hCode = 66, hCount = 76;
constexpr std::size_t rGroup = 0, rElem = 4, rParam = 8, rParName = 12, rValues = 42;
static_assert(hCount + 4 == exchangeHeaderSize);
static_assert(rValues + 4 * exchangeValueCount == exchangeRecordSize);

constexpr double priceScale = 10000.0;

void putU32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putI32(std::string& out, std::int32_t v)
{
    putU32(out, static_cast<std::uint32_t>(v));
}

void putI64(std::string& out, std::int64_t v)
{
    const auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

// First `width` bytes of the text; a zero byte closes a shorter text and the rest of the
// field is zero-filled.
void putText(std::string& out, const std::string& text, std::size_t width)
{
    const std::size_t n = text.size() < width ? text.size() : width;
    out.append(text, 0, n);
    out.append(width - n, '\0');
}

std::uint32_t getU32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::int32_t getI32(std::string_view b, std::size_t at)
{
    return static_cast<std::int32_t>(getU32(b, at));
}

std::int64_t getI64(std::string_view b, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int64_t>(v);
}

void checkSmallInt(std::int32_t v, const char* what)
{
    if (v < -32768 || v > 32767)
        throw Error(std::string("Файл элемента повреждён: ") + what + " " + std::to_string(v)
                    + " вне диапазона от -32768 до 32767");
}

std::int64_t scaledPrice(double price)
{
    const double scaled = std::round(price * priceScale);
    // 2^63 is exactly representable; anything at or beyond it does not fit the field.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        throw Error("Цену элемента нельзя записать в файл: значение вне допустимого диапазона");
    return static_cast<std::int64_t>(scaled);
}

float singleValue(double v)
{
    if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(FLT_MAX))
        throw Error("Значение параметра нельзя записать в файл: вне диапазона чисел одинарной точности");
    return static_cast<float>(v);
}

std::string shownPath(const std::filesystem::path& path)
{
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

} // namespace

std::string readTextField(std::string_view field)
{
    const auto zero = field.find('\0');
    return std::string(zero == std::string_view::npos ? field : field.substr(0, zero));
}

std::string encodeExchange(const ExchangeElement& element)
{
    // Everything that can fail is checked before the first byte is produced.
    const std::int64_t cena = scaledPrice(element.price);
    if (element.params.size() > static_cast<std::size_t>(INT32_MAX))
        throw Error("Слишком много параметров для файла элемента");

    std::string out;
    out.reserve(exchangeHeaderSize + exchangeRecordSize * element.params.size());
    putI32(out, element.gr);
    putI32(out, element.elem);
    putText(out, element.model, exchangeModelWidth);
    putI64(out, cena);
    putText(out, element.code, exchangeCodeWidth);
    putI32(out, static_cast<std::int32_t>(element.params.size()));

    for (const ExchangeParam& p : element.params) {
        putI32(out, p.group);
        putI32(out, p.elem);
        putI32(out, p.param);
        putText(out, p.parName, exchangeParNameWidth);
        for (const auto& value : p.values)
            putU32(out, std::bit_cast<std::uint32_t>(value ? singleValue(*value) : 0.0f));
    }
    return out;
}

ExchangeElement decodeExchange(std::string_view bytes)
{
    if (bytes.size() < exchangeHeaderSize)
        throw Error("Файл элемента повреждён: он короче заголовка (" + std::to_string(bytes.size())
                    + " байт из " + std::to_string(exchangeHeaderSize) + ")");

    ExchangeElement e;
    e.gr = getI32(bytes, hGr);
    checkSmallInt(e.gr, "код типа");
    e.elem = getI32(bytes, hElem);
    e.model = readTextField(bytes.substr(hModel, exchangeModelWidth));
    e.price = static_cast<double>(getI64(bytes, hCena)) / priceScale;
    e.code = readTextField(bytes.substr(hCode, exchangeCodeWidth));

    const std::int32_t count = getI32(bytes, hCount);
    const std::uint64_t records = count > 0 ? static_cast<std::uint64_t>(count) : 0;
    const std::uint64_t available = (bytes.size() - exchangeHeaderSize) / exchangeRecordSize;
    if (records > available)
        throw Error("Файл элемента повреждён: заявлено параметров " + std::to_string(count)
                    + ", а полностью записано " + std::to_string(available));

    e.params.reserve(static_cast<std::size_t>(records));
    for (std::uint64_t i = 0; i < records; ++i) {
        const std::string_view r = bytes.substr(
            exchangeHeaderSize + static_cast<std::size_t>(i) * exchangeRecordSize, exchangeRecordSize);
        ExchangeParam p;
        p.group = getI32(r, rGroup);
        checkSmallInt(p.group, "код типа параметра");
        p.elem = getI32(r, rElem);
        p.param = getI32(r, rParam);
        checkSmallInt(p.param, "номер параметра");
        p.parName = readTextField(r.substr(rParName, exchangeParNameWidth));
        for (int k = 0; k < exchangeValueCount; ++k) {
            const float v = std::bit_cast<float>(getU32(r, rValues + 4 * static_cast<std::size_t>(k)));
            if (!std::isfinite(v))
                throw Error("Файл элемента повреждён: значение N" + std::to_string(k + 1) + " параметра "
                            + std::to_string(p.param) + " не является числом");
            p.values[static_cast<std::size_t>(k)] = static_cast<double>(v);
        }
        e.params.push_back(std::move(p));
    }
    return e;
}

void writeExchangeFile(const std::filesystem::path& path, const ExchangeElement& element)
{
    const std::string bytes = encodeExchange(element);
    try {
        files::replaceFile(path,
                           std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    } catch (const FileError&) {
        throw Error("Не удалось записать файл элемента '" + shownPath(path) + "'");
    }
}

ExchangeElement readExchangeFile(const std::filesystem::path& path)
{
    // The file is seen in place, so a count that the file cannot back never turns into
    // an allocation: decoding compares it with the bytes that are there.
    try {
        const os::FileBytes file = files::readFile(path);
        return decodeExchange(std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    } catch (const FileError& e) {
        const char* verb = e.stage() == FileError::Stage::Read ? "прочитать" : "открыть";
        throw Error(std::string("Не удалось ") + verb + " файл элемента '" + shownPath(path) + "'");
    }
}

} // namespace dorvin
