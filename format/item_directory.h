// The package appended to a shipped installer: item contents, then one
// record + 16-bit length per item (item 1 nearest the end), the 16-bit item
// count and the 16-bit marker. Read backwards from the end of the file.
#pragma once

#include "format/pack_entry.h"
#include "format/sha256.h"

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

// The first length bytes of another source: the package of a signed
// installer ends where its certificate table starts.
class CPrefixSource : public CByteSource {
public:
    CPrefixSource(CByteSource& source, uint64_t length) : m_source(source), m_length(length) {}
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) override
    {
        return offset <= m_length && count <= m_length - offset && m_source.ReadAt(offset, buffer, count);
    }

private:
    CByteSource& m_source;
    uint64_t m_length;
};

// A signature appends a certificate table behind everything else and says in
// the program header's security directory (a file offset and a size, not an
// address) where it lies.
enum class SignatureState {
    Unsigned,   // no program header, or an empty security directory
    Signed,     // a table that ends exactly at the end of the file
    Misplaced,  // a table that lies elsewhere or outside the file
};
struct CertificateTable {
    uint64_t start = 0;        // file offset of the table
    uint32_t length = 0;
    uint64_t entryOffset = 0;  // file offset of the 8-byte security directory entry
};
// From the first size bytes of a file of fileLength bytes.
SignatureState FindCertificateTable(const uint8_t* header, size_t size, uint64_t fileLength, CertificateTable& out);
// The signing tool starts the table on an 8-byte boundary and fills the gap
// with up to 7 zero bytes. before holds the count bytes in front of the table;
// the package ends with its marker, whose last byte is never zero, so the
// zeros in front of the table are the padding.
uint64_t PackageEndBeforeTable(uint64_t tableStart, const uint8_t* before, size_t count);
struct PackageSpan {
    SignatureState state = SignatureState::Unsigned;
    uint64_t end = 0;  // one past the package's last byte: its marker
    CertificateTable table;
};
// Where the package of an installer ends: the end of the file, or before the
// certificate table and its padding. False for a misplaced table.
bool LocatePackageEnd(CByteSource& source, PackageSpan& out);

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

// The item that guards the others: one line "HEX  NAME\n" per other item, in
// the form sha256sum reads, so that the extracted folder can be checked by
// hand too. Its record names the item and carries the tag in its folder
// field, which no reader of the directory uses otherwise: a damaged name
// or tag still shows that the package had its checksums.
constexpr const char* kChecksumItemName = "checksums.sha256";
constexpr const char* kChecksumItemTag = "sha256";
constexpr uint32_t kMaxChecksumItemSize = 64 * 1024;

struct ItemChecksum {
    std::string name;
    Sha256Digest digest{};
};
// True when the entry claims to be the checksum item by its name or its tag.
bool IsChecksumEntry(const CPackEntry& entry);
std::string ItemChecksumBytes(const std::vector<ItemChecksum>& items);
// False for anything but well-formed lines of safe, distinct names.
bool ParseItemChecksums(const std::string& bytes, std::vector<ItemChecksum>& out);
// True when the directory has exactly one checksum entry, with both its name
// and its tag, and the list names each of the other entries exactly once.
bool ChecksumsCoverDirectory(const std::vector<ItemChecksum>& list, const ItemDirectory& directory);
