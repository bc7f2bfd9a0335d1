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

struct CarvedBlocks::Region {
    std::uint8_t* start;
    std::size_t size;
    std::size_t used = 0;
    std::size_t live = 0; // carved blocks not yet freed
    bool open = true;     // its CarvedBlocks still carves from it
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
    auto* r = new Region{start, size};
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
        region_->open = false;
        done = takeIfDone(region_);
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
    const std::size_t room = CarvedBlocks::roomFor(bytes);
    std::lock_guard lock(regionsMutex);
    if (room > r->size - r->used)
        return nullptr;
    std::uint8_t* p = r->start + r->used;
    r->used += room;
    ++r->live;
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
#if defined(MADV_DONTNEED)
        // Blocks are never carved twice: a freed one's pages are given back at once.
        ::madvise(block, CarvedBlocks::roomFor(bytes), MADV_DONTNEED);
#endif
        --r->live;
        done = takeIfDone(r);
    }
    dispose(done);
    return true;
}

} // namespace dorvin::os
