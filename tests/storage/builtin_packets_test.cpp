// Facts about the built-in packets compiled into the program.
#include "storage/builtin/builtin_packets.h"
#include "storage/cp1251.h"
#include "storage/packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace dorvin;

namespace {

std::vector<const PacketRow*> live(const Packet& p)
{
    std::vector<const PacketRow*> out;
    for (const auto& r : p.rows)
        if (isLiveRow(r.status))
            out.push_back(&r);
    return out;
}

int columnIndex(const Packet& p, const std::string& name)
{
    for (std::size_t i = 0; i < p.columns.size(); ++i)
        if (p.columns[i].name == name)
            return static_cast<int>(i);
    ADD_FAILURE() << "no column " << name;
    return 0;
}

std::string text(const PacketRow& r, int c)
{
    return std::get<std::string>(r.values[c]);
}
std::int64_t integer(const PacketRow& r, int c)
{
    return std::get<std::int64_t>(r.values[c]);
}

} // namespace

TEST(BuiltinPackets, EmptyPacketsHaveTheirExactSizesAndNoRows)
{
    struct Case {
        std::span<const std::uint8_t> bytes;
        std::size_t size;
        std::size_t columns;
    };
    for (const Case& c : {Case{builtin::elementsPacket(), 134, 5}, Case{builtin::paramsPacket(), 1238, 100},
                          Case{builtin::containerPacket(), 191, 4}}) {
        ASSERT_EQ(c.bytes.size(), c.size);
        const Packet p = readPacket(c.bytes);
        EXPECT_EQ(p.columns.size(), c.columns);
        EXPECT_TRUE(p.rows.empty());
        EXPECT_TRUE(p.tableProperties.empty());
        // the header length names the end of the packet
        EXPECT_EQ(c.bytes[22] | (c.bytes[23] << 8), static_cast<int>(c.size));
    }
}

TEST(BuiltinPackets, ContainerPacketStartsWithTheDocumentedBytes)
{
    const auto b = builtin::containerPacket();
    const std::vector<std::uint8_t> head{0x96, 0x19, 0xE0, 0xBD, 1, 0, 0, 0, 24, 0,    0, 0, 4,
                                         0,    0,    0,    0,    0, 3, 0, 0, 0,  0xBF, 0, 6};
    ASSERT_GE(b.size(), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), b.begin()));
    const std::string col1(reinterpret_cast<const char*>(b.data()) + 25, 6);
    EXPECT_EQ(col1, "GROUPS");
    const std::string subtype(reinterpret_cast<const char*>(b.data()) + 53, 12);
    EXPECT_EQ(subtype, std::string("TypedBinary\0", 12));
    EXPECT_EQ(b[189], 0);
    EXPECT_EQ(b[190], 0);
}

TEST(BuiltinPackets, FrequencyPlanKeepsItsHistory)
{
    const auto bytes = builtin::freqsPacket();
    const Packet p = readPacket(bytes);
    ASSERT_EQ(p.rows.size(), 102u);
    for (int i = 0; i < 96; ++i)
        EXPECT_EQ(p.rows[i].status, 4) << i;
    EXPECT_EQ(p.rows[96].status, 6);
    EXPECT_EQ(p.rows[97].status, 6);
    EXPECT_EQ(p.rows[98].status, 6);
    EXPECT_EQ(p.rows[99].status, 5);
    EXPECT_EQ(p.rows[100].status, 14);
    EXPECT_EQ(p.rows[101].status, 6);
    EXPECT_EQ(text(p.rows[96], 0), "1r");
    EXPECT_EQ(text(p.rows[101], 0), "5r");
    EXPECT_DOUBLE_EQ(std::get<double>(p.rows[101].values[1]), 42.0);
    // the first version of "4r" never had a frequency or a flag
    EXPECT_EQ(p.rows[99].fieldStatus[1], field_status::empty);
    EXPECT_EQ(p.rows[99].fieldStatus[2], field_status::empty);
    EXPECT_DOUBLE_EQ(std::get<double>(p.rows[100].values[1]), 40.0);
    EXPECT_TRUE(std::get<bool>(p.rows[100].values[2]));

    std::vector<std::uint64_t> expected;
    for (std::uint64_t r = 1; r <= 100; ++r)
        expected.insert(expected.end(), {r, 0, 4});
    expected.insert(expected.end(),
                    {101, 100, 8, 102, 0, 4, 97, 0, 2, 98, 0, 2, 99, 0, 2, 101, 0, 2, 102, 0, 2});
    ASSERT_EQ(expected.size(), 321u);
    EXPECT_EQ(p.changeLog(), expected);

    const auto rows = live(p);
    ASSERT_EQ(rows.size(), 96u);
    double previous = 0;
    for (const auto* r : rows) {
        const double f = std::get<double>(r->values[1]);
        EXPECT_GT(f, previous) << "the packet holds the plan in frequency order";
        previous = f;
        EXPECT_TRUE(std::get<bool>(r->values[2]));
    }
    EXPECT_EQ(text(*rows[5], 0), "S1");
    EXPECT_DOUBLE_EQ(std::get<double>(rows[5]->values[1]), 111.25);
    EXPECT_EQ(text(*rows[95], 0), "69");
    EXPECT_DOUBLE_EQ(std::get<double>(rows[95]->values[1]), 855.25);

    const PacketReader reader(bytes);
    const std::vector<std::uint8_t> firstRow{0x04, 0x00, 0x01, 0x31, 0x00, 0x00, 0x00,
                                             0x00, 0x00, 0xE0, 0x48, 0x40, 0x01, 0x00};
    ASSERT_GE(bytes.size(), reader.rowsOffset() + firstRow.size());
    EXPECT_TRUE(std::equal(firstRow.begin(), firstRow.end(), bytes.begin() + reader.rowsOffset()));
}

TEST(BuiltinPackets, ParameterTemplateHas58LiveRowsOf84)
{
    const Packet p = readPacket(builtin::templatePacket());
    ASSERT_EQ(p.columns.size(), 101u);
    ASSERT_EQ(p.rows.size(), 84u);
    const auto rows = live(p);
    ASSERT_EQ(rows.size(), 58u);

    std::set<int> statuses;
    for (const auto& r : p.rows)
        statuses.insert(r.status);
    for (int s : statuses)
        EXPECT_TRUE(s == 4 || s == 5 || s == 6 || s == 12 || s == 13) << s;
    EXPECT_TRUE(statuses.count(5) && statuses.count(6) && statuses.count(12));

    const int group = columnIndex(p, "GROUP"), elem = columnIndex(p, "ELEM"), pin = columnIndex(p, "PIN"),
              param = columnIndex(p, "PARAM"), name = columnIndex(p, "PARNAME"), n1 = columnIndex(p, "N1");
    EXPECT_EQ(n1, 5);
    std::map<int, int> perGroup;
    std::set<std::pair<int, int>> keys;
    int withValues = 0, withEmptyStatus = 0;
    for (const auto* r : rows) {
        EXPECT_EQ(integer(*r, elem), 1);
        EXPECT_EQ(integer(*r, pin), 1);
        ++perGroup[static_cast<int>(integer(*r, group))];
        EXPECT_TRUE(
            keys.insert({static_cast<int>(integer(*r, group)), static_cast<int>(integer(*r, param))}).second)
            << "a live row appears twice";
        bool any = false;
        for (int k = 0; k < 96; ++k) {
            any = any || r->fieldStatus[n1 + k] == field_status::value;
            if (r->fieldStatus[n1 + k] == field_status::empty)
                ++withEmptyStatus;
        }
        withValues += any;
    }
    EXPECT_GT(withValues, 0);
    EXPECT_GT(withEmptyStatus, 0);
    EXPECT_EQ(perGroup.size(), 32u);
    EXPECT_EQ(perGroup[13], 5);
    EXPECT_EQ(perGroup[14], 7);
    EXPECT_EQ(perGroup[233], 1);
    EXPECT_EQ(perGroup[2], 3);

    auto nameOf = [&](int g, int prm) {
        for (const auto* r : rows)
            if (integer(*r, group) == g && integer(*r, param) == prm)
                return cp1251ToUtf8(text(*r, name));
        return std::string("<missing>");
    };
    EXPECT_EQ(nameOf(13, 1), "Коэфф-т усиления  вх1-вых, дБ"); // two spaces, as built in
    EXPECT_EQ(nameOf(14, 7), "Коэфф-т усиления вх3-вых, дБ");
    EXPECT_EQ(nameOf(21, 1), "Затухание (2<->3), дБ");
    EXPECT_EQ(nameOf(20, 1), "Затухание, дБ"); // corrected after a typing mistake
    EXPECT_EQ(nameOf(233, 1), "Выходной уровень, дБмкВ");
}

TEST(BuiltinPackets, TemplateRowsWithoutValuesStoreOnlyTheirFiveFields)
{
    const auto bytes = builtin::templatePacket();
    PacketReader reader(bytes);
    const std::uint8_t* rowStart = bytes.data() + reader.rowsOffset();
    int checked = 0;
    while (reader.nextRow()) {
        const std::uint8_t* rowEnd = rowStart;
        bool anyValue = false;
        for (std::size_t c = 0; c < reader.columns().size(); ++c) {
            if (!reader.hasValue(c))
                continue;
            anyValue = anyValue || c >= 5;
            const auto raw = reader.raw(c);
            rowEnd = std::max(rowEnd, raw.data() + raw.size());
        }
        const std::size_t length = static_cast<std::size_t>(rowEnd - rowStart);
        if (!anyValue) {
            // status, a 26-byte map, GROUP, ELEM, PIN, PARAM and the counted name
            EXPECT_EQ(length, 1 + 26 + 2 + 4 + 2 + 2 + 1 + reader.bytesValue(4).size());
            EXPECT_GE(length, 45u);
            EXPECT_LE(length, 67u);
            ++checked;
        } else {
            EXPECT_GT(length, 67u);
        }
        rowStart = rowEnd;
    }
    EXPECT_EQ(rowStart, bytes.data() + bytes.size());
    EXPECT_GT(checked, 40);
}

TEST(BuiltinPackets, TypeTableHoldsElevenTypesWithEightSymbolsEach)
{
    const Packet p = readPacket(builtin::groupsPacket());
    ASSERT_EQ(p.rows.size(), 11u);
    EXPECT_EQ(p.changeLog().size(), 33u);
    const char* names[] = {"Источники сигнала", "Усилители",           "Кабель",           "Аттенюаторы",
                           "Разветвители на 2", "Разветвители на 4",   "Ответвители на 1", "Ответвители на 2",
                           "Ответвители на 4",  "Абонентские розетки", "Проходные розетки"};
    for (int i = 0; i < 11; ++i) {
        const PacketRow& r = p.rows[i];
        EXPECT_EQ(r.status, 4);
        EXPECT_EQ(integer(r, 0), i + 1);
        EXPECT_EQ(cp1251ToUtf8(text(r, 1)), names[i]);
        for (int b = 2; b < 10; ++b) {
            ASSERT_EQ(r.fieldStatus[b], field_status::value);
            EXPECT_GT(text(r, b).size(), 108u);
        }
    }
    // B1..B8: "SUBTYPE" before "WIDTH", declared size 1
    const PacketColumn& b1 = p.columns[2];
    ASSERT_EQ(b1.properties.size(), 2u);
    EXPECT_EQ(b1.properties[0].name, "SUBTYPE");
    EXPECT_EQ(b1.properties[1].name, "WIDTH");
    EXPECT_EQ(b1.declaredSize(), 1u);
}
