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

// Streams the archive into the room space() offers (at least one byte each
// time), read straight from the files; commit(n) takes n bytes of the room
// as written. Throws CPackFailure when a file cannot be read or has changed
// size since it was listed.
using ArchiveSpace = std::function<std::span<uint8_t>()>;
using ArchiveCommit = std::function<void(size_t)>;
void WriteArchive(const std::vector<ArchiveFile>& files, const ArchiveSpace& space, const ArchiveCommit& commit);
// The same through sink(data, size), a buffer at a time.
void WriteArchive(const std::vector<ArchiveFile>& files, const std::function<void(const void*, size_t)>& sink);
