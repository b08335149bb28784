#include "tools/pack/package_reader.h"

#include "format/archive.h"
#include "format/block_decoder.h"
#include "format/item_directory.h"
#include "tools/pack/pack_error.h"

#include <algorithm>

namespace {
// The directory again, as the checksum check compares it.
ItemDirectory DirectoryOf(const std::vector<PackageItem>& items)
{
    ItemDirectory directory;
    for (const PackageItem& item : items) {
        CPackEntry entry;
        entry.m_strName = item.name;
        entry.m_nSize = item.size;
        entry.m_strFolder = item.tagged ? kChecksumItemTag : "";
        directory.entries.push_back(std::move(entry));
    }
    return directory;
}

class CStreamSource : public CByteSource {
public:
    explicit CStreamSource(std::ifstream& file) : m_file(file)
    {
        m_file.clear();
        m_file.seekg(0, std::ios::end);
        m_length = static_cast<uint64_t>(m_file.tellg());
    }
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) override
    {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_file.read(static_cast<char*>(buffer), count);
        return m_file.gcount() == static_cast<std::streamsize>(count);
    }

private:
    std::ifstream& m_file;
    uint64_t m_length = 0;
};

// The raw bytes of one item, from its offset on.
class CItemInput : public CByteInput {
public:
    CItemInput(std::ifstream& file, const PackageItem& item) : m_file(file)
    {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(item.offset));
    }
    bool ReadFully(void* out, uint32_t count) override
    {
        m_file.read(static_cast<char*>(out), count);
        return m_file.gcount() == static_cast<std::streamsize>(count);
    }

private:
    std::ifstream& m_file;
};

const char* BlockErrorText(BlockError error)
{
    switch (error) {
    case BlockError::Truncated: return "the file ends inside a block";
    case BlockError::BadLength: return "a block length is out of range";
    default: return "a block does not decode";
    }
}

const char* ArchiveErrorText(ArchiveError error)
{
    switch (error) {
    case ArchiveError::HeaderTooLong: return "an entry header is longer than 256 bytes";
    case ArchiveError::HeaderDamaged: return "an entry header is not well formed";
    case ArchiveError::UnsafePath: return "an entry would leave the install folder";
    default: return "the archive ends inside an entry";
    }
}

// The decoded bytes of one block-compressed item, read in any portions.
// Damage of the blocks throws, naming the item.
class CBlockStream : public CByteInput {
public:
    CBlockStream(std::ifstream& file, const PackageItem& item) : m_item(item), m_raw(file, item), m_blocks(m_raw, item.size)
    {
    }
    // Exactly count bytes; false at the end of the item before all were there.
    bool ReadFully(void* out, uint32_t count) override
    {
        auto* to = static_cast<uint8_t*>(out);
        for (uint32_t got = 0; got < count;) {
            if (m_pos == m_size && !NextBlock())
                return false;
            const size_t n = std::min<size_t>(count - got, m_size - m_pos);
            std::copy_n(m_block + m_pos, n, to + got);
            m_pos += n;
            got += static_cast<uint32_t>(n);
        }
        return true;
    }
    bool AtEnd() override { return m_pos == m_size && !NextBlock(); }
    uint64_t Consumed() const { return m_blocks.Consumed(); }
    [[noreturn]] void Damaged(const std::string& why) const
    {
        throw CPackFailure(m_item.name + ": damaged (" + why + ")");
    }

private:
    // Blocks that decode to nothing are passed over.
    bool NextBlock()
    {
        while (m_blocks.Next(m_block, m_size)) {
            m_pos = 0;
            if (m_size > 0)
                return true;
        }
        if (m_blocks.Error() != BlockError::None)
            Damaged(BlockErrorText(m_blocks.Error()));
        return false;
    }

    const PackageItem& m_item;
    CItemInput m_raw;
    CBlockReader m_blocks;
    const uint8_t* m_block = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
};
}  // namespace

std::vector<PackageItem> ReadPackageItems(std::ifstream& file, const std::string& fileName)
{
    CStreamSource whole(file);
    PackageSpan span;
    if (!LocatePackageEnd(whole, span))
        throw CPackFailure(fileName + ": the signature's certificate table does not lie at the end of the file");
    CPrefixSource source(whole, span.end);
    ItemDirectory directory;
    if (ParseItemDirectory(source, directory) != DirectoryError::None)
        throw CPackFailure(fileName + ": no package directory (not a shipped installer, or damaged)");
    uint8_t marker[2] = {};
    source.ReadAt(source.Length() - 2, marker, 2);
    if (MarkerOf(marker) != PackageMarker::Packaged)
        throw CPackFailure(fileName + ": not a shipped installer (no marker 1978)");
    // Entry 1 is nearest the end; contents lie in the same order before the directory.
    std::vector<PackageItem> items;
    uint64_t end = directory.start;
    for (const CPackEntry& e : directory.entries) {
        end -= e.m_nSize;
        items.push_back({e.m_strName, e.m_nSize, end, e.m_strFolder == kChecksumItemTag});
    }
    std::reverse(items.begin(), items.end());
    return items;
}

std::string CheckItemChecksums(std::ifstream& file, const std::vector<PackageItem>& items)
{
    const PackageItem* listItem = nullptr;
    for (const PackageItem& item : items)
        if (item.name == kChecksumItemName || item.tagged)
            listItem = &item;
    if (listItem == nullptr)
        return "";
    if (listItem->size > kMaxChecksumItemSize)
        return "the checksum list is too long";
    std::string bytes;
    ReadItem(file, *listItem, [&bytes](const char* data, size_t size) { bytes.append(data, size); });
    std::vector<ItemChecksum> list;
    if (!ParseItemChecksums(bytes, list) || !ChecksumsCoverDirectory(list, DirectoryOf(items)))
        return "the checksum list does not match the item directory";
    for (const PackageItem& item : items) {
        if (&item == listItem)
            continue;
        CSha256 hash;
        ReadItem(file, item, [&hash](const char* data, size_t size) { hash.Update(data, size); });
        const Sha256Digest digest = hash.Final();
        for (const ItemChecksum& listed : list)
            if (listed.name == item.name && listed.digest != digest)
                return item.name + " differs from its checksum";
    }
    return "";
}

void ReadItem(std::ifstream& file, const PackageItem& item, const std::function<void(const char*, size_t)>& sink)
{
    file.clear();
    file.seekg(static_cast<std::streamoff>(item.offset));
    std::vector<char> buffer(1 << 20);
    for (uint64_t left = item.size; left > 0;) {
        auto n = static_cast<std::streamsize>(std::min<uint64_t>(left, buffer.size()));
        file.read(buffer.data(), n);
        if (file.gcount() != n)
            throw CPackFailure(item.name + ": cannot be read");
        sink(buffer.data(), static_cast<size_t>(n));
        left -= static_cast<uint64_t>(n);
    }
}

void WalkArchiveItem(std::ifstream& file, const PackageItem& item,
                     const std::function<ContentSink(const CPackEntry&)>& onEntry,
                     const std::function<void(uint64_t)>& progress)
{
    CBlockStream stream(file, item);
    CArchiveWalk walk(stream);
    CPackEntry entry;
    uint64_t reported = 0;
    while (walk.Next(entry)) {
        const ContentSink sink = onEntry(entry);
        const bool passed = sink ? walk.StreamTo([&sink](const uint8_t* data, size_t size) {
            sink(reinterpret_cast<const char*>(data), size);
            return true;
        })
                                 : walk.Skip();
        if (!passed)
            break;
        if (progress && stream.Consumed() - reported >= (1u << 20)) {
            reported = stream.Consumed();
            progress(reported);
        }
    }
    if (walk.Error() != ArchiveError::None)
        stream.Damaged(ArchiveErrorText(walk.Error()));
    if (progress)
        progress(stream.Consumed());
}
