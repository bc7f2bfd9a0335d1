#include "sibling_program.h"

#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace cbbtool {

std::filesystem::path ownFolder(const char* argv0)
{
    std::error_code ec;
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    if (n > 0 && n < std::size(buffer))
        return std::filesystem::path(std::wstring(buffer, n)).parent_path();
#else
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty())
        return self.parent_path();
#endif
    if (!argv0 || !*argv0)
        return {};
    const auto started = std::filesystem::absolute(argv0, ec);
    return ec ? std::filesystem::path() : started.parent_path();
}

std::optional<int> runProgram(const std::filesystem::path& program, const std::vector<std::string>& args)
{
#ifdef _WIN32
    std::vector<std::wstring> wide;
    wide.push_back(program.wstring());
    for (const auto& a : args)
        wide.push_back(std::filesystem::path(std::u8string(a.begin(), a.end())).wstring());
    std::vector<const wchar_t*> argv;
    for (const auto& w : wide)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);
    const intptr_t status = _wspawnv(_P_WAIT, wide[0].c_str(), argv.data());
    if (status == -1)
        return std::nullopt;
    return static_cast<int>(status);
#else
    const std::string path = program.string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return std::nullopt;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
#endif
}

} // namespace cbbtool
