// Whole-file reading through the memory map, atomic replacing and writes the disk refuses,
// the large blocks of the column arrays, and loads that size their arrays from the packet
// header.
#include "storage/client_table.h"
#include "storage/column_allocator.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/os/mapped_memory.h"
#include "storage/os/output_file.h"
#include "storage/packet.h"
#include "support/temp_folder_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#if defined(__linux__)
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using namespace dorvin;

namespace {

class FileIoTest : public dorvin::test::TempFolderTest {
protected:
    fs::path at(const std::string& name) const { return dir_ / name; }
    static void write(const fs::path& p, const std::string& bytes)
    {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string pattern(std::size_t n)
    {
        std::string s(n, '\0');
        std::mt19937 gen(7);
        for (auto& c : s)
            c = static_cast<char>(gen());
        return s;
    }
    static std::string text(const os::FileBytes& f) { return std::string(f.begin(), f.end()); }
};

FileError::Stage stageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FileError& e) {
        return e.stage();
    }
    ADD_FAILURE() << "no FileError";
    return FileError::Stage::Write;
}

TEST_F(FileIoTest, ReadsEmptyShortAndLargeFilesWhole)
{
    // Sizes around page and huge-page boundaries, and one that is not a whole page.
    for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(4096),
                          std::size_t(4097), (std::size_t(9) << 20) + 5}) {
        SCOPED_TRACE(n);
        const std::string bytes = pattern(n);
        write(at("f.bin"), bytes);
        const os::FileBytes f = files::readFile(at("f.bin"));
        ASSERT_EQ(f.size(), n);
        EXPECT_EQ(f.bytes().size(), n);
        EXPECT_TRUE(text(f) == bytes);
    }
}

// Another program may shorten a base while it is being read; what was read stays whole
// (a mapped file would end the process here with SIGBUS).
TEST_F(FileIoTest, AFileShortenedAfterReadingKeepsItsBytes)
{
    const std::string bytes = pattern((std::size_t(5) << 20) + 7);
    write(at("f.bin"), bytes);
    const os::FileBytes f = files::readFile(at("f.bin"));
    std::filesystem::resize_file(files::fromUtf8(at("f.bin")), 10);
    EXPECT_TRUE(text(f) == bytes);
}

TEST_F(FileIoTest, AMovedFileKeepsItsBytesAndTheOldObjectIsEmpty)
{
    write(at("f.bin"), "abcdef");
    os::FileBytes a = files::readFile(at("f.bin"));
    os::FileBytes b = std::move(a);
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(text(b), "abcdef");
    os::FileBytes c;
    c = std::move(b);
    EXPECT_EQ(text(c), "abcdef");
    EXPECT_EQ(b.size(), 0u);
}

TEST_F(FileIoTest, AMissingFileOrAFolderCannotBeOpened)
{
    try {
        files::readFile(at("missing.CBB"));
        FAIL() << "a missing file was read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.stage(), FileError::Stage::Open);
        EXPECT_EQ(std::string(e.what()), "Не удаётся открыть файл \"" + at("missing.CBB").string() + "\"");
    }
    EXPECT_EQ(stageOf([&] { files::readFile(dir_); }), FileError::Stage::Open);
    // UTF-8 names are taken as such.
    const std::string cyrillic = at("база.CBB").string();
    write(files::fromUtf8(cyrillic), "xyz");
    EXPECT_EQ(text(files::readFile(cyrillic)), "xyz");
}

TEST_F(FileIoTest, ReplaceWritesOrOverwritesAndLeavesNoTemporaryFile)
{
    // Replacing a file is written out to the disk as it goes, every few megabytes: pieces
    // of odd sizes, one larger than that step, cross it several times.
    const std::string first = "first", second = pattern(2 * os::OutputFile::writeOutBytes + 12345);
    files::replaceFile(at("t.CBB"),
                       std::span(reinterpret_cast<const std::uint8_t*>(first.data()), first.size()));
    EXPECT_EQ(read(at("t.CBB")), first);
    files::replaceFileStreamed(at("t.CBB"), [&](const ByteSink& sink) {
        std::size_t i = 0;
        for (const std::size_t n : {std::size_t(1), std::size_t(99999), os::OutputFile::writeOutBytes + 7}) {
            sink(std::span(reinterpret_cast<const std::uint8_t*>(second.data() + i), n));
            i += n;
        }
        for (; i < second.size(); i += 100000) {
            const std::size_t n = std::min<std::size_t>(100000, second.size() - i);
            sink(std::span(reinterpret_cast<const std::uint8_t*>(second.data() + i), n));
        }
    });
    EXPECT_TRUE(read(at("t.CBB")) == second);
    files::replaceFile(at("t.CBB"), {});
    EXPECT_EQ(read(at("t.CBB")), "");
    EXPECT_EQ(names(), std::vector<std::string>{"t.CBB"});
}

TEST_F(FileIoTest, AFailedReplaceLeavesTheOldFileAndNoTemporaryFile)
{
    write(at("t.CBB"), "old contents");
    const std::string piece(70000, 'n');
    EXPECT_THROW(files::replaceFileStreamed(
                     at("t.CBB"),
                     [&](const ByteSink& sink) {
                         sink(std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
                         throw std::runtime_error("producer failed");
                     }),
                 std::runtime_error);
    EXPECT_EQ(read(at("t.CBB")), "old contents");
    EXPECT_EQ(names(), std::vector<std::string>{"t.CBB"});

    // A folder in the way, or a folder that does not exist: nothing is created.
    fs::create_directories(at("sub"));
    EXPECT_EQ(stageOf([&] { files::replaceFile(at("sub"), {}); }), FileError::Stage::Create);
    EXPECT_TRUE(fs::is_directory(at("sub")));
    EXPECT_EQ(stageOf([&] { files::replaceFile(at("none") / "t.CBB", {}); }), FileError::Stage::Create);
    EXPECT_EQ(names(), (std::vector<std::string>{"sub", "t.CBB"}));
}

TEST_F(FileIoTest, AWriteTheDiskRefusesIsReportedWhenTheFileIsClosed)
{
    // A full disk, as the system's always-full device stands for one.
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no device that is always full";
    os::OutputFile full("/dev/full", true);
    ASSERT_TRUE(full.isOpen());
    const std::string bytes = pattern(os::OutputFile::writeOutBytes + 1);
    full.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    full.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), 10));
    EXPECT_FALSE(full.close());

    // The same device taking nothing, and a file in a folder that does not exist.
    EXPECT_TRUE(os::OutputFile("/dev/full", false).close());
    os::OutputFile nowhere(at("none") / "t.CBB", true);
    EXPECT_FALSE(nowhere.isOpen());
    EXPECT_FALSE(nowhere.close());
}

#if defined(__linux__)
// Open descriptors of this process.
std::size_t openFiles()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST_F(FileIoTest, TheReplacedFileIsLetGoAndAPipeInTheWayDoesNotHang)
{
    // The old file is held open across the rename and closed on another thread after it.
    write(at("t.CBB"), "old");
    const std::size_t before = openFiles();
    const std::string bytes = pattern(5000);
    for (int i = 0; i < 5; ++i)
        files::replaceFile(at("t.CBB"), std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_TRUE(read(at("t.CBB")) == bytes);
    for (int wait = 0; wait < 1000 && openFiles() > before; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(openFiles(), before);

    // A named pipe where the file goes: opening it to hold it must not wait for a writer.
    ASSERT_EQ(::mkfifo(at("p.CBB").c_str(), 0600), 0);
    files::replaceFile(at("p.CBB"), std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_TRUE(fs::is_regular_file(at("p.CBB")));
    EXPECT_TRUE(read(at("p.CBB")) == bytes);
}
#endif

TEST_F(FileIoTest, ATableSavedToAFileReplacesItWhole)
{
    ClientTable t;
    t.addField({"A", FieldKind::Integer, 0});
    t.open();
    for (int i = 1; i <= 3; ++i) {
        t.append();
        t.fieldByName("A").setInteger(i);
        t.post();
    }
    write(at("t.cds"), std::string(100000, 'z')); // longer than the packet
    t.saveToFile(at("t.cds"));
    EXPECT_TRUE(
        read(at("t.cds"))
        == std::string(reinterpret_cast<const char*>(t.saveToBytes().data()), t.saveToBytes().size()));
    EXPECT_EQ(names(), std::vector<std::string>{"t.cds"});
    EXPECT_THROW(t.saveToFile(at("none") / "t.cds"), FileError);
}

// Fills the `n` bytes at `p` with a pattern and reads them back.
static bool holdsWhatIsWritten(std::uint8_t* p, std::size_t n, unsigned salt)
{
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(i * salt);
    bool same = true;
    for (std::size_t i = 0; i < n; ++i)
        same = same && p[i] == static_cast<std::uint8_t>(i * salt);
    return same;
}

TEST(LargeBlocks, EverySizeHoldsWhatIsWritten)
{
    for (std::size_t n : {std::size_t(1), std::size_t(4096), os::mediumBlockBytes - 1, os::mediumBlockBytes,
                          os::largeBlockBytes - 1, os::largeBlockBytes, os::largeBlockBytes * 3 + 17}) {
        SCOPED_TRACE(n);
        auto* p = static_cast<std::uint8_t*>(os::allocateBlock(n));
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(holdsWhatIsWritten(p, n, 31));
        os::freeBlock(p, n);
    }
}

TEST(LargeBlocks, ScratchOfEverySizeHoldsWhatIsWrittenAndLargeOnesStartOnAHugePage)
{
    for (std::size_t n : {std::size_t(1), os::hugeScratchBytes - 1, os::hugeScratchBytes,
                          os::largeBlockBytes + 1, os::largeBlockBytes * 2}) {
        SCOPED_TRACE(n);
        auto* p = static_cast<std::uint8_t*>(os::allocateScratch(n));
        ASSERT_NE(p, nullptr);
#if defined(__linux__)
        if (n >= os::hugeScratchBytes) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % os::largeBlockBytes, 0u);
        }
#endif
        EXPECT_TRUE(holdsWhatIsWritten(p, n, 13));
        os::freeScratch(p, n);
    }
    EXPECT_THROW(os::allocateScratch(std::size_t(-1) - 4096), std::bad_alloc);

    // Scratch arrays grow keeping their elements, as the index sort and the reader use them.
    ScratchVector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < 100000; ++i)
        v.push_back(i * 7);
    bool kept = true;
    for (std::uint32_t i = 0; i < 100000; ++i)
        kept = kept && v[i] == i * 7;
    EXPECT_TRUE(kept);
}

#if defined(__linux__)
TEST(LargeBlocks, FreedScratchIsHandedOutAgainOnlyForTheSameLength)
{
    // On a thread of its own, which starts with no scratch kept.
    std::thread([] {
        auto* a = static_cast<std::uint8_t*>(os::allocateScratch(os::hugeScratchBytes * 3));
        std::memset(a, 0x11, os::hugeScratchBytes * 3);
        os::freeScratch(a, os::hugeScratchBytes * 3);
        // Same huge-page length: the block comes back, holding whatever was left in it.
        auto* b = static_cast<std::uint8_t*>(os::allocateScratch(os::largeBlockBytes));
        EXPECT_EQ(b, a);
        // Longer: a block of its own, whole and writable.
        auto* c = static_cast<std::uint8_t*>(os::allocateScratch(os::largeBlockBytes + 1));
        EXPECT_NE(c, a);
        std::memset(c, 0x22, os::largeBlockBytes + 1);
        EXPECT_EQ(c[os::largeBlockBytes], 0x22);
        os::freeScratch(c, os::largeBlockBytes + 1);
        os::freeScratch(b, os::largeBlockBytes);
        auto* d = static_cast<std::uint8_t*>(os::allocateScratch(2 * os::largeBlockBytes));
        EXPECT_EQ(d, c);
        os::freeScratch(d, 2 * os::largeBlockBytes);
    }).join();
}
#endif

TEST(LargeBlocks, ColumnArraysKeepTheirValuesWhenTheyGrow)
{
    ColumnVector<double> v;
    v.resize(300000); // a large block, left as it is
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = double(i);
    for (int i = 0; i < 400000; ++i)
        v.push_back(-1.0 * i); // moves to larger blocks
    ASSERT_EQ(v.size(), 700000u);
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[299999], 299999.0);
    EXPECT_EQ(v[300000 + 123456], -123456.0);
    ColumnVector<std::string> s(3);
    EXPECT_EQ(s[2], ""); // non-trivial elements are still constructed
}

// A table of 100 numeric columns: an all-null row takes 27 bytes in a packet but about
// 900 in the column arrays, so such a packet is counted before anything is allocated.
void declareWide(ClientTable& t)
{
    for (int k = 1; k <= 100; ++k)
        t.addField({"N" + std::to_string(k), FieldKind::Float});
}

std::vector<std::uint8_t> widePacket(int rows, int everyNth)
{
    ClientTable src;
    declareWide(src);
    src.open();
    for (int r = 0; r < rows; ++r) {
        src.append();
        if (r % everyNth == 0)
            for (int k = 0; k < 100; k += 7)
                src.field(k).setFloat(r + k / 8.0);
        else
            src.field(0).clear();
        src.post();
    }
    return src.saveToBytes();
}

TEST(SizedLoad, MostlyEmptyAndFullRowsLoadTheSame)
{
    for (int everyNth : {1, 3, 1000}) {
        SCOPED_TRACE(everyNth);
        const auto bytes = widePacket(2000, everyNth);
        ClientTable t;
        declareWide(t);
        t.loadFromBytes(bytes);
        ASSERT_EQ(t.recordCount(), 2000);
        EXPECT_TRUE(t.saveToBytes() == bytes);
        t.setRecNo(4); // row 3 in stored order: values only when every row has them
        EXPECT_EQ(t.field(7).isNull(), everyNth != 1 && everyNth != 3);
        EXPECT_TRUE(t.field(1).isNull());
    }
}

TEST(SizedLoad, APacketAnnouncingMoreRowsThanItHoldsFailsAsTheReaderDoesAndChangesNothing)
{
    const auto good = widePacket(50, 1);
    ClientTable t;
    declareWide(t);
    t.loadFromBytes(widePacket(3, 1));
    const auto before = t.saveToBytes();
    for (std::uint32_t announced : {51u, 60u, 4000u}) {
        SCOPED_TRACE(announced);
        auto bad = good;
        for (int i = 0; i < 4; ++i)
            bad[14 + i] = static_cast<std::uint8_t>(announced >> (8 * i));
        std::string readerText;
        try {
            readPacket(bad);
        } catch (const Error& e) {
            readerText = e.what();
        }
        ASSERT_FALSE(readerText.empty());
        try {
            t.loadFromBytes(bad);
            FAIL() << "a damaged packet loaded";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), readerText);
        }
        EXPECT_TRUE(t.saveToBytes() == before);
    }
}

} // namespace
