// Times the removal engine on an installed tree: every file of the folder is
// listed as the installer would record it, a record file lies beside it, and
// RemoveInstallation deletes record, files and folders. Prints the seconds
// and the number of files.
// Usage: tmd-removal-bench INSTALLDIR   (host path; the tree is removed)
#include "framework/posix/host_path.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_info.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tmd-removal-bench INSTALLDIR\n");
        return 2;
    }
    const fs::path root = fs::absolute(argv[1]);
    CUninstallInfo info;
    info.m_strInstallDir = WindowsPath(root.string()) + "\\";
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file())
            continue;
        std::string entry = it->path().string().substr(root.string().size() + 1);
        for (char& c : entry)
            c = c == '/' ? '\\' : c;
        info.m_arrInstalledFiles.push_back(entry);
    }
    const fs::path record = root.parent_path() / "4242.tmd";
    std::ofstream(record) << "record";
    info.m_strRecordPath = WindowsPath(record.string());

    const auto start = std::chrono::steady_clock::now();
    RemoveInstallation(info);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (fs::exists(root) || fs::exists(record)) {
        std::fprintf(stderr, "removal left the folder or the record behind\n");
        return 1;
    }
    std::printf("%.3f %zu\n", seconds, info.m_arrInstalledFiles.size());
    return 0;
}
