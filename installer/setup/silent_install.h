// The installation without any window, as a deployment tool asks for it
// with /S: the same workers, record, shortcuts and entry as the wizard's,
// with the descriptor's defaults. Its only voice is the log and its exit
// code.
#pragma once

#include "installer/setup/command_line.h"
#include "installer/setup/install_sequence.h"

#include <string>

class CSetupInfo;

// Installs one package file on the calling thread: decodes it into a
// temporary archive and unpacks that into the install folder. The package
// and the archive are gone afterwards, as after the progress dialog.
PackageResult InstallPackageSilently(CSetupInfo& setup, const std::string& packagePath);

// The working copy's silent run once its descriptor is loaded and the
// uninstaller deployed: takes the folder (/D= where the descriptor lets the
// user choose one, else the default), installs the packages found in
// packageFolder with every option on, and starts the main program unless
// switches.noRun. Returns the exit code.
int RunSilentInstallation(CSetupInfo& setup, const InstallSwitches& switches, const std::string& packageFolder);

// The shipped installer's silent run: extracts the package into the
// temporary folder without a window, runs the working copy with the switches
// and waits for it, then removes the temporary folder (the working copy has
// ended, so nothing holds it). Returns the working copy's exit code, or the
// extraction's own.
int RunSilentSelfExtraction(CSetupInfo& setup, const std::string& installerPath, const InstallSwitches& switches);

// The exit code of an outcome, for the runs that end with one.
int ExitCodeOfOutcome(int outcome);
