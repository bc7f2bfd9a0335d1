#pragma once
// Memory and files as the operating system hands them out: a file read front to back in
// pieces or read whole into a block of its own, and large blocks backed by huge pages
// where the system offers them. With output_file.h this is the storage layer's only
// contact with system calls; elsewhere files are read through the standard library and
// large blocks come from the ordinary heap.
//
// Files are read, not mapped: a mapped file that another program shortens while it is
// decoded ends the process with SIGBUS, which would lose the user's open base.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace dorvin::os {

// A file opened for reading front to back, in pieces into the caller's buffer.
class InputFile {
public:
    // Throws dorvin::FileError "Не удаётся открыть файл ..." naming the path.
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The size when the file was opened.
    std::uint64_t size() const { return size_; }
    // Reads up to `n` bytes; 0 at the end of the file. Throws dorvin::FileError
    // "Не удаётся прочитать файл ..." when the system cannot read it.
    std::size_t read(std::uint8_t* to, std::size_t n);
    // Reads exactly `n` bytes; a file that ends sooner (shortened while it is read) is
    // reported as unreadable.
    void readExactly(std::uint8_t* to, std::size_t n);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::filesystem::path path_;
    std::uint64_t size_ = 0;
};

// The bytes of a whole file, read-only, in memory of their own. Movable.
class FileBytes {
public:
    FileBytes() = default;
    // Throws dorvin::FileError "Не удаётся открыть файл ..." or "Не удаётся прочитать файл ..." naming
    // the path.
    explicit FileBytes(const std::filesystem::path& path);
    ~FileBytes();
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    void reset() noexcept;

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
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

// Scratch blocks at least this large are mapped in huge pages of their own.
inline constexpr std::size_t hugeScratchBytes = std::size_t(1) << 16;

// A block of working memory that lives for one step (sorting an index, the piece of a
// file about to be written), not initialised. From hugeScratchBytes on it is mapped in
// huge pages where the system offers them, faulted in as it is first written: on some
// virtual machines each fault of a small fresh page costs ten times more than a whole
// huge page, which outweighs the unused tail of the last one. Never carved. Throws
// std::bad_alloc.
void* allocateScratch(std::size_t bytes);
// Returns a block from allocateScratch with the same size.
void freeScratch(void* block, std::size_t bytes) noexcept;

} // namespace dorvin::os
