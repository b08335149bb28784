// The appended item directory, read backwards from the end of the input.
#include "common/path_rules.h"
#include "framework/endian.h"
#include "fuzz_support.h"
#include "format/item_directory.h"

#include <algorithm>

namespace {
// The directory as the builder lays it out: records from the last entry to
// the first, each followed by its length, then count and marker.
std::string Rewrite(const ItemDirectory& directory, size_t contentBytes)
{
    std::string out(contentBytes, 'x');
    for (size_t i = directory.entries.size(); i-- > 0;) {
        CPackWriter writer;
        directory.entries[i].WriteTo(writer);
        out.append(reinterpret_cast<const char*>(writer.Data()), writer.Size());
        AppendLe16(out, static_cast<uint16_t>(writer.Size()));
    }
    AppendLe16(out, static_cast<uint16_t>(directory.entries.size()));
    AppendLe16(out, kMarkerPackaged);
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CMemorySource source(data, size);
    // Where a signed package ends: never past the file, at most the padding
    // in front of a table that ends the file; nothing else moves the end.
    PackageSpan span;
    if (LocatePackageEnd(source, span)) {
        FUZZ_CHECK(span.state != SignatureState::Misplaced);
        if (span.state == SignatureState::Signed) {
            FUZZ_CHECK(span.table.start + span.table.length == size);
            FUZZ_CHECK(span.end <= span.table.start && span.table.start - span.end <= 7);
            FUZZ_CHECK(span.table.entryOffset + 8 <= std::min<size_t>(size, 4096));
        } else {
            FUZZ_CHECK(span.end == size);
        }
    } else {
        FUZZ_CHECK(span.state == SignatureState::Misplaced);
    }
    // A checksum list that reads, written again, reads the same.
    std::vector<ItemChecksum> list, listAgain;
    if (ParseItemChecksums(std::string(reinterpret_cast<const char*>(data), size), list)) {
        FUZZ_CHECK(ParseItemChecksums(ItemChecksumBytes(list), listAgain));
        FUZZ_CHECK(listAgain.size() == list.size());
        for (size_t i = 0; i < list.size(); ++i)
            FUZZ_CHECK(listAgain[i].name == list[i].name && listAgain[i].digest == list[i].digest &&
                       IsSafeName(list[i].name));
    }

    ItemDirectory directory;
    if (ParseItemDirectory(source, directory) != DirectoryError::None)
        return 0;

    FUZZ_CHECK(size >= 4);
    FUZZ_CHECK(directory.entries.size() == static_cast<size_t>(LoadLe16(data + size - 4)));
    FUZZ_CHECK(directory.start <= size - 4);
    uint64_t contents = 0;
    for (const CPackEntry& entry : directory.entries) {
        FUZZ_CHECK(IsSafeName(entry.m_strName));
        contents += entry.m_nSize;
    }
    FUZZ_CHECK(contents <= directory.start);

    // Written again, the directory reads back entry for entry. A folder text
    // holding a key byte cannot be scrambled and is left out of the match.
    ItemDirectory again;
    const std::string rewritten = Rewrite(directory, static_cast<size_t>(contents));
    CMemorySource second(reinterpret_cast<const uint8_t*>(rewritten.data()), rewritten.size());
    FUZZ_CHECK(ParseItemDirectory(second, again) == DirectoryError::None);
    FUZZ_CHECK(again.entries.size() == directory.entries.size());
    FUZZ_CHECK(again.start == contents);
    for (size_t i = 0; i < again.entries.size(); ++i) {
        FUZZ_CHECK(again.entries[i].m_nSize == directory.entries[i].m_nSize);
        FUZZ_CHECK(again.entries[i].m_strName == directory.entries[i].m_strName);
        if (IsScramblable(directory.entries[i].m_strFolder))
            FUZZ_CHECK(again.entries[i].m_strFolder == directory.entries[i].m_strFolder);
    }
    return 0;
}
