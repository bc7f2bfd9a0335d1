#pragma once
// Whole-file reading and safe replacing for element base files. Paths are UTF-8.
#include "storage/byte_sink.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace dorvin::files {

// A filesystem path from UTF-8 text, so that Cyrillic names work on every platform.
std::filesystem::path fromUtf8(const std::string& utf8);

// The whole file; throws dorvin::Error naming the file when it cannot be read.
std::vector<std::uint8_t> readWholeFile(const std::string& utf8Path);

// True when both files can be read and hold the same bytes.
bool sameContents(const std::string& utf8PathA, const std::string& utf8PathB);

// Writes the bytes to a temporary file beside the target, flushes and closes it, and
// only then renames it over the target. On any failure the temporary file is removed,
// an existing target is left as it was, and dorvin::Error is thrown.
void replaceFile(const std::string& utf8Path, std::span<const std::uint8_t> bytes);
// The same, for contents that `produce` hands to the sink piece by piece; when it throws,
// the temporary file is removed and the exception passed on.
void replaceFileStreamed(const std::string& utf8Path, const std::function<void(const ByteSink&)>& produce);

} // namespace dorvin::files
