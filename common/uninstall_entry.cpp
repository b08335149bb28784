#include "common/uninstall_entry.h"

#include "framework/strings.h"

std::string UninstallEntryKey(const std::string& productName)
{
    // A key name cannot hold a backslash: it would name a key below. Only
    // whole characters are looked at, never the second byte of a GBK one.
    std::string key = "Tessaramond_";
    // The registry takes key names of up to 255 characters.
    constexpr size_t kMaxKeyBytes = 200;
    for (size_t i = 0; i < productName.size();) {
        const size_t n = GbkCharLength(productName, i);
        if (key.size() + n > kMaxKeyBytes)
            break;
        if (n == 1 && productName[i] == '\\')
            key += '_';
        else
            key.append(productName, i, n);
        i += n;
    }
    return key;
}
