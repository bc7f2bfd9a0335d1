// Writes a large element base for timing whole programs against it:
//   make_large_base ELEMENTS FILE
// 20,000 elements give a base of about 82 MB, 100,000 one of about 412 MB.
#include "support/large_base.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <string_view>

int main(int argc, char** argv)
{
    int elements = 0;
    if (argc == 3) {
        const std::string_view n = argv[1];
        auto [p, ec] = std::from_chars(n.data(), n.data() + n.size(), elements);
        if (ec != std::errc() || p != n.data() + n.size())
            elements = 0;
    }
    if (elements <= 0 || elements > 800000) {
        std::cerr << "usage: make_large_base ELEMENTS FILE   (1 to 800000 elements)\n";
        return 2;
    }
    try {
        const auto base = bench::writeLargeBase(elements, argv[2]);
        std::cout << base.file.string() << ": " << base.fileSize << " bytes\n";
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
