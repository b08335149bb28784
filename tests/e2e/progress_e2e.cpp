// The two progress dialogs in real windows: the self-extraction of a shipped
// installer, and the installation of one package.
#include "driver.h"
#include "layout.h"
#include "packages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace e2e;

namespace {
bool WaitForFile(const std::string& path, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(100);
    }
    return false;
}

size_t CountTempArchives()
{
    size_t n = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((TempFolder() + "dat*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++n;
    while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
}
}  // namespace

TEST(ProgressDialogs, ShippedInstallerExtractsItselfAndStartsTheWorkingCopy)
{
    const std::string installer = ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE"));
    const std::string uninstaller = ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"));
    ASSERT_FALSE(installer.empty());
    ASSERT_FALSE(uninstaller.empty());
    const std::string data = CompressBytes(ArchiveEntry("", "readme.txt", "hello"), CompressionLevel::Fast);
    const std::string descriptor = Scrambled("[SoftInfo]\r\nproductname=Demo\r\n\r\n[InstallInfo]\r\nfolder=Demo\\\r\n");
    const std::string shippedPath = NewFolder() + "DemoSetup.exe";
    ASSERT_TRUE(WriteFileBytes(shippedPath, Shipped(installer, {{"data.rar", data},
                                                                {"install.tmd", descriptor},
                                                                {"license.txt", "licence"},
                                                                {"untessaramond.exe", uninstaller},
                                                                {"uninstall.exe", "MZ-launcher"}})));
    const std::string deployed = CommonFilesFolder() + "Tessaramond\\untessaramond.exe";
    DeleteFileA(deployed.c_str());
    const std::string temp = TempFolder() + "Tessaramond\\";
    RemoveTree(TempFolder() + "Tessaramond");

    Process run(shippedPath, "");
    ASSERT_TRUE(run.Started());
    if (run.WaitForDialog(20000))
        SaveScreenshot("self-extraction");
    EXPECT_EQ(run.WaitForExit(60000), 0u);  // the working copy is started

    const std::string copy = ReadFileBytes(temp + "setup.exe");
    ASSERT_EQ(copy.size(), installer.size() + 2);
    EXPECT_EQ(copy.substr(copy.size() - 2), U16(2008));
    EXPECT_TRUE(ReadFileBytes(temp + "data.rar") == data) << "data.rar differs";
    EXPECT_EQ(ReadFileBytes(temp + "license.txt"), "licence");
    EXPECT_EQ(ReadFileBytes(temp + "uninstall.exe"), "MZ-launcher");
    std::string written = ReadFileBytes(temp + "install.tmd");
    ScrambleBytes(written);
    EXPECT_NE(written.find("installexe=" + shippedPath + "\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("filelen=" + std::to_string(data.size()) + "\r\n"), std::string::npos) << written;

    // The working copy ran and moved the uninstaller into the shared folder.
    ASSERT_TRUE(WaitForFile(deployed, 30000));
    EXPECT_TRUE(ReadFileBytes(deployed) == uninstaller) << "the deployed uninstaller differs";
    // Then it shows the wizard, which this test does not walk.
    if (HWND wizard = WaitForCaption("Demo 安装", 30000))
        TerminateOwner(wizard);
}

TEST(ProgressDialogs, UpdateDialogInstallsAPackageAndCleansUp)
{
    const std::string folder = NewFolder();
    const std::string install = folder + "Program\\";
    CreateDirectoryA(install.c_str(), nullptr);
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 253);
    const std::string archive = ArchiveEntry("", "a.txt", "alpha") +
                                ArchiveEntry("bin\\", "tool.dll", big);
    const std::string package = folder + "data.rar";
    ASSERT_TRUE(WriteFileBytes(package, CompressBytes(archive, CompressionLevel::Fast)));
    const size_t tempArchives = CountTempArchives();

    Process run(BuiltProgram("TMD_UPDATE_DRIVER_EXE"), "\"" + package + "\" \"" + folder + "Program\"");
    ASSERT_TRUE(run.Started());
    if (HWND dialog = run.WaitForDialog(10000)) {
        // The bar and its group box, at this machine's dialog units and SimSun's.
        CHoldStill hold(dialog);
        const auto layout = LoadDialogTemplate(BuiltProgram("TMD_UPDATE_DRIVER_EXE"), 101);
        ASSERT_TRUE(layout.has_value());
        for (Metrics metrics : {Metrics::Measured, Metrics::SimSun})
            EXPECT_TRUE(LayoutFaults(dialog, {{dialog, {}, layout}}, metrics).empty());
        SaveScreenshot("package-installation");
    }
    EXPECT_EQ(run.WaitForExit(60000), static_cast<DWORD>(IDOK));
    EXPECT_EQ(ReadFileBytes(install + "a.txt"), "alpha");
    EXPECT_TRUE(ReadFileBytes(install + "bin\\tool.dll") == big) << "bin\\tool.dll differs";
    EXPECT_EQ(GetFileAttributesA(package.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(CountTempArchives(), tempArchives);
}

TEST(ProgressDialogs, UpdateDialogShowsWhyAMissingPackageFailed)
{
    const std::string folder = NewFolder();
    Process run(BuiltProgram("TMD_UPDATE_DRIVER_EXE"), "\"" + folder + "missing.rar\" \"" + folder + "out\"");
    ASSERT_TRUE(run.Started());
    HWND dialog = nullptr;
    for (int i = 0; i < 100 && dialog == nullptr; ++i) {
        HWND found = run.WaitForDialog(10000);
        if (found && WindowText(found) == "解压文件错误")
            dialog = found;
        else
            Sleep(100);
    }
    ASSERT_NE(dialog, nullptr);
    // The error text and the Close button in place of the bar.
    const auto layout = LoadDialogTemplate(BuiltProgram("TMD_UPDATE_DRIVER_EXE"), 101);
    ASSERT_TRUE(layout.has_value());
    for (Metrics metrics : {Metrics::Measured, Metrics::SimSun})
        EXPECT_TRUE(LayoutFaults(dialog, {{dialog, {}, layout}}, metrics).empty());
    const std::vector<std::string> texts = StaticTexts(dialog);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "解压时，打开压缩文件错误！"), texts.end());
    SaveScreenshot("package-installation-error");
    ClickButton(dialog, 1019);
    EXPECT_EQ(run.WaitForExit(20000), static_cast<DWORD>(IDCANCEL));
}
