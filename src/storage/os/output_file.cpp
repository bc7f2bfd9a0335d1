#include "storage/os/output_file.h"

#include <cerrno>
#include <fstream>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <unistd.h>
#define DORVIN_HAVE_POSIX_FILES 1
#endif

namespace dorvin::os {

#ifdef DORVIN_HAVE_POSIX_FILES
struct OutputFile::Handle {
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

OutputFile::OutputFile(const std::filesystem::path& path, bool replacing)
    : handle_(std::make_unique<Handle>()), replacing_(replacing)
{
    handle_->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

bool OutputFile::isOpen() const
{
    return handle_->fd >= 0;
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
    if (failed_ || !isOpen()) {
        failed_ = true;
        return;
    }
    while (!bytes.empty()) {
        const ::ssize_t n = ::write(handle_->fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            return;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        written_ += static_cast<std::uint64_t>(n);
    }
    if (replacing_ && written_ - writtenOut_ >= writeOutBytes)
        writeOutSoFar();
}

void OutputFile::writeOutSoFar()
{
#ifdef SYNC_FILE_RANGE_WRITE
    // Only starts the writing; nothing here waits for the disk. A system that cannot
    // leaves it to the rename, as without this call.
    ::sync_file_range(handle_->fd, static_cast<off_t>(writtenOut_), static_cast<off_t>(written_ - writtenOut_),
                      SYNC_FILE_RANGE_WRITE);
#endif
    writtenOut_ = written_;
}

bool OutputFile::close()
{
    if (!isOpen())
        return false;
    const int fd = handle_->fd;
    handle_->fd = -1;
    return ::close(fd) == 0 && !failed_;
}
#else
struct OutputFile::Handle {
    std::ofstream out;
};

OutputFile::OutputFile(const std::filesystem::path& path, bool replacing)
    : handle_(std::make_unique<Handle>()), replacing_(replacing)
{
    // The pieces handed over are large; the stream's own buffer would only copy them.
    handle_->out.rdbuf()->pubsetbuf(nullptr, 0);
    handle_->out.open(path, std::ios::binary | std::ios::trunc);
}

bool OutputFile::isOpen() const
{
    return handle_->out.is_open();
}

void OutputFile::write(std::span<const std::uint8_t> bytes)
{
    if (failed_ || !handle_->out.write(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<std::streamsize>(bytes.size())))
        failed_ = true;
    written_ += bytes.size();
    if (replacing_ && written_ - writtenOut_ >= writeOutBytes)
        writeOutSoFar();
}

void OutputFile::writeOutSoFar()
{
    writtenOut_ = written_;
}

bool OutputFile::close()
{
    if (!isOpen())
        return false;
    handle_->out.flush();
    const bool ok = static_cast<bool>(handle_->out);
    handle_->out.close();
    return ok && !handle_->out.fail() && !failed_;
}
#endif

OutputFile::~OutputFile() = default;

#ifdef DORVIN_HAVE_POSIX_FILES
ReplacedFile::ReplacedFile(const std::filesystem::path& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) // a pipe must not block
{}

ReplacedFile::~ReplacedFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ReplacedFile::letGo() noexcept
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (...) {
        ::close(fd); // no thread to spare: given back here
    }
}
#else
// Elsewhere a file held open cannot be renamed over.
ReplacedFile::ReplacedFile(const std::filesystem::path&) {}
ReplacedFile::~ReplacedFile() = default;
void ReplacedFile::letGo() noexcept {}
#endif

} // namespace dorvin::os
