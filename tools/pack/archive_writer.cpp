#include "tools/pack/archive_writer.h"

#include "common/path_rules.h"
#include "format/archive.h"
#include "tools/pack/gbk.h"
#include "tools/pack/pack_error.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <fstream>
#include <future>
#include <thread>

namespace fs = std::filesystem;

namespace {
std::string GbkName(const fs::path& host)
{
    const std::string utf8 = Utf8Path(host.filename());
    // ASCII is the same in both; most products' names are, and a conversion
    // costs more than the rest of listing a file.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return utf8;
    std::string gbk;
    if (!Utf8ToGbk(utf8, gbk))
        throw CPackFailure(Utf8Path(host) + ": the name has characters that GBK cannot hold");
    return gbk;
}

CPackEntry EntryOf(const ArchiveFile& file)
{
    CPackEntry entry;
    entry.m_nSize = file.size;
    entry.m_strName = file.name;
    entry.m_strFolder = file.folder;
    return entry;
}

void CheckFile(const ArchiveFile& file)
{
    const std::string where = Utf8Path(file.host);
    if (!IsSafeRelativePath(file.folder, file.name))
        throw CPackFailure(where + ": the installer would refuse this name");
    if (!IsScramblable(file.name) || !IsScramblable(file.folder))
        throw CPackFailure(where + ": the name holds a control character");
    if (EntryHeaderBytes(EntryOf(file)).size() > kMaxRecordSize)
        throw CPackFailure(where + ": folder and name are too long (the entry header exceeds 256 bytes)");
}

// Listing a large product is mostly the system's work (a stat per file, a
// read per folder): sub-folders are listed on other threads while this one
// goes on, as long as a core is free for one, and their lists are put back
// in order.
class CCollector {
public:
    CCollector() : m_free(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())) - 1) {}

    void Collect(const fs::path& dir, const std::string& folder, std::vector<ArchiveFile>& out)
    {
        std::vector<fs::directory_entry> entries;
        for (const auto& e : fs::directory_iterator(dir))
            entries.push_back(e);
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
        // Files of a folder first, then its sub-folders: the installer creates
        // each folder as it meets it.
        std::vector<fs::path> subfolders;
        for (const auto& e : entries) {
            if (e.is_directory()) {
                subfolders.push_back(e.path());
                continue;
            }
            if (!e.is_regular_file())
                throw CPackFailure(Utf8Path(e.path()) + ": not a regular file");
            const uintmax_t size = e.file_size();
            if (size > UINT32_MAX)
                throw CPackFailure(Utf8Path(e.path()) + ": files of 4 GiB or more cannot be packed");
            ArchiveFile file{e.path(), folder, GbkName(e.path()), static_cast<uint32_t>(size)};
            CheckFile(file);
            out.push_back(std::move(file));
        }
        // Each sub-folder's list, on a thread of its own while one is free.
        std::vector<std::vector<ArchiveFile>> lists(subfolders.size());
        std::vector<std::exception_ptr> failures(subfolders.size());
        std::vector<std::future<void>> pending(subfolders.size());
        for (size_t i = 0; i < subfolders.size(); ++i) {
            auto list = [this, &subfolders, &lists, &failures, &folder, i] {
                try {
                    Collect(subfolders[i], folder + GbkName(subfolders[i]) + "\\", lists[i]);
                } catch (...) {
                    failures[i] = std::current_exception();
                }
            };
            if (i + 1 < subfolders.size() && m_free.fetch_sub(1) > 0) {
                pending[i] = std::async(std::launch::async, [this, list] {
                    list();
                    ++m_free;
                });
            } else {
                if (i + 1 < subfolders.size())
                    ++m_free;
                list();
            }
        }
        // Every thread is waited for; the first failure in list order is the
        // one reported, as if the folders had been listed one by one.
        for (size_t i = 0; i < subfolders.size(); ++i) {
            if (pending[i].valid())
                pending[i].get();
            if (failures[i])
                std::rethrow_exception(failures[i]);
            out.insert(out.end(), std::make_move_iterator(lists[i].begin()), std::make_move_iterator(lists[i].end()));
        }
    }

private:
    std::atomic<int> m_free;
};
}  // namespace

std::vector<ArchiveFile> CollectFiles(const fs::path& root)
{
    std::error_code error;
    if (!fs::is_directory(root, error))
        throw CPackFailure(Utf8Path(root) + ": not a folder");
    std::vector<ArchiveFile> files;
    try {
        CCollector().Collect(root, "", files);
    } catch (const fs::filesystem_error& e) {
        throw CPackFailure(Utf8Path(e.path1()) + ": cannot be read");
    }
    uint64_t length = ArchiveLength(files);
    if (length >= (uint64_t{1} << 32))
        throw CPackFailure(Utf8Path(root) + ": the files come to 4 GiB or more, more than one archive can hold");
    return files;
}

uint64_t ArchiveLength(const std::vector<ArchiveFile>& files)
{
    uint64_t total = 0;
    for (const auto& f : files)
        total += EntryLead(EntryOf(f)).size() + f.size;
    return total;
}

void WriteArchive(const std::vector<ArchiveFile>& files, const ArchiveSpace& space, const ArchiveCommit& commit)
{
    auto put = [&](const char* data, size_t size) {
        while (size > 0) {
            const std::span<uint8_t> room = space();
            const size_t n = std::min(size, room.size());
            std::memcpy(room.data(), data, n);
            commit(n);
            data += n;
            size -= n;
        }
    };
    for (const auto& file : files) {
        const std::string lead = EntryLead(EntryOf(file));
        put(lead.data(), lead.size());
        std::ifstream in(file.host, std::ios::binary);
        if (!in)
            throw CPackFailure(Utf8Path(file.host) + ": cannot be opened" + SystemReason());
        // The file's bytes go straight into the room the sink offers. The
        // last read asks for one byte more than is left: getting it means
        // the file grew, and no read of its own is needed to find that out.
        uint64_t left = file.size;
        for (;;) {
            const std::span<uint8_t> room = space();
            const uint64_t want = std::min<uint64_t>(left + 1, room.size());
            in.read(reinterpret_cast<char*>(room.data()), static_cast<std::streamsize>(want));
            const auto got = static_cast<uint64_t>(in.gcount());
            if (got > left)
                throw CPackFailure(Utf8Path(file.host) + ": grew while packing");
            if (got < want && got < left)
                throw CPackFailure(Utf8Path(file.host) + ": changed or could not be read while packing");
            if (got > 0)
                commit(static_cast<size_t>(got));
            left -= got;
            if (got < want)
                break;  // the end of the file, where it was listed
        }
    }
}

void WriteArchive(const std::vector<ArchiveFile>& files, const std::function<void(const void*, size_t)>& sink)
{
    std::vector<uint8_t> buffer(1 << 20);
    WriteArchive(
        files, [&] { return std::span<uint8_t>(buffer); }, [&](size_t n) { sink(buffer.data(), n); });
}
