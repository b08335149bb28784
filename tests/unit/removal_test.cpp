#include "common/ini_file.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"
#include "support.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_info.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
// Names in the shared Programs folder and on the desktop that no other test
// run uses.
std::string UniqueTag()
{
    static std::atomic<unsigned> counter{0};
    return Format("TmdRm%u_%u", ScratchSeed(), counter++);
}

// One product as the installer leaves it: files below its folder, a record
// written by the installer's own writer, and its shortcuts.
struct Product {
    std::string root = NewScratchFolder();
    std::string shared = root + "shared\\";
    std::string inst = root + "inst\\";
    std::string programs = GetCommonProgramsFolder();
    CSetupInfo setup;

    Product()
    {
        CreateFolder(root + "temp");
        CreateFolder(root + "shared");
        CreateFolder(root + "inst");
        WriteWholeFile(root + "temp\\uninstall.exe", "LAUNCHER");
        setup.m_strSharedDir = shared;
        setup.m_strInstallDir = inst;
        setup.m_strProductName = "\xB2\xE2\xCA\xD4";  // GBK
        setup.m_strRunProgram = "bin\\app.exe";
    }

    void Install(const std::string& relative)
    {
        for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
            CreateFolder(inst + relative.substr(0, at));
        ASSERT_TRUE(WriteWholeFile(inst + relative, "data of " + relative));
        setup.m_arrInstalledFiles.push_back(relative);
    }

    // A Start-menu shortcut made the way the install sequence makes it.
    void AddStartLink(const std::string& group, const std::string& link)
    {
        const size_t bar = group.find('|');
        std::string folder = CreateProgramGroup("");
        if (bar != std::string::npos) {
            const std::string outer = group.substr(0, bar);
            const size_t next = group.find('|', bar + 1);
            const std::string inner = group.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
            CreateProgramGroup(outer);
            folder = CreateProgramGroup(outer + "\\" + inner);
        }
        CreateGroupShortcut(folder, inst + "bin\\app.exe", link);
        setup.m_arrGroups.push_back(group);
        setup.m_arrStartLinks.push_back(link);
    }

    void AddDesktopLink(const std::string& link)
    {
        CreateDesktopShortcut(inst + "bin\\app.exe", link);
        setup.m_arrDesktopLinks.push_back(link);
    }

    // Writes the record and loads it as the uninstaller does.
    CUninstallInfo Record()
    {
        EXPECT_TRUE(setup.WriteUninstallRecordFrom(root + "temp\\"));
        return LoadRecord(setup.m_strRecordPath.substr(shared.size()));
    }

    CUninstallInfo LoadRecord(const std::string& name) const
    {
        CUninstallInfo info;
        info.m_strRecordPath = name;
        EXPECT_TRUE(info.LoadFrom(shared)) << name;
        return info;
    }
};

// A record written by hand, for values the installer never writes.
void WriteRecord(const std::string& path, const std::vector<std::vector<std::string>>& values)
{
    CIniFile record;
    record.Load(path, true);
    for (const auto& v : values)
        record.SetValue(v[0], v[1], v[2]);
    ASSERT_TRUE(record.Save());
}

bool Exists(const std::string& path) { return FileExists(path); }
}  // namespace

TEST(Removal, RemovesEverythingTheRecordListsAndKeepsTheSharedFolder)
{
    Product p;
    const std::string tag = UniqueTag();
    p.Install("bin\\app.exe");
    p.Install("readme.txt");
    p.Install("data\\a.dat");
    p.AddStartLink(tag + "|Tools|", "\\Demo.lnk");
    p.AddStartLink(tag + "|", "\\Readme.lnk");
    p.AddDesktopLink("\\" + tag + ".lnk");
    WriteWholeFile(p.shared + "untessaramond.exe", "MZ");

    const CUninstallInfo info = p.Record();
    EXPECT_EQ(info.m_strProductName, "\xB2\xE2\xCA\xD4");
    EXPECT_EQ(info.m_strInstallDir, p.inst);
    EXPECT_EQ(info.m_strRecordPath, p.setup.m_strRecordPath);
    EXPECT_EQ(info.m_arrGroups, (std::vector<std::string>{tag + "\\Tools\\", tag + "\\"}));
    EXPECT_EQ(info.m_arrStartLinks, (std::vector<std::string>{"\\Demo.lnk", "\\Readme.lnk"}));
    EXPECT_EQ(info.m_arrDesktopLinks, std::vector<std::string>{"\\" + tag + ".lnk"});
    EXPECT_EQ(info.m_arrInstalledFiles,
              (std::vector<std::string>{"bin\\app.exe", "readme.txt", "data\\a.dat", "bin\\uninstall.exe"}));
    ASSERT_TRUE(Exists(p.inst + "bin\\uninstall.exe"));
    ASSERT_TRUE(Exists(p.programs + "\\" + tag + "\\Tools\\Demo.lnk"));

    RemoveInstallation(info);
    EXPECT_FALSE(Exists(info.m_strRecordPath));
    EXPECT_FALSE(Exists(p.root + "inst"));
    EXPECT_FALSE(Exists(GetDesktopFolder() + "\\" + tag + ".lnk"));
    EXPECT_FALSE(Exists(p.programs + "\\" + tag));
    EXPECT_TRUE(Exists(p.programs));
    EXPECT_TRUE(Exists(p.shared + "untessaramond.exe"));

    // The record is gone, so a second start finds nothing to do.
    CUninstallInfo again;
    again.m_strRecordPath = info.m_strRecordPath.substr(p.shared.size());
    EXPECT_FALSE(again.LoadFrom(p.shared));
}

TEST(Removal, GroupFolderStaysWhileAnotherProductsShortcutIsInIt)
{
    const std::string tag = UniqueTag();
    Product first, second;
    first.Install("app.exe");
    first.AddStartLink(tag + "|Tools|", "\\Demo.lnk");
    second.Install("app.exe");
    second.AddStartLink(tag + "|", "\\Other.lnk");
    const CUninstallInfo one = first.Record(), two = second.Record();

    RemoveInstallation(one);
    EXPECT_FALSE(Exists(first.programs + "\\" + tag + "\\Tools"));
    EXPECT_TRUE(Exists(first.programs + "\\" + tag + "\\Other.lnk"));
    EXPECT_TRUE(Exists(second.inst + "app.exe"));
    EXPECT_TRUE(Exists(two.m_strRecordPath));

    RemoveInstallation(two);
    EXPECT_FALSE(Exists(first.programs + "\\" + tag));
}

TEST(Removal, UserFilesAndReadOnlyFilesDecideWhichFoldersStay)
{
    Product p;
    p.Install("app.exe");
    p.Install("locked\\settings.ini");
    p.Install("plugins\\a.dll");
    const CUninstallInfo info = p.Record();
    // Added after the installation: a whole folder tree and one loose file.
    CreateFolder(p.inst + "saves");
    CreateFolder(p.inst + "saves\\deep");
    WriteWholeFile(p.inst + "saves\\deep\\game.sav", "SAVE");
    WriteWholeFile(p.inst + "notes.txt", "mine");
    SetReadOnly(p.inst + "locked\\settings.ini", true);

    RemoveInstallation(info);
    SetReadOnly(p.inst + "locked\\settings.ini", false);
    EXPECT_FALSE(Exists(p.inst + "saves"));
    EXPECT_FALSE(Exists(p.inst + "plugins"));
    EXPECT_FALSE(Exists(p.inst + "app.exe"));
    EXPECT_TRUE(Exists(p.inst + "notes.txt"));
    EXPECT_TRUE(Exists(p.inst + "locked\\settings.ini"));
    EXPECT_TRUE(Exists(p.root + "inst"));
}

TEST(Removal, EmptyValuesAreSkippedAndTheListsMoveUp)
{
    Product p;
    WriteRecord(p.shared + "7.tmd", {{"SoftInfo", "productname", "Demo"},
                                     {"InstallInfo", "InstallDir", p.inst},
                                     {"StartMenu", "linknum", "3"},
                                     {"StartMenu", "group_0", ""},
                                     {"StartMenu", "linkname_0", "\\A.lnk"},
                                     {"StartMenu", "group_1", "G|"},
                                     {"StartMenu", "linkname_1", ""},
                                     {"StartMenu", "group_2", "H|I|"},
                                     {"StartMenu", "linkname_2", "\\C.lnk"},
                                     {"Desktop", "linknum", "2"},
                                     {"Desktop", "linkname_0", ""},
                                     {"Desktop", "linkname_1", "\\D.lnk"},
                                     {"UnInstallFile", "fielnum", "3"},
                                     {"UnInstallFile", "file_0", ""},
                                     {"UnInstallFile", "file_1", "x.txt"}});
    const CUninstallInfo info = p.LoadRecord("7.tmd");
    EXPECT_EQ(info.m_arrGroups, (std::vector<std::string>{"G\\", "H\\I\\"}));
    EXPECT_EQ(info.m_arrStartLinks, (std::vector<std::string>{"\\A.lnk", "\\C.lnk"}));
    EXPECT_EQ(info.m_arrDesktopLinks, std::vector<std::string>{"\\D.lnk"});
    EXPECT_EQ(info.m_arrInstalledFiles, std::vector<std::string>{"x.txt"});

    // Counts of 0, negative, missing or far beyond the record read nothing
    // more than the record holds, and quickly.
    WriteRecord(p.shared + "8.tmd", {{"StartMenu", "linknum", "0"},
                                     {"StartMenu", "group_0", "G|"},
                                     {"Desktop", "linknum", "-3"},
                                     {"Desktop", "linkname_0", "\\D.lnk"},
                                     {"UnInstallFile", "fielnum", "2147483647"},
                                     {"UnInstallFile", "file_0", "x.txt"}});
    const CUninstallInfo counted = p.LoadRecord("8.tmd");
    EXPECT_TRUE(counted.m_arrGroups.empty());
    EXPECT_TRUE(counted.m_arrDesktopLinks.empty());
    EXPECT_EQ(counted.m_arrInstalledFiles, std::vector<std::string>{"x.txt"});
    EXPECT_TRUE(counted.m_strProductName.empty());
}

TEST(Removal, MissingForeignOrDamagedRecords)
{
    Product p;
    WriteWholeFile(p.root + "outside.tmd", "");
    for (const char* name : {"", "404.tmd", "..\\outside.tmd", "untessaramond.exe"}) {
        CUninstallInfo info;
        info.m_strRecordPath = name;
        EXPECT_FALSE(info.LoadFrom(p.shared)) << name;
        EXPECT_TRUE(info.m_strInstallDir.empty() && info.m_arrInstalledFiles.empty());
    }
    EXPECT_TRUE(Exists(p.root + "outside.tmd"));

    // Bytes that are no record: loads empty, and the removal takes only the record.
    WriteWholeFile(p.shared + "9.tmd", std::string("\x01\xFF garbage\r\n[x", 13));
    p.Install("app.exe");
    const CUninstallInfo damaged = p.LoadRecord("9.tmd");
    EXPECT_TRUE(damaged.m_strProductName.empty() && damaged.m_strInstallDir.empty());
    RemoveInstallation(damaged);
    EXPECT_FALSE(Exists(p.shared + "9.tmd"));
    EXPECT_TRUE(Exists(p.inst + "app.exe"));
}

TEST(Removal, HostileEntriesDeleteNothingOutsideTheInstallation)
{
    Product p;
    const std::string tag = UniqueTag();
    const std::string desktop = GetDesktopFolder();
    const std::string beside = desktop + tag + ".lnk";  // next to the desktop folder, not in it
    WriteWholeFile(p.root + "victim.txt", "keep");
    WriteWholeFile(desktop + "\\" + tag + ".txt", "keep");
    WriteWholeFile(beside, "keep");
    CreateFolder(p.programs + "\\" + tag);
    WriteWholeFile(p.programs + "\\" + tag + ".txt", "keep");
    WriteWholeFile(p.programs + "\\" + tag + "\\victim.lnk", "keep");
    WriteRecord(p.shared + "10.tmd", {{"InstallInfo", "InstallDir", p.inst},
                                      {"UnInstallFile", "fielnum", "4"},
                                      {"UnInstallFile", "file_0", "..\\victim.txt"},
                                      {"UnInstallFile", "file_1", p.root + "victim.txt"},
                                      {"UnInstallFile", "file_2", "..\\shared\\untessaramond.exe"},
                                      {"UnInstallFile", "file_3", "victim.txt:stream"},
                                      {"Desktop", "linknum", "2"},
                                      {"Desktop", "linkname_0", "\\..\\Desktop\\" + tag + ".txt"},
                                      {"Desktop", "linkname_1", tag + ".lnk"},
                                      {"StartMenu", "linknum", "3"},
                                      {"StartMenu", "group_0", "..|"},
                                      {"StartMenu", "linkname_0", "\\Programs\\" + tag + ".txt"},
                                      {"StartMenu", "group_1", tag + "|"},
                                      {"StartMenu", "linkname_1", "\\..\\" + tag + ".txt"},
                                      {"StartMenu", "group_2", tag + "|..|"},
                                      {"StartMenu", "linkname_2", "\\victim.lnk"}});
    WriteWholeFile(p.shared + "untessaramond.exe", "MZ");
    RemoveInstallation(p.LoadRecord("10.tmd"));
    EXPECT_FALSE(Exists(p.shared + "10.tmd"));
    for (const std::string& kept : {p.root + "victim.txt", p.shared + "untessaramond.exe", desktop + "\\" + tag + ".txt",
                                    beside, p.programs + "\\" + tag + ".txt", p.programs + "\\" + tag + "\\victim.lnk"})
        EXPECT_TRUE(Exists(kept)) << kept;
    RemoveFile(desktop + "\\" + tag + ".txt");
    RemoveFile(beside);
    RemoveFile(p.programs + "\\" + tag + ".txt");
    DeleteFolderTree(p.programs + "\\" + tag);
}

TEST(Removal, InstallFolderThatHoldsTheSharedFoldersIsNotSwept)
{
    // An install folder above Common Files would take every product's shared
    // uninstaller and records with it: only its listed files go.
    Product p;
    const std::string tag = UniqueTag();
    const std::string common = GetCommonFilesFolder();
    CreateFolder(common + tag);
    WriteWholeFile(common + tag + "\\kept.txt", "keep");
    WriteWholeFile(common + tag + ".txt", "listed");
    WriteRecord(p.shared + "11.tmd", {{"InstallInfo", "InstallDir", common},
                                      {"UnInstallFile", "fielnum", "1"},
                                      {"UnInstallFile", "file_0", tag + ".txt"}});
    RemoveInstallation(p.LoadRecord("11.tmd"));
    EXPECT_FALSE(Exists(common + tag + ".txt"));
    EXPECT_TRUE(Exists(common + tag + "\\kept.txt"));
    EXPECT_TRUE(DeleteFolderTree(common + tag));

    EXPECT_FALSE(ClearInstallFolder(""));
}

TEST(Removal, GroupsWithoutSeparatorAndLinksWithoutGroups)
{
    Product p;
    const std::string tag = UniqueTag();
    p.Install("app.exe");
    // No "|": the installer put the shortcut into the Programs folder itself.
    p.AddStartLink(tag, "\\" + tag + "A.lnk");
    // A folder of that name is none of this product's and stays.
    CreateFolder(p.programs + "\\" + tag);
    // A link whose group value is missing has no folder to be looked for in.
    CreateGroupShortcut(p.programs + "\\", p.inst + "app.exe", "\\" + tag + "B.lnk");
    p.setup.m_arrStartLinks.push_back("\\" + tag + "B.lnk");
    const CUninstallInfo info = p.Record();
    ASSERT_EQ(info.m_arrStartLinks.size(), 2u);
    ASSERT_EQ(info.m_arrGroups.size(), 1u);

    RemoveInstallation(info);
    EXPECT_FALSE(Exists(p.programs + "\\" + tag + "A.lnk"));
    EXPECT_TRUE(Exists(p.programs + "\\" + tag));
    EXPECT_TRUE(Exists(p.programs + "\\" + tag + "B.lnk"));
    RemoveFolder(p.programs + "\\" + tag);
    RemoveFile(p.programs + "\\" + tag + "B.lnk");
}

TEST(Removal, PathsOfMoreThanTwoHundredBytes)
{
    Product p;
    const std::string folder(100, 'd');
    const std::string file = std::string(60, 'f') + ".txt";
    p.Install(folder + "\\" + file);
    p.Install(std::string(150, 'g') + ".txt");
    ASSERT_GT((p.inst + folder + "\\" + file).size(), 200u);
    const CUninstallInfo info = p.Record();
    RemoveInstallation(info);
    EXPECT_FALSE(Exists(p.root + "inst"));
}

TEST(Removal, RecordGoesBeforeTheFoldersItLists)
{
    // A record lying in the install folder itself: only when it is deleted
    // before the folder steps can the folder go as well.
    Product p;
    p.Install("app.exe");
    p.Install("lib\\core.dll");
    WriteRecord(p.inst + "12.tmd", {{"InstallInfo", "InstallDir", p.inst},
                                    {"UnInstallFile", "fielnum", "2"},
                                    {"UnInstallFile", "file_0", "app.exe"},
                                    {"UnInstallFile", "file_1", "lib\\core.dll"}});
    CUninstallInfo info;
    info.m_strRecordPath = "12.tmd";
    ASSERT_TRUE(info.LoadFrom(p.inst));
    RemoveInstallation(info);
    EXPECT_FALSE(Exists(p.root + "inst"));
}

TEST(Removal, RecordThatCannotBeReadIsNeitherTakenAsEmptyNorDeleted)
{
    Product p;
    p.Install("app.exe");
    // A folder by the record's name: it exists, but cannot be opened as a file.
    ASSERT_TRUE(CreateFolder(p.shared + "12.tmd"));
    CUninstallInfo info;
    info.m_strRecordPath = "12.tmd";
    EXPECT_FALSE(info.LoadFrom(p.shared));
    EXPECT_TRUE(FileExists(p.shared + "12.tmd"));
    EXPECT_TRUE(FileExists(p.inst + "app.exe"));
}
