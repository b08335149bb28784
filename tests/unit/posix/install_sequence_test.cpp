// The install sequence against the POSIX stand-in, where started programs
// are recorded in C:\launch.log and shortcuts are small text files.
#include "common/exit_codes.h"
#include "common/shell.h"
#include "common/uninstall_entry.h"
#include "format/block_compressor.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "installer/core/archive_worker.h"
#include "installer/setup/install_sequence.h"
#include "installer/setup/setup_info.h"
#include "installer/setup/silent_install.h"
#include "uninstaller/removal.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {
struct Sequence {
    std::string temp = NewScratchFolder();
    std::string programs = CreateProgramGroup("");
    CSetupInfo setup;
    std::vector<std::string> packages;
    bool failDll = false, failData = false;

    Sequence()
    {
        RemoveFile("C:\\launch.log").Ignore();
        WriteWholeFile(temp + "uninstall.exe", "MZ-launcher");
        setup.m_strProductName = "Demo";
        setup.m_strProgramFilesDir = GetProgramFilesFolder();
        setup.m_strFolder = "Acme\\Demo\\";
        setup.m_strInstallDir = NewScratchFolder();
        setup.m_strSharedDir = NewScratchFolder();
        setup.m_strRunProgram = "bin\\demo.exe";
        setup.m_strSourceExe = "C:\\downloads\\DemoSetup.exe";
        CreateFolder(setup.m_strInstallDir + "bin").Ignore();
    }
    bool Run(const InstallChoices& choices)
    {
        return RunInstallSequence(setup, choices, temp, [this](const std::string& package) {
            packages.push_back(package);
            const bool failed = (failData && package == temp + "data.rar") || (failDll && package == temp + "dll.rar");
            return failed ? PackageResult::Failed : PackageResult::Installed;
        });
    }
    std::string Launched() const { return ReadWholeFile("C:\\launch.log"); }
    std::string Target(const std::string& link) const
    {
        std::string target, description;
        return ReadShortcut(link, target, description) ? target : std::string();
    }
};
}  // namespace

TEST(InstallSequence, CompletedRunCreatesFoldersRecordShortcutsAndHandsOff)
{
    Sequence s;
    s.setup.m_arrGroups = {"Acme|Demo|", "NoGroup", "A|B|C|"};
    s.setup.m_arrStartPrograms = {"bin\\demo.exe", "readme.txt", "bin\\tool.exe"};
    s.setup.m_arrStartLinks = {"\\Demo.lnk", "\\Readme.lnk", "\\Tool.lnk"};
    s.setup.m_arrDesktopPrograms = {"bin\\demo.exe"};
    s.setup.m_arrDesktopLinks = {"\\Demo.lnk"};
    ASSERT_TRUE(s.Run({true, true, true}));

    EXPECT_EQ(s.packages, (std::vector<std::string>{s.temp + "data.rar"}));
    EXPECT_TRUE(FileExists(GetProgramFilesFolder() + "Acme"));
    EXPECT_TRUE(FileExists(GetProgramFilesFolder() + "Acme\\Demo"));
    EXPECT_EQ(s.Target(s.programs + "Acme\\Demo\\Demo.lnk"), s.setup.m_strInstallDir + "bin\\demo.exe");
    EXPECT_EQ(s.Target(s.programs + "Readme.lnk"), s.setup.m_strInstallDir + "readme.txt");
    EXPECT_EQ(s.Target(s.programs + "A\\B\\Tool.lnk"), s.setup.m_strInstallDir + "bin\\tool.exe");
    EXPECT_FALSE(FileExists(s.programs + "A\\B\\C"));
    EXPECT_EQ(s.Target(GetDesktopFolder() + "\\Demo.lnk"), s.setup.m_strInstallDir + "bin\\demo.exe");
    EXPECT_TRUE(FileExists(s.setup.m_strRecordPath));
    EXPECT_TRUE(FileExists(s.setup.m_strInstallDir + "bin\\uninstall.exe"));
    EXPECT_EQ(s.Launched(), "C:\\downloads\\\tDemoSetup.exe\t2|" + s.temp + "|Demo|1|" + s.setup.m_strInstallDir +
                                "|bin\\demo.exe|\n");
}

TEST(InstallSequence, UncheckedOptionsCreateNoShortcutsAndSendRunFlagZero)
{
    Sequence s;
    s.setup.m_arrGroups = {"Unchecked|"};
    s.setup.m_arrStartPrograms = {"bin\\demo.exe"};
    s.setup.m_arrStartLinks = {"\\Demo.lnk"};
    s.setup.m_arrDesktopPrograms = {"bin\\demo.exe"};
    s.setup.m_arrDesktopLinks = {"\\Unchecked.lnk"};
    ASSERT_TRUE(s.Run({false, false, false}));
    EXPECT_FALSE(FileExists(s.programs + "Unchecked"));
    EXPECT_FALSE(FileExists(GetDesktopFolder() + "\\Unchecked.lnk"));
    EXPECT_NE(s.Launched().find("|Demo|0|"), std::string::npos) << s.Launched();
    EXPECT_TRUE(FileExists(s.setup.m_strRecordPath));  // the record lists them all the same
}

TEST(InstallSequence, FailedPackageHandsOffOutcomeOneWithoutRecordOrShortcuts)
{
    Sequence data;
    data.failData = true;
    data.setup.m_bSystemDll = 1;
    data.setup.m_arrDesktopPrograms = {"bin\\demo.exe"};
    data.setup.m_arrDesktopLinks = {"\\Failed.lnk"};
    EXPECT_FALSE(data.Run({true, true, true}));
    EXPECT_EQ(data.packages.size(), 1u);  // no second dialog after the first failed
    EXPECT_EQ(data.Launched(), "C:\\downloads\\\tDemoSetup.exe\t1|" + data.temp + "|Demo|\n");
    EXPECT_TRUE(data.setup.m_strRecordPath.empty());
    EXPECT_FALSE(FileExists(GetDesktopFolder() + "\\Failed.lnk"));

    Sequence dll;
    dll.failDll = true;
    dll.setup.m_bSystemDll = 1;
    EXPECT_FALSE(dll.Run({true, true, true}));
    EXPECT_EQ(dll.packages, (std::vector<std::string>{dll.temp + "data.rar", dll.temp + "dll.rar"}));
    EXPECT_EQ(dll.Launched().substr(dll.Launched().find('\t', 20) + 1, 2), "1|");
}

TEST(InstallSequence, DefaultFoldersFollowTheDescriptorNotTheChoice)
{
    CSetupInfo setup;
    setup.m_strProgramFilesDir = GetProgramFilesFolder();
    setup.m_strFolder = "Vendor\\Product";  // no final backslash: only Vendor
    setup.m_strInstallDir = "C:\\elsewhere\\";
    setup.CreateDefaultFolders();
    EXPECT_TRUE(FileExists(GetProgramFilesFolder() + "Vendor"));
    EXPECT_FALSE(FileExists(GetProgramFilesFolder() + "Vendor\\Product"));
    setup.m_strFolder = "Single";
    setup.CreateDefaultFolders();
    EXPECT_FALSE(FileExists(GetProgramFilesFolder() + "Single"));
}

TEST(InstallSequence, CancelTakesBackWhatTheInstallationMadeAndAnErrorDoesNot)
{
    // The real archive worker installs both packages into an install folder
    // that was there before, with a file and an empty folder of its own;
    // the second package is cancelled, or fails.
    for (const PackageResult ending : {PackageResult::Cancelled, PackageResult::Failed}) {
        const bool cancel = ending == PackageResult::Cancelled;
        Sequence s;
        theSetupInfo = s.setup;
        CSetupInfo& setup = theSetupInfo;
        setup.m_bSystemDll = 1;
        setup.m_strFolder = "Rollback" + std::to_string(ScratchSeed()) + (cancel ? "c" : "f") + "\\Demo\\";
        const std::string& inst = setup.m_strInstallDir;
        WriteWholeFile(inst + "bin\\keep.txt", "the user's");
        WriteWholeFile(inst + "bin\\old.dll", "old version");
        CreateFolder(inst + "empty").Ignore();
        WriteWholeFile(s.temp + "data.rar", EntryBytes("bin\\", "demo.exe", "MZ") + EntryBytes("bin\\", "old.dll", "new") +
                                                EntryBytes("docs\\deep\\", "a.txt", "a") + EntryBytes("empty\\", "b.txt", "b"));
        WriteWholeFile(s.temp + "dll.rar", EntryBytes("sys\\", "x.dll", std::string(20000, 'x')) +
                                               (cancel ? std::string() : std::string("\x05")));
        const bool completed = RunInstallSequence(setup, {true, true, true}, s.temp, [&](const std::string& package) {
            CMessageSink sink;
            CArchiveTask task;
            task.m_hNotifyWnd = sink.Target();
            task.m_strArchive = package;
            task.m_nExpectedLength = GetFileLength(package);
            const bool second = package == s.temp + "dll.rar";
            if (cancel && second)
                task.m_evCancel.SetEvent();
            if (ArchiveThreadProc(&task) == 1)
                return PackageResult::Installed;
            return second ? ending : PackageResult::Failed;
        });
        EXPECT_FALSE(completed);
        EXPECT_NE(s.Launched().find("\t1|" + s.temp + "|Demo|"), std::string::npos) << s.Launched();
        EXPECT_TRUE(setup.m_strRecordPath.empty());
        // What was there before stays, the replaced file with its new bytes.
        EXPECT_EQ(ReadWholeFile(inst + "bin\\keep.txt"), "the user's");
        EXPECT_EQ(ReadWholeFile(inst + "bin\\old.dll"), "new");
        EXPECT_TRUE(FileExists(inst + "empty"));
        const std::string defaults = setup.m_strProgramFilesDir + setup.m_strFolder.substr(0, setup.m_strFolder.size() - 1);
        for (const std::string& made : {inst + "bin\\demo.exe", inst + "docs\\deep\\a.txt", inst + "docs",
                                        inst + "empty\\b.txt", inst + "sys", defaults})
            EXPECT_EQ(FileExists(made), !cancel) << made;
        // The Program Files level above the default folder was made by this
        // installation too.
        EXPECT_EQ(FileExists(defaults.substr(0, defaults.size() - 5)), !cancel);
    }
}

TEST(InstallSequence, FinishRunRemovesItsTemporaryFolderAndWaitsOnlyForTheWorkingCopy)
{
    const std::string temp = GetTempFolder() + "Tessaramond\\";
    DeleteFolderTree(temp.substr(0, temp.size() - 1)).Ignore();
    for (size_t at = temp.find('\\', 3); at != std::string::npos; at = temp.find('\\', at + 1))
        CreateFolder(temp.substr(0, at)).Ignore();
    WriteWholeFile(temp + "setup.exe", "MZ");
    WriteWholeFile(temp + "notes.log", "another program's");
    EXPECT_FALSE(RemoveTemporaryFolder("C:\\elsewhere\\"));
    const auto start = std::chrono::steady_clock::now();
    {
        // A leftover another program holds stays, and is not waited for.
        CHeldOpen held(temp + "notes.log");
        ASSERT_TRUE(held.Holding());
        EXPECT_FALSE(RemoveTemporaryFolder(temp));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(FileExists(temp + "setup.exe"));
    EXPECT_TRUE(FileExists(temp + "notes.log"));
    EXPECT_TRUE(RemoveTemporaryFolder(temp));
    EXPECT_FALSE(FileExists(temp.substr(0, temp.size() - 1)));
}

TEST(InstallSequence, SilentRunInstallsWithTheDefaultsListsTheProductAndItsRemovalTakesOnlyItsOwnEntry)
{
    // The workers install below the global record's folder, as in the program.
    auto prepare = [](const std::string& temp, int folderSel) {
        theSetupInfo = CSetupInfo();
        CSetupInfo& setup = theSetupInfo;
        setup.m_strProductName = "TmdSilent";
        setup.m_strCompanyName = "Acme";
        setup.m_strProductVersion = "2.1";
        setup.m_strProgramFilesDir = GetProgramFilesFolder();
        setup.m_strFolder = "Acme\\TmdSilent\\";
        setup.m_strInstallDir = setup.m_strProgramFilesDir + setup.m_strFolder;
        setup.m_bFolderSel = folderSel;
        setup.m_strRunProgram = "bin\\demo.exe";
        setup.m_bUninstallEntry = 1;
        setup.m_strSharedDir = NewScratchFolder();
        setup.m_arrDesktopPrograms = {"bin\\demo.exe"};
        setup.m_arrDesktopLinks = {"\\TmdSilent.lnk"};
        WriteWholeFile(temp + "uninstall.exe", "MZ-launcher");
        const std::string archive = EntryBytes("bin\\", "demo.exe", "MZ-demo") + EntryBytes("", "readme.txt", "hello");
        WriteWholeFile(temp + "data.rar", CompressBytes(archive, CompressionLevel::Fast));
        RemoveFile("C:\\launch.log").Ignore();
        return &setup;
    };
    const std::string key = UninstallEntryKey("TmdSilent");
    DeleteUninstallEntry(key, "").Ignore();

    // A folder fixed by the package is not changed from the command line.
    std::string temp = NewScratchFolder();
    CSetupInfo* setup = prepare(temp, 0);
    const std::string chosen = NewScratchFolder() + "Chosen\\";
    EXPECT_EQ(RunSilentInstallation(*setup, {true, false, chosen}, temp), kExitBadCommandLine);
    EXPECT_FALSE(FileExists(chosen));
    EXPECT_FALSE(FileExists(setup->m_strInstallDir + "readme.txt"));

    temp = NewScratchFolder();
    setup = prepare(temp, 1);
    {
        // Where the machine's list is refused, the user's takes the entry.
        CFaultPlan plan;
        plan.Fail(SysCall::WriteRegistry, StatusCode::AccessDenied, 1);
        ASSERT_EQ(RunSilentInstallation(*setup, {true, false, chosen}, temp), kExitSuccess);
    }
    EXPECT_EQ(ReadWholeFile(chosen + "bin\\demo.exe"), "MZ-demo");
    EXPECT_EQ(ReadWholeFile(chosen + "readme.txt"), "hello");
    EXPECT_FALSE(FileExists(temp + "data.rar"));
    EXPECT_TRUE(FileExists(chosen + "bin\\uninstall.exe"));
    EXPECT_TRUE(FileExists(setup->m_strRecordPath));
    EXPECT_TRUE(FileExists(GetDesktopFolder() + "\\TmdSilent.lnk"));
    // The product is started; no finish run is, the shipped installer waits.
    EXPECT_EQ(ReadWholeFile("C:\\launch.log"), chosen + "bin\\\tdemo.exe\t\n");

    UninstallEntry entry;
    bool perMachine = false;
    ASSERT_TRUE(ReadUninstallEntry(key, entry, perMachine));
    EXPECT_FALSE(perMachine);
    EXPECT_EQ(entry.displayName, "TmdSilent");
    EXPECT_EQ(entry.displayVersion, "2.1");
    EXPECT_EQ(entry.publisher, "Acme");
    EXPECT_EQ(entry.installLocation, chosen);
    EXPECT_EQ(entry.uninstallString, "\"" + chosen + "bin\\uninstall.exe\"");
    EXPECT_EQ(entry.quietUninstallString, "\"" + chosen + "bin\\uninstall.exe\" /S");
    EXPECT_EQ(entry.displayIcon, chosen + "bin\\demo.exe");
    EXPECT_EQ(entry.estimatedSizeKb, 1u);
    EXPECT_EQ(setup->m_strSharedDir + entry.record, setup->m_strRecordPath);

    // A reinstallation's entry is its own: removing the first installation
    // leaves it; removing the second takes it.
    const std::string first = entry.record;
    CUninstallInfo older;
    older.m_strRecordPath = first;
    ASSERT_TRUE(older.LoadFrom(setup->m_strSharedDir));
    temp = NewScratchFolder();
    const std::string shared = setup->m_strSharedDir;
    setup = prepare(temp, 1);
    setup->m_strSharedDir = shared;
    ASSERT_EQ(RunSilentInstallation(*setup, {true, true, ""}, temp), kExitSuccess);
    EXPECT_FALSE(FileExists("C:\\launch.log")) << "/NORUN started the program";
    ASSERT_TRUE(ReadUninstallEntry(key, entry, perMachine));
    EXPECT_TRUE(perMachine);
    EXPECT_NE(entry.record, first);
    EXPECT_EQ(entry.installLocation, setup->m_strInstallDir);

    EXPECT_TRUE(RemoveInstallation(older));
    EXPECT_FALSE(FileExists(chosen + "readme.txt"));
    ASSERT_TRUE(ReadUninstallEntry(key, entry, perMachine)) << "the later installation's entry was removed";
    CUninstallInfo newer;
    newer.m_strRecordPath = entry.record;
    ASSERT_TRUE(newer.LoadFrom(shared));
    EXPECT_TRUE(RemoveInstallation(newer));
    EXPECT_FALSE(ReadUninstallEntry(key, entry, perMachine));
    EXPECT_FALSE(FileExists(setup->m_strInstallDir + "readme.txt"));
}
