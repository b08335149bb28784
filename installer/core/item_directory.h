// The package appended to a shipped installer: item contents, then one
// record + 16-bit length per item (item 1 nearest the end), the 16-bit item
// count and the 16-bit marker. Read backwards from the end of the file.
#pragma once

#include "installer/core/pack_entry.h"

#include "framework/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFile;
class CSetupInfo;

constexpr uint16_t kMarkerPackaged = 1978;
constexpr uint16_t kMarkerExtracted = 2008;

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
// Parses the directory of an open installer copy and, on success, cuts
// directory, count and marker off the file.
DirectoryError ReadItemDirectory(CFile& file, ItemDirectory& out);

// The file length a Windows program takes: the end of its headers, of its
// last section and of its signature, from the first bytes of its file. 0
// when the bytes are no program header or do not hold its section table.
// exact is false when a symbol table follows, whose length the header does
// not give: the file may then be longer.
uint64_t ProgramImageEnd(const uint8_t* data, size_t size, bool& exact);

// Moves the last m_nSize bytes of the copy into the file m_strFolder, in
// bounded chunks, and cuts them off the copy. False when the copy cannot be
// opened, is shorter than the item, or the output cannot be written; the copy
// then keeps its length.
Status ExtractItem(const std::string& copyPath, const CPackEntry& entry);
// Appends the marker 2008 to a non-empty file; false when it could not.
bool MarkExtracted(const std::string& copyPath);

enum class ExtractError { None, Cancelled, WriteFailed };

// Extracts every entry, entry 1 first, into tempDir and notes the size of
// "data.rar" in the setup record. afterItem(number of items done) is called
// after each item and returns false to stop. The first item that cannot be
// extracted ends the run, so no later item can take the wrong bytes.
ExtractError ExtractAllItems(const std::string& copyPath, const std::string& tempDir, ItemDirectory& directory,
                             CSetupInfo& setup, const std::function<bool(size_t)>& afterItem);
