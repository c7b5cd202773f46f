// Shared by the benchmark programs: the clock, `cat` of data files as the
// page-cache baseline, peak resident memory, a scratch directory under /tmp
// and a session opened on a configuration file the way OPEN opens it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/session_setup.h"

// Monotonic seconds.
double now();
// Seconds `cat PATHS > /dev/null` takes; -1 when it fails.
double timeCat(const std::vector<std::string>& paths);
// Peak resident size in KiB of RUSAGE_SELF or RUSAGE_CHILDREN.
long maxRssKiB(int who);
// Makes /tmp/<prefix>-XXXXXX; "" (after perror) when it cannot.
std::string makeBenchDir(const char* prefix);

// Opens the configuration file into s as OPEN does, with read-ahead windows
// of the default size. Returns 0, or 1 when the file cannot be read or a data
// file does not open; closeHarnessSession releases the session either way.
int openBenchSession(HarnessSession& s, const std::string& config, uint32_t blockSize);

// Starts a child process that runs the interpreter in dir on the commands,
// its standard output going to logPath, and ends with its exit status.
// Returns its pid, or -1 when it could not be started.
pid_t startInterpreter(const std::string& dir, const std::string& commands,
                       const std::string& logPath);
