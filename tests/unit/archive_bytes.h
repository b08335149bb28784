// Builds packed archives and block-compressed files in memory for the
// worker tests.
#pragma once

#include "format/pack_entry.h"
#include "package_bytes.h"

#include <string>

// One archive entry: 16-bit header length, header, content.
inline std::string EntryBytes(const std::string& folder, const std::string& name, const std::string& content)
{
    CPackEntry entry;
    entry.m_nSize = static_cast<uint32_t>(content.size());
    entry.m_strName = name;
    entry.m_strFolder = folder;
    std::string header = RecordBytes(entry);
    return U16(static_cast<unsigned>(header.size())) + header + content;
}

// Bytes that compress poorly, different for every seed.
inline std::string NoiseBytes(size_t size, unsigned seed)
{
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return out;
}
