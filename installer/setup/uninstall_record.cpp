// What the installer leaves behind for the removal of a product: the shared
// uninstaller, the scrambled uninstall record, and the launcher stamped with
// the record's identifier.
#include "common/ini_file.h"
#include "common/shell.h"
#include "common/uninstall_entry.h"
#include "format/record_schema.h"
#include "framework/clock.h"
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"

#include <algorithm>

namespace key = record_schema;

void CSetupInfo::DeployUninstaller() { DeployUninstallerFrom(GetModuleFolder()); }

void CSetupInfo::DeployUninstallerFrom(const std::string& sourceFolder)
{
    m_strSharedDir = GetCommonFilesFolder() + "Tessaramond\\";
    if (Status made = CreateFolder(m_strSharedDir); !made && !made.Is(StatusCode::Exists))
        m_log.Failed("setup", "the uninstaller's folder", made);
    const std::string target = m_strSharedDir + "untessaramond.exe";
    const std::string source = sourceFolder + "untessaramond.exe";
    if (!FileExists(target)) {
        if (m_log.Check("setup", "deploying the uninstaller", MoveFileTo(source, target)))
            m_log.Write("setup", "uninstaller deployed: " + target);
        return;
    }
    // Versions compare as the numbers their four parts form when written
    // one after another, as every deployed uninstaller has compared them.
    const int deployed = ToInt(GetFileVersionNumber(target));
    const int offered = ToInt(GetFileVersionNumber(source));
    if (offered <= deployed) {
        m_log.Write("setup", Format("uninstaller %s kept (version %d, this one %d)", target.c_str(), deployed, offered));
        return;
    }
    if (m_log.Check("setup", "updating the uninstaller", CopyFileTo(source, target, false)))
        m_log.Write("setup", Format("uninstaller %s updated to version %d", target.c_str(), offered));
}

std::string CSetupInfo::LauncherRelativePath() const
{
    const size_t cut = MbReverseFind(m_strRunProgram, '\\');
    return (cut == npos ? std::string() : m_strRunProgram.substr(0, cut + 1)) + "uninstall.exe";
}

bool CSetupInfo::WriteUninstallRecord() { return WriteUninstallRecordFrom(GetModuleFolder()); }

bool CSetupInfo::WriteUninstallRecordFrom(const std::string& sourceFolder)
{
    // The identifier names the record and is stamped into the launcher, so it
    // must not name a record of another installation: take the next free one.
    uint32_t id = GetTickCount32();
    for (int tries = 0; tries < 100000 && FileExists(Format("%s%lu.tmd", m_strSharedDir.c_str(), static_cast<unsigned long>(id))); ++tries)
        ++id;
    m_strRecordPath = Format("%s%lu.tmd", m_strSharedDir.c_str(), static_cast<unsigned long>(id));

    const std::string source = sourceFolder + "uninstall.exe";
    {
        CFile launcher;
        if (!m_log.Check("record", "the launcher", launcher.Open(source, CFile::modeReadWrite | CFile::shareDenyNone)))
            return false;
        uint8_t stamp[4];
        StoreLe32(stamp, id);
        if (launcher.Seek(0, CFile::end) < 0 ||
            !m_log.Check("record", "stamping the launcher", launcher.Write(stamp, sizeof stamp)))
            return false;
    }
    const std::string rel = LauncherRelativePath();
    // The record lists only what is there to remove: a launcher that could
    // not be copied is left out of it.
    if (m_log.Check("record", "placing the launcher", CopyFileTo(source, m_strInstallDir + rel, false)))
        m_arrInstalledFiles.push_back(rel);

    CIniFile record;
    record.Load(m_strRecordPath, true);
    record.SetValue(key::kProduct, key::kProductName, m_strProductName);
    record.SetValue(key::kInstall, key::kInstallDir, m_strInstallDir);
    record.SetInt(key::kInstall, key::kDirCreated, m_bInstallDirCreated ? 1 : 0);
    record.SetInt(key::kStartMenu, key::kLinkCount, static_cast<int>(m_arrStartLinks.size()));
    for (size_t i = 0; i < m_arrStartLinks.size(); ++i) {
        // The descriptor loader keeps the lists side by side; should one be
        // short all the same, the group is written empty, never read past.
        record.SetValue(key::kStartMenu, key::Numbered(key::kGroupPrefix, static_cast<int>(i)),
                        i < m_arrGroups.size() ? m_arrGroups[i] : std::string());
        record.SetValue(key::kStartMenu, key::Numbered(key::kLinkPrefix, static_cast<int>(i)), m_arrStartLinks[i]);
    }
    record.SetInt(key::kDesktop, key::kLinkCount, static_cast<int>(m_arrDesktopLinks.size()));
    for (size_t i = 0; i < m_arrDesktopLinks.size(); ++i)
        record.SetValue(key::kDesktop, key::Numbered(key::kLinkPrefix, static_cast<int>(i)), m_arrDesktopLinks[i]);
    record.SetInt(key::kFiles, key::kFileCount, static_cast<int>(m_arrInstalledFiles.size()));
    for (size_t i = 0; i < m_arrInstalledFiles.size(); ++i)
        record.SetValue(key::kFiles, key::Numbered(key::kFilePrefix, static_cast<int>(i)), m_arrInstalledFiles[i]);
    // A record cut short by a failed write would be read with the wrong
    // unscrambling mask: better none, and say so.
    if (!record.Save()) {
        m_log.Write("record", "FAILED the record cannot be saved: " + m_strRecordPath);
        m_log.Check("record", "removing the incomplete record", RemoveFile(m_strRecordPath));
        return false;
    }
    m_log.Write("record", Format("%s written: %u files, %u Start-menu and %u desktop shortcuts, folder %s%s",
                                 m_strRecordPath.c_str(), static_cast<unsigned>(m_arrInstalledFiles.size()), static_cast<unsigned>(m_arrStartLinks.size()),
                                 static_cast<unsigned>(m_arrDesktopLinks.size()), m_strInstallDir.c_str(),
                                 m_bInstallDirCreated ? " (made by this installation)" : ""));
    return true;
}

void CSetupInfo::AddToInstalledPrograms()
{
    // The launcher is the record's last file: without it there is nothing
    // the entry could start.
    const std::string rel = LauncherRelativePath();
    const size_t slash = MbReverseFind(m_strRecordPath, '\\');
    if (m_arrInstalledFiles.empty() || m_arrInstalledFiles.back() != rel || slash == npos) {
        m_log.Write("record", "no entry among the installed programs: the launcher was not placed");
        return;
    }
    const std::string launcher = m_strInstallDir + rel;
    UninstallEntry entry;
    entry.displayName = m_strProductName;
    entry.displayVersion = m_strProductVersion;
    entry.publisher = m_strCompanyName;
    entry.installLocation = m_strInstallDir;
    entry.uninstallString = "\"" + launcher + "\"";
    entry.quietUninstallString = "\"" + launcher + "\" /S";
    entry.displayIcon = m_strRunProgram.empty() ? launcher : m_strInstallDir + m_strRunProgram;
    const uint64_t kb = (m_nInstalledBytes + GetFileLength(launcher) + 1023) / 1024;
    entry.estimatedSizeKb = static_cast<uint32_t>(std::min<uint64_t>(kb, UINT32_MAX));
    entry.record = m_strRecordPath.substr(slash + 1);
    const std::string key = UninstallEntryKey(m_strProductName);
    bool perMachine = false;
    if (m_log.Check("record", "the entry among the installed programs", WriteUninstallEntry(key, entry, perMachine)))
        m_log.Write("record", Format("listed among the installed programs: %s\\%s (%s), %u KB", perMachine ? "HKLM" : "HKCU",
                                     key.c_str(), entry.record.c_str(), entry.estimatedSizeKb));
}
