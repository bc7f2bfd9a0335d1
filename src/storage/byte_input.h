#pragma once
// Bytes read front to back through a window: either all of them at hand (a span, nothing
// copied) or pulled from a source piece by piece into one reused buffer, so a large file
// is decoded without ever being held whole. Readers ask for the bytes they need next
// with require(); only then may the window move, so pointers into it stay valid until
// the next require() or skip().
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace dorvin {

// Reads up to `n` bytes into `to` and returns how many; 0 only when nothing is left.
// Throws on a read failure.
using ByteSource = std::function<std::size_t(std::uint8_t* to, std::size_t n)>;

class ByteInput {
public:
    // The size of the buffer a streamed input reads into.
    static constexpr std::size_t defaultChunk = std::size_t(1) << 20;

    explicit ByteInput(std::span<const std::uint8_t> all);
    // `size` bytes that `source` hands over: a source that ends sooner leaves the input
    // short, which readers see as bytes missing at the end.
    ByteInput(ByteSource source, std::uint64_t size, std::size_t chunk = defaultChunk);
    ~ByteInput();
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    // Every byte of the input, read or not.
    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return windowStart_ + static_cast<std::uint64_t>(cur_ - window_); }
    std::uint64_t remaining() const { return size_ - position(); }
    // The byte at position() and how many follow it in the window.
    const std::uint8_t* data() const { return cur_; }
    std::size_t available() const { return static_cast<std::size_t>(end_ - cur_); }
    // True when bytes can still come into the window beyond those available.
    bool more() const { return position() + available() < size_ && !sourceEnded_; }

    // Makes at least `n` bytes from position() available, moving the window when it must;
    // false when the input ends before (everything left is available then). Never makes
    // room for more than remaining().
    bool require(std::size_t n);
    // Moves past `n` available bytes.
    void advance(std::size_t n) { cur_ += n; }
    // Moves past `n` bytes, reading away those not yet at hand; false when the input ends
    // first (the position is then its end).
    bool skip(std::uint64_t n);

private:
    void refill(std::size_t n);

    const std::uint8_t* window_ = nullptr; // window_[0] is at windowStart_
    const std::uint8_t* cur_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t windowStart_ = 0;
    std::uint64_t size_ = 0;
    ByteSource source_;
    std::uint8_t* buffer_ = nullptr; // owned when streamed
    std::size_t capacity_ = 0;
    std::size_t chunk_ = 0;
    std::uint64_t fetched_ = 0; // bytes taken from the source so far
    bool sourceEnded_ = false;
};

} // namespace dorvin
