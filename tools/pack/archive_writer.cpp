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

// Listing a large product is mostly the system's work (a stat per file, a
// read per folder). Every core takes folders from one queue, each folder on
// its own (its files, and its sub-folders queued behind it), so that all of
// them stay busy until the last folder; the lists are then put together in
// order: a folder's files, then each sub-folder's, as if listed one by one.
class CCollector {
public:
    std::vector<ArchiveFile> Collect(const fs::path& root)
    {
        m_folders.push_back({root, "", true, {}, {}, {}});
        m_waiting.push_back(0);
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        {
            std::vector<std::jthread> helpers;
            for (unsigned i = 1; i < cores; ++i)
                helpers.emplace_back([this] { Work(); });
            Work();
        }
        // The first failure in list order is the one reported; a folder that
        // failed was not gone into.
        std::vector<ArchiveFile> out;
        std::vector<size_t> next{0};
        while (!next.empty()) {
            Folder& folder = m_folders[next.back()];
            next.pop_back();
            if (folder.failure)
                std::rethrow_exception(folder.failure);
            out.insert(out.end(), std::make_move_iterator(folder.files.begin()),
                       std::make_move_iterator(folder.files.end()));
            next.insert(next.end(), folder.subfolders.rbegin(), folder.subfolders.rend());
        }
        return out;
    }

private:
    struct Folder {
        fs::path dir;
        std::string parent;  // the GBK folder it is in, with its backslash
        bool root = false;
        std::vector<ArchiveFile> files;
        std::vector<size_t> subfolders;  // in m_folders, in name order
        std::exception_ptr failure;
    };

    void Work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_waiting.empty() || m_busy == 0; });
            if (m_waiting.empty())
                return;
            const size_t index = m_waiting.front();
            m_waiting.pop_front();
            ++m_busy;
            Folder& folder = m_folders[index];  // a deque: stays where it is
            lock.unlock();
            std::vector<fs::path> subfolders;
            std::string name;
            try {
                name = folder.root ? std::string() : folder.parent + GbkName(folder.dir) + "\\";
                List(folder.dir, name, folder.files, subfolders);
            } catch (...) {
                folder.failure = std::current_exception();
                subfolders.clear();
            }
            lock.lock();
            for (fs::path& dir : subfolders) {
                folder.subfolders.push_back(m_folders.size());
                m_waiting.push_back(m_folders.size());
                m_folders.push_back({std::move(dir), name, false, {}, {}, {}});
            }
            --m_busy;
            m_changed.notify_all();
        }
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

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Folder> m_folders;  // every folder met so far; the root first
    std::deque<size_t> m_waiting;  // folders no core has taken yet
    unsigned m_busy = 0;           // cores listing a folder
};
}  // namespace

std::vector<ArchiveFile> CollectFiles(const fs::path& root)
{
    std::error_code error;
    if (!fs::is_directory(root, error))
        throw CPackFailure(Utf8Path(root) + ": not a folder");
    std::vector<ArchiveFile> files;
    try {
        files = CCollector().Collect(root);
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
    return CArchiveLayout(files).Length();
}

CArchiveLayout::CArchiveLayout(const std::vector<ArchiveFile>& files) : m_files(files)
{
    m_starts.reserve(files.size() + 1);
    uint64_t at = 0;
    for (const auto& f : files) {
        m_starts.push_back(at);
        at += EntryLead(EntryOf(f)).size() + f.size;
    }
    m_starts.push_back(at);
}

// Each entry is its lead and then its file's bytes. The part of the archive
// that holds an entry's last byte also checks that the file ends where it
// was listed, so that every file is checked once, whoever fills which part.
void CArchiveLayout::Fill(uint64_t offset, std::span<uint8_t> out) const
{
    size_t i = static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), offset) - m_starts.begin());
    if (i == 0 || i >= m_starts.size() || Length() - offset < out.size())
        throw CPackFailure("the archive has no bytes there");  // a caller's fault, never the files'
    --i;
    uint64_t pos = offset - m_starts[i];  // within entry i
    while (!out.empty()) {
        const ArchiveFile& file = m_files[i];
        // The lead's length is what the entry takes beyond its file; the lead
        // itself is made only for a part that holds some of it.
        const uint64_t leadSize = m_starts[i + 1] - m_starts[i] - file.size;
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
        if (pos == m_starts[i + 1] - m_starts[i]) {
            ++i;
            pos = 0;
        }
    }
}

// Reads count bytes of the file from at into out. With last, the file must
// end right after them: where out has room for one byte more, the same read
// asks for it (getting it means the file grew), otherwise a read of its own
// looks.
void CArchiveLayout::ReadPart(const ArchiveFile& file, uint64_t at, std::span<uint8_t> out, size_t count,
                              bool last) const
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
    for (uint64_t at = 0; at < layout.Length();) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), layout.Length() - at));
        layout.Fill(at, std::span<uint8_t>(buffer.data(), n));
        sink(buffer.data(), n);
        at += n;
    }
}
