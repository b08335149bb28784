#include "format/item_directory.h"

#include "common/path_rules.h"
#include "framework/endian.h"

#include <cstring>
#include <vector>

bool CMemorySource::ReadAt(uint64_t offset, void* buffer, uint32_t count)
{
    if (offset > m_size || count > m_size - offset)
        return false;
    std::memcpy(buffer, m_data + offset, count);
    return true;
}

namespace {
bool ReadU16At(CByteSource& source, uint64_t offset, uint16_t& out)
{
    uint8_t b[2];
    if (!source.ReadAt(offset, b, 2))
        return false;
    out = LoadLe16(b);
    return true;
}
}  // namespace

PackageMarker MarkerOf(const uint8_t lastTwo[2])
{
    switch (LoadLe16(lastTwo)) {
    case kMarkerPackaged: return PackageMarker::Packaged;
    case kMarkerExtracted: return PackageMarker::Extracted;
    default: return PackageMarker::Other;
    }
}

uint64_t ProgramImageEnd(const uint8_t* data, size_t size, bool& exact)
{
    exact = false;
    if (size < 0x40 || data[0] != 'M' || data[1] != 'Z')
        return 0;
    const uint64_t pe = LoadLe32(data + 0x3C);
    if (pe + 24 > size || std::memcmp(data + pe, "PE\0\0", 4) != 0)
        return 0;
    const unsigned sections = LoadLe16(data + pe + 6);
    const unsigned optionalSize = LoadLe16(data + pe + 20);
    const uint64_t optional = pe + 24;
    const uint64_t table = optional + optionalSize;
    if (table + 40ull * sections > size)
        return 0;
    uint64_t end = optionalSize >= 64 ? LoadLe32(data + optional + 60) : 0;  // SizeOfHeaders
    auto reach = [&end](uint64_t offset, uint32_t length) {
        if (length != 0 && offset + length > end)
            end = offset + length;
    };
    for (unsigned i = 0; i < sections; ++i)
        reach(LoadLe32(data + table + 40ull * i + 20), LoadLe32(data + table + 40ull * i + 16));
    // The signature lies behind the sections; its directory entry holds a
    // file offset, not an address.
    const unsigned magic = optionalSize >= 2 ? LoadLe16(data + optional) : 0;
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    const uint64_t security = directories + 4 * 8;
    if ((magic == 0x10B || magic == 0x20B) && security + 8 <= table && LoadLe32(data + directories - 4) > 4)
        reach(LoadLe32(data + security), LoadLe32(data + security + 4));
    exact = LoadLe32(data + pe + 12) == 0;  // no symbol table
    return end;
}

SignatureState FindCertificateTable(const uint8_t* header, size_t size, uint64_t fileLength, CertificateTable& out)
{
    out = CertificateTable();
    if (size < 0x40 || header[0] != 'M' || header[1] != 'Z')
        return SignatureState::Unsigned;
    const uint64_t pe = LoadLe32(header + 0x3C);
    if (pe + 24 > size || std::memcmp(header + pe, "PE\0\0", 4) != 0)
        return SignatureState::Unsigned;
    const uint64_t optional = pe + 24;
    const unsigned optionalSize = LoadLe16(header + pe + 20);
    if (optional + optionalSize > size || optionalSize < 2)
        return SignatureState::Unsigned;
    const unsigned magic = LoadLe16(header + optional);
    if (magic != 0x10B && magic != 0x20B)
        return SignatureState::Unsigned;
    // The directory count stands just before the directories; the security
    // directory is the fifth.
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    const uint64_t entry = directories + 4 * 8;
    if (entry + 8 > optional + optionalSize || LoadLe32(header + directories - 4) < 5)
        return SignatureState::Unsigned;
    const uint64_t start = LoadLe32(header + entry);
    const uint32_t length = LoadLe32(header + entry + 4);
    if (start == 0 && length == 0)
        return SignatureState::Unsigned;
    out.start = start;
    out.length = length;
    out.entryOffset = entry;
    // Anything but a table of at least one certificate header that ends the
    // file would leave bytes behind it that no reader of the package sees.
    if (length < 8 || start < optional + optionalSize || start > fileLength || length != fileLength - start)
        return SignatureState::Misplaced;
    return SignatureState::Signed;
}

uint64_t PackageEndBeforeTable(uint64_t tableStart, const uint8_t* before, size_t count)
{
    if (tableStart % 8 != 0)
        return tableStart;
    uint64_t end = tableStart;
    for (size_t i = count; i > 0 && tableStart - end < 7 && before[i - 1] == 0; --i)
        --end;
    return end;
}

bool LocatePackageEnd(CByteSource& source, PackageSpan& out)
{
    out = PackageSpan();
    const uint64_t length = source.Length();
    out.end = length;
    uint8_t header[4096];
    const auto headerSize = static_cast<uint32_t>(length < sizeof header ? length : sizeof header);
    if (!source.ReadAt(0, header, headerSize))
        return true;  // unreadable: the directory reader says what is wrong
    out.state = FindCertificateTable(header, headerSize, length, out.table);
    if (out.state == SignatureState::Misplaced)
        return false;
    if (out.state == SignatureState::Signed) {
        uint8_t before[7];
        const auto count = static_cast<uint32_t>(out.table.start < 7 ? out.table.start : 7);
        out.end = source.ReadAt(out.table.start - count, before, count)
                      ? PackageEndBeforeTable(out.table.start, before, count)
                      : out.table.start;
    }
    return true;
}

DirectoryError ParseItemDirectory(CByteSource& source, ItemDirectory& out)
{
    out.entries.clear();
    const uint64_t length = source.Length();
    uint16_t count = 0;
    if (length < 4 || !ReadU16At(source, length - 4, count))
        return DirectoryError::TooShort;

    uint64_t contents = 0;
    int64_t p = static_cast<int64_t>(length) - 6;  // the length field of entry 1
    for (unsigned i = 0; i < count; ++i) {
        uint16_t len = 0;
        if (p < 0 || !ReadU16At(source, static_cast<uint64_t>(p), len))
            return DirectoryError::RecordOutside;
        if (len > kMaxRecordSize)
            return DirectoryError::RecordTooLong;
        if (p < len)
            return DirectoryError::RecordOutside;
        uint8_t record[kMaxRecordSize];
        if (!source.ReadAt(static_cast<uint64_t>(p - len), record, len))
            return DirectoryError::RecordOutside;
        CPackEntry entry;
        CPackReader reader(record, len);
        entry.ReadFrom(reader);
        if (!IsSafeName(entry.m_strName))
            return DirectoryError::BadName;
        contents += entry.m_nSize;
        out.entries.push_back(std::move(entry));
        p -= static_cast<int64_t>(len) + 2;
    }
    out.start = static_cast<uint64_t>(p + 2);
    if (contents > out.start)
        return DirectoryError::ContentOutside;
    return DirectoryError::None;
}

std::string ItemDirectoryBytes(const std::vector<CPackEntry>& items)
{
    std::string out;
    auto appendU16 = [&out](uint16_t value) {
        char b[2];
        StoreLe16(b, value);
        out.append(b, 2);
    };
    for (const CPackEntry& item : items) {
        CPackWriter writer;
        item.WriteTo(writer);
        out.append(reinterpret_cast<const char*>(writer.Data()), writer.Size());
        appendU16(static_cast<uint16_t>(writer.Size()));
    }
    appendU16(static_cast<uint16_t>(items.size()));
    appendU16(kMarkerPackaged);
    return out;
}

bool IsChecksumEntry(const CPackEntry& entry)
{
    return entry.m_strName == kChecksumItemName || entry.m_strFolder == kChecksumItemTag;
}

std::string ItemChecksumBytes(const std::vector<ItemChecksum>& items)
{
    std::string out;
    for (const ItemChecksum& item : items)
        out += DigestHex(item.digest) + "  " + item.name + "\n";
    return out;
}

bool ParseItemChecksums(const std::string& bytes, std::vector<ItemChecksum>& out)
{
    out.clear();
    if (bytes.size() > kMaxChecksumItemSize)
        return false;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string::npos || end - at < 64 + 2 + 1 || bytes.compare(at + 64, 2, "  ") != 0)
            return false;
        ItemChecksum item;
        item.name = bytes.substr(at + 66, end - at - 66);
        if (!ParseDigestHex(bytes.substr(at, 64), item.digest) || !IsSafeName(item.name))
            return false;
        for (const ItemChecksum& earlier : out)
            if (earlier.name == item.name)
                return false;
        out.push_back(std::move(item));
        at = end + 1;
    }
    return true;
}

bool ChecksumsCoverDirectory(const std::vector<ItemChecksum>& list, const ItemDirectory& directory)
{
    size_t checksumEntries = 0, others = 0;
    for (const CPackEntry& entry : directory.entries) {
        if (IsChecksumEntry(entry)) {
            if (entry.m_strName != kChecksumItemName || entry.m_strFolder != kChecksumItemTag)
                return false;
            ++checksumEntries;
            continue;
        }
        ++others;
        size_t listed = 0;
        for (const ItemChecksum& item : list)
            listed += item.name == entry.m_strName;
        if (listed != 1)
            return false;
    }
    return checksumEntries == 1 && others == list.size();
}
