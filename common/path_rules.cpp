#include "common/path_rules.h"

#include "framework/strings.h"

namespace {
bool IsForbidden(unsigned char c)
{
    return c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
           c == '|';
}

// CON, NUL, COM1 and the like name a device in every folder, whatever the
// extension, and Windows ignores blanks before the extension: "CON .txt" is
// the console too.
bool IsDeviceName(const std::string& name)
{
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    stem = MbLowerAscii(stem);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
        if (stem == device)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) && stem[3] >= '0' &&
           stem[3] <= '9';
}

// Calls part(component) for each component between single backslashes;
// false at the first one it refuses. Every separator is found by whole
// characters, so a trail byte 0x5C stays inside its name.
template <class Judge>
bool EveryComponent(const std::string& path, Judge part)
{
    size_t start = 0;
    for (;;) {
        const size_t slash = MbFind(path, '\\', start);
        if (!part(path.substr(start, slash == npos ? npos : slash - start)))
            return false;
        if (slash == npos)
            return true;
        start = slash + 1;
    }
}
}  // namespace

bool IsSafeName(const std::string& name)
{
    if (name.empty() || name.find_first_not_of(". ") == std::string::npos || !IsWellFormedGbk(name))
        return false;
    for (size_t i = 0; i < name.size(); i += GbkCharLength(name, i)) {
        if (GbkCharLength(name, i) == 1 && IsForbidden(static_cast<unsigned char>(name[i])))
            return false;
    }
    // Windows drops trailing dots and blanks: "a." would be stored as "a".
    return name.back() != '.' && name.back() != ' ' && !IsDeviceName(name);
}

bool IsSafeRelativePath(const std::string& path) { return EveryComponent(path, IsSafeName); }

bool IsSafeRelativePath(const std::string& folder, const std::string& name)
{
    return IsSafeRelativePath(folder + name);
}

bool IsSafeRelativeFolder(const std::string& folder)
{
    return folder.size() > 1 && MbReverseFind(folder, '\\') == folder.size() - 1 &&
           IsSafeRelativePath(folder.substr(0, folder.size() - 1));
}

bool IsSafeLinkName(const std::string& link, bool separatorRequired)
{
    if (!link.empty() && link[0] == '\\')
        return IsSafeName(link.substr(1));
    return !separatorRequired && IsSafeName(link);
}

bool IsSafeGroup(const std::string& group)
{
    // Split as the installer splits it: no "|" at all is the Programs folder
    // itself; otherwise every field ends at a "|" (one is added after the
    // last byte when it is none), a last field without one runs to the end,
    // and only the first two fields become folders, an empty one adding no
    // level.
    if (MbFind(group, '|') == npos)
        return true;
    const std::string text = group.back() == '|' ? group : group + '|';
    size_t start = 0;
    for (int field = 0; field < 2 && start < text.size(); ++field) {
        const size_t bar = MbFind(text, '|', start);
        const std::string name = text.substr(start, bar == npos ? npos : bar - start);
        if (!name.empty() && !IsSafeName(name))
            return false;
        if (bar == npos)
            break;
        start = bar + 1;
    }
    return true;
}

bool IsLocalFolder(const std::string& folder)
{
    if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' || MbReverseFind(folder, '\\') != folder.size() - 1)
        return false;
    const char drive = static_cast<char>(folder[0] | 0x20);
    if (drive < 'a' || drive > 'z')
        return false;
    return folder.size() == 3 || IsSafeRelativePath(folder.substr(3, folder.size() - 4));
}

bool IsRecordName(const std::string& name)
{
    return name.size() > 4 && MbLowerAscii(name.substr(name.size() - 4)) == ".tmd" && IsSafeName(name);
}

std::string TidyFolder(const std::string& typed)
{
    const std::string text = Trim(typed);
    std::string folder;
    for (size_t i = 0; i < text.size(); i += GbkCharLength(text, i)) {
        if (GbkCharLength(text, i) == 2) {
            folder.append(text, i, 2);
            continue;
        }
        const char c = text[i] == '/' ? '\\' : text[i];
        if (c == '\\' && folder.size() > 1 && MbReverseFind(folder, '\\') + 1 == folder.size())
            continue;
        folder += c;
    }
    if (!folder.empty() && MbReverseFind(folder, '\\') + 1 != folder.size())
        folder += '\\';
    return folder;
}

std::string FoldPath(const std::string& path)
{
    std::string folded;
    folded.reserve(path.size());
    // Whether the last character was a separator: the last byte may be the
    // trail byte 5C of a two-byte character instead.
    bool afterSeparator = false;
    for (size_t i = 0; i < path.size(); i += GbkCharLength(path, i)) {
        if (GbkCharLength(path, i) == 2) {
            folded.append(path, i, 2);
            afterSeparator = false;
            continue;
        }
        char c = path[i] == '/' ? '\\' : path[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        // "C:\a\\b" names "C:\a\b"; a leading "\\" (a share) stays.
        if (c == '\\' && folded.size() > 1 && afterSeparator)
            continue;
        afterSeparator = c == '\\';
        folded += c;
    }
    return folded;
}

bool IsSameOrAncestor(const std::string& folder, const std::string& inner)
{
    std::string a = FoldPath(folder), b = FoldPath(inner);
    if (a.empty() || b.empty())
        return false;
    for (std::string* path : {&a, &b}) {
        if (MbReverseFind(*path, '\\') + 1 != path->size())
            *path += '\\';
    }
    // Both scan alike up to the length of a, so a prefix that ends at a
    // separator of a ends at one of b.
    return b.compare(0, a.size(), a) == 0;
}
