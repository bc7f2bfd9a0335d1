#pragma once
// Running another program that lies beside this one, with arguments passed as they are
// (no shell). The commands that draw need the toolkit; they live in a program of their
// own, so that the data commands start without loading it.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cbbtool {

// The folder this program was started from, found from the system where it can tell,
// otherwise from argv[0].
std::filesystem::path ownFolder(const char* argv0);

// Runs `program` with `args` and waits for it: its exit status, or nothing when it could
// not be started.
std::optional<int> runProgram(const std::filesystem::path& program, const std::vector<std::string>& args);

} // namespace cbbtool
