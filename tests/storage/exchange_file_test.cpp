#include "storage/exchange_file.h"

#include "storage/error.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace fs = std::filesystem;
using namespace dorvin;

namespace {

std::int32_t i32At(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

std::int64_t i64At(const std::string& b, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int64_t>(v);
}

void setI32(std::string& b, std::size_t at, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

ExchangeParam param(std::int32_t group, std::int32_t number, std::string name)
{
    ExchangeParam p;
    p.group = group;
    p.elem = 4;
    p.param = number;
    p.parName = std::move(name);
    for (int k = 0; k < exchangeValueCount; ++k)
        p.values[static_cast<std::size_t>(k)] = number * 100.0 + k * 0.25;
    return p;
}

ExchangeElement sample(int paramCount)
{
    ExchangeElement e;
    e.gr = 3;
    e.elem = 4;
    e.model = "\xD3\xF1\xE8\xEB\xE8\xF2\xE5\xEB\xFC A-12"; // "Усилитель A-12"
    e.price = 12.345;
    e.code = "UA12";
    for (int i = 1; i <= paramCount; ++i)
        e.params.push_back(param(3, i, "\xC7\xE0\xF2\xF3\xF5\xE0\xED\xE8\xE5, \xE4\xC1"));
    return e;
}

class ExchangeFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("dorvin_exchange_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static std::string slurp(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void spit(const fs::path& p, const std::string& bytes)
    {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    fs::path dir;
};

} // namespace

// --- layout -------------------------------------------------------------------------

TEST(ExchangeLayout, SizeIsHeaderPlusOneRecordPerParameter)
{
    EXPECT_EQ(encodeExchange(sample(0)).size(), 80u);
    EXPECT_EQ(encodeExchange(sample(3)).size(), 1358u);
    EXPECT_EQ(i32At(encodeExchange(sample(3)), 76), 3);
}

TEST(ExchangeLayout, HeaderFieldsStandAtTheirOffsetsLittleEndian)
{
    ExchangeElement e = sample(1);
    e.gr = -2;
    e.elem = 0x01020304;
    const std::string b = encodeExchange(e);
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 0xFE);
    EXPECT_EQ(static_cast<unsigned char>(b[3]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(b[4]), 0x04);
    EXPECT_EQ(static_cast<unsigned char>(b[7]), 0x01);
    EXPECT_EQ(b.substr(8, e.model.size()), e.model);
    EXPECT_EQ(b[8 + e.model.size()], '\0');
    EXPECT_EQ(i64At(b, 58), 123450);
    EXPECT_EQ(b.substr(66, 4), "UA12");
    EXPECT_EQ(b[70], '\0');
}

TEST(ExchangeLayout, RecordFieldsAndSinglePrecisionValues)
{
    ExchangeElement e = sample(2);
    e.params[1].values[0] = 0.1; // not exact in single precision
    e.params[1].values[95] = -3.5;
    const std::string b = encodeExchange(e);
    const std::size_t r = 80 + 426; // second record
    EXPECT_EQ(i32At(b, r + 0), 3);
    EXPECT_EQ(i32At(b, r + 4), 4);
    EXPECT_EQ(i32At(b, r + 8), 2);
    EXPECT_EQ(b.substr(r + 12, e.params[1].parName.size()), e.params[1].parName);
    float first = 0, last = 0;
    std::memcpy(&first, b.data() + r + 42, 4);
    std::memcpy(&last, b.data() + r + 42 + 95 * 4, 4);
    EXPECT_EQ(first, 0.1f);
    EXPECT_EQ(last, -3.5f);
}

TEST(ExchangeLayout, PriceIsScaledAndRoundedToNearest)
{
    struct Case {
        double price;
        std::int64_t stored;
    };
    for (const Case c :
         {Case{12.345, 123450}, Case{0.00004, 0}, Case{0.00006, 1}, Case{-0.00006, -1}, Case{1.99999, 20000},
          Case{-12.345, -123450}, Case{0.1, 1000}, Case{1e12, 10000000000000000}}) {
        ExchangeElement e = sample(0);
        e.price = c.price;
        EXPECT_EQ(i64At(encodeExchange(e), 58), c.stored) << c.price;
    }
    ExchangeElement e = sample(0);
    e.price = 12.345;
    EXPECT_EQ(i64At(encodeExchange(e), 58), 123450);
    EXPECT_DOUBLE_EQ(decodeExchange(encodeExchange(e)).price, 12.345);
}

TEST(ExchangeLayout, NullValuesAreWrittenAsZeroAndComeBackAsZero)
{
    ExchangeElement e = sample(1);
    e.params[0].values[6].reset();
    const std::string b = encodeExchange(e);
    EXPECT_EQ(b.substr(80 + 42 + 6 * 4, 4), std::string(4, '\0'));
    const ExchangeElement back = decodeExchange(b);
    ASSERT_TRUE(back.params[0].values[6].has_value());
    EXPECT_EQ(*back.params[0].values[6], 0.0);
}

TEST(ExchangeLayout, FullWidthTextsHaveNoZeroByteAndLongerOnesAreCut)
{
    ExchangeElement e = sample(1);
    e.model = std::string(50, '\xC0');          // 50 x Cyrillic "А"
    e.code = "0123456789";                      // exactly 10
    e.params[0].parName = std::string(31, 'p'); // one too many
    const std::string b = encodeExchange(e);
    EXPECT_EQ(b.substr(8, 50), e.model);
    EXPECT_EQ(i64At(b, 58), 123450); // the model did not run into the price
    EXPECT_EQ(b.substr(66, 10), "0123456789");
    EXPECT_EQ(i32At(b, 76), 1);
    EXPECT_EQ(b.size(), 80u + 426u);

    const ExchangeElement back = decodeExchange(b);
    EXPECT_EQ(back.model, e.model);
    EXPECT_EQ(back.code, "0123456789");
    EXPECT_EQ(back.params[0].parName, std::string(30, 'p'));
}

TEST(ExchangeLayout, ReaderStopsAtTheFirstZeroAndIgnoresTheRest)
{
    std::string b = encodeExchange(sample(0));
    std::memcpy(b.data() + 66, "AB\0garbage", 10);
    EXPECT_EQ(decodeExchange(b).code, "AB");
    std::memcpy(b.data() + 66, "\0XXXXXXXXX", 10);
    EXPECT_EQ(decodeExchange(b).code, "");
}

TEST(ExchangeLayout, RoundTripKeepsEverythingButTheSinglePrecisionRounding)
{
    ExchangeElement e = sample(3);
    e.params[2].values[10] = 1.0 / 3.0;
    const ExchangeElement back = decodeExchange(encodeExchange(e));
    EXPECT_EQ(back.gr, e.gr);
    EXPECT_EQ(back.elem, e.elem);
    EXPECT_EQ(back.model, e.model);
    EXPECT_EQ(back.code, e.code);
    ASSERT_EQ(back.params.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.params[i].group, e.params[i].group);
        EXPECT_EQ(back.params[i].param, e.params[i].param);
        EXPECT_EQ(back.params[i].parName, e.params[i].parName);
        for (std::size_t k = 0; k < 96; ++k)
            EXPECT_EQ(*back.params[i].values[k],
                      static_cast<double>(static_cast<float>(*e.params[i].values[k])));
    }
    EXPECT_NE(*back.params[2].values[10], 1.0 / 3.0);
}

TEST(ExchangeLayout, WriterRefusesWhatTheFieldsCannotHold)
{
    ExchangeElement e = sample(1);
    e.price = std::numeric_limits<double>::infinity();
    EXPECT_THROW(encodeExchange(e), Error);
    e.price = 1e15; // x 10000 exceeds 2^63
    EXPECT_THROW(encodeExchange(e), Error);
    e.price = 1;
    e.params[0].values[3] = 1e39;
    EXPECT_THROW(encodeExchange(e), Error);
    e.params[0].values[3] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(encodeExchange(e), Error);
    e.params[0].values[3] = -3.4e38;
    EXPECT_NO_THROW(encodeExchange(e));
}

// --- reading damaged input ----------------------------------------------------------

TEST(ExchangeReader, SmallIntegerFieldsAreRangeChecked)
{
    const std::string good = encodeExchange(sample(2));
    struct Case {
        std::size_t offset;
        std::int32_t value;
        bool ok;
    };
    for (const Case c :
         {Case{0, 32767, true}, Case{0, -32768, true}, Case{0, 32768, false}, Case{0, -32769, false},
          Case{80 + 0, 40000, false}, Case{80 + 426 + 8, -32769, false}, Case{80 + 8, 32767, true},
          Case{4, 2000000000, true}, Case{80 + 4, -2000000000, true}}) {
        std::string b = good;
        setI32(b, c.offset, c.value);
        if (c.ok)
            EXPECT_NO_THROW(decodeExchange(b)) << c.offset << " " << c.value;
        else
            EXPECT_THROW(decodeExchange(b), Error) << c.offset << " " << c.value;
    }
}

TEST(ExchangeReader, TruncatedInputIsAnErrorAtEveryCut)
{
    const std::string good = encodeExchange(sample(2));
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{79}, std::size_t{80}, std::size_t{81},
                            std::size_t{80 + 425}, std::size_t{80 + 426}, good.size() - 1}) {
        EXPECT_THROW(decodeExchange(good.substr(0, cut)), Error) << cut;
    }
    EXPECT_NO_THROW(decodeExchange(good));
}

TEST(ExchangeReader, CountsThatTheBytesCannotBackAreRejectedWithoutAllocating)
{
    std::string b = encodeExchange(sample(0));
    setI32(b, 76, 2000000000);
    EXPECT_THROW(decodeExchange(b), Error);
    setI32(b, 76, INT32_MAX);
    EXPECT_THROW(decodeExchange(b), Error);
}

TEST(ExchangeReader, ZeroOrNegativeCountMeansNoRecordsAndTrailingBytesAreIgnored)
{
    std::string b = encodeExchange(sample(1));
    setI32(b, 76, -5);
    EXPECT_TRUE(decodeExchange(b).params.empty());
    setI32(b, 76, 0);
    EXPECT_TRUE(decodeExchange(b).params.empty());
    setI32(b, 76, 1);
    b += "extra";
    EXPECT_EQ(decodeExchange(b).params.size(), 1u);
}

TEST(ExchangeReader, NonFiniteValuesAreRejected)
{
    std::string b = encodeExchange(sample(1));
    const auto nan = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::quiet_NaN());
    setI32(b, 80 + 42 + 4 * 17, static_cast<std::int32_t>(nan));
    EXPECT_THROW(decodeExchange(b), Error);
    const auto inf = std::bit_cast<std::uint32_t>(-std::numeric_limits<float>::infinity());
    setI32(b, 80 + 42 + 4 * 17, static_cast<std::int32_t>(inf));
    EXPECT_THROW(decodeExchange(b), Error);
}

// --- files --------------------------------------------------------------------------

TEST_F(ExchangeFiles, FileRoundTrip)
{
    const fs::path p = dir / "\xD0\xA3\xD1\x81\xD0\xB8\xD0\xBB\xD0\xB8\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C.exp";
    writeExchangeFile(p, sample(3));
    EXPECT_EQ(fs::file_size(p), 1358u);
    EXPECT_EQ(slurp(p), encodeExchange(sample(3)));
    const ExchangeElement back = readExchangeFile(p);
    EXPECT_EQ(back.model, sample(3).model);
    EXPECT_EQ(back.params.size(), 3u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ExchangeFiles, WritingReplacesAnExistingFileWhole)
{
    const fs::path p = dir / "a.exp";
    spit(p, std::string(5000, 'x'));
    writeExchangeFile(p, sample(0));
    EXPECT_EQ(fs::file_size(p), 80u);
}

TEST_F(ExchangeFiles, AFailedWriteLeavesTheOldFileUntouched)
{
    const fs::path p = dir / "a.exp";
    writeExchangeFile(p, sample(2));
    const std::string before = slurp(p);

    ExchangeElement bad = sample(2);
    bad.params[1].values[50] = 1e300;
    EXPECT_THROW(writeExchangeFile(p, bad), Error);
    EXPECT_EQ(slurp(p), before);

    // A target that cannot be replaced (a folder of that name) is reported, and no
    // temporary file stays behind.
    const fs::path folder = dir / "folder.exp";
    fs::create_directory(folder);
    fs::create_directory(folder / "inside");
    EXPECT_THROW(writeExchangeFile(folder, sample(1)), Error);
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    EXPECT_THROW(writeExchangeFile(dir / "missing" / "a.exp", sample(1)), Error);
}

TEST_F(ExchangeFiles, ReadingBadFiles)
{
    EXPECT_THROW(readExchangeFile(dir / "none.exp"), Error);
    EXPECT_THROW(readExchangeFile(dir), Error);

    const fs::path empty = dir / "empty.exp";
    spit(empty, "");
    EXPECT_THROW(readExchangeFile(empty), Error);

    const fs::path cut = dir / "cut.exp";
    const std::string good = encodeExchange(sample(3));
    spit(cut, good.substr(0, 80 + 426 + 200));
    EXPECT_THROW(readExchangeFile(cut), Error);

    std::string huge = encodeExchange(sample(0));
    setI32(huge, 76, 2000000000);
    const fs::path lying = dir / "lying.exp";
    spit(lying, huge);
    EXPECT_THROW(readExchangeFile(lying), Error);
}

TEST_F(ExchangeFiles, ReaderReadsOnlyWhatTheCountAnnounces)
{
    const fs::path p = dir / "tail.exp";
    spit(p, encodeExchange(sample(1)) + std::string(10000, '\xFF'));
    EXPECT_EQ(readExchangeFile(p).params.size(), 1u);
}
