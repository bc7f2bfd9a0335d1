#include "storage/byte_input.h"

#include "storage/os/mapped_memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace dorvin {

ByteInput::ByteInput(std::span<const std::uint8_t> all)
    : window_(all.data()),
      cur_(all.data()),
      end_(all.data() + all.size()),
      size_(all.size()),
      fetched_(all.size())
{}

ByteInput::ByteInput(ByteSource source, std::uint64_t size, std::size_t chunk)
    : size_(size), source_(std::move(source)), chunk_(std::max<std::size_t>(chunk, 1))
{}

ByteInput::~ByteInput()
{
    if (buffer_)
        os::freeBlock(buffer_, capacity_);
}

bool ByteInput::require(std::size_t n)
{
    if (n <= available())
        return true;
    if (n > remaining())
        return false;
    if (more())
        refill(n);
    return available() >= n;
}

void ByteInput::refill(std::size_t n)
{
    const std::size_t kept = available();
    const std::uint64_t at = position();
    if (n > capacity_ || !buffer_) {
        // A row larger than the buffer: a larger one, never beyond what is left to read.
        std::size_t want = std::max(n, chunk_);
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, remaining()));
        want = std::max(want, n);
        auto* bigger = static_cast<std::uint8_t*>(os::allocateBlock(want));
        if (kept)
            std::memcpy(bigger, cur_, kept);
        if (buffer_)
            os::freeBlock(buffer_, capacity_);
        buffer_ = bigger;
        capacity_ = want;
    } else if (kept && cur_ != buffer_) {
        std::memmove(buffer_, cur_, kept);
    }
    window_ = buffer_;
    cur_ = buffer_;
    end_ = buffer_ + kept;
    windowStart_ = at;
    // Fills the whole buffer, not just what was asked for: fewer, larger reads.
    while (available() < n && !sourceEnded_) {
        const std::uint64_t left = size_ - fetched_;
        const std::size_t room =
            static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - available(), left));
        if (room == 0)
            break;
        const std::size_t got = source_(buffer_ + available(), room);
        if (got == 0) {
            sourceEnded_ = true;
            break;
        }
        fetched_ += got;
        end_ += got;
    }
}

bool ByteInput::skip(std::uint64_t n)
{
    while (n > available()) {
        n -= available();
        cur_ = end_;
        if (!more())
            return false;
        refill(static_cast<std::size_t>(std::min<std::uint64_t>({n, remaining(), chunk_})));
        if (available() == 0)
            return false;
    }
    cur_ += n;
    return true;
}

} // namespace dorvin
