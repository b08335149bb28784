// The installer's application object: picks the role of this start before any
// window exists. The roles' dialogs come with the wizard; until then each
// role ends once it is chosen, leaving its own exit code.
#include "framework/file.h"
#include "framework/ui/app.h"
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
        m_nExitCode = kExitFinish;
        return false;
    }
    const std::string path = GetModulePath();
    if (path.empty()) {
        m_nExitCode = kExitNoModulePath;
        return false;
    }
    switch (ChooseRole(commandLine, path)) {
    case InstallerRole::Packaged:
        m_nExitCode = kExitPackaged;
        return true;
    case InstallerRole::Working:
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
