// Writing side of the packed archive: every file below a product folder as
// a header (size, GBK name, GBK folder with trailing backslash) and its bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

struct ArchiveFile {
    std::filesystem::path host;  // where the builder reads it
    std::string folder;          // GBK, backslashes, trailing backslash or empty
    std::string name;            // GBK
    uint32_t size = 0;
};

// Lists the files below root in a stable order (folder by folder, names
// sorted) and checks each one as the installer will: a name GBK can hold,
// a header within 256 bytes, a path that stays in the install folder, and
// an archive under 4 GiB. Throws CPackFailure naming the file. Empty
// folders cannot be carried by the format and are left out.
std::vector<ArchiveFile> CollectFiles(const std::filesystem::path& root);

// Archive length of the collected files.
uint64_t ArchiveLength(const std::vector<ArchiveFile>& files);

// The archive of the listed files, laid out in advance: any part of it can
// be read on its own, on several threads at once, straight from the files.
// The files must outlive the layout.
class CArchiveLayout {
public:
    explicit CArchiveLayout(const std::vector<ArchiveFile>& files);
    uint64_t Length() const { return m_starts.back(); }
    // Puts the archive's bytes from offset on into out, which must lie
    // within the archive. Throws CPackFailure when a file cannot be read or
    // has changed size since it was listed.
    void Fill(uint64_t offset, std::span<uint8_t> out) const;

private:
    void ReadPart(const ArchiveFile& file, uint64_t at, std::span<uint8_t> out, size_t count, bool last) const;

    const std::vector<ArchiveFile>& m_files;
    std::vector<uint64_t> m_starts;  // where each entry begins; last, the length
};

// The whole archive through sink(data, size), a buffer at a time.
void WriteArchive(const std::vector<ArchiveFile>& files, const std::function<void(const void*, size_t)>& sink);
