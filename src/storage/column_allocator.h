#pragma once
// Allocators for large arrays that are filled completely right after they are made, so
// resize() leaves their elements uninitialised (the caller writes each one):
// - ColumnAllocator, for a table's column arrays: columns of a large table run to
//   hundreds of megabytes, and large ones come from blocks of their own that use huge
//   pages where the system offers them;
// - ScratchAllocator, for the working arrays of one step (sorting an index, a piece of a
//   file being written), from huge pages from a much smaller size on.
#include "storage/os/mapped_memory.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace dorvin {

template <class T, void* (*Allocate)(std::size_t), void (*Free)(void*, std::size_t) noexcept>
class BlockAllocator {
public:
    using value_type = T;
    template <class U> struct rebind {
        using other = BlockAllocator<U, Allocate, Free>;
    };

    BlockAllocator() noexcept = default;
    template <class U> BlockAllocator(const BlockAllocator<U, Allocate, Free>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(Allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { Free(p, n * sizeof(T)); }

    // resize() without a value leaves trivial elements as they are.
    template <class U> void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U> bool operator==(const BlockAllocator<U, Allocate, Free>&) const noexcept { return true; }
};

template <class T> using ColumnAllocator = BlockAllocator<T, os::allocateBlock, os::freeBlock>;
template <class T> using ColumnVector = std::vector<T, ColumnAllocator<T>>;

template <class T> using ScratchAllocator = BlockAllocator<T, os::allocateScratch, os::freeScratch>;
template <class T> using ScratchVector = std::vector<T, ScratchAllocator<T>>;

} // namespace dorvin
