// Writing side of the packed archive: every file below a product folder as
// a header (size, GBK name, GBK folder with trailing backslash) and its bytes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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

// The archive of a list of files, laid out as the list grows: where every
// entry begins. Any part of it that is laid out can be read on its own, on
// several threads at once, straight from the files, while a listing is
// still adding files behind it.
class CArchiveLayout {
public:
    CArchiveLayout() = default;  // for a listing to add to
    explicit CArchiveLayout(const std::vector<ArchiveFile>& files);  // complete

    // By the listing: files in archive order (taken out of files), false
    // and nothing taken when they would make an archive of 4 GiB or more;
    // then the end. The first failure given to End stays; with one, every
    // Fill from then on throws it, even of what is laid out, so that a
    // listing that failed, or a build called off, stops the build at once.
    [[nodiscard]] bool Add(std::vector<ArchiveFile>& files);
    void End(std::exception_ptr failure);

    // Puts the archive's bytes from offset on into out, waiting until they
    // are laid out, and returns how many it put: fewer than out.size() only
    // at the end of the archive. Throws what stopped the listing where out
    // reaches past it, and CPackFailure when a file cannot be read or has
    // changed size since it was listed.
    size_t Fill(uint64_t offset, std::span<uint8_t> out) const;

    // Wait for the end; throw what stopped the listing.
    uint64_t Length() const;
    const std::deque<ArchiveFile>& Files() const;
    // The length once the listing has ended well, without waiting.
    std::optional<uint64_t> KnownLength() const;

private:
    struct Part {
        const ArchiveFile* file;
        uint64_t start;  // of its entry in the archive
        uint64_t end;
    };
    void WaitForEnd() const;
    static void ReadPart(const ArchiveFile& file, uint64_t at, std::span<uint8_t> out, size_t count, bool last);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_grown;
    mutable std::multiset<uint64_t> m_wanted;  // how far each waiting Fill needs the layout
    std::deque<ArchiveFile> m_files;  // a deque: what is added stays where it is
    std::deque<uint64_t> m_starts{0};  // where each entry begins; last, the length so far
    bool m_ended = false;
    std::exception_ptr m_failure;  // what stopped the listing
};

// A folder listed in the background on every core, its files added to a
// layout in archive order as the listing gets to them, so that they can be
// packed while the rest is listed. The checks are CollectFiles'.
class CFolderListing {
public:
    explicit CFolderListing(const std::filesystem::path& root);
    // Stops the listing where it is.
    ~CFolderListing();
    CFolderListing(const CFolderListing&) = delete;
    CFolderListing& operator=(const CFolderListing&) = delete;
    CArchiveLayout& Layout() { return m_layout; }
    const CArchiveLayout& Layout() const { return m_layout; }

private:
    CArchiveLayout m_layout;
    class CCollector;
    std::unique_ptr<CCollector> m_collector;
};

// The whole archive through sink(data, size), a buffer at a time.
void WriteArchive(const std::vector<ArchiveFile>& files, const std::function<void(const void*, size_t)>& sink);
