#include "uninstaller/uninstall_info.h"

#include "common/ini_file.h"
#include "common/path_rules.h"
#include "common/shell.h"
#include "format/record_schema.h"
#include "framework/strings.h"

#include <algorithm>

namespace key = record_schema;

namespace {
// Reads one indexed list; empty values are left out, so later entries move up.
std::vector<std::string> ReadList(const CIniFile& record, const char* section, const char* countKey,
                                  const char* itemPrefix)
{
    std::vector<std::string> items;
    // A record cannot hold more entries than it has lines: a forged count of
    // two thousand million must not make the uninstaller spin.
    const int count = record.GetInt(section, countKey, 0);
    const size_t n = count > 0 ? std::min(static_cast<size_t>(count), record.LineCount()) : 0;
    for (size_t i = 0; i < n; ++i) {
        std::string value = record.GetValue(section, key::Numbered(itemPrefix, static_cast<int>(i)), std::string());
        if (!value.empty())
            items.push_back(std::move(value));
    }
    return items;
}
}  // namespace

bool CUninstallInfo::Load() { return LoadFrom(GetModuleFolder()); }

bool CUninstallInfo::LoadFrom(const std::string& folder)
{
    // Only a record beside the uninstaller: the name comes from a command
    // line, and the record file is the first thing the removal deletes.
    if (folder.empty() || !IsRecordName(m_strRecordPath))
        return false;
    m_strRecordPath = folder + m_strRecordPath;
    if (!FileExists(m_strRecordPath))
        return false;

    // A record that is there but cannot be read (locked, or gone between the
    // look and the read) is an error: taken as empty, its removal would
    // delete the record and leave the product with nothing to remove it by.
    // A damaged record that can be read still loads as far as it goes.
    CIniFile record;
    if (!record.Load(m_strRecordPath, true) || !record.Exists())
        return false;
    m_strProductName = record.GetValue(key::kProduct, key::kProductName, std::string());
    m_strInstallDir = record.GetValue(key::kInstall, key::kInstallDir, std::string());
    // Records of earlier installers lack the key: their folder counts as
    // one the installation did not make.
    m_bInstallDirCreated = record.GetInt(key::kInstall, key::kDirCreated, 0) == 1;

    // Groups and Start-menu links are read in one pass, each list compacted
    // on its own, as every deployed uninstaller has paired them.
    const int count = record.GetInt(key::kStartMenu, key::kLinkCount, 0);
    const size_t n = count > 0 ? std::min(static_cast<size_t>(count), record.LineCount()) : 0;
    for (size_t i = 0; i < n; ++i) {
        std::string group = record.GetValue(key::kStartMenu, key::Numbered(key::kGroupPrefix, static_cast<int>(i)), std::string());
        for (size_t at = MbFind(group, '|'); at != npos; at = MbFind(group, '|', at + 1))
            group[at] = '\\';
        if (!group.empty())
            m_arrGroups.push_back(std::move(group));
        std::string link = record.GetValue(key::kStartMenu, key::Numbered(key::kLinkPrefix, static_cast<int>(i)), std::string());
        if (!link.empty())
            m_arrStartLinks.push_back(std::move(link));
    }
    m_arrDesktopLinks = ReadList(record, key::kDesktop, key::kLinkCount, key::kLinkPrefix);
    m_arrInstalledFiles = ReadList(record, key::kFiles, key::kFileCount, key::kFilePrefix);
    return true;
}

std::string RecordNameFromArguments(const std::string& arguments)
{
    const size_t at = arguments.find_first_not_of(" \t");
    return at == std::string::npos ? std::string() : arguments.substr(at);
}

UninstallerArguments ReadUninstallerArguments(const std::string& arguments)
{
    UninstallerArguments read;
    std::string rest = RecordNameFromArguments(arguments);
    if (rest.size() >= 2 && rest[0] == '/' && (rest[1] == 'S' || rest[1] == 's') &&
        (rest.size() == 2 || rest[2] == ' ' || rest[2] == '\t')) {
        read.silent = true;
        rest = RecordNameFromArguments(rest.substr(2));
    }
    if (!rest.empty() && rest[0] == '/')
        read.refused = true;
    else
        read.recordName = rest;
    return read;
}
