// The installer's application object: picks the role of this start before any
// window exists. The packaged run extracts itself and starts the working
// copy; the working run loads its descriptor, deploys the uninstaller and
// shows the wizard; the finish run shows the outcome on the finish page.
// With /S the packaged run extracts without a window and waits for the
// working copy, which installs without one; no finish run follows.
#include "common/exit_codes.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/ui/app.h"
#include "installer/ui/progress_dialogs.h"
#include "installer/ui/wizard.h"
#include "installer/core/startup.h"
#include "installer/setup/command_line.h"
#include "installer/setup/setup_info.h"
#include "installer/setup/silent_install.h"

#include <windows.h>

namespace {
const char kBadSwitchText[] =
    "安装程序的命令行参数无效。\n\n可用的参数：/S 静默安装，/NORUN 安装后不启动程序，/D=安装目录（放在最后）。";
const char kFolderRefusedText[] = "此安装程序不允许选择安装目录，参数 /D= 无效。";

class CInstallApp : public CWinApp {
protected:
    bool InitInstance() override;

private:
    void FinishRun(const std::string& outcome);
    void WorkingRun(const std::string& path, const InstallSwitches& switches);
};

void CInstallApp::FinishRun(const std::string& outcome)
{
    CLog& log = theSetupInfo.m_log;
    theSetupInfo.ParseCommandLine(outcome);
    log.Open(LogPathFor(theSetupInfo.m_strProductName));
    log.Write("finish", Format("finish run of %s, outcome %d: %s", GetModulePath().c_str(), theSetupInfo.m_nOutcome,
                               theSetupInfo.m_nOutcome == kOutcomeCompleted ? "installed"
                               : theSetupInfo.m_nOutcome == kOutcomeFailed  ? "failed"
                                                                            : "cancelled"));
    CInstallDlg finish(1);
    finish.DoModal();
    m_nExitCode = ExitCodeOfOutcome(theSetupInfo.m_nOutcome);
}

void CInstallApp::WorkingRun(const std::string& path, const InstallSwitches& switches)
{
    CLog& log = theSetupInfo.m_log;
    if (!theSetupInfo.LoadDescriptor()) {
        log.Open(LogPathFor(std::string()));
        log.Write("setup", "FAILED the descriptor beside " + path + " cannot be read");
        m_nExitCode = kExitDamaged;
        return;
    }
    log.Open(LogPathFor(theSetupInfo.m_strProductName));
    log.Write("setup", Format("working copy %s: %s %s of %s, default folder %s%s", path.c_str(),
                              theSetupInfo.m_strProductName.c_str(), theSetupInfo.m_strProductVersion.c_str(),
                              theSetupInfo.m_strCompanyName.c_str(), theSetupInfo.m_strFolder.c_str(),
                              switches.silent ? ", silent" : ""));
    if (!switches.folder.empty() && theSetupInfo.m_bFolderSel == 0 && !switches.silent) {
        log.Write("setup", "FAILED /D= is refused: this package installs only into " + theSetupInfo.m_strInstallDir);
        AfxMessageBox(kFolderRefusedText, MB_OK | MB_ICONSTOP);
        m_nExitCode = kExitBadCommandLine;
        return;
    }
    theSetupInfo.DeployUninstaller();
    if (switches.silent) {
        m_nExitCode = RunSilentInstallation(theSetupInfo, switches, GetModuleFolder());
        return;
    }
    // The folder page proposes the folder of /D= and takes it as it takes a
    // typed one; /NORUN leaves the option to start the program unticked.
    if (!switches.folder.empty())
        theSetupInfo.m_strInstallDir = switches.folder.back() == '\\' ? switches.folder : switches.folder + "\\";
    theSetupInfo.m_bNoRun = switches.noRun;
    {
        CInstallDlg wizard(0);
        wizard.DoModal();
    }
    log.Write("setup", "the wizard has ended");
    m_nExitCode = ExitCodeOfOutcome(theSetupInfo.m_nOutcome);
}

bool CInstallApp::InitInstance()
{
    CLog& log = theSetupInfo.m_log;
    const InstallerCommandLine line = ReadInstallerCommandLine(m_lpCmdLine);
    const std::string path = GetModulePath();
    if (line.kind != CommandLineKind::Outcome && path.empty()) {
        m_nExitCode = kExitFailed;
        return false;
    }
    switch (ChooseRole(line, path)) {
    case InstallerRole::Finish:
        FinishRun(line.outcome);
        return false;
    case InstallerRole::BadCommandLine:
        log.Open(LogPathFor(std::string()));
        log.Write("setup", "FAILED the command line is refused: " + line.problem);
        if (!line.switches.silent)
            AfxMessageBox(kBadSwitchText, MB_OK | MB_ICONSTOP);
        m_nExitCode = kExitBadCommandLine;
        return false;
    case InstallerRole::Packaged: {
        log.Write("extract", "self-extraction of " + path + (line.switches.silent ? ", silent" : ""));
        if (line.switches.silent) {
            m_nExitCode = RunSilentSelfExtraction(theSetupInfo, path, line.switches);
            return false;
        }
        CSplitdlg dialog(path, SwitchesCommandLine(line.switches));
        const bool extracted = dialog.DoModal() == IDOK;
        if (!log.IsOpen())
            theSetupInfo.OpenPackagedLog(path);
        log.Write("extract", extracted ? "the working copy runs on" : "FAILED the self-extraction ended without a working copy");
        // The wizard's outcome is the working copy's to report: this run
        // succeeded when it started it.
        m_nExitCode = extracted ? kExitSuccess : dialog.DamagedPackage() ? kExitDamaged : kExitFailed;
        return true;
    }
    case InstallerRole::Working:
        WorkingRun(path, line.switches);
        return false;
    default:
        log.Open(LogPathFor(std::string()));
        log.Write("setup", "FAILED " + path + " is not a package this installer can read");
        if (!line.switches.silent)
            AfxMessageBox("Tessaramond:setup Error!", MB_OK);
        m_nExitCode = kExitDamaged;
        return false;
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CInstallApp app;
    return app.Run();
}
