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
    std::string folder = {};  // the record's folder field; by default the checksum tag or "ignored\\"
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

// The items with the builder's checksum list of them inserted at position
// (0: item 1, where the builder puts it).
inline std::vector<TestItem> WithChecksums(std::vector<TestItem> items, size_t position = 0)
{
    std::vector<ItemChecksum> list;
    for (const TestItem& item : items)
        list.push_back({item.name, Sha256Of(item.content.data(), item.content.size())});
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(position), TestItem{kChecksumItemName, ItemChecksumBytes(list)});
    return items;
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
        entry.m_strFolder = !items[i].folder.empty()                ? items[i].folder
                            : items[i].name == kChecksumItemName ? kChecksumItemTag
                                                                 : "ignored\\";
        std::string record = RecordBytes(entry);
        out += record + U16(static_cast<unsigned>(record.size()));
    }
    return out + U16(static_cast<unsigned>(items.size())) + U16(marker);
}
