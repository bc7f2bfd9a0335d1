#pragma once
// The one exception type of the storage layer and of everything built on it.
// Its message is the exact text the user sees in the error report.
#include <stdexcept>
#include <string>

namespace dorvin {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A file that could not be opened, read, created or written. The message names the file;
// the stage lets a caller that words its own message tell the cases apart.
class FileError : public Error {
public:
    enum class Stage { Open, Read, Create, Write };
    FileError(Stage stage, const std::string& message) : Error(message), stage_(stage) {}
    Stage stage() const { return stage_; }

private:
    Stage stage_;
};

} // namespace dorvin

namespace dorvin {

// Thrown by a before-notification handler to cancel its operation without any message
// (a deletion the user did not confirm, an insertion the add gate refuses).
// Deliberately not a std::exception, so that error reports never show it.
struct Abort {};

} // namespace dorvin
