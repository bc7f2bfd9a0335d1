#include "elements/element_list.h"

#include <charconv>
#include <limits>

namespace dorvin {

std::optional<std::int32_t> nextElementNumber(std::string_view text)
{
    std::int64_t max = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, max);
    if (text.empty() || ec != std::errc() || ptr != end)
        max = 0;
    if (max >= std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    // Numbers below 0 are not produced by the program; the next one is still 1 above.
    return static_cast<std::int32_t>(max < std::numeric_limits<std::int32_t>::min() ? 1 : max + 1);
}

QString deleteElementQuestion(const QString& model)
{
    return QStringLiteral("Удалить элемент: ") + model + QStringLiteral("?");
}

} // namespace dorvin
