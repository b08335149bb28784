// Entry headers of a packed archive: a 16-bit length, then a CPackEntry
// (size, name, folder) of at most 256 bytes, then the file's bytes.
#pragma once

#include "installer/core/pack_entry.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class EntryHeaderError {
    None,
    Damaged,     // too long, cut short, or fields that do not fill the header exactly
    UnsafePath,  // folder + name would not name a file inside the install folder
};

// Parses the header bytes that follow the 16-bit length.
EntryHeaderError ParseEntryHeader(const uint8_t* data, size_t size, CPackEntry& out);
