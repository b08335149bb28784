// The product's entry in the system's list of installed programs (Apps &
// Features, Programs and Features): the Uninstall key of the registry, in
// the machine's hive or, where the installation may not write there, the
// user's. Texts are GBK, as everywhere in the programs.
#pragma once

#include "framework/status.h"

#include <cstdint>
#include <string>

struct UninstallEntry {
    std::string displayName;
    std::string displayVersion;
    std::string publisher;
    std::string installLocation;
    std::string uninstallString;       // the launcher, quoted
    std::string quietUninstallString;  // the launcher with /S
    std::string displayIcon;
    uint32_t estimatedSizeKb = 0;
    // The uninstall record ("12345.tmd") the entry belongs to: a removal
    // deletes only its own record's entry, never that of a later
    // installation of the same product.
    std::string record;
};

// The entry's key name for a product: one key per product name, so that a
// reinstallation replaces its entry instead of listing the product twice.
std::string UninstallEntryKey(const std::string& productName);

// Writes the entry under the key; perMachine tells the hive it went to.
Status WriteUninstallEntry(const std::string& key, const UninstallEntry& entry, bool& perMachine);
// The entry under the key, machine's hive first; false when there is none.
bool ReadUninstallEntry(const std::string& key, UninstallEntry& entry, bool& perMachine);
// Deletes the entry under the key in whichever hive holds it, when it
// belongs to the record; NotFound when there is no such entry, Exists when
// the entry there is another installation's (it stays).
Status DeleteUninstallEntry(const std::string& key, const std::string& record);
