#include "storage/file_io.h"

#include "storage/error.h"
#include "storage/os/output_file.h"

#include <algorithm>
#include <random>
#include <system_error>

namespace dorvin::files {

namespace {

std::string shown(const std::filesystem::path& path)
{
    const auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

[[noreturn]] void fail(FileError::Stage stage, const std::string& text)
{
    throw FileError(stage, text);
}

std::filesystem::path temporaryBeside(const std::filesystem::path& target)
{
    static std::mt19937_64 gen{std::random_device{}()};
    static const char* hex = "0123456789abcdef";
    std::string suffix = ".";
    std::uint64_t r = gen();
    for (int i = 0; i < 12; ++i, r >>= 4)
        suffix += hex[r & 15];
    suffix += ".tmp";
    std::filesystem::path tmp = target;
    tmp += std::filesystem::path(suffix);
    return tmp;
}

} // namespace

std::filesystem::path fromUtf8(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

os::FileBytes readFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        fail(FileError::Stage::Open, "Не удаётся открыть файл \"" + shown(path) + "\": это папка");
    return os::FileBytes(path);
}

os::FileBytes readFile(const std::string& utf8Path)
{
    return readFile(fromUtf8(utf8Path));
}

std::unique_ptr<ByteInput> openInput(const std::filesystem::path& path, std::size_t chunk)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        fail(FileError::Stage::Open, "Не удаётся открыть файл \"" + shown(path) + "\": это папка");
    auto file = std::make_shared<os::InputFile>(path);
    const std::uint64_t size = file->size();
    const std::string name = shown(path);
    // The input never asks for more than the size at opening, so a read that gives
    // nothing means the file was shortened meanwhile.
    return std::make_unique<ByteInput>(
        [file, name](std::uint8_t* to, std::size_t n) {
            const std::size_t got = file->read(to, n);
            if (got == 0 && n > 0)
                fail(FileError::Stage::Read,
                     "Не удаётся прочитать файл \"" + name + "\": он стал короче, пока его читали");
            return got;
        },
        size, chunk);
}

void replaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    replaceFileStreamed(path, [bytes](const ByteSink& sink) { sink(bytes); });
}

void replaceFile(const std::string& utf8Path, std::span<const std::uint8_t> bytes)
{
    replaceFile(fromUtf8(utf8Path), bytes);
}

void replaceFileStreamed(const std::filesystem::path& target,
                         const std::function<void(const ByteSink&)>& produce)
{
    const std::string name = shown(target);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        fail(FileError::Stage::Create, "Не удаётся создать файл \"" + name + "\": это папка");
    const std::filesystem::path tmp = temporaryBeside(target);
    bool written = false;
    os::ReplacedFile old(target);
    {
        os::OutputFile out(tmp, std::filesystem::exists(target, ec));
        if (!out.isOpen())
            fail(FileError::Stage::Create, "Не удаётся создать файл \"" + name + "\"");
        try {
            produce([&out](std::span<const std::uint8_t> piece) { out.write(piece); });
        } catch (...) {
            out.close();
            std::filesystem::remove(tmp, ec);
            throw;
        }
        written = out.close();
    }
    if (!written) {
        std::filesystem::remove(tmp, ec);
        fail(FileError::Stage::Write, "Не удаётся записать файл \"" + name + "\"");
    }
    std::filesystem::rename(tmp, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        fail(FileError::Stage::Write, "Не удаётся записать файл \"" + name + "\": " + ec.message());
    }
    old.letGo();
}

void replaceFileStreamed(const std::string& utf8Path, const std::function<void(const ByteSink&)>& produce)
{
    replaceFileStreamed(fromUtf8(utf8Path), produce);
}

bool sameContents(const std::string& utf8PathA, const std::string& utf8PathB)
{
    try {
        const os::FileBytes a = readFile(utf8PathA), b = readFile(utf8PathB);
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    } catch (const Error&) {
        return false;
    }
}

} // namespace dorvin::files
