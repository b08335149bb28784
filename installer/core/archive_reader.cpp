#include "installer/core/archive_reader.h"

#include "framework/strings.h"
#include "installer/core/item_directory.h"

namespace {
// CON, NUL, COM1 and the like name devices in every folder, with any extension.
bool IsDeviceName(const std::string& component)
{
    std::string stem = component.substr(0, component.find('.'));
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

bool IsSafeComponent(const std::string& component)
{
    if (!IsPlainFileName(component) || IsDeviceName(component))
        return false;
    // Windows drops trailing dots and spaces, so "..." or "a " would name
    // something other than what the archive says.
    char lastChar = component.back();
    return lastChar != '.' && lastChar != ' ';
}
}  // namespace

EntryHeaderError ParseEntryHeader(const uint8_t* data, size_t size, CPackEntry& out)
{
    out = CPackEntry();
    if (size < 4 || size > kMaxRecordSize)
        return EntryHeaderError::Damaged;
    CPackReader reader(data, size);
    out.ReadFrom(reader);
    // The writer fills a header exactly; anything else means a field count
    // was wrong and a text came back empty.
    if (reader.Position() != size || out.m_strName.empty())
        return EntryHeaderError::Damaged;
    if (!IsSafeRelativePath(out.m_strFolder, out.m_strName))
        return EntryHeaderError::UnsafePath;
    return EntryHeaderError::None;
}

bool IsSafeRelativePath(const std::string& folder, const std::string& name)
{
    const std::string path = folder + name;
    size_t start = 0;
    for (;;) {
        size_t slash = MbFind(path, '\\', start);
        std::string component = path.substr(start, slash == npos ? npos : slash - start);
        if (component.empty() || !IsSafeComponent(component))
            return false;
        if (slash == npos)
            return true;
        start = slash + 1;
    }
}
