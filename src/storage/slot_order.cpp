#include "storage/slot_order.h"

#include "storage/cp1251.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string_view>
#include <utility>

namespace dorvin::table_detail {

namespace {

struct Keyed {
    std::uint64_t key;
    std::uint32_t slot;
};

// Stable sort on the low `bits` bits of the keys, a digit at a time from the lowest:
// rows of equal keys keep the order they came in, ascending slots.
void sortByDigits(ScratchVector<Keyed>& rows, unsigned bits)
{
    constexpr unsigned digitBits = 11;
    constexpr std::size_t buckets = std::size_t(1) << digitBits;
    ScratchVector<Keyed> other(rows.size());
    std::vector<std::size_t> start(buckets);
    for (unsigned shift = 0; shift < bits; shift += digitBits) {
        std::fill(start.begin(), start.end(), 0);
        for (const Keyed& r : rows)
            ++start[(r.key >> shift) & (buckets - 1)];
        std::size_t at = 0;
        for (auto& s : start)
            at += std::exchange(s, at);
        for (const Keyed& r : rows)
            other[start[(r.key >> shift) & (buckets - 1)]++] = r;
        rows.swap(other);
    }
}

} // namespace

SlotOrder::Ranks SlotOrder::numberRanks(const TableData::Column& c,
                                        const std::vector<std::uint32_t>& ids) const
{
    Ranks r;
    double least = 0, most = 0;
    bool any = false;
    for (std::uint32_t s : ids) {
        if (c.null[s])
            continue;
        const double v = c.num[s];
        if (!std::isfinite(v) || v != std::floor(v))
            return r;
        least = any ? std::min(least, v) : v;
        most = any ? std::max(most, v) : v;
        any = true;
    }
    // Ranks are the distance from the least value, one up so that 0 is left for nulls.
    if (most - least > double(0xFFFFFFFEu))
        return r;
    r.rank.resize(c.null.size());
    for (std::uint32_t s : ids)
        r.rank[s] = c.null[s] ? 0 : static_cast<std::uint32_t>(c.num[s] - least) + 1;
    r.bits = static_cast<unsigned>(std::bit_width(any ? static_cast<std::uint64_t>(most - least) + 1 : 0));
    r.usable = true;
    return r;
}

SlotOrder::Ranks SlotOrder::textRanks(const TableData::Column& c, const std::vector<std::uint32_t>& ids) const
{
    // Each text is folded to capitals once, into one buffer, so that sorting compares
    // bytes: the same order as compareText, folded letters first, raw bytes breaking ties.
    struct Text {
        std::size_t at;
        std::uint32_t size;
        std::uint32_t slot;
    };
    ScratchVector<Text> texts;
    texts.reserve(ids.size());
    std::size_t total = 0;
    for (std::uint32_t s : ids)
        if (!c.null[s])
            total += c.str[s].size();
    ScratchVector<char> folded(total);
    std::size_t at = 0;
    for (std::uint32_t s : ids) {
        if (c.null[s])
            continue;
        const std::string& v = c.str[s];
        for (std::size_t i = 0; i < v.size(); ++i)
            folded[at + i] = static_cast<char>(cp1251ToUpper(static_cast<unsigned char>(v[i])));
        texts.push_back({at, static_cast<std::uint32_t>(v.size()), s});
        at += v.size();
    }
    const std::string_view all(folded.data(), folded.size());
    auto foldedOf = [&all](const Text& t) { return all.substr(t.at, t.size); };
    std::sort(texts.begin(), texts.end(), [&](const Text& a, const Text& b) {
        const int f = foldedOf(a).compare(foldedOf(b));
        if (f != 0)
            return f < 0;
        return std::string_view(c.str[a.slot]) < std::string_view(c.str[b.slot]);
    });

    Ranks r;
    r.rank.resize(c.null.size());
    for (std::uint32_t s : ids)
        if (c.null[s])
            r.rank[s] = 0;
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i == 0 || c.str[texts[i].slot] != c.str[texts[i - 1].slot])
            ++rank;
        r.rank[texts[i].slot] = rank;
    }
    r.bits = static_cast<unsigned>(std::bit_width(rank));
    r.usable = true;
    return r;
}

const SlotOrder::Ranks& SlotOrder::ranksOf(int field, const std::vector<std::uint32_t>& ids)
{
    for (const auto& [f, ranks] : cache_)
        if (f == field)
            return ranks;
    const auto& c = data_.cols[static_cast<std::size_t>(field)];
    cache_.emplace_back(field, c.textual ? textRanks(c, ids) : numberRanks(c, ids));
    return cache_.back().second;
}

bool SlotOrder::sort(const std::vector<int>& fields, std::vector<std::uint32_t>& ids)
{
    if (ids.size() < 2)
        return true;
    unsigned bits = 0;
    std::vector<const Ranks*> ranks;
    for (int f : fields) {
        const Ranks& r = ranksOf(f, ids);
        if (!r.usable)
            return false;
        bits += r.bits;
        ranks.push_back(&r);
    }
    if (bits > 64)
        return false;
    auto keyOf = [&ranks](std::uint32_t s) {
        std::uint64_t key = 0;
        for (const Ranks* r : ranks)
            key = (key << r->bits) | r->rank[s];
        return key;
    };
    // A table saved in index order loads without moving a row, nor making room for the
    // sort.
    bool ordered = true;
    for (std::size_t i = 1; i < ids.size() && ordered; ++i)
        ordered = keyOf(ids[i - 1]) <= keyOf(ids[i]);
    if (ordered)
        return true;
    ScratchVector<Keyed> rows(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        rows[i] = {keyOf(ids[i]), ids[i]};
    sortByDigits(rows, bits);
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = rows[i].slot;
    return true;
}

} // namespace dorvin::table_detail
