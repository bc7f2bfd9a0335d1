#pragma once
// One region of memory that a table's column arrays are carved from while it is loaded.
// A large table has a hundred columns of well under a huge page each: mapped one by one
// they fault in thousands of small pages, which some virtual machines charge dearly
// for, and fill the address translation caches while the decoder writes all of them at
// once. Carved from one region made up front they share huge pages.
#include <cstddef>

namespace dorvin::os {

class CarvedBlocks {
public:
    // Blocks at least this large are carved; smaller ones come from the heap as before.
    static constexpr std::size_t smallestCarved = std::size_t(1) << 14;
    // Carved blocks take whole pages, and within its first page each starts a few cache
    // lines further than the one before: arrays filled side by side, a value in each per
    // row, would otherwise all map to the same sets of the first-level cache and evict one
    // another's lines long before they fill.
    static constexpr std::size_t alignment = 4096;
    static constexpr std::size_t lineBytes = 64;
    // The pages a block of `bytes` takes at most, whatever its start.
    static constexpr std::size_t roomFor(std::size_t bytes)
    {
        return pagesFor(bytes + alignment - lineBytes);
    }
    static constexpr std::size_t pagesFor(std::size_t bytes)
    {
        return (bytes + alignment - 1) / alignment * alignment;
    }

    // Until it ends, allocateBlock on this thread carves blocks from a region of `bytes`
    // bytes while they fit; what does not fit is made as usual. A region too small to
    // be worth it is not made. Throws std::bad_alloc.
    explicit CarvedBlocks(std::size_t bytes);
    // The region itself goes back to the system once its last block has been freed,
    // which may be long after this.
    ~CarvedBlocks();
    CarvedBlocks(const CarvedBlocks&) = delete;
    CarvedBlocks& operator=(const CarvedBlocks&) = delete;

    // Regions made and not yet given back, on all threads.
    static std::size_t regionsInUse();

    struct Region;

private:
    Region* region_ = nullptr;
    Region* outer_ = nullptr;
};

namespace carving {
// For allocateBlock and freeBlock: a block from this thread's open region, or nullptr.
void* carve(std::size_t bytes) noexcept;
// True when the block was carved: its pages are given back, and its region too when it
// was the last one.
bool release(void* block, std::size_t bytes) noexcept;
} // namespace carving

} // namespace dorvin::os
