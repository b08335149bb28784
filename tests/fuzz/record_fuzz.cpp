// The uninstall record: any text, scrambled as it lies on disk, through the
// uninstaller's loader and the checks the removal puts on its paths.
#include "common/path_rules.h"
#include "common/scramble.h"
#include "framework/strings.h"
#include "fuzz_support.h"
#include "uninstaller/uninstall_info.h"

namespace {
// What no path the removal accepts may hold, checked character by
// character (a GBK trail byte belongs to its character): a colon, a
// wildcard, a lead byte without its trail byte, or a component of dots only.
bool MayBeContained(const std::string& path)
{
    if (!IsWellFormedGbk(path))
        return false;
    for (char c : std::string(":*?\"<>|/"))
        if (MbFind(path, c) != npos)
            return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = MbFind(path, '\\', start);
        const std::string part = path.substr(start, slash == npos ? npos : slash - start);
        if (!part.empty() && part.find_first_not_of('.') == std::string::npos)
            return false;
        if (slash == npos)
            return true;
        start = slash + 1;
    }
}

void CheckNonEmpty(const std::vector<std::string>& list, size_t limit)
{
    FUZZ_CHECK(list.size() <= limit);
    for (const std::string& item : list)
        FUZZ_CHECK(!item.empty());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string folder = FuzzFolder();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ScrambleBytes(bytes);
    FUZZ_CHECK(WriteFuzzFile(folder + "Demo.tmd", bytes));

    CUninstallInfo info;
    info.m_strRecordPath = RecordNameFromArguments("  Demo.tmd");
    // An empty record cannot be unscrambled, so it cannot be read at all.
    const bool loaded = info.LoadFrom(folder);
    FUZZ_CHECK(loaded == (size > 0));
    if (!loaded)
        return 0;
    FUZZ_CHECK(info.m_strRecordPath == folder + "Demo.tmd");
    const size_t limit = size + 1;
    CheckNonEmpty(info.m_arrGroups, limit);
    CheckNonEmpty(info.m_arrStartLinks, limit);
    CheckNonEmpty(info.m_arrDesktopLinks, limit);
    CheckNonEmpty(info.m_arrInstalledFiles, limit);
    for (const std::string& group : info.m_arrGroups)
        FUZZ_CHECK(MbFind(group, '|') == npos);

    // The removal's path checks over what the record gives it.
    for (const std::string& file : info.m_arrInstalledFiles)
        if (IsSafeRelativePath(file))
            FUZZ_CHECK(MayBeContained(file));
    for (const std::string& link : info.m_arrDesktopLinks)
        if (IsSafeLinkName(link, true))
            FUZZ_CHECK(MayBeContained(link) && MbFind(link, '\\', 1) == npos);
    if (IsLocalFolder(info.m_strInstallDir)) {
        FUZZ_CHECK(info.m_strInstallDir.size() >= 3 && info.m_strInstallDir[1] == ':' &&
                   info.m_strInstallDir.back() == '\\');
        FUZZ_CHECK(MayBeContained(info.m_strInstallDir.substr(3)));
        FUZZ_CHECK(IsSameOrAncestor(info.m_strInstallDir, info.m_strInstallDir));
    }
    // A record name never carries a folder, a drive or a stream.
    const std::string name = info.m_strProductName;
    if (IsRecordName(name)) {
        FUZZ_CHECK(MayBeContained(name));
        FUZZ_CHECK(MbFind(name, '\\') == npos);
    }
    return 0;
}
