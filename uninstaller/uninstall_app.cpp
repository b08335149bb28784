// The shared uninstaller's application object. It takes the record's file
// name from its command line and loads the record from its own folder; a
// start without a name or without such a record ends at once, without a
// window. Otherwise the removal wizard runs, or with "/S" before the name
// the removal itself, without a window.
#include "common/exit_codes.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/ui/app.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_info.h"
#include "uninstaller/uninstall_wizard.h"

#include <windows.h>

// The one record of this process, read by the wizard and the removal.
CUninstallInfo theUninstallInfo;

namespace {
class CUninstallApp : public CWinApp {
protected:
    bool InitInstance() override;
};

bool CUninstallApp::InitInstance()
{
    CLog& log = theUninstallInfo.m_log;
    const UninstallerArguments arguments = ReadUninstallerArguments(m_lpCmdLine);
    if (arguments.refused) {
        log.Open(LogPathFor(std::string()));
        log.Write("remove", "uninstaller " + GetModulePath() + ": the command line is refused: " + std::string(m_lpCmdLine));
        m_nExitCode = kExitBadCommandLine;
        return false;
    }
    const std::string& name = arguments.recordName;
    theUninstallInfo.m_strRecordPath = name;
    if (name.empty() || !theUninstallInfo.Load()) {
        // The log beside the record would go with it: it lies in the
        // temporary folder, named after the product.
        log.Open(LogPathFor(std::string()));
        log.Write("remove", "uninstaller " + GetModulePath() + ": no record named \"" + name + "\" can be read");
        m_nExitCode = kExitDamaged;
        return false;
    }
    log.Open(LogPathFor(theUninstallInfo.m_strProductName));
    log.Write("remove", Format("uninstaller %s: record %s of %s, %u files in %s%s", GetModulePath().c_str(),
                               theUninstallInfo.m_strRecordPath.c_str(), theUninstallInfo.m_strProductName.c_str(),
                               static_cast<unsigned>(theUninstallInfo.m_arrInstalledFiles.size()),
                               theUninstallInfo.m_strInstallDir.c_str(), arguments.silent ? ", silent" : ""));
    if (arguments.silent) {
        const bool complete = RemoveInstallation(theUninstallInfo);
        log.Write("remove", complete ? "removed" : "FAILED the removal left what it could not remove");
        m_nExitCode = complete ? kExitSuccess : kExitFailed;
        return false;
    }
    CUninstallDlg wizard(theUninstallInfo);
    wizard.DoModal();
    log.Write("remove", "the wizard has ended");
    m_nExitCode = !wizard.Removed() ? kExitCancelled : wizard.Complete() ? kExitSuccess : kExitFailed;
    return false;
}
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CUninstallApp app;
    return app.Run();
}
