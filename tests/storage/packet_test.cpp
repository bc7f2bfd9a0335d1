#include "storage/error.h"
#include "storage/packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace dorvin;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putName(Bytes& b, const std::string& s)
{
    b.push_back(static_cast<std::uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// The descriptor of a container blob column, laid out by hand.
void typedBinaryColumn(Bytes& b, const std::string& name)
{
    putName(b, name);
    put(b, 4, 2);
    put(b, 0x4B, 2);
    put(b, 0, 2);
    put(b, 1, 2);
    putName(b, "SUBTYPE");
    put(b, 2, 2);
    put(b, 0x49, 2);
    put(b, 12, 2);
    const char tb[] = "TypedBinary";
    b.insert(b.end(), tb, tb + 12); // with its terminating zero
}

std::vector<PacketColumn> containerColumns()
{
    return {packetColumn("GROUPS", FieldKind::Blob), packetColumn("ELEMENTS", FieldKind::Blob),
            packetColumn("PARAMS", FieldKind::Blob), packetColumn("FREQS", FieldKind::Blob)};
}

std::vector<PacketColumn> freqColumns()
{
    return {packetColumn("NAME", FieldKind::String, 5), packetColumn("FREQ", FieldKind::Float),
            packetColumn("USED", FieldKind::Boolean)};
}

std::uint16_t headerLengthField(const Bytes& b)
{
    return static_cast<std::uint16_t>(b[22] | (b[23] << 8));
}

// A small packet with values in every kind of column, used for damage tests.
Bytes samplePacket()
{
    Packet p;
    p.columns = {packetColumn("GR", FieldKind::SmallInt),      packetColumn("ELEM", FieldKind::Integer),
                 packetColumn("MODEL", FieldKind::String, 50), packetColumn("CENA", FieldKind::Money),
                 packetColumn("OK", FieldKind::Boolean),       packetColumn("B1", FieldKind::Blob, 1)};
    p.tableProperties = {liveChangeLog(2)};
    p.rows.push_back({4,
                      {0, 0, 0, 0, 0, 0},
                      {std::int64_t(-3), std::int64_t(70000), std::string("FA-200"), 12.5, true,
                       std::string("\x01\x02\x03", 3)}});
    p.rows.push_back({4, {0, 1, 2, 0, 1, 0}, {std::int64_t(7), {}, {}, -0.25, {}, std::string()}});
    return writePacket(p);
}

} // namespace

// ---------------------------------------------------------------- byte-exact layouts

TEST(PacketLayout, EmptyContainerMatchesTheWorkedExampleByteForByte)
{
    Bytes expected = {0x96, 0x19, 0xE0, 0xBD};
    put(expected, 1, 4);
    put(expected, 24, 4);
    put(expected, 4, 2);
    put(expected, 0, 4);
    put(expected, 3, 4);
    put(expected, 191, 2);
    for (const char* n : {"GROUPS", "ELEMENTS", "PARAMS", "FREQS"})
        typedBinaryColumn(expected, n);
    put(expected, 0, 2);
    ASSERT_EQ(expected.size(), 191u);

    PacketWriter w(containerColumns(), 0, {});
    EXPECT_EQ(w.finish(), expected);
    // The no-history writer of a table with no rows writes no change log either.
    EXPECT_EQ(writePacket(Packet{containerColumns(), {}, {}}), expected);
}

TEST(PacketLayout, EmptyElementAndParameterTablesHaveTheirKnownSizes)
{
    std::vector<PacketColumn> elems = {
        packetColumn("GR", FieldKind::SmallInt), packetColumn("ELEM", FieldKind::Integer),
        packetColumn("MODEL", FieldKind::String, 50), packetColumn("CENA", FieldKind::Money),
        packetColumn("CODE", FieldKind::String, 10)};
    Bytes e = writePacket(Packet{elems, {}, {}});
    EXPECT_EQ(e.size(), 134u);
    EXPECT_EQ(headerLengthField(e), 134);

    std::vector<PacketColumn> params = {
        packetColumn("GROUP", FieldKind::SmallInt), packetColumn("ELEM", FieldKind::Integer),
        packetColumn("PARAM", FieldKind::SmallInt), packetColumn("PARNAME", FieldKind::String, 30)};
    for (int k = 1; k <= 96; ++k)
        params.push_back(packetColumn("N" + std::to_string(k), FieldKind::Float));
    Bytes p = writePacket(Packet{params, {}, {}});
    EXPECT_EQ(p.size(), 1238u);
    EXPECT_EQ(headerLengthField(p), 1238);
    EXPECT_EQ(p[12] | (p[13] << 8), 100);
}

TEST(PacketLayout, FirstFrequencyRowIsFourteenBytes)
{
    Packet p{freqColumns(), {liveChangeLog(1)}, {{4, {0, 0, 0}, {std::string("1"), 49.75, true}}}};
    Bytes b = writePacket(p);
    const Bytes row = {0x04, 0x00, 0x01, 0x31, 0, 0, 0, 0, 0, 0xE0, 0x48, 0x40, 0x01, 0x00};
    ASSERT_GE(b.size(), row.size());
    EXPECT_EQ(Bytes(b.end() - 14, b.end()), row);
    EXPECT_EQ(headerLengthField(b), b.size() - 14);
}

TEST(PacketLayout, SubtypeComesBeforeWidthAndCarriesItsTerminatingZero)
{
    PacketColumn c = packetColumn("B1", FieldKind::Blob, 1);
    ASSERT_EQ(c.properties.size(), 2u);
    EXPECT_EQ(c.properties[0].name, "SUBTYPE");
    EXPECT_EQ(c.properties[1].name, "WIDTH");
    Bytes b = writePacket(Packet{{c}, {}, {}});
    const std::string s(b.begin(), b.end());
    const auto sub = s.find("SUBTYPE"), width = s.find("WIDTH");
    ASSERT_NE(sub, std::string::npos);
    ASSERT_NE(width, std::string::npos);
    EXPECT_LT(sub, width);
    EXPECT_NE(s.find(std::string("TypedBinary\0", 12)), std::string::npos);
    // Money's length counts the zero: 6.
    Bytes m = writePacket(Packet{{packetColumn("CENA", FieldKind::Money)}, {}, {}});
    const std::string ms(m.begin(), m.end());
    const auto at = ms.find("Money");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(ms[at - 2]), 6);
    EXPECT_EQ(ms[at + 5], '\0');
}

TEST(PacketLayout, StringOfTheDeclaredMaximumUsesALengthByteAndNoTerminator)
{
    const std::string name(30, '\xC0');
    Packet p{{packetColumn("GRNAME", FieldKind::String, 30)}, {}, {{4, {0}, {name}}}};
    Bytes b = writePacket(p);
    ASSERT_GE(b.size(), 33u);
    EXPECT_EQ(b[b.size() - 31], 30);
    EXPECT_EQ(std::string(b.end() - 30, b.end()), name);
}

// ---------------------------------------------------------------- reading history

TEST(PacketHistory, HistoryRowsAndFieldStatusesRoundTrip)
{
    Packet p;
    p.columns = freqColumns();
    p.rows.push_back({4, {0, 0, 0}, {std::string("1"), 49.75, true}});
    p.rows.push_back({5, {0, 2, 2}, {std::string("4r"), {}, {}}});
    p.rows.push_back({14, {0, 0, 0}, {std::string("4r"), 40.0, true}});
    p.rows.push_back({6, {0, 0, 1}, {std::string("5r"), 42.0, {}}});
    p.tableProperties = {{"CHANGE_LOG", 4, 0x82,
                          std::vector<std::uint64_t>{1, 0, 4, 2, 0, 4, 3, 2, 8, 4, 0, 4, 3, 0, 2, 4, 0, 2}}};
    Bytes b = writePacket(p);
    Packet q = readPacket(b);
    ASSERT_EQ(q.rows.size(), 4u);
    EXPECT_EQ(q.rows[1].status, 5);
    EXPECT_EQ(q.rows[1].fieldStatus, (std::vector<std::uint8_t>{0, 2, 2}));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(q.rows[1].values[1]));
    EXPECT_EQ(std::get<double>(q.rows[2].values[1]), 40.0);
    EXPECT_EQ(q.changeLog().size(), 18u);
    EXPECT_EQ(q.changeLog()[8], 8u);
    EXPECT_EQ(writePacket(q), b);

    // Only rows without the replaced and deleted bits are live.
    int live = 0;
    for (const auto& r : q.rows)
        live += isLiveRow(r.status);
    EXPECT_EQ(live, 1);
    EXPECT_TRUE(isLiveRow(12));
    EXPECT_FALSE(isLiveRow(13));
}

TEST(PacketHistory, StreamingReaderDecodesEveryKind)
{
    Bytes b = samplePacket();
    PacketReader r(b);
    ASSERT_EQ(r.rowCount(), 2u);
    ASSERT_TRUE(r.nextRow());
    EXPECT_EQ(r.integerValue(0), -3);
    EXPECT_EQ(r.integerValue(1), 70000);
    EXPECT_EQ(r.bytesValue(2), "FA-200");
    EXPECT_EQ(r.floatValue(3), 12.5);
    EXPECT_TRUE(r.booleanValue(4));
    EXPECT_EQ(r.bytesValue(5), std::string("\x01\x02\x03", 3));
    ASSERT_TRUE(r.nextRow());
    EXPECT_FALSE(r.hasValue(1));
    EXPECT_EQ(r.fieldStatus(2), field_status::empty);
    EXPECT_TRUE(r.hasValue(5));
    EXPECT_EQ(r.bytesValue(5), "");
    EXPECT_FALSE(r.nextRow());
}

// ---------------------------------------------------------------- header length

TEST(PacketHeaderLength, ChangeLogIsLeftOutWhenTheHeaderWouldNotFit)
{
    const std::uint32_t rows = 20000;
    PacketWriter w(freqColumns(), rows, {liveChangeLog(rows)});
    EXPECT_TRUE(w.changeLogOmitted());
    for (std::uint32_t i = 0; i < rows; ++i) {
        w.beginRow();
        w.putBytes(std::to_string(i % 1000));
        w.putFloat(i * 0.5);
        w.putNull();
    }
    Bytes b = w.finish();
    PacketReader r(b);
    EXPECT_EQ(headerLengthField(b), r.rowsOffset());
    EXPECT_TRUE(r.tableProperties().empty());
    std::uint32_t n = 0;
    while (r.nextRow()) {
        EXPECT_EQ(r.floatValue(1), n * 0.5);
        ++n;
    }
    EXPECT_EQ(n, rows);

    // A change log that fits is kept.
    PacketWriter small(freqColumns(), 0, {liveChangeLog(5000)});
    EXPECT_FALSE(small.changeLogOmitted());
}

TEST(PacketHeaderLength, ReaderChecksTheFieldAgainstThePositionModulo65536)
{
    // A table property too big for the field, written by another program that stored the
    // header length truncated to 16 bits.
    Bytes head = {0x96, 0x19, 0xE0, 0xBD};
    put(head, 1, 4);
    put(head, 24, 4);
    put(head, 1, 2);
    put(head, 0, 4);
    put(head, 3, 4);
    put(head, 0, 2);
    putName(head, "X");
    put(head, 4, 2);
    put(head, 1, 2);
    put(head, 0, 2);
    put(head, 0, 2);
    put(head, 1, 2);
    putName(head, "CHANGE_LOG");
    put(head, 4, 2);
    put(head, 0x82, 2);
    const std::uint32_t elements = 18000;
    put(head, elements, 4);
    for (std::uint32_t i = 0; i < elements; ++i)
        put(head, i, 4);
    const std::size_t end = head.size();
    ASSERT_GT(end, 65535u);
    head[22] = static_cast<std::uint8_t>(end & 0xFF);
    head[23] = static_cast<std::uint8_t>((end >> 8) & 0xFF);
    Packet p = readPacket(head);
    EXPECT_EQ(p.changeLog().size(), elements);

    head[22] ^= 1; // now it disagrees
    try {
        readPacket(head);
        FAIL() << "a wrong header length was accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("header length"), std::string::npos) << e.what();
    }

    // Writing it back leaves the oversized change log out and states a true header length.
    p.tableProperties.front().value = p.changeLog();
    Bytes again = writePacket(p);
    EXPECT_EQ(headerLengthField(again), again.size());
    EXPECT_TRUE(readPacket(again).tableProperties.empty());
}

// ---------------------------------------------------------------- damaged input

TEST(PacketDamage, EveryTruncationFailsCleanly)
{
    const Bytes b = samplePacket();
    ASSERT_NO_THROW(readPacket(b));
    for (std::size_t n = 0; n < b.size(); ++n) {
        Bytes cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW(readPacket(cut), Error) << "prefix of " << n << " bytes";
    }
}

TEST(PacketDamage, TrailingBytesAndWrongSignatureAreRejected)
{
    Bytes b = samplePacket();
    b.push_back(0);
    EXPECT_THROW(readPacket(b), Error);
    b = samplePacket();
    b[0] = 0x95;
    try {
        readPacket(b);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("нет сигнатуры"), std::string::npos);
    }
}

TEST(PacketDamage, CountsAndLengthsBeyondTheDataAreRejected)
{
    const Bytes good = samplePacket();
    auto patched = [&](std::size_t at, std::uint64_t v, int n) {
        Bytes b = good;
        for (int i = 0; i < n; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        return b;
    };
    EXPECT_THROW(readPacket(patched(12, 60000, 2)), Error);      // column count
    EXPECT_THROW(readPacket(patched(14, 0xFFFFFFFF, 4)), Error); // row count
    EXPECT_THROW(readPacket(patched(14, 3, 4)), Error);          // one row too many
    EXPECT_THROW(readPacket(patched(14, 1, 4)), Error);          // one row left as garbage

    // The blob of the first row: its 4-byte length made huge.
    PacketReader r(good);
    ASSERT_TRUE(r.nextRow());
    const std::size_t blobAt = static_cast<std::size_t>(r.raw(5).data() - good.data()) - 4;
    EXPECT_THROW(readPacket(patched(blobAt, 0x7FFFFFFF, 4)), Error);

    // A field status of 3 is no status at all.
    const std::size_t firstRow = r.rowsOffset();
    EXPECT_THROW(readPacket(patched(firstRow + 1, 0x03, 1)), Error);
}

TEST(PacketDamage, RowsWithoutColumnsAreRejected)
{
    Bytes b = {0x96, 0x19, 0xE0, 0xBD};
    put(b, 1, 4);
    put(b, 24, 4);
    put(b, 0, 2);
    put(b, 2, 4);
    put(b, 3, 4);
    put(b, 26, 2);
    put(b, 0, 2);
    b.push_back(4);
    b.push_back(4);
    try {
        readPacket(b);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("нет столбцов"), std::string::npos) << e.what();
    }
    EXPECT_THROW(PacketWriter({}, 1, {}), Error);
}

TEST(PacketDamage, WriterRefusesValuesThatDoNotFitTheirColumn)
{
    Packet p{{packetColumn("GR", FieldKind::SmallInt)}, {}, {{4, {0}, {std::int64_t(40000)}}}};
    EXPECT_THROW(writePacket(p), Error);
    p.rows[0].values[0] = std::string("text");
    EXPECT_THROW(writePacket(p), Error);
    PacketWriter w({packetColumn("A", FieldKind::Integer)}, 1, {});
    w.beginRow();
    EXPECT_THROW(w.finish(), Error); // the row has no value
}

// ---------------------------------------------------------------- streaming out

TEST(PacketStreaming, PiecesJoinToTheSameBytesAsTheWholePacket)
{
    const Bytes whole = samplePacket();
    const Packet p = readPacket(whole);
    for (std::size_t chunk : {std::size_t(1), std::size_t(7), std::size_t(1) << 20}) {
        Bytes joined;
        std::size_t pieces = 0;
        PacketWriter w(p.columns, 2, p.tableProperties);
        w.streamTo(
            [&](std::span<const std::uint8_t> piece) {
                joined.insert(joined.end(), piece.begin(), piece.end());
                ++pieces;
            },
            chunk);
        for (const auto& row : p.rows) {
            w.beginRow(row.status);
            for (std::size_t c = 0; c < row.values.size(); ++c)
                row.fieldStatus[c] ? w.putNull(row.fieldStatus[c]) : w.putValue(row.values[c]);
        }
        EXPECT_TRUE(w.finish().empty());
        EXPECT_EQ(joined, whole) << "chunk " << chunk;
        EXPECT_EQ(pieces, chunk < 100 ? 3u : 1u) << "chunk " << chunk; // header, row 1, row 2 when small
    }
}

TEST(PacketStreaming, AStreamedBlobMustBringExactlyTheAnnouncedBytes)
{
    const std::string inner = "inner packet bytes";
    Bytes out;
    auto produceFirst = [&](std::size_t announced, const std::string& given) {
        out.clear();
        auto w = std::make_unique<PacketWriter>(containerColumns(), 1, std::vector{liveChangeLog(1)});
        w->streamTo(
            [&](std::span<const std::uint8_t> piece) { out.insert(out.end(), piece.begin(), piece.end()); });
        w->beginRow();
        w->putBytesStreamed(announced, [&](const ByteSink& sink) {
            sink(std::span(reinterpret_cast<const std::uint8_t*>(given.data()), given.size()));
        });
        return w;
    };
    auto w = produceFirst(inner.size(), inner);
    w->putBytes("b");
    w->putBytes("");
    w->putBytes("d");
    w->finish();
    const Packet c = readPacket(out);
    EXPECT_EQ(std::get<std::string>(c.rows.at(0).values[0]), inner);
    EXPECT_EQ(std::get<std::string>(c.rows.at(0).values[3]), "d");

    EXPECT_THROW(produceFirst(inner.size() + 1, inner), Error);
    EXPECT_THROW(produceFirst(inner.size() - 1, inner), Error);
    // The row's field map went out with the streamed value; a later null cannot be marked.
    EXPECT_THROW(produceFirst(inner.size(), inner)->putNull(), Error);
    // Without a sink there is nowhere to stream to.
    PacketWriter plain(containerColumns(), 1, {});
    plain.beginRow();
    EXPECT_THROW(plain.putBytesStreamed(0, [](const ByteSink&) {}), Error);
}
