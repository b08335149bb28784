// What the unit tests need of the machine they run on: a scratch folder in
// Windows form on either platform, and a way to name host files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Called once before the tests: on POSIX it gives drive C: a sandbox folder.
void PrepareTestMachine();
// Removes what PrepareTestMachine made.
void CleanUpTestMachine();
// A new empty folder (Windows form, trailing backslash) for one test.
std::string NewScratchFolder();
// Removes every scratch folder made so far.
void RemoveScratchFolders();
// The Windows-form path of a file named by the host (Linux) path.
std::string FromHostPath(const std::string& hostPath);

// The host's own path (for std::filesystem) of a Windows-form path.
std::filesystem::path HostPathOf(const std::string& windowsPath);

// Differs between test processes running at the same time.
unsigned ScratchSeed();

// Windows-form path of a program of the win64 build ("installer/tessaramond.exe"),
// or "" when the run names no build or the program is not there.
std::string BuiltProgram(const std::string& relative);

// Small file helpers over the framework.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);
// Makes a file read-only (true) or writable again (false).
void SetReadOnly(const std::string& path, bool readOnly);
// A folder link (symbolic link) at link to the folder target; false where
// the machine cannot make one.
bool MakeFolderLink(const std::string& link, const std::string& target);

// Holds a file open against deletion for the object's life, as another
// program may: on Windows a handle without delete sharing, in the POSIX
// stand-in the mark it takes for one.
class CHeldOpen {
public:
    explicit CHeldOpen(const std::string& path);
    ~CHeldOpen();
    CHeldOpen(const CHeldOpen&) = delete;
    CHeldOpen& operator=(const CHeldOpen&) = delete;
    bool Holding() const { return m_holding; }

private:
    std::string m_path;
    intptr_t m_handle = 0;
    bool m_holding = false;
};

// A receiver of worker progress messages owned by the test's thread: a
// CNotifyQueue on POSIX, a message-only window on Windows.
// True when a line of the log holds text.
bool LogHolds(const std::vector<std::string>& lines, const std::string& text);

struct PostedMessage {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
};

class CMessageSink {
public:
    CMessageSink();
    ~CMessageSink();
    CMessageSink(const CMessageSink&) = delete;
    CMessageSink& operator=(const CMessageSink&) = delete;
    void* Target() const;
    // Every message posted so far, in order.
    std::vector<PostedMessage> Drain();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
