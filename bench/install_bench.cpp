// Runs the installer's two workers one after the other, as the install
// progress dialog does: decode a block-compressed file into a temporary
// archive, then unpack the archive into an install folder. Prints the
// seconds each step took.
// Usage: tmd-install-bench DATA.RAR WORKDIR   (host paths; WORKDIR must exist)
#include "framework/posix/host_path.h"
#include "framework/posix/notify_queue.h"
#include "framework/file.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/setup/setup_info.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {
double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tmd-install-bench DATA.RAR WORKDIR\n");
        return 2;
    }
    const std::string work = WindowsPath(std::filesystem::absolute(argv[2]).string()) + "\\";
    CNotifyQueue queue;
    CDecompressTask decompress;
    decompress.m_hNotifyWnd = &queue;
    decompress.m_strSource = WindowsPath(std::filesystem::absolute(argv[1]).string());
    decompress.m_strDest = work + "data.h66";

    auto start = std::chrono::steady_clock::now();
    if (DecompressThreadProc(&decompress) != 1) {
        std::fprintf(stderr, "decoding failed\n");
        return 1;
    }
    const double decode = Seconds(start);

    CFile archive;
    archive.Open(decompress.m_strDest, CFile::modeRead).Ignore();
    CArchiveTask unpack;
    unpack.m_hNotifyWnd = &queue;
    unpack.m_strArchive = decompress.m_strDest;
    unpack.m_nExpectedLength = static_cast<uint32_t>(archive.GetLength());
    archive.Close();
    theSetupInfo.m_strInstallDir = work + "install\\";
    CreateFolder(theSetupInfo.m_strInstallDir).Ignore();
    start = std::chrono::steady_clock::now();
    if (ArchiveThreadProc(&unpack) != 1) {
        std::fprintf(stderr, "unpacking failed\n");
        return 1;
    }
    const double install = Seconds(start);
    RemoveFile(decompress.m_strDest).Ignore();
    std::printf("%.3f %.3f %zu\n", decode, install, theSetupInfo.m_arrInstalledFiles.size());
    return 0;
}
