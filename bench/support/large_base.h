#pragma once
// Large element bases for benchmarks: every built-in type, the elements spread over them
// and five parameter rows per element with all 96 values given. 20,000 elements make a
// base of about 82 MB, 100,000 one of about 412 MB.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

struct LargeBase {
    int elements = 0;
    std::filesystem::path file; // the base file
    std::uint64_t fileSize = 0;
    std::vector<std::uint8_t> paramsPacket; // the packet of the parameter table
    std::vector<std::uint8_t> elemsPacket;
};

// Writes a base of `elements` elements to `file` and returns it with its table packets.
LargeBase writeLargeBase(int elements, const std::filesystem::path& file);

// The 20,000-element base in the temporary folder with its packets, written once per
// process.
const LargeBase& largeBase();

// Keeps a value from being optimised away.
void consume(const void* p, std::size_t n);

} // namespace bench
