// Builds the bytes of a shipped installer in memory, for the directory tests.
#pragma once

#include "framework/endian.h"
#include "format/item_directory.h"
#include "format/pack_entry.h"

#include <string>
#include <utility>
#include <vector>

struct TestItem {
    std::string name;
    std::string content;
};

// image, contents of item N .. item 1, records N .. 1 each with its length,
// count, marker. items[0] is item 1, so its content lies last.
inline std::string RecordBytes(const CPackEntry& entry)
{
    CPackWriter writer;
    entry.WriteTo(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Size());
}

inline std::string U16(unsigned v)
{
    std::string out;
    return AppendLe16(out, static_cast<uint16_t>(v));
}

inline std::string PackageBytes(const std::string& image, const std::vector<TestItem>& items,
                                unsigned marker = kMarkerPackaged)
{
    std::string out = image;
    for (size_t i = items.size(); i-- > 0;)
        out += items[i].content;
    for (size_t i = items.size(); i-- > 0;) {
        CPackEntry entry;
        entry.m_nSize = static_cast<uint32_t>(items[i].content.size());
        entry.m_strName = items[i].name;
        entry.m_strFolder = "ignored\\";
        std::string record = RecordBytes(entry);
        out += record + U16(static_cast<unsigned>(record.size()));
    }
    return out + U16(static_cast<unsigned>(items.size())) + U16(marker);
}
