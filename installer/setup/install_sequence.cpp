#include "installer/setup/install_sequence.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/retry.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"
#include "installer/setup/split_string.h"


void CSetupInfo::CreateDefaultFolders()
{
    // Always under Program Files from the descriptor's folder, whatever the
    // user chose: each level up to the last backslash.
    for (size_t at = MbFind(m_strFolder, '\\'); at != npos; at = MbFind(m_strFolder, '\\', at + 1)) {
        const std::string folder = m_strProgramFilesDir + m_strFolder.substr(0, at);
        if (Status made = CreateFolder(folder))
            m_arrCreatedFolders.push_back(folder);
        else if (!made.Is(StatusCode::Exists))
            m_log.Failed("install", "a folder of the default tree", made);
    }
}

std::string FailedOutcome(const CSetupInfo& setup, const std::string& tempFolder)
{
    return Format("1|%s|%s|", tempFolder.c_str(), setup.m_strProductName.c_str());
}

std::string CompletedOutcome(const CSetupInfo& setup, const std::string& tempFolder, bool runAfter)
{
    return Format(runAfter ? "2|%s|%s|1|%s|%s|" : "2|%s|%s|0|%s|%s|", tempFolder.c_str(),
                  setup.m_strProductName.c_str(), setup.m_strInstallDir.c_str(), setup.m_strRunProgram.c_str());
}

std::string CancelledOutcome(const CSetupInfo& setup, const std::string& tempFolder)
{
    return Format("0|%s|%s|", tempFolder.c_str(), setup.m_strProductName.c_str());
}

namespace {
// The group folder of one Start-menu entry: the Programs folder itself, or a
// group of one or two levels (the outer one created first).
std::string GroupFolder(const std::string& group)
{
    CSplitString fields(group, '|');
    if (fields.FieldCount() == 0)
        return CreateProgramGroup(std::string());
    CreateProgramGroup(fields.GetField(0));
    return CreateProgramGroup(Format("%s\\%s", fields.GetField(0).c_str(), fields.GetField(1).c_str()));
}

void HandOff(CSetupInfo& setup, const std::string& commandLine)
{
    setup.m_log.Write("install", "handing over to the finish run: " + commandLine);
    setup.m_log.Check("install", "starting the finish run", LaunchProgram(setup.m_strSourceExe, &commandLine));
}
}  // namespace

bool RunInstallSequence(CSetupInfo& setup, const InstallChoices& choices, const std::string& packageFolder,
                        const PackageInstaller& installPackage)
{
    CLog& log = setup.m_log;
    log.Write("install", Format("into %s (%s)", setup.m_strInstallDir.c_str(),
                                setup.m_bInstallDirCreated ? "a new folder" : "a folder that was there"));
    setup.CreateDefaultFolders();
    PackageResult result = installPackage(packageFolder + "data.rar");
    if (result == PackageResult::Installed && setup.m_bSystemDll != 0)
        result = installPackage(packageFolder + "dll.rar");
    if (result != PackageResult::Installed) {
        log.Write("install", result == PackageResult::Cancelled ? "cancelled by the user; taking the installation back"
                                                                : "FAILED a package could not be installed");
        // A user who cancels expects nothing left behind; after an error
        // the files stay as the message left them.
        if (result == PackageResult::Cancelled)
            TakeBackInstallation(setup);
        setup.m_nOutcome = kOutcomeFailed;
        if (choices.handOff)
            HandOff(setup, FailedOutcome(setup, packageFolder));
        return false;
    }
    // Without a record the product cannot be removed by its uninstaller;
    // the installed files stay, as the Parts have it, and the log says so.
    if (!setup.WriteUninstallRecordFrom(packageFolder))
        log.Write("install", "FAILED no uninstall record was written");
    else if (setup.m_bUninstallEntry != 0)
        setup.AddToInstalledPrograms();

    auto shortcut = [&](const std::string& where, const std::string& target, const std::string& link) {
        if (log.Check("install", "a shortcut to " + target, CreateGroupShortcut(where, target, link)))
            log.Write("install", "shortcut " + where + link + " -> " + target);
    };
    if (choices.startMenu) {
        // The loader keeps the three lists side by side; an index beyond a
        // shorter list is never used.
        for (size_t i = 0; i < setup.m_arrStartPrograms.size(); ++i) {
            if (i >= setup.m_arrGroups.size() || i >= setup.m_arrStartLinks.size())
                break;
            shortcut(GroupFolder(setup.m_arrGroups[i]), setup.m_strInstallDir + setup.m_arrStartPrograms[i],
                     setup.m_arrStartLinks[i]);
        }
    }
    if (choices.desktop) {
        for (size_t i = 0; i < setup.m_arrDesktopPrograms.size() && i < setup.m_arrDesktopLinks.size(); ++i)
            shortcut(GetDesktopFolder(), setup.m_strInstallDir + setup.m_arrDesktopPrograms[i], setup.m_arrDesktopLinks[i]);
    }
    setup.m_nOutcome = kOutcomeCompleted;
    if (choices.handOff)
        HandOff(setup, CompletedOutcome(setup, packageFolder, choices.runAfter));
    return true;
}

void TakeBackInstallation(CSetupInfo& setup)
{
    CLog& log = setup.m_log;
    for (size_t i = setup.m_arrCreatedFiles.size(); i-- > 0;)
        log.Check("install", "taking back a file", RemoveFile(setup.m_strInstallDir + setup.m_arrCreatedFiles[i]));
    // A folder is made after the one it lies in, so the reverse order empties
    // the inner ones first; one that still holds anything stays.
    for (size_t i = setup.m_arrCreatedFolders.size(); i-- > 0;) {
        if (Status removed = RemoveFolder(setup.m_arrCreatedFolders[i]); !removed && IsFolderEmpty(setup.m_arrCreatedFolders[i] + "\\"))
            log.Failed("install", "taking back a folder", removed);
    }
    log.Write("install", Format("taken back: %u files, %u folders", static_cast<unsigned>(setup.m_arrCreatedFiles.size()),
                                static_cast<unsigned>(setup.m_arrCreatedFolders.size())));
    setup.m_arrCreatedFiles.clear();
    setup.m_arrCreatedFolders.clear();
    setup.m_arrInstalledFiles.clear();
}

bool IsOwnTemporaryFolder(const std::string& folder)
{
    const std::string own = GetTempFolder() + "Tessaramond\\";
    if (folder.size() != own.size())
        return false;
    // Paths compare without regard to ASCII case, as the file system does.
    for (size_t i = 0; i < own.size(); ++i) {
        const auto a = static_cast<unsigned char>(folder[i]), b = static_cast<unsigned char>(own[i]);
        if (a != b && !(a < 0x80 && b < 0x80 && (a | 0x20) == (b | 0x20) && (a | 0x20) >= 'a' && (a | 0x20) <= 'z'))
            return false;
    }
    return true;
}

bool RemoveTemporaryFolder(const std::string& folder)
{
    if (!IsOwnTemporaryFolder(folder))
        return false;
    // The working copy that ran from this folder may take a moment to end
    // after it started the finish run; its program file cannot go before.
    // Anything else that stays is held by another program (a leftover the
    // self-extraction let stay), and waiting would not free it.
    return static_cast<bool>(RetryTransient(
        [&] {
            Status removed = DeleteFolderTree(folder);
            if (removed)
                return removed;
            if (FileExists(folder + "setup.exe"))
                return Status(StatusCode::SharingViolation, "the working copy is still ending", folder + "setup.exe");
            return Status(StatusCode::Failed, "a leftover is held", folder);
        },
        50));
}
