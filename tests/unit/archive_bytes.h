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

// A small generator of numbers that look random, the same for the same seed.
struct CXorShift {
    uint32_t x;
    uint32_t operator()()
    {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    }
};

// Bytes that compress poorly, different for every seed.
inline std::string NoiseBytes(size_t size, unsigned seed)
{
    std::string out(size, '\0');
    CXorShift next{seed * 2654435761u + 1};
    for (char& c : out)
        c = static_cast<char>(next());
    return out;
}
