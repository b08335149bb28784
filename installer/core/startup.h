// Choosing the installer's role for this start: the command line first, then
// the marker in the last two bytes of the program's own file.
#pragma once

#include "format/item_directory.h"
#include "installer/setup/command_line.h"

#include <string>

PackageMarker ReadPackageMarker(const std::string& path);

enum class InstallerRole {
    Finish,     // an outcome command line: show the result, remove the temporary folder
    Packaged,   // marker 1978: extract the package and start the working copy
    Working,    // marker 2008: the wizard
    BadPackage, // no usable marker: "Tessaramond:setup Error!"
    BadCommandLine, // neither an outcome nor switches it knows: refused
};

// Switches leave the role to the marker, as an empty command line does.
InstallerRole ChooseRole(const InstallerCommandLine& commandLine, const std::string& modulePath);
