#include "tools/pack/package_reader.h"

#include "framework/endian.h"
#include "installer/core/archive_reader.h"
#include "installer/core/block_decoder.h"
#include "installer/core/item_directory.h"
#include "tools/pack/pack_error.h"

#include <algorithm>

namespace {
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

// The decoded bytes of one block-compressed item, read in any portions.
class CBlockStream {
public:
    CBlockStream(std::ifstream& file, const PackageItem& item) : m_file(file), m_item(item), m_left(item.size)
    {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(item.offset));
    }
    // Fills exactly size bytes; false at the clean end of the item before any byte.
    bool Read(char* out, size_t size)
    {
        size_t got = 0;
        while (got < size) {
            if (m_pos == m_size && !NextBlock()) {
                if (got == 0)
                    return false;
                Damaged("the archive ends inside an entry");
            }
            size_t n = std::min(size - got, m_size - m_pos);
            std::copy_n(m_block + m_pos, n, out + got);
            m_pos += n;
            got += n;
        }
        return true;
    }
    uint64_t Consumed() const { return m_item.size - m_left; }
    [[noreturn]] void Damaged(const std::string& why) const
    {
        throw CPackFailure(m_item.name + ": damaged (" + why + ")");
    }

private:
    bool NextBlock()
    {
        if (m_left == 0)
            return false;
        uint8_t lenBytes[2];
        if (m_left < 2 || !ReadRaw(lenBytes, 2))
            Damaged("the file ends inside a block");
        const uint32_t len = LoadLe16(lenBytes);
        if (len > kBlockInputSize || len > m_left - 2 || !ReadRaw(m_input, len))
            Damaged("a block length is out of range");
        m_left -= 2 + len;
        size_t produced = 0;
        if (!DecodeBlock(m_input, len, reinterpret_cast<uint8_t*>(m_block), produced))
            Damaged("a block does not decode");
        m_size = produced;
        m_pos = 0;
        return true;
    }
    bool ReadRaw(uint8_t* out, uint32_t size)
    {
        m_file.read(reinterpret_cast<char*>(out), size);
        return m_file.gcount() == static_cast<std::streamsize>(size);
    }

    std::ifstream& m_file;
    const PackageItem& m_item;
    uint64_t m_left;
    uint8_t m_input[kBlockInputSize];
    char m_block[kBlockOutputSize];
    size_t m_size = 0;
    size_t m_pos = 0;
};
}  // namespace

std::vector<PackageItem> ReadPackageItems(std::ifstream& file, const std::string& fileName)
{
    CStreamSource source(file);
    ItemDirectory directory;
    if (ParseItemDirectory(source, directory) != DirectoryError::None)
        throw CPackFailure(fileName + ": no package directory (not a shipped installer, or damaged)");
    uint8_t marker[2] = {};
    source.ReadAt(source.Length() - 2, marker, 2);
    if (LoadLe16(marker) != kMarkerPackaged)
        throw CPackFailure(fileName + ": not a shipped installer (no marker 1978)");
    // Entry 1 is nearest the end; contents lie in the same order before the directory.
    std::vector<PackageItem> items;
    uint64_t end = directory.start;
    for (const CPackEntry& e : directory.entries) {
        end -= e.m_nSize;
        items.push_back({e.m_strName, e.m_nSize, end});
    }
    std::reverse(items.begin(), items.end());
    return items;
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
    std::vector<char> buffer(64 * 1024);
    uint64_t reported = 0;
    for (;;) {
        uint8_t lenBytes[2];
        if (!stream.Read(reinterpret_cast<char*>(lenBytes), 2))
            break;
        const size_t hlen = LoadLe16(lenBytes);
        uint8_t header[kMaxRecordSize];
        if (hlen > kMaxRecordSize)
            stream.Damaged("an entry header is longer than 256 bytes");
        if (hlen > 0 && !stream.Read(reinterpret_cast<char*>(header), hlen))
            stream.Damaged("the archive ends inside an entry");
        CPackEntry entry;
        switch (ParseEntryHeader(header, hlen, entry)) {
        case EntryHeaderError::None: break;
        case EntryHeaderError::Damaged: stream.Damaged("an entry header is not well formed");
        case EntryHeaderError::UnsafePath: stream.Damaged("an entry would leave the install folder");
        }
        ContentSink sink = onEntry(entry);
        for (uint64_t left = entry.m_nSize; left > 0;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
            if (!stream.Read(buffer.data(), n))
                stream.Damaged("the archive ends inside an entry");
            if (sink)
                sink(buffer.data(), n);
            left -= n;
        }
        if (progress && stream.Consumed() - reported >= (1u << 20)) {
            reported = stream.Consumed();
            progress(reported);
        }
    }
    if (progress)
        progress(stream.Consumed());
}
