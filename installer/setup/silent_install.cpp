#include "installer/setup/silent_install.h"

#include "common/exit_codes.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/split_worker.h"
#include "installer/setup/setup_info.h"

PackageResult InstallPackageSilently(CSetupInfo& setup, const std::string& packagePath)
{
    CLog& log = setup.m_log;
    CTempFile package(packagePath);
    CTempFile decoded(MakeTempFileName("data.h66"));
    CDecompressTask decode;
    decode.m_strSource = packagePath;
    decode.m_strDest = decoded.Path();
    if (decoded.Path().empty() || DecompressThreadProc(&decode) == 0) {
        log.Write("install", "FAILED " + packagePath + ": " +
                                 GetCompressErrorText(decoded.Path().empty() ? kCompressCreateDest : decode.m_nLastError));
        return PackageResult::Failed;
    }
    package.Remove();  // its room is needed for the installed files
    CArchiveTask unpack;
    unpack.m_strArchive = decoded.Path();
    unpack.m_nExpectedLength = GetFileLength(unpack.m_strArchive);
    if (ArchiveThreadProc(&unpack) == 0) {
        log.Write("install", "FAILED " + packagePath + ": " + GetPackErrorText(unpack.m_nLastError));
        return PackageResult::Failed;
    }
    return PackageResult::Installed;
}

int RunSilentInstallation(CSetupInfo& setup, const InstallSwitches& switches, const std::string& packageFolder)
{
    CLog& log = setup.m_log;
    std::string folder = setup.m_strInstallDir;
    if (!switches.folder.empty()) {
        // A package whose folder page lets nobody choose gets no other
        // folder from the command line either.
        if (setup.m_bFolderSel == 0) {
            log.Write("silent", "FAILED /D= is refused: this package installs only into " + setup.m_strInstallDir);
            return kExitBadCommandLine;
        }
        folder = switches.folder;
    }
    switch (setup.CommitInstallFolder(folder)) {
    case CSetupInfo::FolderCommit::Committed:
        break;
    case CSetupInfo::FolderCommit::Unusable:
        log.Write("silent", "FAILED the install folder " + folder + " is no absolute local folder below a drive");
        return switches.folder.empty() ? kExitFailed : kExitBadCommandLine;
    case CSetupInfo::FolderCommit::NotCreated:
        log.Write("silent", "FAILED the install folder " + folder + " cannot be created");
        return kExitFailed;
    }
    log.Write("silent", Format("installing %s into %s%s", setup.m_strProductName.c_str(), setup.m_strInstallDir.c_str(),
                               switches.noRun ? ", the program is not started" : ""));
    InstallChoices choices;
    choices.handOff = false;
    choices.runAfter = !switches.noRun;
    const bool completed = RunInstallSequence(setup, choices, packageFolder, [&setup](const std::string& package) {
        return InstallPackageSilently(setup, package);
    });
    if (!completed) {
        log.Write("silent", "FAILED the installation did not complete");
        return kExitFailed;
    }
    if (choices.runAfter && !setup.m_strRunProgram.empty())
        log.Check("silent", "starting the program", LaunchProgram(setup.m_strInstallDir + setup.m_strRunProgram));
    log.Write("silent", "installed");
    return kExitSuccess;
}

int RunSilentSelfExtraction(CSetupInfo& setup, const std::string& installerPath, const InstallSwitches& switches)
{
    CLog& log = setup.m_log;
    setup.m_strTempDir = GetTempFolder() + "Tessaramond\\";
    CSplitTask split;
    split.m_strSourceInstaller = installerPath;
    split.m_strTargetFolder = setup.m_strTempDir;
    const bool extracted = SplitThreadProc(&split) != 0;
    setup.m_strSourceExe = installerPath;
    // Named after the product once its descriptor is out.
    setup.OpenPackagedLog(installerPath);
    if (!extracted) {
        const intptr_t error = split.m_nLastError;
        log.Write("extract", "FAILED the silent self-extraction: " +
                                 (error == kCompressLeftover ? GetLeftoverText(split.m_strLeftover, split.m_strLeftover.size())
                                                             : GetCompressErrorText(error)));
        return split.m_bDamaged ? kExitDamaged : kExitFailed;
    }
    if (!setup.UpdateDescriptor(setup.m_strTempDir + "install.tmd"))
        log.Write("extract", "FAILED the working copy's descriptor cannot be updated");
    const std::string parameters = SwitchesCommandLine(switches);
    uint32_t code = kExitFailed;
    if (log.Check("extract", "running the working copy",
                  RunProgramAndWait(setup.m_strTempDir + "setup.exe", parameters, code)))
        log.Write("extract", Format("the working copy ended with exit code %lu", static_cast<unsigned long>(code)));
    else
        code = kExitFailed;
    if (!RemoveTemporaryFolder(setup.m_strTempDir))
        log.Write("extract", "FAILED the temporary folder " + setup.m_strTempDir + " cannot be removed");
    return static_cast<int>(code);
}

int ExitCodeOfOutcome(int outcome)
{
    switch (outcome) {
    case kOutcomeCompleted: return kExitSuccess;
    case kOutcomeFailed: return kExitFailed;
    default: return kExitCancelled;
    }
}
