#include "support/child_process.h"

#include <chrono>
#include <filesystem>

#if defined(__unix__) || defined(__APPLE__)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#define BENCH_HAVE_SPAWN 1
extern char** environ;
#endif

namespace bench {

namespace {
std::string& programPath()
{
    static std::string path;
    return path;
}
} // namespace

void setProgramPath(const char* argv0)
{
    programPath() = argv0 ? argv0 : "";
}

std::string programFolder()
{
    std::error_code ec;
    const auto p = std::filesystem::absolute(programPath(), ec);
    return p.parent_path().string();
}

bool processRunsAvailable()
{
#ifdef BENCH_HAVE_SPAWN
    return true;
#else
    return false;
#endif
}

ProcessRun runProcess(const std::vector<std::string>& argv)
{
    ProcessRun run;
#ifdef BENCH_HAVE_SPAWN
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return run;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
#ifdef __APPLE__
    run.peakBytes = static_cast<double>(usage.ru_maxrss);
#else
    run.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
#endif
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
#else
    (void)argv;
#endif
    return run;
}

} // namespace bench
