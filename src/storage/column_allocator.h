#pragma once
// The allocator of a table's column arrays. Columns of a large table run to hundreds of
// megabytes and are filled completely right after they are made, so their elements are
// left uninitialised by resize() (the decoder writes each one), and large arrays come
// from blocks of their own that use huge pages where the system offers them.
#include "storage/os/mapped_memory.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace dorvin {

template <class T> class ColumnAllocator {
public:
    using value_type = T;

    ColumnAllocator() noexcept = default;
    template <class U> ColumnAllocator(const ColumnAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(os::allocateBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { os::freeBlock(p, n * sizeof(T)); }

    // resize() without a value leaves trivial elements as they are.
    template <class U> void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U> bool operator==(const ColumnAllocator<U>&) const noexcept { return true; }
};

template <class T> using ColumnVector = std::vector<T, ColumnAllocator<T>>;

} // namespace dorvin
