// The installer's application object: picks the role of this start before any
// window exists. The packaged run extracts itself and starts the working
// copy; the working run loads its descriptor, deploys the uninstaller and
// shows the wizard; the finish run shows the outcome on the finish page.
#include "framework/file.h"
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
    if (!commandLine.empty()) {
        theSetupInfo.ParseCommandLine(commandLine);
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
        CSplitdlg dialog(path);
        m_nExitCode = dialog.DoModal() == IDOK ? kExitPackaged : kExitExtractFailed;
        return true;
    }
    case InstallerRole::Working:
        if (!theSetupInfo.LoadDescriptor()) {
            m_nExitCode = kExitNoDescriptor;
            return false;
        }
        theSetupInfo.DeployUninstaller();
        {
            CInstallDlg wizard(0);
            wizard.DoModal();
        }
        m_nExitCode = kExitWorking;
        return false;
    default:
        AfxMessageBox("Tessaramond:setup Error!", MB_OK);
        m_nExitCode = kExitBadPackage;
        return false;
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    CInstallApp app;
    return app.Run(commandLine);
}
