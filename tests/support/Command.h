#pragma once
// Runs a command line through the shell as a user would type it, and keeps
// what it printed on standard output and how it ended.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zorv::test {

struct CommandResult {
    int status = -1;  // exit status; -1 when killed by a signal or not run
    std::string out;
};

// `text` as one shell word, whatever it holds except a single quote.
inline std::string shellQuoted(const std::string& text) { return "'" + text + "'"; }

inline CommandResult runCommand(const std::string& line)
{
    CommandResult result;
    std::FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.out.append(buffer, n);
    const int status = pclose(pipe);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

}  // namespace zorv::test
