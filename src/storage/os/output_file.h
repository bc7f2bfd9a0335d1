#pragma once
// A file written front to back, for replacing a file through a temporary one.
//
// Renaming a new file over an existing one makes some file systems write all of the new
// file out before the rename returns (so that a crash cannot leave an empty file where
// the old one was). For a base of hundreds of megabytes that wait was longer than the
// encoding. Told that it will replace a file, this one asks the system to start writing
// each few megabytes out as soon as they are handed over, so the disk works while the
// rest is produced and the rename finds little left to do.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace dorvin::os {

class OutputFile {
public:
    // How much is handed over before the system is asked to write it out.
    static constexpr std::size_t writeOutBytes = std::size_t(8) << 20;

    // Creates the file or empties it. `replacing`: it is renamed over an existing file once
    // complete. Check isOpen().
    OutputFile(const std::filesystem::path& path, bool replacing);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const;
    // After a failed write, later ones do nothing and close() reports it.
    void write(std::span<const std::uint8_t> bytes);
    // Closes the file; false when any write or the closing failed.
    bool close();

private:
    void writeOutSoFar();

    struct Handle;
    std::unique_ptr<Handle> handle_;
    bool replacing_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t writtenOut_ = 0; // bytes the system was asked to write out
};

// The file a replacement renames over. Giving back the blocks of a file that is gone
// waits for the disk on some systems (those that tell it which blocks are free at once):
// for a base of hundreds of megabytes, longer than writing the new one. Held open across
// the rename, the old file goes only when it is let go, on a thread of its own, and the
// save returns meanwhile. Where that cannot be done, the file is left alone.
class ReplacedFile {
public:
    explicit ReplacedFile(const std::filesystem::path& path);
    // Closes it here when it was not let go (the rename failed, or never happened).
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // Called once the new file has taken its name.
    void letGo() noexcept;

private:
    int fd_ = -1;
};

} // namespace dorvin::os
