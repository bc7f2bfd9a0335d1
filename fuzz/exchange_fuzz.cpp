// Exchange file reader: no input may crash, hang or allocate beyond its own size, and
// whatever it accepts must survive being written and read again.
#include "storage/error.h"
#include "storage/exchange_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    dorvin::ExchangeElement element;
    try {
        element = dorvin::decodeExchange(bytes);
    } catch (const dorvin::Error&) {
        return 0;
    }
    if (dorvin::exchangeHeaderSize + element.params.size() * dorvin::exchangeRecordSize > size)
        std::abort();
    std::string again;
    try {
        again = dorvin::encodeExchange(element);
    } catch (const dorvin::Error&) {
        return 0; // a price at the very edge of the 64-bit field may not scale back exactly
    }
    const dorvin::ExchangeElement back = dorvin::decodeExchange(again);
    if (back.gr != element.gr || back.model != element.model || back.code != element.code
        || back.params.size() != element.params.size())
        std::abort();
    for (std::size_t i = 0; i < back.params.size(); ++i)
        if (back.params[i].values != element.params[i].values
            || back.params[i].parName != element.params[i].parName)
            std::abort();
    return 0;
}
