// A file of the product, read at any position without a stream's buffer in
// between: one system call per read, and several threads can each read
// their own part of the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class CHostFile {
public:
    CHostFile() = default;
    ~CHostFile();
    CHostFile(const CHostFile&) = delete;
    CHostFile& operator=(const CHostFile&) = delete;

    // False when the file cannot be opened for reading.
    bool Open(const std::filesystem::path& path);
    // Reads at most size bytes from offset on, and at least enough of them
    // unless the file ends first: a read that brings fewer is taken as the
    // end of the file only once enough have come, so that asking for one
    // byte more than is expected finds out in the same call whether there
    // is more. -1 when a read fails.
    int64_t ReadAt(uint64_t offset, void* data, size_t size, size_t enough);
    // Why the last open or read failed, as " (reason)", or "".
    static std::string Reason();

private:
    intptr_t m_handle = -1;
};
