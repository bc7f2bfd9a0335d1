// Text and number conversions and comparisons the table engine's cells, orders and filters use.
#include "storage/client_table_internal.h"

#include <charconv>

namespace dorvin::table_detail {

std::vector<std::string> splitList(std::string_view list)
{
    std::vector<std::string> out;
    while (!list.empty()) {
        std::size_t p = list.find(';');
        std::string_view part = trim(list.substr(0, p));
        if (!part.empty())
            out.emplace_back(part);
        if (p == std::string_view::npos)
            break;
        list.remove_prefix(p + 1);
    }
    return out;
}

std::optional<double> parseNumber(std::string_view text)
{
    text = trim(text);
    if (text.empty())
        return std::nullopt;
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    const char* b = s.data();
    if (*b == '+')
        ++b;
    double v = 0;
    auto [p, ec] = std::from_chars(b, s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::string numberText(double v)
{
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string();
}

// Letter case is folded first so that names sort as a reader expects; the raw bytes then
// break ties, which keeps the order total.
int compareText(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = cp1251ToUpper(static_cast<unsigned char>(a[i]));
        unsigned char y = cp1251ToUpper(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace dorvin::table_detail
