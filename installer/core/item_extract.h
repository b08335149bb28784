// Taking the appended package off an installer copy: the directory cut off,
// then each item moved into a file of its own.
#pragma once

#include "format/item_directory.h"
#include "framework/status.h"

#include <functional>
#include <string>

class CFile;
class CSetupInfo;

// An open file as the bytes the package is read from.
class CFileSource : public CByteSource {
public:
    explicit CFileSource(CFile& file);
    uint64_t Length() const override { return m_length; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) override;

private:
    CFile& m_file;
    uint64_t m_length;
};

// Parses the directory of an open installer copy and, on success, cuts
// directory, count and marker off the file.
DirectoryError ReadItemDirectory(CFile& file, ItemDirectory& out);

// Moves the last m_nSize bytes of the copy into the file m_strFolder, in
// bounded chunks, and cuts them off the copy. False when the copy cannot be
// opened, is shorter than the item, or the output cannot be written; the copy
// then keeps its length.
// hash, if given, takes the bytes on their way.
Status ExtractItem(const std::string& copyPath, const CPackEntry& entry, CSha256* hash = nullptr);
// Appends the marker 2008 to a non-empty file; false when it could not.
bool MarkExtracted(const std::string& copyPath);

enum class ExtractError {
    None,
    Cancelled,
    WriteFailed,
    Damaged,  // an item's content or name differs from the package's checksums
};

// Extracts every entry, entry 1 first, into tempDir and notes the size of
// "data.rar" in the setup record. A package with its checksum item has every
// item checked as it is moved, each as soon as the list is known (the
// builder puts the list first), and stops at the first that differs. afterItem(number of items done) is called
// after each item and returns false to stop. The first item that cannot be
// extracted ends the run, so no later item can take the wrong bytes.
ExtractError ExtractAllItems(const std::string& copyPath, const std::string& tempDir, ItemDirectory& directory,
                             CSetupInfo& setup, const std::function<bool(size_t)>& afterItem);
