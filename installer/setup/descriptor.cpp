// Loading the setup descriptor "install.tmd" into the setup record, and the
// two keys the self-extraction adds to it.
#include "common/ini_file.h"
#include "common/path_rules.h"
#include "common/shell.h"
#include "format/descriptor_schema.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"

#include <algorithm>

namespace key = descriptor_schema;

namespace {
// Number of entries a list section claims, bounded by the document: every
// entry needs at least one line, so a larger count cannot be real and would
// only make the loader spin.
int EntryCount(const CIniFile& ini, const char* section)
{
    const int n = ini.GetInt(section, key::kLinkNum, 0);
    return std::clamp(n, 0, static_cast<int>(std::min<size_t>(ini.LineCount(), 0x7FFFFFFF)));
}
}  // namespace

bool CSetupInfo::LoadDescriptor() { return LoadDescriptorFrom(GetModuleFolder() + "install.tmd"); }

bool CSetupInfo::LoadDescriptorFrom(const std::string& path)
{
    CIniFile ini;
    if (!ini.Load(path, true))
        return false;
    m_strProgramFilesDir = GetProgramFilesFolder();

    m_strCompanyName = ini.GetValue(key::kSoftInfo, key::kCompanyName, "");
    m_strProductName = ini.GetValue(key::kSoftInfo, key::kProductName, "");
    m_strProductVersion = ini.GetValue(key::kSoftInfo, key::kProductVersion, "");
    m_strFolder = ini.GetValue(key::kInstallInfo, key::kFolder, m_strCompanyName);
    m_strInstallDir = m_strProgramFilesDir + m_strFolder;
    m_bFolderSel = ini.GetInt(key::kInstallInfo, key::kFolderSel, 1);
    m_strRunProgram = ini.GetValue(key::kInstallInfo, key::kExeFile, "");
    // The launcher goes beside the main program: a program outside the
    // install folder would take it there too.
    if (!m_strRunProgram.empty() && !IsSafeRelativePath(m_strRunProgram))
        m_strRunProgram.clear();
    m_strSourceExe = ini.GetValue(key::kInstallInfo, key::kInstallExe, "");
    // Written as an unsigned 32-bit number: read back as one, so a package of
    // 2 to 4 GiB does not show a needed space of four thousand million KB.
    m_nDataSize = static_cast<uint32_t>(ToInt(ini.GetValue(key::kInstallInfo, key::kFileLen, "")));

    // An entry missing one of its values is skipped in all its lists, so the
    // lists stay side by side: group, target and link name of entry i are
    // always the same entry's.
    const int startCount = EntryCount(ini, key::kStartMenu);
    for (int i = 0; i < startCount; ++i) {
        std::string group = ini.GetValue(key::kStartMenu, key::Numbered(key::kGroupPrefix, i), "");
        std::string program = ini.GetValue(key::kStartMenu, key::Numbered(key::kExeFilePrefix, i), "");
        std::string link = ini.GetValue(key::kStartMenu, key::Numbered(key::kLinkNamePrefix, i), "");
        if (group.empty() || program.empty() || link.empty() || !IsSafeGroup(group) || !IsSafeLinkName(link, false))
            continue;
        m_arrGroups.push_back(std::move(group));
        m_arrStartPrograms.push_back(std::move(program));
        m_arrStartLinks.push_back(std::move(link));
    }
    const int desktopCount = EntryCount(ini, key::kDesktop);
    for (int i = 0; i < desktopCount; ++i) {
        std::string program = ini.GetValue(key::kDesktop, key::Numbered(key::kExeFilePrefix, i), "");
        std::string link = ini.GetValue(key::kDesktop, key::Numbered(key::kLinkNamePrefix, i), "");
        if (program.empty() || link.empty() || !IsSafeLinkName(link, true))
            continue;
        m_arrDesktopPrograms.push_back(std::move(program));
        m_arrDesktopLinks.push_back(std::move(link));
    }
    m_bSystemDll = ini.GetInt(key::kSystemDll, key::kCkDll, 0);
    m_bUninstallEntry = ini.GetInt(key::kInstallInfo, key::kUninstallEntry, 0);
    return true;
}

bool CSetupInfo::UpdateDescriptor(const std::string& path)
{
    CIniFile ini;
    if (!ini.Load(path, true))
        return false;
    ini.SetValue(key::kInstallInfo, key::kInstallExe, m_strSourceExe);
    ini.SetValue(key::kInstallInfo, key::kFileLen, Format("%lu", static_cast<unsigned long>(m_nDataSize & 0xFFFFFFFF)));
    return ini.Save();
}
