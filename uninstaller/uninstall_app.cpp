// The shared uninstaller's application object. It takes the record's file
// name from its command line and loads the record from its own folder; a
// start without a name or without such a record ends at once, without a
// window. Otherwise the removal wizard runs.
#include "framework/ui/app.h"
#include "uninstaller/uninstall_info.h"
#include "uninstaller/uninstall_wizard.h"

#include <windows.h>

// The one record of this process, read by the wizard and the removal.
CUninstallInfo theUninstallInfo;

namespace {
// Exit codes; no other program looks at them, the tests do.
constexpr int kExitNoRecord = 1;
constexpr int kExitLoaded = 0;

class CUninstallApp : public CWinApp {
protected:
    bool InitInstance() override;
};

bool CUninstallApp::InitInstance()
{
    theUninstallInfo.m_strRecordPath = RecordNameFromArguments(m_lpCmdLine);
    if (theUninstallInfo.m_strRecordPath.empty() || !theUninstallInfo.Load()) {
        m_nExitCode = kExitNoRecord;
        return false;
    }
    CUninstallDlg wizard(theUninstallInfo);
    wizard.DoModal();
    m_nExitCode = kExitLoaded;
    return false;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    CUninstallApp app;
    return app.Run(commandLine);
}
