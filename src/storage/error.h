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
