#pragma once
// Runs a command as the benchmark measures it: pinned to one core, its
// output to a log, timed on the steady clock, its resources read back from
// the kernel when it ends.

#include <string>
#include <vector>

namespace zorv::corpus {

struct RunResult {
    int exitCode = -1;  // the command's exit status; 128 + signal when killed; -1 when it never ran
    double wallSeconds = 0;
    double cpuSeconds = 0;  // user + system, all its threads
    long peakRssKiB = 0;    // the kernel's high-water mark of its resident memory
};

// `cpu` < 0 leaves the affinity alone. Standard input is /dev/null; standard
// output and error are appended to `logPath`. The peak RSS of a command
// started from a process holding much memory would include that process's
// (exec keeps the high-water mark), so call this before loading anything big.
RunResult runCommand(const std::vector<std::string>& argv, int cpu, const std::string& logPath);

}  // namespace zorv::corpus
