#pragma once
// Bounds-checked little-endian reading of metafile bytes. Every read past the end
// yields 0 and marks the reader as failed, so the record code stays linear while
// never touching memory outside the buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dorvin::mf {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::string_view data) : data_(data) {}

    size_t size() const { return data_.size(); }
    size_t pos() const { return pos_; }
    size_t remaining() const { return pos_ <= data_.size() ? data_.size() - pos_ : 0; }
    bool ok() const { return ok_; }
    bool has(size_t n) const { return n <= remaining(); }
    void seek(size_t p)
    {
        if (p > data_.size()) {
            ok_ = false;
            pos_ = data_.size();
        } else {
            pos_ = p;
        }
    }
    void skip(size_t n) { seek(n <= remaining() ? pos_ + n : data_.size() + 1); }

    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32()
    {
        uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    // A sub-range of n bytes from the current position (empty and failed when short).
    std::string_view bytes(size_t n)
    {
        if (!has(n)) {
            ok_ = false;
            pos_ = data_.size();
            return {};
        }
        std::string_view v = data_.substr(pos_, n);
        pos_ += n;
        return v;
    }
    std::string_view data() const { return data_; }

private:
    uint64_t take(size_t n)
    {
        if (!has(n)) {
            ok_ = false;
            pos_ = data_.size();
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint64_t(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
        pos_ += n;
        return v;
    }

    std::string_view data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

inline void putU16(std::string& out, size_t at, uint16_t v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}
inline void putU32(std::string& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace dorvin::mf
