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

} // namespace dorvin

namespace dorvin {

// Thrown by a before-notification handler to cancel its operation without any message
// (a deletion the user did not confirm, an insertion the add gate refuses).
// Deliberately not a std::exception, so that error reports never show it.
struct Abort {};

} // namespace dorvin
