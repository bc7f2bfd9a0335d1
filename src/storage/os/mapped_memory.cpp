#include "storage/os/mapped_memory.h"

#include "storage/os/carved_blocks.h"

#include "storage/error.h"

#include <cerrno>
#include <fstream>
#include <memory>
#include <new>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#define DORVIN_HAVE_MMAP 1
#endif

namespace dorvin::os {

namespace {

std::string shown(const std::filesystem::path& path)
{
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

[[noreturn]] void cannotOpen(const std::filesystem::path& path)
{
    throw FileError(FileError::Stage::Open, "Не удаётся открыть файл \"" + shown(path) + "\"");
}

[[noreturn]] void cannotRead(const std::filesystem::path& path)
{
    throw FileError(FileError::Stage::Read, "Не удаётся прочитать файл \"" + shown(path) + "\"");
}

#ifdef DORVIN_HAVE_MMAP
std::size_t pageSize()
{
    static const std::size_t size = [] {
        const long s = ::sysconf(_SC_PAGESIZE);
        return s > 0 ? static_cast<std::size_t>(s) : std::size_t(4096);
    }();
    return size;
}

std::size_t hugeLength(std::size_t bytes) noexcept
{
    return (bytes + largeBlockBytes - 1) / largeBlockBytes * largeBlockBytes;
}

// A mapping of `length` bytes (whole pages) starting on a huge page, that asks for huge
// pages. Huge pages need an aligned start: a little more is mapped and the ends are given
// back.
void* mapHugeAligned(std::size_t length)
{
    const std::size_t slack = largeBlockBytes;
    if (length > std::size_t(-1) / 2)
        throw std::bad_alloc();
    void* p = ::mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    const auto raw = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t start = (raw + slack - 1) / slack * slack;
    if (start > raw)
        ::munmap(p, start - raw);
    if (raw + slack > start)
        ::munmap(reinterpret_cast<void*>(start + length), raw + slack - start);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(start);
}
#endif

} // namespace

#ifdef DORVIN_HAVE_MMAP
struct InputFile::Handle {
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

InputFile::InputFile(const std::filesystem::path& path) : handle_(std::make_unique<Handle>()), path_(path)
{
    handle_->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle_->fd < 0)
        cannotOpen(path);
    struct stat st {};
    if (::fstat(handle_->fd, &st) != 0)
        cannotRead(path);
    if (S_ISDIR(st.st_mode))
        cannotOpen(path);
    size_ = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(handle_->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

std::size_t InputFile::read(std::uint8_t* to, std::size_t n)
{
    for (;;) {
        const ::ssize_t got = ::read(handle_->fd, to, n);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            cannotRead(path_);
    }
}
#else
struct InputFile::Handle {
    std::ifstream in;
};

InputFile::InputFile(const std::filesystem::path& path) : handle_(std::make_unique<Handle>()), path_(path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        cannotOpen(path);
    handle_->in.open(path, std::ios::binary);
    if (!handle_->in)
        cannotOpen(path);
    handle_->in.seekg(0, std::ios::end);
    const std::streamoff length = handle_->in.tellg();
    if (length < 0)
        cannotRead(path);
    handle_->in.seekg(0, std::ios::beg);
    size_ = static_cast<std::uint64_t>(length);
}

std::size_t InputFile::read(std::uint8_t* to, std::size_t n)
{
    handle_->in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(n));
    const std::streamsize got = handle_->in.gcount();
    if (got == 0 && handle_->in.bad())
        cannotRead(path_);
    return static_cast<std::size_t>(got);
}
#endif

InputFile::~InputFile() = default;

void InputFile::readExactly(std::uint8_t* to, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const std::size_t got = read(to + done, n - done);
        if (got == 0)
            cannotRead(path_);
        done += got;
    }
}

FileBytes::FileBytes(const std::filesystem::path& path)
{
    InputFile file(path);
    const auto size = static_cast<std::size_t>(file.size());
    if (size == 0)
        return;
    auto* block = static_cast<std::uint8_t*>(allocateBlock(size));
    try {
        file.readExactly(block, size);
    } catch (...) {
        freeBlock(block, size);
        throw;
    }
    data_ = block;
    size_ = size;
}

FileBytes::~FileBytes()
{
    reset();
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept
{
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void FileBytes::reset() noexcept
{
    if (!data_)
        return;
    freeBlock(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

void* allocateBlock(std::size_t bytes)
{
    if (void* carved = carving::carve(bytes))
        return carved;
#ifdef DORVIN_HAVE_MMAP
#ifdef MAP_POPULATE
    if (bytes >= mediumBlockBytes && bytes < largeBlockBytes) {
        // Too small for a huge page: its pages are made present in one call rather than
        // one fault at a time.
        void* p =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        return p;
    }
#endif
    if (bytes >= largeBlockBytes) {
        const std::size_t page = pageSize();
        void* p = mapHugeAligned((bytes + page - 1) / page * page);
#ifdef MADV_POPULATE_WRITE
        // Blocks are filled right after they are made: their pages are made present at
        // once (where the system cannot, the first writes fault them in).
        ::madvise(p, bytes, MADV_POPULATE_WRITE);
#endif
        return p;
    }
#endif
    return ::operator new(bytes);
}

void freeBlock(void* block, std::size_t bytes) noexcept
{
    if (!block || carving::release(block, bytes))
        return;
#ifdef DORVIN_HAVE_MMAP
#ifdef MAP_POPULATE
    if (bytes >= mediumBlockBytes && bytes < largeBlockBytes) {
        ::munmap(block, bytes);
        return;
    }
#endif
    if (bytes >= largeBlockBytes) {
        ::munmap(block, bytes);
        return;
    }
#endif
    ::operator delete(block);
}

#ifdef DORVIN_HAVE_MMAP
namespace {

// Scratch blocks freed on this thread, kept for the next ones: loading and saving a base
// asks for a few dozen, one step after another, and each fresh huge page is cleared by
// the system first. Only a few small ones are kept, so little memory stays taken.
class KeptScratch {
public:
    static constexpr std::size_t most = 4;
    static constexpr std::size_t largestKept = 2 * largeBlockBytes;

    ~KeptScratch()
    {
        for (std::size_t i = 0; i < count_; ++i)
            ::munmap(blocks_[i].at, blocks_[i].length);
    }
    // A kept block of exactly `length` bytes, or nullptr: a block handed out is freed
    // with the length asked for, which must be the length of its mapping.
    void* take(std::size_t length) noexcept
    {
        for (std::size_t i = 0; i < count_; ++i)
            if (blocks_[i].length == length) {
                void* at = blocks_[i].at;
                blocks_[i] = blocks_[--count_];
                return at;
            }
        return nullptr;
    }
    bool keep(void* at, std::size_t length) noexcept
    {
        if (length > largestKept || count_ == most)
            return false;
        blocks_[count_++] = {at, length};
        return true;
    }

private:
    struct Block {
        void* at;
        std::size_t length;
    };
    Block blocks_[most] = {};
    std::size_t count_ = 0;
};

thread_local KeptScratch keptScratch;

} // namespace
#endif

void* allocateScratch(std::size_t bytes)
{
#ifdef DORVIN_HAVE_MMAP
    if (bytes > std::size_t(-1) / 2)
        throw std::bad_alloc();
    if (bytes >= hugeScratchBytes) {
        const std::size_t length = hugeLength(bytes);
        if (void* kept = keptScratch.take(length))
            return kept;
        return mapHugeAligned(length);
    }
#endif
    return ::operator new(bytes);
}

void freeScratch(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#ifdef DORVIN_HAVE_MMAP
    if (bytes >= hugeScratchBytes) {
        const std::size_t length = hugeLength(bytes);
        if (!keptScratch.keep(block, length))
            ::munmap(block, length);
        return;
    }
#endif
    ::operator delete(block);
}

} // namespace dorvin::os
