// The shared uninstaller's application object. It takes the record's file
// name from its command line and loads the record from its own folder; a
// start without a name or without such a record ends at once, without a
// window. The removal wizard is not part of this program yet, so a loaded
// record is not acted on: the program ends without removing anything.
#include "framework/ui/app.h"
#include "uninstaller/uninstall_info.h"

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
    m_nExitCode = kExitLoaded;
    return false;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    CUninstallApp app;
    return app.Run(commandLine);
}
