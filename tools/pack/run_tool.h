// Running a helper program (the code-signing tool) from the builder: no
// shell, so no argument is ever re-read as a command; its output is kept for
// the message when it fails.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;   // -1 when it ended by a signal or could not be waited for
    std::string output;  // standard output and error together, the last 64 KiB
};

constexpr size_t kToolOutputLimit = 64 * 1024;

// argv[0] is looked up on the PATH. Throws CPackFailure when the program
// cannot be started at all (missing: with what to install).
ToolResult RunTool(const std::vector<std::string>& argv);

// The last lines of a tool's output, at most a few hundred bytes, on one line.
std::string ToolMessage(const std::string& output);
