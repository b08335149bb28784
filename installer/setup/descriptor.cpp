// Loading the setup descriptor "install.tmd" into the setup record, and the
// two keys the self-extraction adds to it.
#include "common/ini_file.h"
#include "common/path_rules.h"
#include "common/shell.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"

#include <algorithm>

namespace {
// Number of entries a list section claims, bounded by the document: every
// entry needs at least one line, so a larger count cannot be real and would
// only make the loader spin.
int EntryCount(const CIniFile& ini, const char* section)
{
    const int n = ini.GetInt(section, "linknum", 0);
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

    m_strCompanyName = ini.GetValue("SoftInfo", "companyname", "");
    m_strProductName = ini.GetValue("SoftInfo", "productname", "");
    m_strProductVersion = ini.GetValue("SoftInfo", "productversion", "");
    m_strFolder = ini.GetValue("InstallInfo", "folder", m_strCompanyName);
    m_strInstallDir = m_strProgramFilesDir + m_strFolder;
    m_bFolderSel = ini.GetInt("InstallInfo", "bfoldersel", 1);
    m_strRunProgram = ini.GetValue("InstallInfo", "exefile", "");
    // The launcher goes beside the main program: a program outside the
    // install folder would take it there too.
    if (!m_strRunProgram.empty() && !IsSafeRelativePath(m_strRunProgram))
        m_strRunProgram.clear();
    m_strSourceExe = ini.GetValue("InstallInfo", "installexe", "");
    // Written as an unsigned 32-bit number: read back as one, so a package of
    // 2 to 4 GiB does not show a needed space of four thousand million KB.
    m_nDataSize = static_cast<uint32_t>(ToInt(ini.GetValue("InstallInfo", "filelen", "")));

    // An entry missing one of its values is skipped in all its lists, so the
    // lists stay side by side: group, target and link name of entry i are
    // always the same entry's.
    const int startCount = EntryCount(ini, "StartMenu");
    for (int i = 0; i < startCount; ++i) {
        std::string group = ini.GetValue("StartMenu", Format("group_%d", i), "");
        std::string program = ini.GetValue("StartMenu", Format("exefile_%d", i), "");
        std::string link = ini.GetValue("StartMenu", Format("linkname_%d", i), "");
        if (group.empty() || program.empty() || link.empty() || !IsSafeGroup(group) || !IsSafeLinkName(link, false))
            continue;
        m_arrGroups.push_back(std::move(group));
        m_arrStartPrograms.push_back(std::move(program));
        m_arrStartLinks.push_back(std::move(link));
    }
    const int desktopCount = EntryCount(ini, "Desktop");
    for (int i = 0; i < desktopCount; ++i) {
        std::string program = ini.GetValue("Desktop", Format("exefile_%d", i), "");
        std::string link = ini.GetValue("Desktop", Format("linkname_%d", i), "");
        if (program.empty() || link.empty() || !IsSafeLinkName(link, true))
            continue;
        m_arrDesktopPrograms.push_back(std::move(program));
        m_arrDesktopLinks.push_back(std::move(link));
    }
    m_bSystemDll = ini.GetInt("SystemDll", "ckdll", 0);
    return true;
}

bool CSetupInfo::UpdateDescriptor(const std::string& path)
{
    CIniFile ini;
    if (!ini.Load(path, true))
        return false;
    ini.SetValue("InstallInfo", "installexe", m_strSourceExe);
    ini.SetValue("InstallInfo", "filelen", Format("%lu", static_cast<unsigned long>(m_nDataSize & 0xFFFFFFFF)));
    return ini.Save();
}
