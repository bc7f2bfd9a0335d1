#include "storage/data_module_files.h"

#include "storage/error.h"

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
        throw Error("Не удаётся открыть файл \"" + utf8Path + "\": это папка");
    std::ifstream in(p, std::ios::binary);
    if (!in) throw Error("Не удаётся открыть файл \"" + utf8Path + "\"");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) throw Error("Не удаётся прочитать файл \"" + utf8Path + "\"");
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw Error("Не удаётся прочитать файл \"" + utf8Path + "\"");
    return bytes;
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
        throw Error("Не удаётся создать файл \"" + utf8Path + "\": это папка");
    const std::filesystem::path tmp = temporaryBeside(target);
    bool written = false;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) throw Error("Не удаётся создать файл \"" + utf8Path + "\"");
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
        throw Error("Не удаётся записать файл \"" + utf8Path + "\"");
    }
    std::filesystem::rename(tmp, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        throw Error("Не удаётся записать файл \"" + utf8Path + "\": " + ec.message());
    }
}

} // namespace dorvin::files
