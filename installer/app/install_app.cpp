// The installer's application object: picks the role of this start before any
// window exists. The packaged run extracts itself and starts the working
// copy; the working run loads its descriptor, deploys the uninstaller and
// shows the wizard; the finish run shows the outcome on the finish page.
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/ui/app.h"
#include "installer/ui/progress_dialogs.h"
#include "installer/ui/wizard.h"
#include "installer/core/startup.h"
#include "installer/setup/setup_info.h"

#include <windows.h>

namespace {
class CInstallApp : public CWinApp {
protected:
    bool InitInstance() override;
};

bool CInstallApp::InitInstance()
{
    const std::string commandLine = m_lpCmdLine;
    CLog& log = theSetupInfo.m_log;
    if (!commandLine.empty()) {
        theSetupInfo.ParseCommandLine(commandLine);
        log.Open(LogPathFor(theSetupInfo.m_strProductName));
        log.Write("finish", Format("finish run of %s, outcome %d: %s", GetModulePath().c_str(), theSetupInfo.m_nOutcome,
                                   theSetupInfo.m_nOutcome == kOutcomeCompleted ? "installed"
                                   : theSetupInfo.m_nOutcome == kOutcomeFailed  ? "failed"
                                                                                : "cancelled"));
        CInstallDlg finish(1);
        finish.DoModal();
        m_nExitCode = kExitFinish;
        return false;
    }
    const std::string path = GetModulePath();
    if (path.empty()) {
        m_nExitCode = kExitNoModulePath;
        return false;
    }
    switch (ChooseRole(commandLine, path)) {
    case InstallerRole::Packaged: {
        log.Write("extract", "self-extraction of " + path);
        CSplitdlg dialog(path);
        const bool extracted = dialog.DoModal() == IDOK;
        if (!log.IsOpen())
            theSetupInfo.OpenPackagedLog(path);
        log.Write("extract", extracted ? "the working copy runs on" : "FAILED the self-extraction ended without a working copy");
        m_nExitCode = extracted ? kExitPackaged : kExitExtractFailed;
        return true;
    }
    case InstallerRole::Working:
        if (!theSetupInfo.LoadDescriptor()) {
            log.Open(LogPathFor(std::string()));
            log.Write("setup", "FAILED the descriptor beside " + path + " cannot be read");
            m_nExitCode = kExitNoDescriptor;
            return false;
        }
        log.Open(LogPathFor(theSetupInfo.m_strProductName));
        log.Write("setup", Format("working copy %s: %s %s of %s, default folder %s", path.c_str(),
                                  theSetupInfo.m_strProductName.c_str(), theSetupInfo.m_strProductVersion.c_str(),
                                  theSetupInfo.m_strCompanyName.c_str(), theSetupInfo.m_strFolder.c_str()));
        theSetupInfo.DeployUninstaller();
        {
            CInstallDlg wizard(0);
            wizard.DoModal();
        }
        log.Write("setup", "the wizard has ended");
        m_nExitCode = kExitWorking;
        return false;
    default:
        log.Open(LogPathFor(std::string()));
        log.Write("setup", "FAILED " + path + " is not a package this installer can read");
        AfxMessageBox("Tessaramond:setup Error!", MB_OK);
        m_nExitCode = kExitBadPackage;
        return false;
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CInstallApp app;
    return app.Run();
}
