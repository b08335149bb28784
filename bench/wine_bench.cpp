// The whole installation under Wine, timed the way a user sees it: the
// shipped installer is started, the wizard walked unattended (licence,
// folder, options with nothing ticked, install) and the clock stops when the
// finish page shows. Meanwhile the memory of the working run (the process
// that decodes and unpacks) is sampled; its peak is printed with the time.
// For comparison the same tree can be copied with the system's xcopy.
//   wine-bench install SHIPPED.EXE PRODUCT   -> seconds peak-working-set-KB peak-pagefile-KB
//   wine-bench xcopy FROM TO                    -> seconds
#include "driver.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

using namespace e2e;

namespace {
constexpr int kNext = 1013;
constexpr DWORD kPageWait = 30000;

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


bool WaitForLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, kNext, label, 10000, 5); }

int Fail(const char* what)
{
    std::fprintf(stderr, "wine-bench: %s\n", what);
    return 1;
}

struct Peak {
    SIZE_T workingSet = 0;
    SIZE_T pagefile = 0;
    void Sample(HANDLE process)
    {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters)) {
            workingSet = std::max(workingSet, counters.PeakWorkingSetSize);
            pagefile = std::max(pagefile, counters.PeakPagefileUsage);
        }
    }
};

int Install(const std::string& shipped, const std::string& product)
{
    const std::string caption = product + " 安装";
    const auto start = std::chrono::steady_clock::now();
    Process packaged(shipped, "");
    if (!packaged.Started())
        return Fail("the installer did not start");
    HWND wizard = WaitForCaption(caption, 120000);
    if (wizard == nullptr)
        return Fail("the wizard did not appear");
    HANDLE working = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, WindowProcess(wizard));
    Peak peak;
    ClickButton(wizard, kNext);
    if (!WaitForLabel(wizard, "同意"))
        return Fail("no licence page");
    ClickButton(wizard, kNext);
    if (!WaitForLabel(wizard, "下一步"))
        return Fail("no folder page");
    ClickButton(wizard, kNext);
    if (!WaitForLabel(wizard, "安装"))
        return Fail("no options page");
    for (int id = 1016; id <= 1018; ++id)  // no shortcuts, nothing started afterwards
        PostMessageA(PageControl(wizard, id, "Button"), BM_CLICK, 0, 0);
    Sleep(50);
    ClickButton(wizard, kNext);
    HWND finish = nullptr;
    while (finish == nullptr && Since(start) < 3600) {
        peak.Sample(working);
        finish = WaitForCaption(caption, 20, kNext, "结束");
    }
    const double seconds = Since(start);
    peak.Sample(working);
    if (working != nullptr)
        CloseHandle(working);
    if (finish == nullptr)
        return Fail("the finish page did not appear");
    ClickButton(finish, kNext);
    WaitUntilGone(finish, kPageWait);
    std::printf("%.3f %llu %llu\n", seconds, static_cast<unsigned long long>(peak.workingSet >> 10),
                static_cast<unsigned long long>(peak.pagefile >> 10));
    return 0;
}

int Xcopy(const std::string& from, const std::string& to)
{
    const auto start = std::chrono::steady_clock::now();
    Process copy("C:\\windows\\system32\\xcopy.exe", "/E /I /Q \"" + from + "\" \"" + to + "\"");
    if (!copy.Started())
        return Fail("xcopy did not start");
    if (copy.WaitForExit(3600 * 1000) != 0)
        return Fail("xcopy failed");
    std::printf("%.3f\n", Since(start));
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 4 && mode == "install")
        return Install(argv[2], argv[3]);
    if (argc == 4 && mode == "xcopy")
        return Xcopy(argv[2], argv[3]);
    std::fprintf(stderr, "usage: wine-bench install SHIPPED.EXE PRODUCT | xcopy FROM TO\n");
    return 2;
}
