#include "storage/data_module_files.h"

#include "storage/error.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <system_error>

namespace dorvin::files {

std::filesystem::path fromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::vector<std::uint8_t> readWholeFile(const std::string& utf8Path) {
    const std::filesystem::path p = fromUtf8(utf8Path);
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec))
        throw Error("Cannot open file \"" + utf8Path + "\": it is a folder");
    std::ifstream in(p, std::ios::binary);
    if (!in) throw Error("Cannot open file \"" + utf8Path + "\"");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) throw Error("Cannot read file \"" + utf8Path + "\"");
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw Error("Cannot read file \"" + utf8Path + "\"");
    return bytes;
}

bool sameContents(const std::string& utf8PathA, const std::string& utf8PathB) {
    std::error_code ec;
    const auto a = fromUtf8(utf8PathA), b = fromUtf8(utf8PathB);
    const auto sizeA = std::filesystem::file_size(a, ec);
    if (ec) return false;
    const auto sizeB = std::filesystem::file_size(b, ec);
    if (ec || sizeA != sizeB) return false;
    std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
    if (!inA || !inB) return false;
    std::vector<char> bufA(1 << 16), bufB(1 << 16);
    for (;;) {
        inA.read(bufA.data(), static_cast<std::streamsize>(bufA.size()));
        inB.read(bufB.data(), static_cast<std::streamsize>(bufB.size()));
        const std::streamsize n = inA.gcount();
        if (n != inB.gcount() || !std::equal(bufA.begin(), bufA.begin() + n, bufB.begin())) return false;
        if (n == 0 || inA.eof() || inB.eof()) return inA.eof() == inB.eof();
    }
}

namespace {

std::filesystem::path temporaryBeside(const std::filesystem::path& target) {
    static std::mt19937_64 gen{std::random_device{}()};
    static const char* hex = "0123456789abcdef";
    std::string suffix = ".";
    std::uint64_t r = gen();
    for (int i = 0; i < 12; ++i, r >>= 4) suffix += hex[r & 15];
    suffix += ".tmp";
    std::filesystem::path tmp = target;
    tmp += std::filesystem::path(suffix);
    return tmp;
}

} // namespace

void replaceFile(const std::string& utf8Path, std::span<const std::uint8_t> bytes) {
    replaceFileStreamed(utf8Path, [bytes](const ByteSink& sink) { sink(bytes); });
}

void replaceFileStreamed(const std::string& utf8Path, const std::function<void(const ByteSink&)>& produce) {
    const std::filesystem::path target = fromUtf8(utf8Path);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        throw Error("Cannot create file \"" + utf8Path + "\": it is a folder");
    const std::filesystem::path tmp = temporaryBeside(target);
    bool written = false;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) throw Error("Cannot create file \"" + utf8Path + "\"");
        try {
            produce([&out](std::span<const std::uint8_t> piece) {
                out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
            });
        } catch (...) {
            out.close();
            std::filesystem::remove(tmp, ec);
            throw;
        }
        out.flush();
        written = static_cast<bool>(out);
        out.close();
        written = written && !out.fail();
    }
    if (!written) {
        std::filesystem::remove(tmp, ec);
        throw Error("Cannot write file \"" + utf8Path + "\"");
    }
    std::filesystem::rename(tmp, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        throw Error("Cannot write file \"" + utf8Path + "\": " + ec.message());
    }
}

} // namespace dorvin::files
