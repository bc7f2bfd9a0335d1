#include "storage/os/carved_blocks.h"

#include "storage/os/mapped_memory.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#endif

namespace dorvin::os {

// Freed blocks give their memory back a huge page at a time: returning part of a huge
// page would split it into small ones, and a madvise per column array made freeing a
// large table cost a system call per array.
struct CarvedBlocks::Region {
    std::uint8_t* start;
    std::size_t size;
    std::size_t used = 0;
    std::size_t live = 0;    // carved blocks not yet freed
    std::size_t blocks = 0;  // carved so far
    bool open = true;     // its CarvedBlocks still carves from it
    // Per huge page of the region: the bytes carved from it and the bytes of those freed.
    std::vector<std::size_t> carved, freed;

    static constexpr std::size_t page = largeBlockBytes;
    std::size_t pageEnd(std::size_t i) const { return std::min(size, (i + 1) * page); }
    // No block will be carved from page i any more.
    bool complete(std::size_t i) const { return !open || pageEnd(i) <= used; }
    void giveBack(std::size_t i) const noexcept
    {
#if defined(MADV_DONTNEED)
        ::madvise(start + i * page, pageEnd(i) - i * page, MADV_DONTNEED);
#else
        (void)i;
#endif
    }
    // Calls each(page, bytes) for every page that [offset, offset + bytes) overlaps.
    template <typename Each> void eachPage(std::size_t offset, std::size_t bytes, Each&& each)
    {
        for (std::size_t i = offset / page; i * page < offset + bytes; ++i) {
            const std::size_t from = std::max(offset, i * page), to = std::min(offset + bytes, pageEnd(i));
            each(i, to - from);
        }
    }
};

namespace {

using Region = CarvedBlocks::Region;

// Regions live until their last block is freed, on whatever thread that happens.
std::mutex regionsMutex;
std::vector<Region*> regions;
thread_local Region* current = nullptr;

// Called with the mutex held; the region's memory is returned after it is released.
Region* takeIfDone(Region* r)
{
    if (r->open || r->live != 0)
        return nullptr;
    regions.erase(std::find(regions.begin(), regions.end(), r));
    return r;
}

void dispose(Region* r) noexcept
{
    if (!r)
        return;
    freeBlock(r->start, r->size);
    delete r;
}

} // namespace

CarvedBlocks::CarvedBlocks(std::size_t bytes) : outer_(current)
{
    // Below a huge page a region saves nothing over mapping the blocks one by one.
    if (bytes < largeBlockBytes)
        return;
    const std::size_t size = roomFor(bytes);
    current = nullptr; // the region itself is not carved from an outer one
    std::uint8_t* start = nullptr;
    try {
        start = static_cast<std::uint8_t*>(allocateBlock(size));
    } catch (...) {
        current = outer_;
        throw;
    }
    current = outer_;
    Region* r = nullptr;
    try {
        const std::size_t pages = (size + Region::page - 1) / Region::page;
        r = new Region{
            start, size, 0, 0, 0, true, std::vector<std::size_t>(pages), std::vector<std::size_t>(pages)};
    } catch (...) {
        freeBlock(start, size);
        throw;
    }
    {
        std::lock_guard lock(regionsMutex);
        try {
            regions.push_back(r);
        } catch (...) {
            dispose(r);
            throw;
        }
    }
    region_ = r;
    current = r;
}

CarvedBlocks::~CarvedBlocks()
{
    if (!region_)
        return;
    current = outer_;
    Region* done = nullptr;
    {
        std::lock_guard lock(regionsMutex);
        Region& r = *region_;
        r.open = false;
        done = takeIfDone(region_);
        if (!done) {
            // The page carving stopped in, if its blocks are all gone already, and the
            // pages never carved from.
            for (std::size_t i = r.used / Region::page; i < r.carved.size(); ++i)
                if (r.freed[i] == r.carved[i])
                    r.giveBack(i);
        }
    }
    dispose(done);
}

std::size_t CarvedBlocks::regionsInUse()
{
    std::lock_guard lock(regionsMutex);
    return regions.size();
}

void* carving::carve(std::size_t bytes) noexcept
{
    Region* r = current;
    if (!r || bytes < CarvedBlocks::smallestCarved)
        return nullptr;
    std::lock_guard lock(regionsMutex);
    // Every seventh line of a page in turn: neighbouring blocks land far apart in the
    // cache's sets whichever of them are walked together.
    constexpr std::size_t lines = CarvedBlocks::alignment / CarvedBlocks::lineBytes;
    const std::size_t shift = (r->blocks * 7) % lines * CarvedBlocks::lineBytes;
    if (bytes > r->size - r->used) // and the sum below cannot overflow
        return nullptr;
    const std::size_t room = CarvedBlocks::pagesFor(bytes + shift);
    if (room > r->size - r->used)
        return nullptr;
    std::uint8_t* p = r->start + r->used + shift;
    r->eachPage(r->used, room, [r](std::size_t i, std::size_t n) { r->carved[i] += n; });
    r->used += room;
    ++r->live;
    ++r->blocks;
    return p;
}

bool carving::release(void* block, std::size_t bytes) noexcept
{
    if (bytes < CarvedBlocks::smallestCarved)
        return false;
    const auto* p = static_cast<const std::uint8_t*>(block);
    Region* done = nullptr;
    {
        std::lock_guard lock(regionsMutex);
        auto it = std::find_if(regions.begin(), regions.end(),
                               [p](const Region* r) { return p >= r->start && p < r->start + r->size; });
        if (it == regions.end())
            return false;
        Region* r = *it;
        // A block's room starts on the page its first byte is in.
        const auto offset = static_cast<std::size_t>(p - r->start);
        const std::size_t from = offset / CarvedBlocks::alignment * CarvedBlocks::alignment;
        const std::size_t room = CarvedBlocks::pagesFor(bytes + (offset - from));
        // Blocks are never carved twice: a page whose blocks are all freed goes back,
        // unless the whole region is about to.
        const bool last = !r->open && r->live == 1;
        r->eachPage(from, room,
                    [r, last](std::size_t i, std::size_t n) {
                        r->freed[i] += n;
                        if (!last && r->freed[i] == r->carved[i] && r->complete(i))
                            r->giveBack(i);
                    });
        --r->live;
        done = takeIfDone(r);
    }
    dispose(done);
    return true;
}

} // namespace dorvin::os
