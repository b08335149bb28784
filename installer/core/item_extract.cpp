#include "installer/core/item_extract.h"

#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"

#include <vector>

CFileSource::CFileSource(CFile& file) : m_file(file), m_length(file.GetLength()) {}

bool CFileSource::ReadAt(uint64_t offset, void* buffer, uint32_t count)
{
    return m_file.Seek(static_cast<int64_t>(offset), CFile::begin) == static_cast<int64_t>(offset) &&
           ReadFully(m_file, buffer, count);
}

DirectoryError ReadItemDirectory(CFile& file, ItemDirectory& out)
{
    CFileSource source(file);
    DirectoryError error = ParseItemDirectory(source, out);
    if (error == DirectoryError::None && !static_cast<bool>(file.SetLength(out.start)))
        return DirectoryError::RecordOutside;
    return error;
}

Status ExtractItem(const std::string& copyPath, const CPackEntry& entry, CSha256* hash)
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
        if (hash != nullptr)
            hash->Update(chunk.data(), n);
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
    // The entries as read: extracting replaces their folder field, which
    // holds the checksum item's tag.
    const ItemDirectory read = directory;
    bool guarded = false;
    for (const CPackEntry& entry : read.entries)
        guarded = guarded || IsChecksumEntry(entry);
    std::vector<ItemChecksum> expected;
    bool listKnown = false;
    std::vector<std::pair<std::string, Sha256Digest>> moved;  // before the list was known
    auto matches = [&expected](const std::string& name, const Sha256Digest& digest) {
        for (const ItemChecksum& item : expected)
            if (item.name == name)
                return item.digest == digest;
        return false;
    };
    auto damaged = [&setup](const std::string& what) {
        setup.m_log.Write("extract", "FAILED " + what);
        return ExtractError::Damaged;
    };

    for (size_t i = 0; i < directory.entries.size(); ++i) {
        CPackEntry& entry = directory.entries[i];
        const bool isList = IsChecksumEntry(read.entries[i]);
        entry.m_strFolder = tempDir + entry.m_strName;
        if (entry.m_strName == "data.rar")
            setup.m_nDataSize = entry.m_nSize;
        if (isList && entry.m_nSize > kMaxChecksumItemSize)
            return damaged("the checksum list is too long");
        CSha256 hash;
        if (Status extracted = ExtractItem(copyPath, entry, guarded && !isList ? &hash : nullptr); !extracted) {
            setup.m_log.Failed("extract", "item " + entry.m_strName, extracted);
            return ExtractError::WriteFailed;
        }
        setup.m_log.Write("extract", Format("item %s: %llu bytes", entry.m_strName.c_str(),
                                            static_cast<unsigned long long>(entry.m_nSize)));
        if (isList) {
            std::string bytes;
            CFile list;
            bytes.resize(entry.m_nSize);
            if (!list.Open(entry.m_strFolder, CFile::modeRead | CFile::shareDenyNone) ||
                !ReadFully(list, bytes.data(), static_cast<uint32_t>(bytes.size())))
                return damaged("the checksum list cannot be read back");
            if (!ParseItemChecksums(bytes, expected) || !ChecksumsCoverDirectory(expected, read))
                return damaged("the checksum list does not match the item directory");
            listKnown = true;
            for (const auto& [name, digest] : moved)
                if (!matches(name, digest))
                    return damaged("item " + name + " differs from its checksum");
        } else if (guarded) {
            const Sha256Digest digest = hash.Final();
            if (!listKnown)
                moved.emplace_back(entry.m_strName, digest);
            else if (!matches(entry.m_strName, digest))
                return damaged("item " + entry.m_strName + " differs from its checksum");
        }
        if (afterItem && !afterItem(i + 1))
            return ExtractError::Cancelled;
    }
    if (guarded)
        setup.m_log.Write("extract", "every item matches its checksum");
    return ExtractError::None;
}
