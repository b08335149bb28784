// The package appended to a shipped installer: item contents, then one
// record + 16-bit length per item (item 1 nearest the end), the 16-bit item
// count and the 16-bit marker. Read backwards from the end of the file.
#pragma once

#include "format/pack_entry.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kMarkerPackaged = 1978;
constexpr uint16_t kMarkerExtracted = 2008;

// What the last two bytes of an installer's file say it is.
enum class PackageMarker : int {
    Unreadable = 0,  // the file cannot be opened or is empty
    Packaged = 1,    // 1978: a shipped installer with its package
    Extracted = 2,   // 2008: the working copy
    Other = 3,       // any other value, or a file of one byte
};
PackageMarker MarkerOf(const uint8_t lastTwo[2]);

// Random access to the bytes the directory is read from.
class CByteSource {
public:
    virtual ~CByteSource() = default;
    virtual uint64_t Length() const = 0;
    // False unless all count bytes at offset were read.
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t count) = 0;
};

class CMemorySource : public CByteSource {
public:
    CMemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t Length() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) override;

private:
    const uint8_t* m_data;
    size_t m_size;
};

enum class DirectoryError {
    None,
    TooShort,        // no room for count and marker
    RecordTooLong,   // a record longer than the 256-byte record buffer
    RecordOutside,   // a length or record that lies before the start of the file
    BadName,         // an item name that is not one safe file name
    ContentOutside,  // the contents claim more bytes than lie before the directory
};

struct ItemDirectory {
    std::vector<CPackEntry> entries;  // reading order: entry 1 first
    uint64_t start = 0;               // offset of the first directory byte
};

// Parses the directory at the end of the source; nothing is changed.
DirectoryError ParseItemDirectory(CByteSource& source, ItemDirectory& out);
// The file length a Windows program takes: the end of its headers, of its
// last section and of its signature, from the first bytes of its file. 0
// when the bytes are no program header or do not hold its section table.
// exact is false when a symbol table follows, whose length the header does
// not give: the file may then be longer.
uint64_t ProgramImageEnd(const uint8_t* data, size_t size, bool& exact);

// The directory behind item contents written in the order of items: each
// item's record (size and name) and its 16-bit length, so that the item
// written last is item 1, nearest the end; then the count and the marker 1978.
std::string ItemDirectoryBytes(const std::vector<CPackEntry>& items);
