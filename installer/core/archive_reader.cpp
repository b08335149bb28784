#include "installer/core/archive_reader.h"

#include "common/path_rules.h"
#include "installer/core/item_directory.h"

EntryHeaderError ParseEntryHeader(const uint8_t* data, size_t size, CPackEntry& out)
{
    out = CPackEntry();
    if (size < 4 || size > kMaxRecordSize)
        return EntryHeaderError::Damaged;
    CPackReader reader(data, size);
    out.ReadFrom(reader);
    // The writer fills a header exactly; anything else means a field count
    // was wrong and a text came back empty.
    if (reader.Position() != size || out.m_strName.empty())
        return EntryHeaderError::Damaged;
    if (!IsSafeRelativePath(out.m_strFolder, out.m_strName))
        return EntryHeaderError::UnsafePath;
    return EntryHeaderError::None;
}
