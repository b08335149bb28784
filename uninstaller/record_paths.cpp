#include "uninstaller/record_paths.h"

#include "framework/strings.h"

#include <vector>

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Characters Windows never allows in a name, and ':' that would name a drive
// or a stream. None of them is a possible trail byte of a GBK character.
bool IsForbidden(unsigned char c) { return c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|'; }

// Splits at '\\' and '/' by whole characters; false on a forbidden character.
bool SplitComponents(const std::string& path, std::vector<std::string>& parts)
{
    parts.assign(1, std::string());
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < path.size()) {
            parts.back() += path.substr(i, 2);
            ++i;
        } else if (IsSeparator(path[i])) {
            parts.emplace_back();
        } else if (IsForbidden(c)) {
            return false;
        } else {
            parts.back() += path[i];
        }
    }
    return true;
}

// "..", "." and names like ". ." or "...": Windows drops trailing dots and
// blanks, so any of them may come to mean the parent folder.
bool IsDotsOnly(const std::string& part)
{
    return !part.empty() && part.find_first_not_of(". ") == std::string::npos;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when text begins with prefix, ASCII letters compared without case; a
// double-byte character is compared as it is.
bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(prefix[i])) && i + 1 < prefix.size()) {
            if (text[i] != prefix[i] || text[i + 1] != prefix[i + 1])
                return false;
            ++i;
        } else if (Fold(text[i]) != Fold(prefix[i])) {
            return false;
        }
    }
    return true;
}
}  // namespace

bool IsContainedPath(const std::string& relative)
{
    std::vector<std::string> parts;
    if (!SplitComponents(relative, parts))
        return false;
    bool named = false;
    for (const std::string& part : parts) {
        if (IsDotsOnly(part))
            return false;
        named = named || !part.empty();
    }
    return named && !parts.back().empty();
}

bool IsLocalFolder(const std::string& folder)
{
    if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' || folder.back() != '\\')
        return false;
    const char drive = Fold(folder[0]);
    if (drive < 'a' || drive > 'z')
        return false;
    if (folder.size() == 3)
        return true;
    std::vector<std::string> parts;
    if (!SplitComponents(folder.substr(3, folder.size() - 4), parts))
        return false;
    for (const std::string& part : parts) {
        if (part.empty() || IsDotsOnly(part))
            return false;
    }
    return true;
}

bool IsSweepableFolder(const std::string& folder, const std::string* protectedFolders, size_t count)
{
    if (!IsLocalFolder(folder) || folder.size() == 3)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (!protectedFolders[i].empty() && StartsWithNoCase(protectedFolders[i], folder))
            return false;
    }
    return true;
}

bool IsRecordName(const std::string& name)
{
    if (name.size() <= 4 || MbFind(name, '\\') != npos || name.find('/') != std::string::npos)
        return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix)
        c = Fold(c);
    return suffix == ".tmd" && IsContainedPath(name);
}
