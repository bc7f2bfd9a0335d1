#pragma once
// A large element base for benchmarks: every built-in type, 20,000 elements spread over
// them and 100,000 parameter rows (five per element) with all 96 values given.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

struct LargeBase {
    std::filesystem::path file;              // the base file, written once per process
    std::vector<std::uint8_t> fileBytes;     // its bytes
    std::vector<std::uint8_t> paramsPacket;  // the packet of the parameter table
    std::vector<std::uint8_t> elemsPacket;
};

const LargeBase& largeBase();

// Keeps a value from being optimised away.
void consume(const void* p, std::size_t n);

} // namespace bench
