// The uninstall record of one installation as the uninstaller holds it: read
// once at start-up, shown by the wizard and worked off by the removal.
#pragma once

#include "framework/log.h"

#include <string>
#include <vector>

class CUninstallInfo {
public:
    // Looks for the record named by m_strRecordPath (the file name from the
    // command line) in the uninstaller's own folder, completes the path and
    // reads the record. False when the name is not a plain record name, no
    // such file exists, or it cannot be read; a damaged record loads as far
    // as it can be read.
    bool Load();
    bool LoadFrom(const std::string& folder);

    std::string m_strProductName;
    // Program groups relative to the Programs folder, "|" turned into "\".
    std::vector<std::string> m_arrGroups;
    std::vector<std::string> m_arrDesktopLinks;
    // Element i belongs to element i of m_arrGroups.
    std::vector<std::string> m_arrStartLinks;
    // Relative to m_strInstallDir.
    std::vector<std::string> m_arrInstalledFiles;
    std::string m_strInstallDir;
    // The installation made the install folder (it was missing or empty).
    bool m_bInstallDirCreated = false;
    std::string m_strRecordPath;
    // This run's log; the removal writes what it did and what it could not.
    mutable CLog m_log;
};

// The record's file name from the uninstaller's arguments (the command line
// after the program's own name): the whole text, leading blanks skipped.
std::string RecordNameFromArguments(const std::string& arguments);

// The arguments of a start: "/S " before the name asks for the removal
// without a window (the launcher passes it on). No record is named with a
// "/" first, so any other switch is refused.
struct UninstallerArguments {
    bool silent = false;
    bool refused = false;  // a switch other than /S
    std::string recordName;
};
UninstallerArguments ReadUninstallerArguments(const std::string& arguments);
