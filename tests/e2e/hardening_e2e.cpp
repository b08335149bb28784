// The programs against what others may have left on the machine or in their
// files: DLLs beside them, leftovers in the fixed temporary folder, hostile
// and damaged packages, records that list files elsewhere. Sentinel files
// show that nothing outside the intended folder was written or deleted.
#include "common/exit_codes.h"
#include "driver.h"
#include "packages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace e2e;

namespace {
constexpr DWORD kPackaged = kExitSuccess, kBadPackage = kExitDamaged, kExtractFailed = kExitFailed;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ProductData()
{
    return CompressBytes(ArchiveEntry("", "readme.txt", "hello"), CompressionLevel::Fast);
}

std::vector<std::pair<std::string, std::string>> ProductItems()
{
    return {{"data.rar", ProductData()},
            {"install.tmd", Scrambled("[SoftInfo]\r\nproductname=TmdHard\r\n")},
            {"license.txt", "licence"},
            {"untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))},
            {"uninstall.exe", ReadFileBytes(BuiltProgram("TMD_LAUNCHER_EXE"))}};
}

std::string ShippedBytes() { return Shipped(ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE")), ProductItems()); }

enum class Ending { SetupError, ExtractError, Wizard, Nothing };

// Starts a shipped installer and sees what it comes to: the setup error box,
// the extraction error, or the working copy's wizard (which is then ended).
// The texts of an error are returned in texts.
Ending StartShipped(const std::string& path, std::vector<std::string>* texts = nullptr, DWORD* exitCode = nullptr,
                    const char* errorScreenshot = nullptr)
{
    Process run(path, "");
    if (!run.Started())
        return Ending::Nothing;
    Ending ending = Ending::Nothing;
    for (int i = 0; i < 600 && ending == Ending::Nothing; ++i) {
        if (HWND box = run.HasVisibleWindow() ? run.WaitForDialog(100) : nullptr) {
            std::vector<std::string> shown = StaticTexts(box);
            if (WindowText(box) == "初始化向导错误") {
                ending = Ending::ExtractError;
                // The message replaces the template's placeholder text.
                for (int wait = 0; wait < 40 && std::find(shown.begin(), shown.end(), "错误消息：") != shown.end(); ++wait) {
                    Sleep(50);
                    shown = StaticTexts(box);
                }
                if (texts)
                    *texts = shown;
                if (errorScreenshot)
                    SaveScreenshot(errorScreenshot);
                ClickButton(box, 1019);
            } else if (std::find(shown.begin(), shown.end(), "Tessaramond:setup Error!") != shown.end()) {
                ending = Ending::SetupError;
                ClickButton(box, IDOK);
            }
        }
        if (ending == Ending::Nothing && run.WaitForExit(0) != STILL_ACTIVE) {
            if (HWND wizard = WaitForCaption("TmdHard 安装", 30000, 1013, "下一步")) {
                ending = Ending::Wizard;
                TerminateOwner(wizard);
            }
            break;
        }
        Sleep(50);
    }
    const DWORD code = run.WaitForExit(30000);
    if (exitCode)
        *exitCode = code;
    return ending;
}

std::string TempTarget() { return TempFolder() + "Tessaramond"; }

void ClearTempTarget()
{
    SetFileAttributesA((TempTarget() + "\\setup.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA((TempTarget() + "\\dll.rar").c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(TempTarget());
    DeleteFileA(TempTarget().c_str());
}
}  // namespace

TEST(DllPlanting, AProgramWithoutTheRestrictionLoadsThePlantedDllTheProgramsDoNot)
{
    // "textshaping.dll" is a system DLL that the common controls load by
    // name on newer Windows, and one Wine does not have of its own, so a
    // planted copy is what a bare-name load finds.
    const std::string folder = NewFolder();
    const std::string probe = folder + "probe.exe";
    ASSERT_TRUE(WriteFileBytes(probe, ReadFileBytes(BuiltProgram("TMD_DLL_PROBE_EXE"))));
    ASSERT_TRUE(WriteFileBytes(folder + "textshaping.dll", ReadFileBytes(BuiltProgram("TMD_PLANTED_DLL"))));
    const std::string marker = folder + "textshaping.dll.loaded";

    Process open(probe, "open textshaping.dll");
    EXPECT_EQ(open.WaitForExit(30000), 0u);
    EXPECT_TRUE(Exists(marker)) << "the control did not load the planted DLL: the test could not fail";
    DeleteFileA(marker.c_str());

    Process restricted(probe, "restrict textshaping.dll");
    EXPECT_EQ(restricted.WaitForExit(30000), 1u);
    EXPECT_FALSE(Exists(marker));
}

TEST(DllPlanting, ProgramsBesidePlantedDllsLoadNoneOfThem)
{
    // A Downloads folder with the shipped installer and DLLs under system
    // names, and the same beside the uninstaller and the launcher.
    const char* names[] = {"textshaping.dll", "version.dll", "dwmapi.dll", "uxtheme.dll", "msimg32.dll", "cryptbase.dll"};
    const std::string planted = ReadFileBytes(BuiltProgram("TMD_PLANTED_DLL"));
    const std::string downloads = NewFolder();
    for (const char* name : names)
        ASSERT_TRUE(WriteFileBytes(downloads + name, planted));
    ClearTempTarget();
    ASSERT_TRUE(WriteFileBytes(downloads + "TmdHardSetup.exe", ShippedBytes()));
    EXPECT_EQ(StartShipped(downloads + "TmdHardSetup.exe"), Ending::Wizard);

    const std::string shared = NewFolder();
    for (const char* name : names)
        ASSERT_TRUE(WriteFileBytes(shared + name, planted));
    ASSERT_TRUE(WriteFileBytes(shared + "untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))));
    ASSERT_TRUE(WriteFileBytes(shared + "7.tmd", "record"));
    {
        Process remover(shared + "untessaramond.exe", "7.tmd");
        HWND wizard = WaitForCaption(" 安装", 30000, 1013, "下一步");
        ASSERT_NE(wizard, nullptr);
        ClickButton(wizard, 1009);
        remover.WaitForExit(30000);
    }
    ASSERT_TRUE(WriteFileBytes(shared + "uninstall.exe", ReadFileBytes(BuiltProgram("TMD_LAUNCHER_EXE")) + std::string(4, '\0')));
    {
        Process launcher(shared + "uninstall.exe", "");
        EXPECT_EQ(launcher.WaitForExit(30000), 0u);
    }
    for (const std::string& folder : {downloads, shared, TempTarget() + "\\"})
        for (const char* name : names)
            EXPECT_FALSE(Exists(folder + name + ".loaded")) << folder << name;
    ClearTempTarget();
}

TEST(TemporaryFolder, WhatCannotBeRemovedStopsWithItsNameUnlessNothingReadsIt)
{
    const std::string shipped = NewFolder() + "TmdHardSetup.exe";
    ASSERT_TRUE(WriteFileBytes(shipped, ShippedBytes()));
    const std::string foreign = ReadFileBytes(BuiltProgram("TMD_DEMO_APP_EXE"));
    auto plant = [](const std::string& name, const std::string& bytes, bool readOnly) {
        CreateDirectoryA(TempTarget().c_str(), nullptr);
        WriteFileBytes(TempTarget() + "\\" + name, bytes);
        if (readOnly)
            SetFileAttributesA((TempTarget() + "\\" + name).c_str(), FILE_ATTRIBUTE_READONLY);
    };
    const std::string longName = "a-rather-long-name-of-a-leftover-plug-in-module.dll";
    struct Case {
        std::string name;
        std::function<void()> prepare;
        std::string held;  // a file the test holds open, as another program may
        const char* text;  // the error shown, or nullptr when the wizard comes
    };
    const std::vector<Case> cases = {
        {"a file named Tessaramond", [] { WriteFileBytes(TempTarget(), "not a folder"); }, "", "解压时，打开压缩文件错误！"},
        {"a folder named setup.exe",
         [] {
             CreateDirectoryA(TempTarget().c_str(), nullptr);
             CreateDirectoryA((TempTarget() + "\\setup.exe").c_str(), nullptr);
         },
         "", nullptr},
        {"a held old working copy", [&] { plant("setup.exe", foreign, false); }, "setup.exe",
         "解压时，无法删除旧文件：setup.exe！"},
        // Read-only leftovers are made writable and go.
        {"a read-only foreign setup.exe", [&] { plant("setup.exe", foreign, true); }, "", nullptr},
        {"a read-only stale dll.rar", [&] { plant("dll.rar", "foreign", true); }, "", nullptr},
        // One held open may stay only under a name nothing of the package opens.
        {"a held notes.log", [&] { plant("notes.log", "notes", false); }, "notes.log", nullptr},
        {"a held license.txt", [&] { plant("license.txt", "old", false); }, "license.txt", "解压时，无法删除旧文件：license.txt！"},
        {"a held DLL of a long name", [&] { plant(longName, "MZ", false); }, longName, ""},
    };
    for (const Case& c : cases) {
        ClearTempTarget();
        c.prepare();
        HANDLE held = INVALID_HANDLE_VALUE;
        if (!c.held.empty()) {
            held = CreateFileA((TempTarget() + "\\" + c.held).c_str(), GENERIC_READ, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE) << c.name;
        }
        std::vector<std::string> texts;
        DWORD code = 0;
        const Ending ending = StartShipped(shipped, &texts, &code, c.held == longName ? "leftover-held-open" : nullptr);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        if (c.text == nullptr) {
            EXPECT_EQ(ending, Ending::Wizard) << c.name;
            // What ran is this installer's own working copy.
            const std::string program = ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE"));
            EXPECT_TRUE(ReadFileBytes(TempTarget() + "\\setup.exe").substr(0, program.size()) == program) << c.name;
            EXPECT_EQ(Exists(TempTarget() + "\\notes.log"), c.held == "notes.log") << c.name;
            EXPECT_FALSE(Exists(TempTarget() + "\\dll.rar")) << c.name;
        } else {
            EXPECT_EQ(ending, Ending::ExtractError) << c.name;
            EXPECT_EQ(code, kExtractFailed) << c.name;
            if (*c.text) {
                EXPECT_NE(std::find(texts.begin(), texts.end(), c.text), texts.end()) << c.name;
            } else {
                // The long name is cut in its middle to keep the text on its line.
                const std::string start = "解压时，无法删除旧文件：a-", end = ".dll！";
                const bool named = std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
                    return t.compare(0, start.size(), start) == 0 && t.find("...") != std::string::npos &&
                           t.size() > end.size() && t.compare(t.size() - end.size(), end.size(), end) == 0;
                });
                EXPECT_TRUE(named) << c.name;
            }
        }
        // The foreign program never ran.
        EXPECT_FALSE(Exists(TempTarget() + "\\demo_app.started")) << c.name;
    }
    ClearTempTarget();
}

TEST(TemporaryFolder, LeftoversOfAnotherPackageAreGoneBeforeTheWizard)
{
    ClearTempTarget();
    CreateDirectoryA(TempTarget().c_str(), nullptr);
    const std::string stale = TempTarget() + "\\";
    ASSERT_TRUE(WriteFileBytes(stale + "dll.rar", "foreign system files"));
    ASSERT_TRUE(WriteFileBytes(stale + "untessaramond.exe", "foreign uninstaller"));
    ASSERT_TRUE(WriteFileBytes(stale + "setup.exe", "older working copy"));
    CreateDirectoryA((stale + "old").c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(stale + "old\\x.txt", "x"));
    const std::string shipped = NewFolder() + "TmdHardSetup.exe";
    ASSERT_TRUE(WriteFileBytes(shipped, ShippedBytes()));
    EXPECT_EQ(StartShipped(shipped), Ending::Wizard);
    EXPECT_FALSE(Exists(stale + "dll.rar"));
    EXPECT_FALSE(Exists(stale + "old"));
    EXPECT_EQ(ReadFileBytes(stale + "license.txt"), "licence");
    ClearTempTarget();
}

TEST(HostileInput, ItemNamesLeavingTheTemporaryFolderStopTheExtraction)
{
    const std::string program = ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE"));
    for (const std::string name : {"..\\tmd-evil.txt", "C:tmd-evil.txt", "tmd-evil.txt:stream"}) {
        ClearTempTarget();
        const std::string shipped = NewFolder() + "TmdHardSetup.exe";
        ASSERT_TRUE(WriteFileBytes(shipped, Shipped(program, {{"install.tmd", "x"}, {name, "evil"}})));
        std::vector<std::string> texts;
        EXPECT_EQ(StartShipped(shipped, &texts), Ending::ExtractError) << name;
        EXPECT_NE(std::find(texts.begin(), texts.end(), "解压时，压缩文件已损坏！"), texts.end()) << name;
        EXPECT_FALSE(Exists(TempFolder() + "tmd-evil.txt")) << name;
        EXPECT_FALSE(Exists(TempTarget() + "\\install.tmd")) << name;
    }
    ClearTempTarget();
}

TEST(HostileInput, RecordListingFilesElsewhereRemovesOnlyItsOwn)
{
    // A record beside the uninstaller whose entries point out of the install
    // folder; the removal deletes the listed file inside it and nothing else.
    const std::string root = NewFolder();
    const std::string inst = root + "Product\\";
    CreateDirectoryA(inst.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(inst + "app.txt", "listed"));
    ASSERT_TRUE(WriteFileBytes(root + "sentinel.txt", "keep"));
    const std::string shared = NewFolder();
    ASSERT_TRUE(WriteFileBytes(shared + "sentinel.txt", "keep"));
    ASSERT_TRUE(WriteFileBytes(shared + "untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))));
    ASSERT_TRUE(WriteFileBytes(shared + "8.tmd",
                               Scrambled("[SoftInfo]\r\nproductname=TmdHostile\r\n\r\n[InstallInfo]\r\nInstallDir=" + inst +
                                         "\r\n\r\n[UnInstallFile]\r\nfielnum=5\r\nfile_0=app.txt\r\nfile_1=..\\sentinel.txt\r\n"
                                         "file_2=" + root + "sentinel.txt\r\nfile_3=" + shared + "sentinel.txt\r\n"
                                         "file_4=..\\..\\" + shared.substr(3) + "untessaramond.exe\r\n")));
    Process remover(shared + "untessaramond.exe", "8.tmd");
    HWND wizard = WaitForCaption("TmdHostile 安装", 30000, 1013, "下一步");
    ASSERT_NE(wizard, nullptr);
    ClickButton(wizard, 1013);
    HWND done = WaitForCaption("TmdHostile 安装", 30000, 1013, "完成");
    ASSERT_NE(done, nullptr);
    ClickButton(done, 1013);
    EXPECT_EQ(remover.WaitForExit(30000), 0u);
    EXPECT_FALSE(Exists(shared + "8.tmd"));
    EXPECT_FALSE(Exists(inst));
    EXPECT_EQ(ReadFileBytes(root + "sentinel.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(shared + "sentinel.txt"), "keep");
    EXPECT_TRUE(Exists(shared + "untessaramond.exe"));
}

TEST(DamagedInstaller, CutOrFlippedAtEveryRegionBoundaryNeverStartsABrokenCopy)
{
    // As the builder writes it: the checksum list is item 1, the last content.
    const std::vector<std::pair<std::string, std::string>> items = WithChecksums(ProductItems());
    const std::string good = Shipped(ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE")), items);
    const size_t image = ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE")).size();
    size_t directory = image;
    for (const auto& item : items)
        directory += item.second.size();
    const size_t count = good.size() - 4, marker = good.size() - 2;
    const size_t listStart = directory - items[0].second.size();
    const size_t dataStart = listStart - items[1].second.size();  // item 2
    struct Damage {
        std::string what;
        std::string bytes;
        Ending expected;
        bool byChecksum = false;  // found by the checksums: the damaged-download message
    };
    std::vector<Damage> damages;
    // Cut short: the marker goes with the cut, whatever region it falls in.
    for (size_t length : {image - 1, image + 1, dataStart + 1, directory - 1, directory + 1, count - 1, count + 1, marker + 1})
        damages.push_back({"cut at " + std::to_string(length), good.substr(0, length), Ending::SetupError});
    // A region one byte short behind an intact trailer: the sizes no longer fit.
    for (size_t at : {image + 1, dataStart + 5, directory + 1, count - 3}) {
        std::string shortened = good;
        shortened.erase(at, 1);
        damages.push_back({"byte gone at " + std::to_string(at), shortened, Ending::ExtractError});
    }
    // Flipped bits: the marker, the count, a size in the directory.
    auto flip = [&good](size_t at, int bit) {
        std::string out = good;
        out[at] = static_cast<char>(out[at] ^ (1 << bit));
        return out;
    };
    damages.push_back({"marker flipped", flip(marker, 0), Ending::SetupError});
    damages.push_back({"count flipped", flip(count, 1), Ending::ExtractError});
    damages.push_back({"first record's size flipped", flip(directory, 0), Ending::ExtractError});
    damages.push_back({"last record's length flipped", flip(count - 2, 3), Ending::ExtractError});
    // The checksums find a flip in any item: the licence, the compressed
    // data, the list itself. Only the program's DOS stub text, which no
    // checksum covers and nothing reads, is carried along.
    const size_t licence = dataStart - items[2].second.size() - items[3].second.size();
    damages.push_back({"image's DOS stub flipped", flip(0x60, 0), Ending::Wizard});
    damages.push_back({"licence flipped", flip(licence + 2, 0), Ending::ExtractError, true});
    damages.push_back({"data flipped", flip(dataStart + items[1].second.size() / 2, 0), Ending::ExtractError, true});
    damages.push_back({"checksum list flipped", flip(listStart + 3, 0), Ending::ExtractError, true});

    for (const Damage& d : damages) {
        ClearTempTarget();
        const std::string shipped = NewFolder() + "TmdHardSetup.exe";
        ASSERT_TRUE(WriteFileBytes(shipped, d.bytes));
        DWORD code = 0;
        std::vector<std::string> texts;
        const bool data = d.what == "data flipped";
        const Ending ending = StartShipped(shipped, &texts, &code, data ? "split_damaged_download" : nullptr);
        EXPECT_EQ(ending, d.expected) << d.what;
        EXPECT_EQ(code, d.expected == Ending::Wizard ? kPackaged : kBadPackage) << d.what;
        if (d.byChecksum) {
            // A damaged download says so, and leaves nothing to start.
            EXPECT_NE(std::find(texts.begin(), texts.end(), "解压时，安装文件已损坏，请重新下载！"), texts.end()) << d.what;
            EXPECT_FALSE(Exists(TempTarget() + "\\setup.exe")) << d.what;
            EXPECT_FALSE(Exists(TempTarget() + "\\data.rar")) << d.what;
        }
        // Silent, every damage a check sees is told by the exit code alone.
        if (d.expected != Ending::Wizard) {
            ClearTempTarget();
            std::string shown;
            EXPECT_EQ(RunUnseen(shipped, "/S", 60000, shown), kBadPackage) << d.what;
            EXPECT_EQ(shown, "") << d.what;
        }
    }
    ClearTempTarget();
}

namespace {

bool WaitForNextLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, 1013, label, 10000); }

std::string ProductPackage(const std::string& data, const std::string& descriptor)
{
    const std::string path = NewFolder() + "TmdEscapeSetup.exe";
    WriteFileBytes(path, ShippedProduct(CompressBytes(data, CompressionLevel::Fast), Scrambled(descriptor)));
    return path;
}
}  // namespace

TEST(HostileInput, ArchiveEntryLeavingTheInstallFolderFailsTheInstallation)
{
    const std::string programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
    const std::string sentinel = programFiles + "tmd-escape.txt";
    ASSERT_TRUE(WriteFileBytes(sentinel, "keep"));
    ClearTempTarget();
    const std::string shipped =
        ProductPackage(ArchiveEntry("", "app.txt", "ok") + ArchiveEntry("..\\", "tmd-escape.txt", "evil"),
                       "[SoftInfo]\r\nproductname=TmdEscape\r\n\r\n[InstallInfo]\r\nfolder=TmdEscape\\\r\nexefile=app.txt\r\n");
    ASSERT_NE(StartInstalling(shipped, "TmdEscape"), nullptr);
    HWND error = WaitForCaption("安装文件错误", 60000);
    ASSERT_NE(error, nullptr);
    const std::vector<std::string> texts = StaticTexts(error);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "解包：文件路径非法！"), texts.end());
    ClickButton(error, 1019);
    HWND finish = WaitForCaption("TmdEscape 安装", 60000, 1013, "结束");
    ASSERT_NE(finish, nullptr);
    ClickButton(finish, 1013);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    EXPECT_EQ(ReadFileBytes(sentinel), "keep");
    EXPECT_FALSE(Exists(programFiles + "TmdEscape\\uninstall.exe"));  // no record for a failed installation
    DeleteFileA(sentinel.c_str());
    RemoveTree(programFiles + "TmdEscape");
}

TEST(HostileInput, DescriptorEntriesLeavingTheirFoldersAreDropped)
{
    // A main program outside the install folder would take the launcher with
    // it; link names climbing out of the desktop or Programs folder would put
    // shortcuts anywhere. A count of two thousand million ends at once.
    const std::string programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    ClearTempTarget();
    const std::string shipped = ProductPackage(
        ArchiveEntry("", "app.txt", "ok"),
        "[SoftInfo]\r\nproductname=TmdEscape\r\n\r\n[InstallInfo]\r\nfolder=TmdEscape\\\r\n"
        "exefile=..\\tmd-outside\\app.txt\r\n\r\n[StartMenu]\r\nlinknum=2147483647\r\ngroup_0=TmdEscape|\r\n"
        "exefile_0=app.txt\r\nlinkname_0=\\..\\..\\tmd-escape.lnk\r\n\r\n[Desktop]\r\nlinknum=2\r\nexefile_0=app.txt\r\n"
        "linkname_0=\\..\\tmd-escape.lnk\r\nexefile_1=app.txt\r\nlinkname_1=\\TmdEscapeOk.lnk\r\n");
    ASSERT_NE(StartInstalling(shipped, "TmdEscape"), nullptr);
    HWND finish = WaitForCaption("TmdEscape 安装", 120000, 1013, "结束");
    ASSERT_NE(finish, nullptr);
    ClickButton(finish, 1013);
    if (!WaitUntilGone(finish, 30000)) {
        SaveScreenshot("hostile-descriptor-finish");
        ADD_FAILURE() << "finish page stays: " << ItemText(finish, 1013);
    }
    EXPECT_EQ(ReadFileBytes(programFiles + "TmdEscape\\app.txt"), "ok");
    EXPECT_TRUE(Exists(programFiles + "TmdEscape\\uninstall.exe"));
    EXPECT_FALSE(Exists(programFiles + "tmd-outside"));
    EXPECT_TRUE(Exists(desktop + "TmdEscapeOk.lnk"));
    const std::string desktopParent = desktop.substr(0, desktop.substr(0, desktop.size() - 1).find_last_of('\\') + 1);
    EXPECT_FALSE(Exists(desktopParent + "tmd-escape.lnk"));
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    EXPECT_FALSE(Exists(programs.substr(0, programs.substr(0, programs.size() - 1).find_last_of('\\') + 1) + "tmd-escape.lnk"));

    // The launcher it placed removes the product again.
    Process launcher(programFiles + "TmdEscape\\uninstall.exe", "");
    HWND remover = WaitForCaption("TmdEscape 安装", 60000, 1013, "下一步");
    ASSERT_NE(remover, nullptr);
    ClickButton(remover, 1013);
    ASSERT_TRUE(WaitForNextLabel(remover, "完成"));
    ClickButton(remover, 1013);
    EXPECT_TRUE(WaitUntilGone(remover, 30000));
    EXPECT_FALSE(Exists(programFiles + "TmdEscape"));
    EXPECT_FALSE(Exists(desktop + "TmdEscapeOk.lnk"));
}

TEST(HostileInput, LauncherStartsNoProgramOfTheUninstallersNameFromElsewhere)
{
    // With the shared uninstaller missing, a program of its name beside the
    // launcher (or on the search path) must not be started in its place.
    const std::string shared = CommonFilesFolder() + "Tessaramond\\";
    const std::string deployed = shared + "untessaramond.exe";
    const std::string kept = deployed + ".e2e-kept";
    CreateDirectoryA(shared.c_str(), nullptr);
    const bool moved = MoveFileExA(deployed.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    const std::string inst = NewFolder();
    ASSERT_TRUE(WriteFileBytes(inst + "untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_DEMO_APP_EXE"))));
    ASSERT_TRUE(WriteFileBytes(inst + "uninstall.exe", ReadFileBytes(BuiltProgram("TMD_LAUNCHER_EXE")) + std::string(4, '\1')));
    {
        Process launcher(inst + "uninstall.exe", "");
        EXPECT_EQ(launcher.WaitForExit(30000), 0u);
    }
    Sleep(1500);  // a started program would have left its mark by now
    EXPECT_FALSE(Exists(inst + "demo_app.started"));
    if (moved)
        MoveFileExA(kept.c_str(), deployed.c_str(), MOVEFILE_REPLACE_EXISTING);
}
