#pragma once
// Reading whole files and replacing files safely: the one way storage and its tools touch
// files. Paths given as std::string are UTF-8, so Cyrillic names work on every platform.
// Failures throw dorvin::FileError naming the file.
#include "storage/byte_input.h"
#include "storage/byte_sink.h"
#include "storage/os/mapped_memory.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace dorvin::files {

std::filesystem::path fromUtf8(const std::string& utf8);

// The whole file, read into memory of its own (large files into huge pages where the
// system has them). A file shortened while it is read is reported as unreadable.
os::FileBytes readFile(const std::filesystem::path& path);
os::FileBytes readFile(const std::string& utf8Path);

// The file as an input of its size at opening, read piece by piece as it is consumed, so
// its bytes are never held whole. A file shortened while it is read makes the reading
// throw dorvin::FileError (stage Read) naming the file.
std::unique_ptr<ByteInput> openInput(const std::filesystem::path& path,
                                     std::size_t chunk = ByteInput::defaultChunk);

// True when both files can be read and hold the same bytes.
bool sameContents(const std::string& utf8PathA, const std::string& utf8PathB);

// Writes the bytes to a temporary file beside the target, closes it, and only then
// renames it over the target. On any failure the temporary file is removed, an existing
// target is left as it was, and dorvin::FileError is thrown.
void replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void replaceFile(const std::string& utf8Path, std::span<const std::uint8_t> bytes);
// The same, for contents that `produce` hands to the sink piece by piece; when it throws,
// the temporary file is removed and the exception passed on.
void replaceFileStreamed(const std::filesystem::path& path,
                         const std::function<void(const ByteSink&)>& produce);
void replaceFileStreamed(const std::string& utf8Path, const std::function<void(const ByteSink&)>& produce);

} // namespace dorvin::files
