// What the install button does: the default folder tree, the packages, the
// uninstall record, the chosen shortcuts, and the hand-off of the outcome to
// the finish run of the shipped installer.
#pragma once

#include <functional>
#include <string>

class CSetupInfo;

struct InstallChoices {
    bool startMenu = true;
    bool desktop = true;
    bool runAfter = true;
    // The wizard hands the outcome to the finish run; a silent installation
    // reports it itself and starts no finish run.
    bool handOff = true;
};

// How the installation of one package file ended: every file written, an
// error the user has seen, or the user's cancel.
enum class PackageResult { Installed, Failed, Cancelled };
using PackageInstaller = std::function<PackageResult(const std::string& packagePath)>;

// Runs the sequence with the packages in packageFolder (the working copy's
// folder, which is also sent as the temporary folder) and starts the shipped
// installer with the outcome. True when it ran to its end (outcome 2). A
// cancelled package takes the whole installation back before the hand-off.
// The outcome is kept in setup.m_nOutcome.
bool RunInstallSequence(CSetupInfo& setup, const InstallChoices& choices, const std::string& packageFolder,
                        const PackageInstaller& installPackage);

// Removes what the installation made so far where nothing was before: the
// files it created, then the folders it created that are empty again, the
// deepest first. Files it replaced and folders that were there stay.
void TakeBackInstallation(CSetupInfo& setup);

// The outcome command lines of a failed and of a completed installation.
std::string FailedOutcome(const CSetupInfo& setup, const std::string& tempFolder);
std::string CompletedOutcome(const CSetupInfo& setup, const std::string& tempFolder, bool runAfter);
std::string CancelledOutcome(const CSetupInfo& setup, const std::string& tempFolder);

// The finish run removes the temporary folder its command line names only
// when it is the installer's own ("Tessaramond\" under the temporary folder):
// the command line is anyone's to write. True when the folder was removed.
bool IsOwnTemporaryFolder(const std::string& folder);
[[nodiscard]] bool RemoveTemporaryFolder(const std::string& folder);
