// The one-line failure every builder step reports to the command line.
#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

class CPackFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's reason for the file call that just failed, as " (reason)",
// so that a refused open says whether the file is missing or denied.
inline std::string SystemReason()
{
    return errno != 0 ? std::string(" (") + std::strerror(errno) + ")" : std::string();
}

// A host path as UTF-8 text, for messages and name conversion.
inline std::string Utf8Path(const std::filesystem::path& path)
{
    std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}
