// Choosing the installer's role for this start: the command line first, then
// the marker in the last two bytes of the program's own file.
#pragma once

#include "format/item_directory.h"

#include <string>

PackageMarker ReadPackageMarker(const std::string& path);

enum class InstallerRole {
    Finish,     // an outcome command line: show the result, remove the temporary folder
    Packaged,   // marker 1978: extract the package and start the working copy
    Working,    // marker 2008: the wizard
    BadPackage, // no usable marker: "Tessaramond:setup Error!"
};

InstallerRole ChooseRole(const std::string& commandLine, const std::string& modulePath);

// Exit codes of the roles; nothing in the system reads them, the tests do.
enum InstallerExit {
    kExitPackaged = 20,
    kExitWorking = 21,
    kExitFinish = 22,
    kExitBadPackage = 23,
    kExitNoModulePath = 24,
    kExitExtractFailed = 25,  // the self-extraction showed an error
    kExitNoDescriptor = 26,   // the working copy's descriptor could not be read
};
