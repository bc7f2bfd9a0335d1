// Column arrays carved from one region: where they land, what freeing one does to its
// neighbours, and when the region goes back.
#include "storage/client_table_data.h"
#include "storage/os/carved_blocks.h"
#include "storage/os/mapped_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace dorvin::os {
namespace {

constexpr std::size_t kBlock = 5 * 4096 + 100; // carved, and not a whole number of pages

// `next` was carved right after the block of `bytes` at `prev`: from the pages just
// behind it, not over it.
bool follows(const void* next, const void* prev, std::size_t bytes)
{
    const auto n = reinterpret_cast<std::uintptr_t>(next), p = reinterpret_cast<std::uintptr_t>(prev);
    const std::uintptr_t pageAfter = (p + bytes + CarvedBlocks::alignment - 1) / CarvedBlocks::alignment
                                     * CarvedBlocks::alignment;
    return n >= p + bytes && n / CarvedBlocks::alignment * CarvedBlocks::alignment == pageAfter;
}

TEST(CarvedBlocks, BlocksFollowOneAnotherAndOutliveTheirScopeUntilFreed)
{
    const std::size_t before = CarvedBlocks::regionsInUse();
    void* a = nullptr;
    void* b = nullptr;
    void* small = nullptr;
    {
        CarvedBlocks carved(4 << 20);
        EXPECT_EQ(CarvedBlocks::regionsInUse(), before + 1);
        a = allocateBlock(kBlock);
        b = allocateBlock(kBlock);
        small = allocateBlock(CarvedBlocks::smallestCarved - 1);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % CarvedBlocks::alignment, 0u);
        EXPECT_TRUE(follows(b, a, kBlock));
        // What the region has no room for comes from the system as usual.
        void* big = allocateBlock(8 << 20);
        std::memset(big, 1, 8 << 20);
        freeBlock(big, 8 << 20);
    }
    // The scope has ended: the region stays while its blocks are in use, and nothing
    // further is carved from it.
    EXPECT_EQ(CarvedBlocks::regionsInUse(), before + 1);
    void* after = allocateBlock(kBlock);
    EXPECT_FALSE(follows(after, b, kBlock));

    // Freeing one block leaves its neighbours as they are.
    std::memset(a, 0x5A, kBlock);
    std::memset(b, 0xA5, kBlock);
    freeBlock(a, kBlock);
    const auto* bb = static_cast<const std::uint8_t*>(b);
    EXPECT_EQ(bb[0], 0xA5);
    EXPECT_EQ(bb[kBlock - 1], 0xA5);
    freeBlock(small, CarvedBlocks::smallestCarved - 1);
    freeBlock(b, kBlock);
    EXPECT_EQ(CarvedBlocks::regionsInUse(), before);
    freeBlock(after, kBlock);
}

TEST(CarvedBlocks, NeighbouringBlocksStartOnDifferentCacheLinesOfTheirPages)
{
    constexpr std::size_t lines = CarvedBlocks::alignment / CarvedBlocks::lineBytes;
    const std::size_t before = CarvedBlocks::regionsInUse();
    std::vector<std::uint8_t*> blocks;
    {
        CarvedBlocks carved(std::max(lines * CarvedBlocks::roomFor(kBlock), largeBlockBytes));
        for (std::size_t i = 0; i < lines; ++i)
            blocks.push_back(static_cast<std::uint8_t*>(allocateBlock(kBlock)));
    }
    std::set<std::uintptr_t> starts;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        std::memset(blocks[i], static_cast<int>(i), kBlock);
        starts.insert(reinterpret_cast<std::uintptr_t>(blocks[i]) % CarvedBlocks::alignment);
        if (i > 0) {
            EXPECT_TRUE(follows(blocks[i], blocks[i - 1], kBlock)) << i;
        }
    }
    EXPECT_EQ(starts.size(), lines) << "arrays walked side by side would share cache sets";
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i][0], static_cast<std::uint8_t>(i));
        EXPECT_EQ(blocks[i][kBlock - 1], static_cast<std::uint8_t>(i));
        freeBlock(blocks[i], kBlock);
    }
    EXPECT_EQ(CarvedBlocks::regionsInUse(), before);
}

TEST(CarvedBlocks, SmallRegionsAreNotMadeAndNestedScopesCarveFromTheInnerOne)
{
    const std::size_t before = CarvedBlocks::regionsInUse();
    {
        CarvedBlocks tiny(64 << 10);
        EXPECT_EQ(CarvedBlocks::regionsInUse(), before);
    }
    CarvedBlocks outer(4 << 20);
    void* o1 = allocateBlock(kBlock);
    void* i1 = nullptr;
    {
        CarvedBlocks inner(4 << 20);
        EXPECT_EQ(CarvedBlocks::regionsInUse(), before + 2);
        i1 = allocateBlock(kBlock);
        EXPECT_FALSE(follows(i1, o1, kBlock));
    }
    void* o2 = allocateBlock(kBlock); // back to the outer region
    EXPECT_TRUE(follows(o2, o1, kBlock));
    freeBlock(i1, kBlock);
    EXPECT_EQ(CarvedBlocks::regionsInUse(), before + 1);
    freeBlock(o1, kBlock);
    freeBlock(o2, kBlock);
}

#if defined(__linux__)
// Whether the system holds memory for the huge page at `at`.
bool resident(const void* at)
{
    unsigned char flags[largeBlockBytes / 4096] = {};
    if (::mincore(const_cast<void*>(at), largeBlockBytes, flags) != 0)
        return true;
    for (unsigned char f : flags)
        if (f & 1)
            return true;
    return false;
}

TEST(CarvedBlocks, AHugePageGoesBackWhenEveryBlockInItIsFreedAndUnusedPagesWhenCarvingEnds)
{
    constexpr std::size_t block = 700 << 10; // three share the first huge page, the third crosses
    std::uint8_t* b[6] = {};
    std::uint8_t* region = nullptr;
    {
        CarvedBlocks carved(4 * largeBlockBytes);
        for (auto& p : b) {
            p = static_cast<std::uint8_t*>(allocateBlock(block));
            std::memset(p, 0x3C, block);
        }
        region = b[0];
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(region) % largeBlockBytes, 0u);
        ASSERT_TRUE(resident(region + 3 * largeBlockBytes)); // made present with the region
        freeBlock(b[0], block);
        freeBlock(b[1], block);
        EXPECT_TRUE(resident(region)) << "the third block still lives in the first page";
        freeBlock(b[2], block);
        EXPECT_FALSE(resident(region));
        EXPECT_TRUE(resident(region + largeBlockBytes));
        EXPECT_EQ(b[3][0], 0x3C);
        EXPECT_EQ(b[3][block - 1], 0x3C);
        EXPECT_TRUE(resident(region + 3 * largeBlockBytes)); // could still be carved
        // The last block reaches into the third page, which carving may still go on in.
        freeBlock(b[5], block);
        EXPECT_TRUE(resident(region + 2 * largeBlockBytes));
    }
    EXPECT_FALSE(resident(region + 2 * largeBlockBytes)) << "emptied, and carving has ended";
    EXPECT_FALSE(resident(region + 3 * largeBlockBytes)) << "never carved, and carving has ended";
    EXPECT_TRUE(resident(region + largeBlockBytes));
    EXPECT_EQ(b[4][block - 1], 0x3C);
    freeBlock(b[3], block);
    freeBlock(b[4], block);
}
#endif

TEST(CarvedBlocks, AColumnGrowingPastItsCarvedRoomKeepsItsCells)
{
    ColumnVector<double> column;
    {
        CarvedBlocks carved(4 << 20);
        column.reserve(4096);
        for (int i = 0; i < 4096; ++i)
            column.push_back(i);
    }
    for (int i = 4096; i < 10000; ++i)
        column.push_back(i);
    for (int i = 0; i < 10000; i += 997)
        EXPECT_EQ(column[std::size_t(i)], i);
}

} // namespace
} // namespace dorvin::os
