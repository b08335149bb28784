// A plain-text log of one program run, for support: each line the time (UTC),
// the phase, and what was done or what failed, with the system's error code
// and the path. The user never sees it; the texts of the windows stay theirs.
//
// Each line is appended with the file opened and closed around it, so that
// the runs of one installation (the self-extraction, the working copy, the
// finish run) can write to the same file one after the other, and a crash
// loses no line that was written. Lines written before the file is named
// wait in memory (bounded) and go out when it is.
#pragma once

#include "framework/status.h"

#include <mutex>
#include <string>
#include <vector>

class CLog {
public:
    CLog() = default;
    // A record that holds a log is copied and reset as a whole; the copy
    // writes to the same file.
    CLog(const CLog& other) : m_path(other.Path()), m_pending(other.Pending()) {}
    CLog& operator=(const CLog& other);

    void Open(const std::string& path);
    bool IsOpen() const;
    std::string Path() const;

    void Write(const char* phase, const std::string& text);
    // "FAILED " + the status as Describe() gives it, after what was being done.
    void Failed(const char* phase, const std::string& what, const Status& status);
    // Writes the failure of status, if it is one; returns whether it succeeded.
    bool Check(const char* phase, const std::string& what, const Status& status);

    // The lines as they would be written, for a log that was never opened.
    std::vector<std::string> Pending() const;

private:
    void Append(std::string line);

    mutable std::mutex m_mutex;
    std::string m_path;
    std::vector<std::string> m_pending;
};

// The log of a product's installation and removal in the user's temporary
// folder: "<product>.tmd.log", with characters a file name cannot hold
// replaced; "Tessaramond.tmd.log" when the product has no usable name.
std::string LogPathFor(const std::string& productName);
