// Shipped installers and packages made in memory for the end-to-end tests.
#pragma once

#include "common/scramble.h"
#include "driver.h"
#include "format/item_directory.h"
#include "format/pack_entry.h"
#include "format/block_compressor.h"

#include <string>
#include <utility>
#include <vector>

namespace e2e {

inline std::string Record(const std::string& name, size_t size)
{
    CPackEntry entry;
    entry.m_nSize = static_cast<uint32_t>(size);
    entry.m_strName = name;
    if (name == kChecksumItemName)
        entry.m_strFolder = kChecksumItemTag;
    CPackWriter writer;
    entry.WriteTo(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Size());
}

// The start of an archive entry: header length and header (size, name, folder).
inline std::string ArchiveEntryHeader(const std::string& folder, const std::string& name, uint32_t size)
{
    CPackEntry entry;
    entry.m_nSize = size;
    entry.m_strName = name;
    entry.m_strFolder = folder;
    CPackWriter writer;
    entry.WriteTo(writer);
    std::string header(reinterpret_cast<const char*>(writer.Data()), writer.Size());
    return U16(static_cast<unsigned>(header.size())) + header;
}

// One archive entry: its header, then its content.
inline std::string ArchiveEntry(const std::string& folder, const std::string& name, const std::string& content)
{
    return ArchiveEntryHeader(folder, name, static_cast<uint32_t>(content.size())) + content;
}

// One block of a block-compressed file: its length, then the compressed bytes.
inline std::string CompressedBlock(const std::string& plain)
{
    const std::string piece =
        CompressPiece(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), CompressionLevel::Fast);
    return U16(static_cast<unsigned>(piece.size())) + piece;
}

// A shipped installer: the program, then the items, the directory, the count and 1978.
inline std::string Shipped(const std::string& program, const std::vector<std::pair<std::string, std::string>>& items)
{
    std::string out = program;
    for (size_t i = items.size(); i-- > 0;)
        out += items[i].second;
    for (size_t i = items.size(); i-- > 0;) {
        const std::string record = Record(items[i].first, items[i].second.size());
        out += record + U16(static_cast<unsigned>(record.size()));
    }
    return out + U16(static_cast<unsigned>(items.size())) + U16(1978);
}

// The built installer shipping a product: its data, descriptor and licence
// with the built uninstaller and launcher.
inline std::string ShippedProduct(const std::string& data, const std::string& descriptor,
                                  const std::string& licence = "licence")
{
    return Shipped(ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE")),
                   {{"data.rar", data},
                    {"install.tmd", descriptor},
                    {"license.txt", licence},
                    {"untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))},
                    {"uninstall.exe", ReadFileBytes(BuiltProgram("TMD_LAUNCHER_EXE"))}});
}

// The items with the builder's checksum list in front, as item 1.
inline std::vector<std::pair<std::string, std::string>> WithChecksums(std::vector<std::pair<std::string, std::string>> items)
{
    std::vector<ItemChecksum> list;
    for (const auto& [name, content] : items)
        list.push_back({name, Sha256Of(content.data(), content.size())});
    items.insert(items.begin(), {kChecksumItemName, ItemChecksumBytes(list)});
    return items;
}

inline std::string Scrambled(std::string text)
{
    ScrambleBytes(text);
    return text;
}


}  // namespace e2e
