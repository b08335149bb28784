#include "installer/core/item_directory.h"

#include "common/path_rules.h"
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"

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
class CFileSource : public CByteSource {
public:
    explicit CFileSource(CFile& file) : m_file(file), m_length(file.GetLength()) {}
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) override
    {
        return m_file.Seek(static_cast<int64_t>(offset), CFile::begin) == static_cast<int64_t>(offset) &&
               ReadFully(m_file, buffer, count);
    }

private:
    CFile& m_file;
    uint64_t m_length;
};

bool ReadU16At(CByteSource& source, uint64_t offset, uint16_t& out)
{
    uint8_t b[2];
    if (!source.ReadAt(offset, b, 2))
        return false;
    out = LoadLe16(b);
    return true;
}
}  // namespace

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

DirectoryError ReadItemDirectory(CFile& file, ItemDirectory& out)
{
    CFileSource source(file);
    DirectoryError error = ParseItemDirectory(source, out);
    if (error == DirectoryError::None && !static_cast<bool>(file.SetLength(out.start)))
        return DirectoryError::RecordOutside;
    return error;
}

Status ExtractItem(const std::string& copyPath, const CPackEntry& entry)
{
    CFile copy;
    if (Status opened = copy.Open(copyPath, CFile::modeReadWrite | CFile::shareDenyNone); !opened)
        return opened;
    const uint64_t length = copy.GetLength();
    if (length == 0 || entry.m_nSize > length)
        return Status(StatusCode::BadData, "item size", copyPath);
    CFile output;
    if (Status opened = output.Open(entry.m_strFolder, CFile::modeCreate | CFile::modeWrite); !opened)
        return opened;

    const uint64_t from = length - entry.m_nSize;
    if (copy.Seek(static_cast<int64_t>(from), CFile::begin) != static_cast<int64_t>(from))
        return Status::LastOsError("SetFilePointer", copyPath);
    std::vector<uint8_t> chunk(64 * 1024);
    for (uint64_t left = entry.m_nSize; left > 0;) {
        auto n = static_cast<uint32_t>(left < chunk.size() ? left : chunk.size());
        if (!ReadFully(copy, chunk.data(), n))
            return Status::LastOsError("ReadFile", copyPath);
        if (Status written = output.Write(chunk.data(), n); !written)
            return written;
        left -= n;
    }
    return copy.SetLength(from);
}

bool MarkExtracted(const std::string& copyPath)
{
    CFile copy;
    if (!copy.Open(copyPath, CFile::modeReadWrite | CFile::shareDenyNone) || copy.GetLength() == 0)
        return false;
    uint8_t marker[2];
    StoreLe16(marker, kMarkerExtracted);
    return copy.Seek(0, CFile::end) >= 0 && static_cast<bool>(copy.Write(marker, 2));
}

ExtractError ExtractAllItems(const std::string& copyPath, const std::string& tempDir, ItemDirectory& directory,
                             CSetupInfo& setup, const std::function<bool(size_t)>& afterItem)
{
    for (size_t i = 0; i < directory.entries.size(); ++i) {
        CPackEntry& entry = directory.entries[i];
        entry.m_strFolder = tempDir + entry.m_strName;
        if (entry.m_strName == "data.rar")
            setup.m_nDataSize = entry.m_nSize;
        if (Status extracted = ExtractItem(copyPath, entry); !extracted) {
            setup.m_log.Failed("extract", "item " + entry.m_strName, extracted);
            return ExtractError::WriteFailed;
        }
        setup.m_log.Write("extract", Format("item %s: %llu bytes", entry.m_strName.c_str(),
                                            static_cast<unsigned long long>(entry.m_nSize)));
        if (afterItem && !afterItem(i + 1))
            return ExtractError::Cancelled;
    }
    return ExtractError::None;
}
