// The uninstall launcher as a whole program: its splash, and the uninstaller
// it starts for the identifier stamped into its file. A reporting program
// takes the deployed uninstaller's place for the test and is taken away after.
#include "driver.h"
#include "framework/endian.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {
std::string Stamp(uint32_t id)
{
    std::string out;
    return AppendLe32(out, id);
}

// A launcher as the installer leaves it in an install folder.
std::string StampedLauncher(uint32_t id)
{
    const std::string launcher = BuiltProgram("TMD_LAUNCHER_EXE");
    const std::string path = NewFolder() + "uninstall.exe";
    if (launcher.empty() || !WriteFileBytes(path, ReadFileBytes(launcher) + Stamp(id)))
        return std::string();
    return path;
}

std::string SharedFolder()
{
    char common[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, common, CSIDL_PROGRAM_FILES_COMMON, FALSE);
    return std::string(common) + "\\Tessaramond\\";
}

// Puts the reporter where the deployed uninstaller lies, and puts back what
// was there before when the test ends.
class ReporterInPlace {
public:
    ReporterInPlace() : m_folder(SharedFolder()), m_target(m_folder + "untessaramond.exe"), m_backup(m_target + ".e2e-kept")
    {
        CreateDirectoryA(m_folder.c_str(), nullptr);
        m_kept = MoveFileExA(m_target.c_str(), m_backup.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        DeleteFileA(Report().c_str());
    }
    ~ReporterInPlace()
    {
        DeleteFileA(m_target.c_str());
        DeleteFileA(Report().c_str());
        if (m_kept)
            MoveFileExA(m_backup.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    ReporterInPlace(const ReporterInPlace&) = delete;
    ReporterInPlace& operator=(const ReporterInPlace&) = delete;

    bool Place() const { return CopyFileA(BuiltProgram("TMD_LAUNCH_REPORTER_EXE").c_str(), m_target.c_str(), FALSE); }
    std::string Folder() const { return m_folder; }
    std::string Report() const { return m_folder + "launch-report.txt"; }

    // The reporter's lines (arguments, working folder); empty when it did not run.
    std::vector<std::string> WaitForReport() const
    {
        std::string text;
        for (int i = 0; i < 200 && text.find('\n', text.find('\n') + 1) == std::string::npos; ++i) {
            Sleep(50);
            text = ReadFileBytes(Report());
        }
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(text.substr(at, end - at));
        DeleteFileA(Report().c_str());
        return lines;
    }

private:
    std::string m_folder, m_target, m_backup;
    bool m_kept = false;
};

std::string WithoutTrailingBackslash(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

// The launcher's splash window, found once it is on screen.
HWND WaitForSplash(DWORD processId)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(1)) {
        for (HWND w = FindWindowA("unInstall", nullptr); w; w = FindWindowExA(nullptr, w, "unInstall", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == processId && IsWindowVisible(w))
                return w;
        }
    }
    return nullptr;
}
}  // namespace

TEST(Launcher, ShowsItsSplashAndStartsTheUninstallerWithTheStampedRecord)
{
    ReporterInPlace reporter;
    ASSERT_TRUE(reporter.Place());
    const std::string launcher = StampedLauncher(12345);  // last bytes 39 30 00 00
    ASSERT_FALSE(launcher.empty());

    Process run(launcher, "");
    ASSERT_TRUE(run.Started());
    HWND splash = WaitForSplash(run.Id());
    ASSERT_NE(splash, nullptr) << "no splash window of class unInstall";
    // Hold the launcher still while the splash is looked at: it is on screen
    // for a tenth of a second only. It paints right after it is shown.
    Sleep(30);
    RECT rect{};
    LONG style = 0;
    std::string title;
    bool visible = false;
    COLORREF ring = 0;
    {
        CHoldStill hold(splash);
        ASSERT_TRUE(hold.Holding());
        GetWindowRect(splash, &rect);
        style = GetWindowLongA(splash, GWL_STYLE);
        title = WindowText(splash);
        visible = IsWindowVisible(splash);
        // The picture's dark ring centre, where a white, unpainted window has white.
        HDC screen = GetDC(nullptr);
        ring = GetPixel(screen, rect.left + 30, rect.top + 28);
        ReleaseDC(nullptr, screen);
        SaveScreenshot("launcher-splash");
    }

    EXPECT_TRUE(visible);
    EXPECT_LT(GetRValue(ring) + GetGValue(ring), 200) << "splash bitmap not painted: " << std::hex << ring;
    EXPECT_EQ(title, "Tessaramond 卸载");
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    EXPECT_EQ(rect.right - rect.left, 250);
    EXPECT_EQ(rect.bottom - rect.top, 60);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 250) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 60) / 2);

    EXPECT_EQ(run.WaitForExit(20000), 0u);
    const std::vector<std::string> report = reporter.WaitForReport();
    ASSERT_EQ(report.size(), 2u) << "the uninstaller was not started";
    EXPECT_EQ(report[0], "12345.tmd");
    EXPECT_EQ(WithoutTrailingBackslash(report[1]), WithoutTrailingBackslash(reporter.Folder()));
}

TEST(Launcher, EachStampNamesItsOwnRecord)
{
    ReporterInPlace reporter;
    ASSERT_TRUE(reporter.Place());
    const std::pair<uint32_t, const char*> cases[] = {{0u, "0.tmd"}, {4294967295u, "4294967295.tmd"}, {700001u, "700001.tmd"}};
    for (const auto& [id, expected] : cases) {
        Process run(StampedLauncher(id), "");
        ASSERT_TRUE(run.Started());
        EXPECT_EQ(run.WaitForExit(20000), 0u);
        const std::vector<std::string> report = reporter.WaitForReport();
        ASSERT_EQ(report.size(), 2u) << expected;
        EXPECT_EQ(report[0], expected);
    }
}

TEST(Launcher, EndsWithZeroWhenThereIsNoUninstaller)
{
    ReporterInPlace reporter;  // moves a deployed uninstaller aside and places nothing
    Process run(StampedLauncher(42), "");
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.WaitForExit(20000), 0u);
    EXPECT_FALSE(run.HasVisibleWindow());
}
