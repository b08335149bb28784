#include "tools/pack/archive_writer.h"

#include "common/path_rules.h"
#include "format/archive.h"
#include "tools/pack/gbk.h"
#include "tools/pack/host_file.h"
#include "tools/pack/pack_error.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
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

}  // namespace

// Listing a large product is mostly the system's work (a stat per file, a
// read per folder). Every core takes folders from one queue, each folder on
// its own (its files, and its sub-folders queued behind it). The queue hands
// out the folder that comes first in the archive, and as soon as a folder's
// files are next in the archive they go to the layout: a folder's files,
// then each sub-folder's, as if listed one by one. The files at the front of
// the archive are then packed while the rest are still being listed.
class CFolderListing::CCollector {
public:
    CCollector(const fs::path& root, CArchiveLayout& layout) : m_root(root), m_layout(layout)
    {
        m_folders.push_back({root, "", {}, {}, {}, {}, false});
        m_waiting.insert({{}, 0});
        m_cursor.push_back({0, kNotAdded});
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i)
            m_threads.emplace_back([this] { Work(); });
    }
    ~CCollector()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    CCollector(const CCollector&) = delete;
    CCollector& operator=(const CCollector&) = delete;

private:
    static constexpr size_t kNotAdded = SIZE_MAX;
    struct Folder {
        fs::path dir;
        std::string parent;  // the GBK folder it is in, with its backslash
        std::vector<uint32_t> place;  // sub-folder numbers from the root (none for it): archive order
        std::vector<ArchiveFile> files;
        std::vector<size_t> subfolders;  // in m_folders, in name order
        std::exception_ptr failure;
        bool listed = false;
    };

    void Work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stop || !m_waiting.empty() || m_busy == 0; });
            if (m_stop || m_waiting.empty())
                return;
            const size_t index = m_waiting.begin()->second;
            m_waiting.erase(m_waiting.begin());
            ++m_busy;
            Folder& folder = m_folders[index];  // a deque: stays where it is
            lock.unlock();
            std::vector<fs::path> subfolders;
            std::string name;
            try {
                name = folder.place.empty() ? std::string() : folder.parent + GbkName(folder.dir) + "\\";
                List(folder.dir, name, folder.files, subfolders);
            } catch (const fs::filesystem_error& e) {
                folder.failure = std::make_exception_ptr(CPackFailure(Utf8Path(e.path1()) + ": cannot be read"));
                subfolders.clear();
            } catch (...) {
                // A folder that failed is not gone into.
                folder.failure = std::current_exception();
                subfolders.clear();
            }
            lock.lock();
            for (fs::path& dir : subfolders) {
                std::vector<uint32_t> place = folder.place;
                place.push_back(static_cast<uint32_t>(folder.subfolders.size()));
                folder.subfolders.push_back(m_folders.size());
                m_waiting.insert({place, m_folders.size()});
                m_folders.push_back({std::move(dir), name, std::move(place), {}, {}, {}, false});
            }
            folder.listed = true;
            --m_busy;
            AddReadyFolders();
            if (!subfolders.empty() || m_busy == 0 || m_stop)
                m_changed.notify_all();
        }
    }

    // Walks the folders in archive order from where it stopped, adding each
    // listed folder's files to the layout, up to the first folder not yet
    // listed. The first failure in archive order ends the listing.
    void AddReadyFolders()
    {
        while (!m_cursor.empty()) {
            auto& [index, next] = m_cursor.back();
            Folder& folder = m_folders[index];
            if (next == kNotAdded) {
                if (!folder.listed)
                    return;
                if (folder.failure)
                    return Finish(folder.failure);
                if (!m_layout.Add(folder.files))
                    return Finish(std::make_exception_ptr(CPackFailure(
                        Utf8Path(m_root) + ": the files come to 4 GiB or more, more than one archive can hold")));
                next = 0;
            }
            if (next < folder.subfolders.size()) {
                const size_t sub = folder.subfolders[next++];
                m_cursor.push_back({sub, kNotAdded});
                continue;
            }
            m_cursor.pop_back();
        }
        Finish(nullptr);
    }

    void Finish(std::exception_ptr failure)
    {
        m_layout.End(std::move(failure));
        m_cursor.clear();
        m_stop = true;
    }

    // One folder's files, sorted by name (compared as the system's strings:
    // a path's own comparison makes a path of every name it compares), and
    // its sub-folders, in the same order.
    static void List(const fs::path& dir, const std::string& folder, std::vector<ArchiveFile>& out,
                     std::vector<fs::path>& subfolders)
    {
        std::vector<std::pair<fs::path::string_type, fs::directory_entry>> named;
        for (const auto& e : fs::directory_iterator(dir))
            named.emplace_back(e.path().filename().native(), e);
        std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [name, e] : named) {
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
    }

    const fs::path m_root;
    CArchiveLayout& m_layout;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Folder> m_folders;  // every folder met so far; the root first
    std::map<std::vector<uint32_t>, size_t> m_waiting;  // folders no core has taken, by their place
    std::vector<std::pair<size_t, size_t>> m_cursor;  // the folders being walked, and each one's next sub-folder
    unsigned m_busy = 0;  // cores listing a folder
    bool m_stop = false;  // the listing has ended, or is called off
    std::vector<std::thread> m_threads;
};
CFolderListing::CFolderListing(const fs::path& root)
{
    std::error_code error;
    if (!fs::is_directory(root, error))
        m_layout.End(std::make_exception_ptr(CPackFailure(Utf8Path(root) + ": not a folder")));
    else
        m_collector = std::make_unique<CCollector>(root, m_layout);
}

CFolderListing::~CFolderListing() = default;

std::vector<ArchiveFile> CollectFiles(const fs::path& root)
{
    const CFolderListing listing(root);
    const std::deque<ArchiveFile>& files = listing.Layout().Files();
    return {files.begin(), files.end()};
}

uint64_t ArchiveLength(const std::vector<ArchiveFile>& files)
{
    return CArchiveLayout(files).Length();
}

CArchiveLayout::CArchiveLayout(const std::vector<ArchiveFile>& files)
{
    std::vector<ArchiveFile> copy = files;
    if (!Add(copy))
        throw CPackFailure("the files come to 4 GiB or more, more than one archive can hold");
    End(nullptr);
}

bool CArchiveLayout::Add(std::vector<ArchiveFile>& files)
{
    // The leads are measured before the lock, which Fill waits on.
    std::vector<uint64_t> sizes;
    sizes.reserve(files.size());
    uint64_t total = 0;
    for (const ArchiveFile& f : files) {
        sizes.push_back(EntryLead(EntryOf(f)).size() + f.size);
        total += sizes.back();
    }
    std::lock_guard lock(m_mutex);
    if (m_ended)
        return true;
    if (m_starts.back() + total >= (uint64_t{1} << 32))
        return false;
    for (size_t i = 0; i < files.size(); ++i) {
        m_starts.push_back(m_starts.back() + sizes[i]);
        m_files.push_back(std::move(files[i]));
    }
    files.clear();
    if (!m_wanted.empty() && *m_wanted.begin() <= m_starts.back())
        m_grown.notify_all();
    return true;
}

void CArchiveLayout::End(std::exception_ptr failure)
{
    std::lock_guard lock(m_mutex);
    if (!m_failure)
        m_failure = std::move(failure);
    m_ended = true;
    m_grown.notify_all();
}

void CArchiveLayout::WaitForEnd() const
{
    std::unique_lock lock(m_mutex);
    m_grown.wait(lock, [this] { return m_ended; });
    if (m_failure)
        std::rethrow_exception(m_failure);
}

uint64_t CArchiveLayout::Length() const
{
    WaitForEnd();
    return m_starts.back();  // no longer changes
}

const std::deque<ArchiveFile>& CArchiveLayout::Files() const
{
    WaitForEnd();
    return m_files;
}

std::optional<uint64_t> CArchiveLayout::KnownLength() const
{
    std::lock_guard lock(m_mutex);
    if (!m_ended || m_failure)
        return std::nullopt;
    return m_starts.back();
}

// Each entry is its lead and then its file's bytes. The part of the archive
// that holds an entry's last byte also checks that the file ends where it
// was listed, so that every file is checked once, whoever fills which part.
size_t CArchiveLayout::Fill(uint64_t offset, std::span<uint8_t> out) const
{
    std::vector<Part> parts;  // the entries out reaches, found under the lock
    {
        std::unique_lock lock(m_mutex);
        const uint64_t want = offset + out.size();
        if (!m_ended && m_starts.back() < want) {
            const auto mark = m_wanted.insert(want);
            m_grown.wait(lock, [&] { return m_ended || m_starts.back() >= want; });
            m_wanted.erase(mark);
        }
        // A listing that failed, or a build called off, stops every fill.
        if (m_failure)
            std::rethrow_exception(m_failure);
        const uint64_t length = m_starts.back();
        if (offset >= length)
            return 0;
        out = out.first(static_cast<size_t>(std::min<uint64_t>(out.size(), length - offset)));
        auto i = static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), offset) - m_starts.begin()) - 1;
        for (; i < m_files.size() && m_starts[i] < offset + out.size(); ++i)
            parts.push_back({&m_files[i], m_starts[i], m_starts[i + 1]});
    }
    const size_t filled = out.size();
    uint64_t pos = offset - parts.front().start;  // within the first entry
    for (const Part& part : parts) {
        const ArchiveFile& file = *part.file;
        // The lead's length is what the entry takes beyond its file; the lead
        // itself is made only for a part that holds some of it.
        const uint64_t leadSize = part.end - part.start - file.size;
        while (!out.empty() && pos < part.end - part.start) {
            size_t n = 0;
            if (pos < leadSize) {
                const std::string lead = EntryLead(EntryOf(file));
                n = static_cast<size_t>(std::min<uint64_t>(lead.size() - pos, out.size()));
                std::memcpy(out.data(), lead.data() + pos, n);
                if (pos + n == lead.size() && file.size == 0)
                    ReadPart(file, 0, out.subspan(n), 0, true);
            } else {
                const uint64_t at = pos - leadSize;
                const uint64_t left = file.size - at;
                n = static_cast<size_t>(std::min<uint64_t>(left, out.size()));
                ReadPart(file, at, out, n, n == left);
            }
            out = out.subspan(n);
            pos += n;
        }
        pos = 0;
    }
    return filled;
}

// Reads count bytes of the file from at into out. With last, the file must
// end right after them: where out has room for one byte more, the same read
// asks for it (getting it means the file grew), otherwise a read of its own
// looks.
void CArchiveLayout::ReadPart(const ArchiveFile& file, uint64_t at, std::span<uint8_t> out, size_t count, bool last)
{
    CHostFile in;
    if (!in.Open(file.host))
        throw CPackFailure(Utf8Path(file.host) + ": cannot be opened" + CHostFile::Reason());
    const bool ask = last && out.size() > count;
    const int64_t got = in.ReadAt(at, out.data(), count + (ask ? 1 : 0), count);
    if (got > static_cast<int64_t>(count))
        throw CPackFailure(Utf8Path(file.host) + ": grew while packing");
    if (got != static_cast<int64_t>(count))
        throw CPackFailure(Utf8Path(file.host) + ": changed or could not be read while packing");
    uint8_t more = 0;
    if (last && !ask && in.ReadAt(at + count, &more, 1, 1) != 0)
        throw CPackFailure(Utf8Path(file.host) + ": grew while packing");
}

void WriteArchive(const std::vector<ArchiveFile>& files, const std::function<void(const void*, size_t)>& sink)
{
    const CArchiveLayout layout(files);
    std::vector<uint8_t> buffer(1 << 20);
    for (uint64_t at = 0;;) {
        const size_t n = layout.Fill(at, buffer);
        if (n == 0)
            return;
        sink(buffer.data(), n);
        at += n;
    }
}
