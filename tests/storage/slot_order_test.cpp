// The rank sort must put slots exactly where sorting them by comparing cells does, and
// must decline the columns whose cells it cannot rank.
#include "storage/client_table_internal.h"
#include "storage/slot_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace dorvin {
namespace {

using table_detail::SlotOrder;

FieldDef fieldOf(const char* name, FieldKind kind)
{
    FieldDef d;
    d.name = name;
    d.kind = kind;
    d.size = kind == FieldKind::String ? 30 : 0;
    return d;
}

// A table of `rows` live slots: a small group number, a text drawn from names that
// differ in letter case only, Cyrillic letters (ё among them) and prefixes, and a wide
// signed number; a tenth of each column is null.
TableData randomTable(std::size_t rows, unsigned seed)
{
    TableData d({fieldOf("GR", FieldKind::SmallInt), fieldOf("NAME", FieldKind::String),
                 fieldOf("ELEM", FieldKind::Integer)});
    const std::vector<std::string> names{"model",
                                         "Model",
                                         "MODEL",
                                         "mod",
                                         "modelA",
                                         "",
                                         "\xB8\xEB\xEA\xE0",
                                         "\xA8\xEB\xEA\xE0",
                                         "\xC5\xEB\xEA\xE0",
                                         "\xE5\xEB\xEA\xE0",
                                         "zeta",
                                         "Zeta9",
                                         "9",
                                         "\xFF"};
    std::mt19937 rng(seed);
    d.alive.assign(rows, 1);
    for (auto& c : d.cols)
        c.resize(rows);
    for (std::size_t s = 0; s < rows; ++s) {
        auto& gr = d.cols[0];
        auto& name = d.cols[1];
        auto& elem = d.cols[2];
        if (rng() % 10 != 0) {
            gr.null[s] = 0;
            gr.num[s] = double(int(rng() % 5) - 2);
        }
        if (rng() % 10 != 0) {
            name.null[s] = 0;
            name.str[s] = names[rng() % names.size()];
        }
        if (rng() % 10 != 0) {
            elem.null[s] = 0;
            elem.num[s] = double(std::int32_t(rng()) / 1024);
        }
    }
    return d;
}

std::vector<std::uint32_t> allSlots(const TableData& d)
{
    std::vector<std::uint32_t> ids;
    for (std::uint32_t s = 0; s < d.alive.size(); ++s)
        if (d.alive[s])
            ids.push_back(s);
    return ids;
}

std::vector<std::uint32_t> byComparing(const TableData& d, const std::vector<int>& fields)
{
    auto ids = allSlots(d);
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = table_detail::compareSlots(d, fields, a, b);
        return c < 0 || (c == 0 && a < b);
    });
    return ids;
}

TEST(SlotOrder, MatchesComparingCellsForNumbersTextsNullsAndTheirMixtures)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const TableData d = randomTable(3000, seed);
        SlotOrder order(d);
        const std::vector<std::vector<int>> keys{{0}, {1}, {2}, {0, 1}, {0, 1, 2}, {1, 0}, {2, 1, 0}, {}};
        for (const auto& fields : keys) {
            auto ids = allSlots(d);
            ASSERT_TRUE(order.sort(fields, ids));
            EXPECT_EQ(ids, byComparing(d, fields)) << "seed " << seed << ", " << fields.size() << " fields";
        }
    }
}

TEST(SlotOrder, SkipsDeadSlotsAndKeepsARowsInOrderAsTheyAre)
{
    TableData d = randomTable(500, 7);
    for (std::size_t s = 0; s < d.alive.size(); s += 3)
        d.alive[s] = 0; // freed slots keep whatever their cells held
    const std::vector<int> fields{0, 1, 2};
    auto ids = allSlots(d);
    ASSERT_TRUE(SlotOrder(d).sort(fields, ids));
    const auto expected = byComparing(d, fields);
    EXPECT_EQ(ids, expected);
    auto again = expected; // slots already in key order stay as they are
    ASSERT_TRUE(SlotOrder(d).sort(fields, again));
    EXPECT_EQ(again, expected);
}

TEST(SlotOrder, DeclinesFractionsNonFiniteNumbersAndSpansTooWideToRank)
{
    TableData d({fieldOf("F", FieldKind::Float), fieldOf("A", FieldKind::Integer),
                 fieldOf("B", FieldKind::Integer), fieldOf("C", FieldKind::Integer)});
    d.alive.assign(3, 1);
    for (auto& c : d.cols)
        c.resize(3);
    auto set = [&](int col, std::size_t s, double v) {
        d.cols[std::size_t(col)].null[s] = 0;
        d.cols[std::size_t(col)].num[s] = v;
    };
    set(0, 0, 1.5);
    set(0, 1, 2);
    set(1, 0, -2147483648.0);
    set(1, 1, 2147483646.0);
    set(2, 0, std::numeric_limits<double>::infinity());
    set(3, 0, -1e12);
    set(3, 1, 1e12);
    const auto before = allSlots(d);
    for (int f : {0, 2, 3}) {
        auto ids = before;
        EXPECT_FALSE(SlotOrder(d).sort({f}, ids)) << "field " << f;
        EXPECT_EQ(ids, before);
    }
    // A span of 2^32 - 2 takes a whole 32-bit rank; two such columns still fit the key.
    auto ids = before;
    EXPECT_TRUE(SlotOrder(d).sort({1, 1}, ids));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{2, 0, 1}));
    EXPECT_FALSE(SlotOrder(d).sort({1, 1, 1}, ids)); // 99 bits of key
}

} // namespace
} // namespace dorvin
