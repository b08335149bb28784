// Runs the package installation dialog on its own, as the install sequence
// does: "update_dialog_driver PACKAGE INSTALL-FOLDER" (the folder
// without its final backslash) exits with the dialog's
// result (1 = IDOK, 2 = IDCANCEL).
#include "installer/ui/progress_dialogs.h"
#include "installer/setup/setup_info.h"

#include <commctrl.h>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 100;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Given without its final backslash, which would escape the closing quote.
    theSetupInfo.m_strInstallDir = std::string(argv[2]) + "\\";
    CUpdatedlg dialog(argv[1]);
    const INT_PTR result = dialog.DoModal();
    if (result == -1)
        fprintf(stderr, "the dialog could not be shown (error %lu)\n", GetLastError());
    return static_cast<int>(result);
}
