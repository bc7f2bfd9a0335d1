// Packets read through a window that is filled piece by piece: rows that arrive split
// across pieces at every offset, inputs that end early, and files that shrink while they
// are read.
#include "storage/byte_input.h"
#include "storage/client_table.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace dorvin;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Rows of every kind of column, with nulls, empty fields, a history row and texts of
// very different lengths, so rows of many sizes cross the ends of the pieces.
Packet variedPacket(int rows)
{
    Packet p;
    p.columns = {packetColumn("GR", FieldKind::SmallInt),
                 packetColumn("ELEM", FieldKind::Integer),
                 packetColumn("MODEL", FieldKind::String, 250),
                 packetColumn("CENA", FieldKind::Money),
                 packetColumn("OK", FieldKind::Boolean),
                 packetColumn("DATA", FieldKind::Blob),
                 packetColumn("X", FieldKind::Float)};
    for (int r = 0; r < rows; ++r) {
        PacketRow row;
        row.status = r == 3 ? (row_status::inserted | row_status::replaced) : row_status::inserted;
        row.fieldStatus = {0, 0, 0, 0, 0, 0, 0};
        row.values = {std::int64_t(r % 300 - 150),
                      std::int64_t(r * 7919),
                      std::string(std::size_t(r * 13 % 200), 'a' + r % 26),
                      r * 0.25,
                      r % 2 == 0,
                      std::string(std::size_t(r * 29 % 700), char(r)),
                      -r * 1.5};
        if (r % 5 == 1) {
            row.fieldStatus[2] = field_status::null;
            row.values[2] = std::monostate{};
        }
        if (r % 7 == 2) {
            row.fieldStatus[5] = field_status::empty;
            row.values[5] = std::monostate{};
        }
        p.rows.push_back(std::move(row));
    }
    return p;
}

// A source over the bytes that hands out at most `piece` bytes a call.
ByteSource pieces(const Bytes& bytes, std::size_t piece)
{
    auto at = std::make_shared<std::size_t>(0);
    return [&bytes, piece, at](std::uint8_t* to, std::size_t n) {
        const std::size_t k = std::min({n, piece, bytes.size() - *at});
        std::copy_n(bytes.data() + *at, k, to);
        *at += k;
        return k;
    };
}

// What a reader makes of the rows, as text that names every field's status and value.
std::string rowsOf(PacketReader& r)
{
    std::string out;
    while (r.nextRow()) {
        out += std::to_string(r.rowStatus()) + ":";
        for (std::size_t c = 0; c < r.columns().size(); ++c) {
            out += std::to_string(r.fieldStatus(c)) + "=";
            if (r.hasValue(c)) {
                const auto raw = r.raw(c);
                out.append(raw.begin(), raw.end());
            }
            out += "|";
        }
        out += "\n";
    }
    return out;
}

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(PacketStreamedReading, RowsSplitAtEveryOffsetReadAsFromTheWholePacket)
{
    const Bytes bytes = writePacket(variedPacket(40));
    PacketReader whole(bytes);
    const std::string expected = rowsOf(whole);
    ASSERT_FALSE(expected.empty());
    // Windows from one byte up, and sources that give fewer bytes a call than asked
    // for: every row starts at some point of a piece, and most cross an end.
    for (std::size_t chunk : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7), std::size_t(64),
                              std::size_t(333), std::size_t(4096)}) {
        for (std::size_t piece : {std::size_t(1), std::size_t(5), std::size_t(1) << 20}) {
            SCOPED_TRACE(std::to_string(chunk) + " " + std::to_string(piece));
            ByteInput input(pieces(bytes, piece), bytes.size(), chunk);
            PacketReader streamed(input, bytes.size());
            EXPECT_EQ(streamed.columns().size(), whole.columns().size());
            EXPECT_EQ(rowsOf(streamed), expected);
            EXPECT_EQ(input.remaining(), 0u);
        }
    }
}

TEST(PacketStreamedReading, BatchesStopAtTheWindowAndKeepEveryRow)
{
    const Bytes bytes = writePacket(variedPacket(60));
    PacketReader whole(bytes);
    const std::string expected = rowsOf(whole);
    for (std::size_t chunk : {std::size_t(16), std::size_t(500), std::size_t(1) << 16}) {
        SCOPED_TRACE(chunk);
        ByteInput input(pieces(bytes, 1000), bytes.size(), chunk);
        PacketReader r(input, bytes.size());
        std::string got;
        std::size_t total = 0;
        while (const std::size_t n = r.nextRows(8)) {
            ASSERT_LE(n, 8u);
            total += n;
            for (std::size_t k = 0; k < n; ++k) {
                got += std::to_string(r.rowStatus(k)) + ":";
                for (std::size_t c = 0; c < r.columns().size(); ++c) {
                    got += std::to_string(r.fieldStatus(k, c)) + "=";
                    if (r.fieldStatus(k, c) == field_status::value)
                        got.append(reinterpret_cast<const char*>(r.valueData(k, c)), r.valueSize(k, c));
                    got += "|";
                }
                got += "\n";
            }
        }
        EXPECT_EQ(total, 60u);
        EXPECT_EQ(got, expected);
    }
}

TEST(PacketStreamedReading, EveryCutFailsWithTheSameTextAsTheWholePacket)
{
    const Bytes bytes = writePacket(variedPacket(12));
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        const Bytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string whole = errorOf([&] {
            PacketReader r(part);
            rowsOf(r);
        });
        ASSERT_FALSE(whole.empty());
        // The same bytes in pieces of 3 through a window of 5.
        const std::string streamed = errorOf([&] {
            ByteInput input(pieces(part, 3), part.size(), 5);
            PacketReader r(input, part.size());
            rowsOf(r);
        });
        EXPECT_EQ(streamed, whole);
        // A source that ends before the size it announced: the bytes are missing.
        const std::string early = errorOf([&] {
            ByteInput input(pieces(part, 3), bytes.size(), 5);
            PacketReader r(input, bytes.size());
            rowsOf(r);
        });
        EXPECT_FALSE(early.empty());
    }
}

TEST(PacketStreamedReading, ATableDecodedFromPiecesSavesTheSameBytes)
{
    Packet p = variedPacket(90);
    const Bytes bytes = writePacket(p);
    ClientTable whole("whole");
    whole.loadFromBytes(bytes);
    const Bytes expected = whole.saveToBytes();
    for (std::size_t chunk : {std::size_t(1), std::size_t(37), std::size_t(1024)}) {
        SCOPED_TRACE(chunk);
        ByteInput input(pieces(bytes, 11), bytes.size(), chunk);
        ClientTable t("pieces");
        t.adopt(t.decodePacket(input, bytes.size()));
        EXPECT_EQ(t.recordCount(), whole.recordCount());
        EXPECT_EQ(t.saveToBytes(), expected);
    }
}

TEST(PacketStreamedReading, SkippingCrossesPiecesAndStopsAtTheEnd)
{
    Bytes bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31);
    ByteInput input(pieces(bytes, 7), bytes.size(), 16);
    ASSERT_TRUE(input.require(4));
    EXPECT_EQ(input.data()[3], bytes[3]);
    EXPECT_TRUE(input.skip(500));
    EXPECT_EQ(input.position(), 500u);
    ASSERT_TRUE(input.require(40)); // larger than the window: it grows
    EXPECT_TRUE(std::equal(input.data(), input.data() + 40, bytes.begin() + 500));
    EXPECT_FALSE(input.require(501)) << "more than is left";
    EXPECT_FALSE(input.skip(501));
    EXPECT_EQ(input.position(), 1000u);
}

class StreamedFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path()
               / ("dorvin_stream_"
                  + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

TEST_F(StreamedFileTest, AFileShortenedWhileItIsReadIsReportedAsUnreadable)
{
    const Bytes bytes = writePacket(variedPacket(400));
    ASSERT_GT(bytes.size(), 40000u);
    {
        std::ofstream out(path("t.cds"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto input = files::openInput(path("t.cds"), 4096);
    EXPECT_EQ(input->size(), bytes.size());
    PacketReader r(*input, input->size());
    ASSERT_TRUE(r.nextRow());
    std::filesystem::resize_file(path("t.cds"), bytes.size() / 2);
    try {
        while (r.nextRow()) {}
        FAIL() << "the rows of a shortened file were read to the end";
    } catch (const FileError& e) {
        EXPECT_EQ(e.stage(), FileError::Stage::Read);
        EXPECT_NE(std::string(e.what()).find("t.cds"), std::string::npos) << e.what();
    }
}

// A base larger than the reading window, cut inside its rows: refused whole, the base
// loaded before stays.
TEST_F(StreamedFileTest, ALargeBaseCutMidRowChangesNothing)
{
    const std::string good = path("good.CBB"), big = path("big.CBB"), cut = path("cut.CBB");
    {
        TDataM dm;
        dm.SaveBase(good);
        ASSERT_TRUE(dm.ClGroupsTable.locate("GROUP", "2"));
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(1);
        dm.ClElemsTableMODEL.setString("AMP-1");
        dm.ClElemsTable.post();
        for (int prm = 1; prm <= 7000; ++prm) {
            dm.ClParamsTable.append();
            dm.ClParamsTablePARAM.setInteger(prm);
            dm.ClParamsTablePARNAME.setString("P" + std::to_string(prm));
            for (int k = 0; k < 96; ++k)
                dm.ClParamsTableN[k]->setFloat(prm + k / 7.0);
            dm.ClParamsTable.post();
        }
        dm.SaveBase(big);
    }
    const auto size = std::filesystem::file_size(big);
    ASSERT_GT(size, ByteInput::defaultChunk);
    TDataM dm;
    dm.LoadBase(big);
    const std::size_t loaded = dm.ClParamsTable.packetSize();
    dm.LoadBase(good);
    const std::size_t before = dm.ClParamsTable.packetSize();
    EXPECT_GT(loaded, before + 7000 * 96 * 8);
    for (std::uintmax_t at : {ByteInput::defaultChunk - 3, ByteInput::defaultChunk + 1, size - 1}) {
        SCOPED_TRACE(at);
        std::filesystem::copy_file(big, cut, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(cut, at);
        EXPECT_THROW(dm.LoadBase(cut), Error);
        EXPECT_EQ(dm.currentBasePath(), good);
        EXPECT_EQ(dm.ClParamsTable.packetSize(), before);
    }
}
