#include "common/ini_file.h"
#include "common/path_rules.h"
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
        CreateFolder(root + "temp").Ignore();
        CreateFolder(root + "shared").Ignore();
        CreateFolder(root + "inst").Ignore();
        WriteWholeFile(root + "temp\\uninstall.exe", "LAUNCHER");
        setup.m_strSharedDir = shared;
        setup.m_strInstallDir = inst;
        setup.m_strProductName = "\xB2\xE2\xCA\xD4";  // GBK
        setup.m_strRunProgram = "bin\\app.exe";
        setup.m_bInstallDirCreated = true;  // the folder is new, as the folder page finds it
    }

    void Install(const std::string& relative)
    {
        for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
            CreateFolder(inst + relative.substr(0, at)).Ignore();
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
        CreateGroupShortcut(folder, inst + "bin\\app.exe", link).Ignore();
        setup.m_arrGroups.push_back(group);
        setup.m_arrStartLinks.push_back(link);
    }

    void AddDesktopLink(const std::string& link)
    {
        CreateDesktopShortcut(inst + "bin\\app.exe", link).Ignore();
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
    p.Install("bin\\app.exe");
    p.Install("locked\\settings.ini");
    p.Install("plugins\\a.dll");
    const CUninstallInfo info = p.Record();
    // Added after the installation: a whole folder tree and one loose file.
    CreateFolder(p.inst + "saves").Ignore();
    CreateFolder(p.inst + "saves\\deep").Ignore();
    WriteWholeFile(p.inst + "saves\\deep\\game.sav", "SAVE");
    WriteWholeFile(p.inst + "notes.txt", "mine");
    SetReadOnly(p.inst + "locked\\settings.ini", true);

    RemoveInstallation(info);
    SetReadOnly(p.inst + "locked\\settings.ini", false);
    EXPECT_FALSE(Exists(p.inst + "saves"));
    EXPECT_FALSE(Exists(p.inst + "plugins"));
    EXPECT_FALSE(Exists(p.inst + "bin"));
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
    CreateFolder(p.programs + "\\" + tag).Ignore();
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
    RemoveFile(desktop + "\\" + tag + ".txt").Ignore();
    RemoveFile(beside).Ignore();
    RemoveFile(p.programs + "\\" + tag + ".txt").Ignore();
    DeleteFolderTree(p.programs + "\\" + tag).Ignore();
}

TEST(Removal, InstallFolderThatHoldsTheSharedFoldersIsNotSwept)
{
    // An install folder above Common Files would take every product's shared
    // uninstaller and records with it: only its listed files go.
    Product p;
    const std::string tag = UniqueTag();
    const std::string common = GetCommonFilesFolder();
    CreateFolder(common + tag).Ignore();
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
    CreateFolder(p.programs + "\\" + tag).Ignore();
    // A link whose group value is missing has no folder to be looked for in.
    CreateGroupShortcut(p.programs + "\\", p.inst + "app.exe", "\\" + tag + "B.lnk").Ignore();
    p.setup.m_arrStartLinks.push_back("\\" + tag + "B.lnk");
    const CUninstallInfo info = p.Record();
    ASSERT_EQ(info.m_arrStartLinks.size(), 2u);
    ASSERT_EQ(info.m_arrGroups.size(), 1u);

    RemoveInstallation(info);
    EXPECT_FALSE(Exists(p.programs + "\\" + tag + "A.lnk"));
    EXPECT_TRUE(Exists(p.programs + "\\" + tag));
    EXPECT_TRUE(Exists(p.programs + "\\" + tag + "B.lnk"));
    RemoveFolder(p.programs + "\\" + tag).Ignore();
    RemoveFile(p.programs + "\\" + tag + "B.lnk").Ignore();
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

namespace {
// One install folder, as the folder page commits it or as a forged record
// names it, with files around it that are none of the product's.
struct Shape {
    std::string folder;  // as the record gives it
    bool forged;         // a record written by hand that claims the folder was made for the product
    std::string real;    // the folder Windows takes it for, where it is spelt otherwise
    // The record's stamped launcher lies in the folder, as a thorough forger
    // leaves it. One who can put it into a folder that holds other things
    // could as well delete them himself.
    bool launcher = true;
};

// The folder that holds folder (ending with a backslash), or "" for a drive root.
std::string Parent(const std::string& folder)
{
    const std::string trimmed = folder.substr(0, folder.size() - 1);
    const size_t cut = MbReverseFind(trimmed, '\\');
    return cut == npos || folder.size() <= 3 ? std::string() : trimmed.substr(0, cut + 1);
}
}  // namespace

TEST(Removal, NeverEmptiesAFolderThatHoldsMoreThanTheProduct)
{
    const std::string tag = UniqueTag();
    const std::string scratch = NewScratchFolder();
    const std::string games = scratch + "Games\\";
    CreateFolder(scratch + "Games").Ignore();
    CreateFolder(games + "Other").Ignore();
    WriteWholeFile(games + "Other\\other.exe", "another game");
    const std::string programFiles = GetProgramFilesFolder();
    const std::string common = GetCommonFilesFolder();
    const std::string desktop = GetDesktopFolder();
    const std::string documents = desktop.substr(0, MbReverseFind(desktop, '\\') + 1) + "Documents\\";
    CreateFolder(documents).Ignore();
    for (const char* folder : {"C:\\Program Files (x86)", "C:\\windows"})
        CreateFolder(folder).Ignore();  // where the stand-in of the machine lacks them
    // Other spellings of Program Files (case, separators, the trailing dot
    // or blank Windows drops) and of Common Files.
    std::vector<Shape> shapes = {
        {programFiles, false, ""},
        {games, false, ""},
        {documents, false, ""},
        {"C:\\windows\\", false, ""},
        {programFiles, true, ""},
        {games, true, "", false},
        {documents, true, ""},
        {"C:\\", true, ""},
        {"C:\\windows\\", true, ""},
        {"C:\\Program Files (x86)\\", true, ""},
        {common, true, ""},
        {MbLowerAscii(programFiles), true, programFiles},
        {programFiles + "../" + programFiles.substr(3), true, programFiles},
        {"C:\\Program Files/Common Files\\", true, common},
        {"C:\\Program Files.\\", true, programFiles},
        {"C:\\Program Files \\", true, programFiles},
    };
    // Program Files by its short name, where the file system keeps one.
    std::string shortName;
    bool viaShortLink = false;
    if (CanonicalFolder("C:\\PROGRA~1\\", shortName, viaShortLink) && FoldPath(shortName) == FoldPath(programFiles))
        shapes.push_back({"C:\\PROGRA~1\\", true, programFiles});
    // Every shell folder of this machine (System, ProgramData, Temp, the
    // profile and its folders, Desktop, the Start menu, ...), forged.
    for (const std::string& folder : GetShellFolders()) {
        if (IsFolder(folder))
            shapes.push_back({folder, true, ""});
    }
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.folder + (shape.forged ? " (forged)" : ""));
        const std::string real = shape.real.empty() ? shape.folder : shape.real;
        // Beside, above and inside the folder: none of them the product's.
        const std::string parent = Parent(real);
        std::vector<std::string> kept = {real + tag + "-inside\\kept.txt", real + tag + "-kept.txt"};
        if (!parent.empty())
            kept.insert(kept.end(), {parent + tag + "-beside\\kept.txt", parent + tag + "-above.txt"});
        for (const std::string& file : kept) {
            CreateFolder(file.substr(0, MbReverseFind(file, '\\'))).Ignore();
            ASSERT_TRUE(WriteWholeFile(file, "keep")) << file;
        }

        Product p;
        const std::string bin = tag + "bin";
        p.setup.m_strRunProgram = bin + "\\app.exe";
        if (!shape.forged) {
            ASSERT_EQ(p.setup.CommitInstallFolder(shape.folder), CSetupInfo::FolderCommit::Committed);
            EXPECT_FALSE(p.setup.m_bInstallDirCreated) << "the folder held other things";
        }
        p.setup.m_strInstallDir = shape.folder;
        p.setup.m_bInstallDirCreated = shape.forged;
        CreateFolder(real + bin).Ignore();
        ASSERT_TRUE(WriteWholeFile(real + bin + "\\app.exe", "product"));
        p.setup.m_arrInstalledFiles = {bin + "\\app.exe"};
        // The record's launcher lands beside the program, stamped: a forger
        // who claims the folder leaves nothing out.
        const CUninstallInfo info = p.Record();
        ASSERT_EQ(info.m_bInstallDirCreated, shape.forged);
        if (!shape.launcher) {
            ASSERT_TRUE(RemoveFile(real + bin + "\\uninstall.exe"));
        }

        RemoveInstallation(info);
        for (const std::string& file : kept)
            EXPECT_TRUE(Exists(file)) << file;
        std::string canonical;
        bool viaLink = false;
        if (shape.real.empty() && CanonicalFolder(real, canonical, viaLink) && !viaLink) {
            EXPECT_FALSE(Exists(real + bin)) << "the product's own folder inside goes";
        }
        EXPECT_TRUE(IsFolder(real));
        for (const std::string& file : kept)
            RemoveFile(file).Ignore();
        DeleteFolderTree(real + bin).Ignore();
        DeleteFolderTree(real + tag + "-inside").Ignore();
        if (!parent.empty())
            DeleteFolderTree(parent + tag + "-beside").Ignore();
    }
}
TEST(Removal, OwnFolderGoesWholeButNeverThroughALink)
{
    // The product's own new folder, with a folder the product made at run
    // time, goes without a trace; a link inside it goes as a link.
    Product p;
    p.Install("bin\\app.exe");
    CreateFolder(p.inst + "cache").Ignore();
    WriteWholeFile(p.inst + "cache\\made-at-run-time.dat", "x");
    const std::string elsewhere = NewScratchFolder();
    WriteWholeFile(elsewhere + "precious.txt", "keep");
    const bool linked = MakeFolderLink(p.inst + "cache\\link", elsewhere);
    const CUninstallInfo info = p.Record();
    RemoveInstallation(info);
    EXPECT_TRUE(Exists(elsewhere + "precious.txt"));
    // Wine shows a host link as one but cannot remove it: it then stays,
    // and so does the folder that holds it.
    if (!IsLink(p.inst + "cache\\link")) {
        EXPECT_FALSE(Exists(p.root + "inst"));
    }

    // The same folder recorded without the key (an earlier installer), or
    // reached through a link: only the product's files go.
    for (bool throughLink : {false, true}) {
        if (throughLink && !linked)
            continue;  // no links on this machine
        Product q;
        q.Install("bin\\app.exe");
        WriteWholeFile(q.inst + "made-at-run-time.dat", "x");
        CreateFolder(q.inst + "cache").Ignore();
        WriteWholeFile(q.inst + "cache\\kept.dat", "x");
        const std::string link = q.root + "via";
        if (throughLink) {
            ASSERT_TRUE(MakeFolderLink(link, q.inst));
            q.inst = link + "\\";
            q.setup.m_strInstallDir = q.inst;
        }
        q.setup.m_bInstallDirCreated = throughLink;
        RemoveInstallation(q.Record());
        EXPECT_FALSE(Exists(q.root + "inst\\bin\\app.exe"));
        EXPECT_TRUE(Exists(q.root + "inst\\cache\\kept.dat"));
        EXPECT_TRUE(Exists(q.root + "inst\\made-at-run-time.dat"));
        if (throughLink)
            RemoveFolder(link).Ignore();
    }
    if (!linked)
        GTEST_SKIP() << "no folder links here";
}

TEST(Removal, FolderTypedWithoutItsBackslashIsInstalledAndRemovedWhole)
{
    Product p;
    const std::string typed = p.root + "typed/Acme  ";  // a slash and blanks, no trailing backslash
    ASSERT_EQ(p.setup.CommitInstallFolder(typed), CSetupInfo::FolderCommit::Committed);
    EXPECT_EQ(p.setup.m_strInstallDir, p.root + "typed\\Acme\\");
    EXPECT_TRUE(p.setup.m_bInstallDirCreated);
    EXPECT_TRUE(IsFolder(p.setup.m_strInstallDir));
    // Committed again after going back: the folder it made is still its own.
    ASSERT_EQ(p.setup.CommitInstallFolder(p.setup.m_strInstallDir), CSetupInfo::FolderCommit::Committed);
    EXPECT_TRUE(p.setup.m_bInstallDirCreated);
    p.inst = p.setup.m_strInstallDir;
    p.Install("bin\\app.exe");
    RemoveInstallation(p.Record());
    EXPECT_FALSE(Exists(p.root + "typed\\Acme"));

    // Folders it cannot use are refused before anything is made.
    CSetupInfo other;
    other.m_strInstallDir = "kept";
    for (const std::string& bad : {std::string(), std::string("C:\\"), std::string("Acme\\"), std::string("\\\\server\\share\\"),
                                   p.root + "a:b", p.root + "CON", p.root + "dot.\\x", p.root + "\xA3:x"})
        EXPECT_EQ(other.CommitInstallFolder(bad), CSetupInfo::FolderCommit::Unusable) << bad;
    WriteWholeFile(p.root + "file", "a file, no folder");
    EXPECT_EQ(other.CommitInstallFolder(p.root + "file\\sub"), CSetupInfo::FolderCommit::NotCreated);
    EXPECT_EQ(other.m_strInstallDir, "kept");
}
