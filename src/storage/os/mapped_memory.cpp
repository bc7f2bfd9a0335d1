#include "storage/os/mapped_memory.h"

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

std::string shown(const std::filesystem::path& path) {
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

[[noreturn]] void cannotOpen(const std::filesystem::path& path) {
    throw FileError(FileError::Stage::Open, "Не удаётся открыть файл \"" + shown(path) + "\"");
}

[[noreturn]] void cannotRead(const std::filesystem::path& path) {
    throw FileError(FileError::Stage::Read, "Не удаётся прочитать файл \"" + shown(path) + "\"");
}

#ifdef DORVIN_HAVE_MMAP
std::size_t pageSize() {
    static const std::size_t size = [] {
        const long s = ::sysconf(_SC_PAGESIZE);
        return s > 0 ? static_cast<std::size_t>(s) : std::size_t(4096);
    }();
    return size;
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};
#endif

// Reads the whole file through the standard library: where there is no memory map, and
// for files a map cannot show (pipes, special files).
std::uint8_t* readIntoMemory(const std::filesystem::path& path, std::size_t& size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) cannotOpen(path);
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) cannotRead(path);
    in.seekg(0, std::ios::beg);
    size = static_cast<std::size_t>(length);
    if (size == 0) return nullptr;
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    if (!in.read(reinterpret_cast<char*>(buffer.get()), static_cast<std::streamsize>(size))) cannotRead(path);
    return buffer.release();
}

} // namespace

MappedFile::MappedFile(const std::filesystem::path& path) {
#ifdef DORVIN_HAVE_MMAP
    // The file is read into a block of its own rather than mapped: a mapped file that
    // another program shortens while it is being decoded ends this process with SIGBUS,
    // and the open base with it. A short read is reported as an error instead.
    Descriptor d;
    d.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (d.fd < 0) cannotOpen(path);
    struct stat st {};
    if (::fstat(d.fd, &st) != 0) cannotRead(path);
    if (S_ISREG(st.st_mode)) {
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size == 0) return;
        auto* block = static_cast<std::uint8_t*>(allocateBlock(size));
        std::size_t done = 0;
        while (done < size) {
            const ::ssize_t n = ::read(d.fd, block + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                freeBlock(block, size);
                cannotRead(path);
            }
            done += static_cast<std::size_t>(n);
        }
        data_ = block;
        size_ = size;
        block_ = true;
        return;
    }
#endif
    data_ = readIntoMemory(path, size_);
}

MappedFile::~MappedFile() { reset(); }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      block_(std::exchange(other.block_, false)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
        block_ = std::exchange(other.block_, false);
    }
    return *this;
}

void MappedFile::reset() noexcept {
    if (!data_) return;
    if (block_) {
        freeBlock(const_cast<std::uint8_t*>(data_), size_);
        data_ = nullptr;
        block_ = false;
        return;
    }
#ifdef DORVIN_HAVE_MMAP
    if (mapped_) {
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
        data_ = nullptr;
        return;
    }
#endif
    delete[] data_;
    data_ = nullptr;
}

void MappedFile::releaseBefore(std::size_t offset) const {
#ifdef DORVIN_HAVE_MMAP
    if (!mapped_) return;
    if (offset > size_) offset = size_;
    const std::size_t whole = offset / pageSize() * pageSize();
    if (whole > 0) ::madvise(const_cast<std::uint8_t*>(data_), whole, MADV_DONTNEED);
#else
    (void)offset;
#endif
}

void* allocateBlock(std::size_t bytes) {
#ifdef DORVIN_HAVE_MMAP
#ifdef MAP_POPULATE
    if (bytes >= mediumBlockBytes && bytes < largeBlockBytes) {
        // Too small for a huge page: its pages are made present in one call rather than
        // one fault at a time.
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        return p;
    }
#endif
    if (bytes >= largeBlockBytes) {
        // Huge pages need an aligned start: map a little more and give back the ends.
        const std::size_t page = pageSize();
        const std::size_t length = (bytes + page - 1) / page * page;
        const std::size_t slack = largeBlockBytes;
        void* p = ::mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        const auto raw = reinterpret_cast<std::uintptr_t>(p);
        const std::uintptr_t start = (raw + slack - 1) / slack * slack;
        if (start > raw) ::munmap(p, start - raw);
        if (raw + slack > start) ::munmap(reinterpret_cast<void*>(start + length), raw + slack - start);
#ifdef MADV_HUGEPAGE
        ::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
        // Blocks are filled right after they are made: their pages are made present at
        // once (where the system cannot, the first writes fault them in).
        ::madvise(reinterpret_cast<void*>(start), length, MADV_POPULATE_WRITE);
#endif
        return reinterpret_cast<void*>(start);
    }
#endif
    return ::operator new(bytes);
}

void freeBlock(void* block, std::size_t bytes) noexcept {
    if (!block) return;
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

} // namespace dorvin::os
