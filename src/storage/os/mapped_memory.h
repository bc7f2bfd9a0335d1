#pragma once
// Memory the operating system hands out directly: a whole file read into a block of its
// own, and large blocks backed by huge pages where the system offers them. This is the
// storage layer's only contact with system calls; elsewhere the file is read through the
// standard library and large blocks come from the ordinary heap.
//
// Files are read, not mapped: a mapped file that another program shortens while it is
// decoded ends the process with SIGBUS, which would lose the user's open base.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace dorvin::os {

// The bytes of a whole file, read-only. Owns its mapping or buffer; movable.
class MappedFile {
public:
    MappedFile() = default;
    // Throws dorvin::FileError "Не удаётся открыть файл ..." or "Не удаётся прочитать файл ..." naming
    // the path.
    explicit MappedFile(const std::filesystem::path& path);
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    // True when the bytes are the file's pages themselves rather than a copy (never, as
    // files are read today).
    bool mapped() const { return mapped_; }

    // Tells the system that the bytes before `offset` will not be read again, so their
    // pages may leave this process's memory; reading them later still gives the same
    // bytes. Keeps the memory of a large file read front to back small.
    void releaseBefore(std::size_t offset) const;

private:
    void reset() noexcept;

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    bool block_ = false; // data_ came from allocateBlock
};

// Blocks at least this large are mapped on their own and their pages made present at
// once; from the larger size on they also ask for huge pages.
inline constexpr std::size_t mediumBlockBytes = std::size_t(1) << 18;
inline constexpr std::size_t largeBlockBytes = std::size_t(1) << 21;

// A block of `bytes` bytes for data that is written right away, not initialised (fresh
// mapped pages read as zero). A page fault per page of a large array costs more than
// filling it: where the system allows, the pages of a mapped block are made present in
// one call and large blocks use huge pages. Throws std::bad_alloc.
void* allocateBlock(std::size_t bytes);
// Returns a block from allocateBlock with the same size.
void freeBlock(void* block, std::size_t bytes) noexcept;

} // namespace dorvin::os
