// The exit codes of the installer, the uninstaller and the launcher's silent
// run, for the deployment tools that start them and wait. The interactive
// runs end with the same codes.
#pragma once

enum ExitCode : int {
    kExitSuccess = 0,         // installed, or removed
    kExitCancelled = 1,       // the user cancelled the wizard
    kExitFailed = 2,          // the installation or the removal did not complete
    kExitDamaged = 3,         // the package (installer) or the record (uninstaller) is damaged or missing
    kExitBadCommandLine = 4,  // a switch that is not known, or one the package does not allow
};
