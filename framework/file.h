// Buffered-free binary file and line-oriented text file over the platform's
// file handles. Paths are ANSI (GBK) text in Windows form on every platform.
#pragma once

#include "framework/status.h"

#include <cstdint>
#include <string>
#include <vector>

class CFile {
public:
    // Open flags; values as the programs have always used them.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        typeBinary = 0x8000,
        // Creates the file only when there is none yet: the open fails on an
        // existing one, which tells a new file from a replaced one.
        modeCreateNew = 0x100000,
        // Every write goes to the end of the file, made if missing, as one
        // piece even while another process appends to the same file.
        modeAppend = 0x200000,
        // A file deleted soon after it is written (the decoded archive):
        // Windows keeps it in memory as long as it can instead of writing it
        // back. Nothing changes on other systems.
        typeTemporary = 0x400000,
        // Read from start to end once: the system reads further ahead.
        typeSequential = 0x800000,
        // Read once, range by range, each range then forgotten (Forget).
        // Where the system frees the room of a range, the file is opened
        // for writing too, which that takes; elsewhere nothing changes.
        typeReadOnce = 0x1000000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Fails when the file cannot be opened; modeCreate truncates an existing file.
    Status Open(const std::string& path, unsigned flags);
    bool IsOpen() const { return m_hFile != kInvalid; }
    // What one read brought: a failed read has a failed status and no
    // bytes; fewer bytes than asked is a short read (a pipe, a network
    // file), none the end of the file.
    struct ReadResult {
        uint32_t bytes = 0;
        Status status;
    };
    [[nodiscard]] ReadResult Read(void* buffer, uint32_t count) { return ReadSome(kHere, buffer, count); }
    // A read at offset from the beginning, as Read otherwise. Where the
    // file's position is left afterwards is not said.
    [[nodiscard]] ReadResult ReadAt(uint64_t offset, void* buffer, uint32_t count)
    {
        return ReadSome(offset, buffer, count);
    }
    // Fails unless every byte was written.
    Status Write(const void* buffer, uint32_t count);
    // New position from the beginning, or -1 on an error.
    int64_t Seek(int64_t offset, SeekPosition from);
    uint64_t GetLength() const;
    // The path it was opened with; "" before that.
    const std::string& Path() const { return m_path; }
    Status SetLength(uint64_t length);
    // Waits until what was written is on the disk.
    Status Flush();
    // Says that the bytes of [offset, offset + count) are never read again:
    // where the system can, the room of the whole pages among them is freed
    // now, not only when the file goes. The length stays; what a later read
    // of those pages gives is not said. A hint, on a file opened with
    // typeReadOnce: where the system has no such call, nothing changes.
    void Forget(uint64_t offset, uint64_t count);
    virtual void Close();

private:
    static constexpr intptr_t kInvalid = -1;
    static constexpr uint64_t kHere = UINT64_MAX;  // the file's position
    ReadResult ReadSome(uint64_t offset, void* buffer, uint32_t count);
    intptr_t m_hFile = kInvalid;
    std::string m_path;  // of the open file, for the failures it reports
};

// Text mode on top of CFile: ReadString stops at LF and drops a CR before it;
// WriteString writes every LF as CR LF.
class CStdioFile : public CFile {
public:
    // False at the end of the file, and at a failed read: a line is never
    // taken as whole when the read after it failed.
    bool ReadString(std::string& line);
    [[nodiscard]] bool WriteString(const std::string& text);
    void Close() override;

private:
    std::string m_buffer;
    size_t m_pos = 0;
    bool m_eof = false;
};

// Enumerates the entries of one folder that match a pattern ("dir\*.*", or a
// single name). Wildcards '*' and '?' apply to the last path component.
class CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // True when at least one entry matches; the first one is then current.
    bool FindFile(const std::string& pattern);
    // Moves to the next entry; false when there is none.
    bool FindNext();
    const std::string& GetFileName() const { return m_name; }
    bool IsDirectory() const { return m_isDirectory; }
    // A junction or symbolic link: removed as a link, never walked into.
    bool IsReparsePoint() const { return m_isLink; }
    bool IsDots() const { return m_name == "." || m_name == ".."; }
    void Close();

private:
    struct Entry {
        std::string name;
        bool isDirectory;
        bool isLink;
    };
    intptr_t m_hFind;
    std::vector<Entry> m_entries;  // the POSIX implementation lists the folder at once
    size_t m_next = 0;
    std::string m_name;
    bool m_isDirectory = false;
    bool m_isLink = false;
};

// A temporary file that is removed when its owner goes, on every path out,
// or earlier with Remove(). Removal is best effort: what stays lies in a
// temporary folder that is removed as a whole later.
class CTempFile {
public:
    CTempFile() = default;
    explicit CTempFile(std::string path) : m_path(std::move(path)) {}
    ~CTempFile() { Remove(); }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    // Takes over path; a file it held before is removed first.
    void Assign(std::string path)
    {
        Remove();
        m_path = std::move(path);
    }
    void Remove();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Reads exactly count bytes, over short reads; fails with EndOfFile when the
// file ends first, or with the failed read's own error.
Status ReadFully(CFile& file, void* buffer, uint32_t count);
// The same at offset from the beginning of the file.
Status ReadFullyAt(CFile& file, uint64_t offset, void* buffer, uint32_t count);

// Plain file-system operations; a failure names the call, the path and the
// system's error code.
Status CreateFolder(const std::string& path);
Status RemoveFolder(const std::string& path);
Status RemoveFile(const std::string& path);
Status CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
Status MoveFileTo(const std::string& from, const std::string& to);
// Renames from over to, replacing a file of that name, and waits until the
// rename is on the disk: the reader sees the old file or the new one whole.
Status ReplaceFileWith(const std::string& from, const std::string& to);
// Clears the read-only attribute of a file.
Status MakeWritable(const std::string& path);
// True when the path is a junction or symbolic link (to a file or a folder).
bool IsLink(const std::string& path);
// True when the path names a folder (a trailing backslash is allowed).
bool IsFolder(const std::string& path);

// Full path of the running program, or "" when it cannot be found.
std::string GetModulePath();
// The user's temporary folder with a trailing backslash.
std::string GetTempFolder();
