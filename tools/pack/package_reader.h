// Reading a shipped installer back: its items, and the files of the packed
// archives inside its block-compressed items.
#pragma once

#include "format/pack_entry.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

struct PackageItem {
    std::string name;  // GBK
    uint32_t size = 0;
    uint64_t offset = 0;  // of its content in the installer file
    bool tagged = false;  // its record carries the checksum item's tag
};

// Reads the item directory. Throws CPackFailure when the file is no shipped
// installer or its directory is damaged.
std::vector<PackageItem> ReadPackageItems(std::ifstream& file, const std::string& fileName);

// What is wrong with the items against the package's checksum item, as the
// installer checks them; "" when they match or the package has none.
std::string CheckItemChecksums(std::ifstream& file, const std::vector<PackageItem>& items);

// Copies one item's raw bytes to sink.
void ReadItem(std::ifstream& file, const PackageItem& item, const std::function<void(const char*, size_t)>& sink);

// Decodes a block-compressed item and walks the archive it holds: for each
// entry, onEntry returns where its bytes go (or nullptr to skip them).
// progress(bytes of the item consumed so far) is called now and then. Throws CPackFailure on
// damage, naming the item.
using ContentSink = std::function<void(const char*, size_t)>;
void WalkArchiveItem(std::ifstream& file, const PackageItem& item,
                     const std::function<ContentSink(const CPackEntry&)>& onEntry,
                     const std::function<void(uint64_t)>& progress = nullptr);
