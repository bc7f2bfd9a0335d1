#pragma once
// Runs another program to completion and reports its wall time and peak memory, for
// benchmarks of whole processes (a copy by the command-line tool beside `cp`).
#include <string>
#include <vector>

namespace bench {

struct ProcessRun {
    bool ok = false;      // started and exited with status 0
    double seconds = 0;   // wall time from start to exit
    double peakBytes = 0; // its largest resident set; a process started from a large
                          // one counts the starter's as its own, so start it early
};

// False where processes cannot be started and measured from here.
bool processRunsAvailable();
ProcessRun runProcess(const std::vector<std::string>& argv);

// The folder of the running benchmark program, where the other programs are built.
std::string programFolder();
void setProgramPath(const char* argv0);

} // namespace bench
