// The installer's one global record: descriptor values, the chosen folders,
// the installed files, and the fields of the outcome command line.
#pragma once

#include "framework/log.h"

#include <cstdint>
#include <string>
#include <vector>

class CSetupInfo {
public:
    // Fills the outcome fields from "outcome|temp folder|product|" and, for
    // outcome 2, "run flag|install folder|program|".
    void ParseCommandLine(const std::string& text);
    // Fills the descriptor fields from "install.tmd" next to the program.
    // False when the file is there but cannot be read; a missing file leaves
    // every value at its default.
    bool LoadDescriptor();
    bool LoadDescriptorFrom(const std::string& path);
    // Writes the shipped installer's path and the size of "data.rar" into
    // the descriptor at path. False when it cannot be loaded.
    bool UpdateDescriptor(const std::string& path);
    // Moves (first time) or updates (greater version) the shared uninstaller
    // from the program's folder into Common Files + "Tessaramond\".
    void DeployUninstaller();
    void DeployUninstallerFrom(const std::string& sourceFolder);
    // Stamps the launcher with a new record identifier, places it beside the
    // main program and writes the scrambled uninstall record. False when the
    // launcher cannot be opened: then neither is written.
    [[nodiscard]] bool WriteUninstallRecord();
    [[nodiscard]] bool WriteUninstallRecordFrom(const std::string& sourceFolder);
    // Lists the installation among the system's installed programs, with the
    // placed launcher as its uninstall command. Called after the record.
    void AddToInstalledPrograms();
    // Where the launcher goes, relative to the install folder: beside the
    // main program.
    std::string LauncherRelativePath() const;
    // Names the self-extraction's log after the product of the descriptor it
    // has extracted into m_strTempDir, or after the installer's file when
    // there is none (a damaged package).
    void OpenPackagedLog(const std::string& installerPath);
    // Creates every level of the descriptor's folder under Program Files.
    void CreateDefaultFolders();
    // Takes the folder the folder page shows as the install folder: tidied,
    // with its trailing backslash, checked and created with every missing
    // level. Whether it was missing or empty before is kept for the record.
    enum class FolderCommit { Committed, Unusable, NotCreated };
    FolderCommit CommitInstallFolder(const std::string& shown);

    std::string m_strCompanyName;
    std::string m_strProductName;
    std::string m_strProductVersion;
    std::string m_strFolder;
    int m_bFolderSel = 0;
    std::string m_strRunProgram;
    std::vector<std::string> m_arrGroups;
    std::vector<std::string> m_arrStartPrograms;
    std::vector<std::string> m_arrStartLinks;
    std::vector<std::string> m_arrDesktopPrograms;
    std::vector<std::string> m_arrDesktopLinks;
    std::vector<std::string> m_arrInstalledFiles;
    // What this installation made where nothing was before, so that an
    // abandoned installation can be taken back without touching anything
    // else: files relative to the install folder, and folders (full paths)
    // in the order they were made.
    std::vector<std::string> m_arrCreatedFiles;
    std::vector<std::string> m_arrCreatedFolders;
    std::string m_strProgramFilesDir;
    std::string m_strInstallDir;
    // The install folder was missing or empty when the folder page took it:
    // the removal may then empty it whole.
    bool m_bInstallDirCreated = false;
    std::string m_strSharedDir;
    std::string m_strRecordPath;
    std::string m_strSourceExe;
    int64_t m_nDataSize = 0;
    std::string m_strTempDir;
    int m_nOutcome = 0;
    int m_bRunAfter = 0;
    // /NORUN: the options page offers to start the program unticked.
    bool m_bNoRun = false;
    int m_bSystemDll = 0;
    // The descriptor asks for an entry among the system's installed programs.
    int m_bUninstallEntry = 0;
    // Bytes of the files the packages installed, for the entry's size.
    uint64_t m_nInstalledBytes = 0;
    // This run's log; every role of the installer writes to it.
    CLog m_log;
};

// The installer's record, built before start-up and destroyed at exit.
extern CSetupInfo theSetupInfo;

// Outcomes carried by the outcome command line.
enum Outcome { kOutcomeCancelled = 0, kOutcomeFailed = 1, kOutcomeCompleted = 2 };
