// Writes an uninstall record with N "file_<n>" keys through SetValue,
// saves it scrambled, loads it into a new document and reads every key back.
// Prints the time for 10,000 and for 100,000 keys and their ratio: a linear
// document takes about ten times as long for ten times the keys.
#include "common/ini_file.h"
#include "format/record_schema.h"
#include "framework/file.h"
#include "framework/strings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
namespace rs = record_schema;

double RoundTrip(const std::string& path, int files)
{
    const auto start = std::chrono::steady_clock::now();
    {
        CIniFile record;
        record.Load(path, true);
        record.SetValue(rs::kProduct, rs::kProductName, "Demo");
        record.SetValue(rs::kInstall, rs::kInstallDir, "C:\\Program Files\\Acme\\Demo\\");
        record.SetInt(rs::kFiles, rs::kFileCount, files);
        for (int i = 0; i < files; ++i)
            record.SetValue(rs::kFiles, rs::Numbered(rs::kFilePrefix, i), Format("bin\\module\\part_%06d.dat", i));
        record.SetValue(rs::kStartMenu, rs::kLinkCount, "0");
        if (!record.Save())
            std::exit(2);
    }
    CIniFile loaded;
    if (!loaded.Load(path, true))
        std::exit(2);
    size_t bytes = 0;
    for (int i = 0, n = loaded.GetInt(rs::kFiles, rs::kFileCount, 0); i < n; ++i)
        bytes += loaded.GetValue(rs::kFiles, rs::Numbered(rs::kFilePrefix, i), "").size();
    if (bytes == 0)
        std::exit(3);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char** argv)
{
    // The record lands in the host's temporary folder (drive Z: is the root).
    std::string folder = argc > 1 ? argv[1] : "Z:\\tmp";
    const double small = RoundTrip(folder + "\\tmd-bench-10k.tmd", 10000);
    const double large = RoundTrip(folder + "\\tmd-bench-100k.tmd", 100000);
    RemoveFile(folder + "\\tmd-bench-10k.tmd").Ignore();
    RemoveFile(folder + "\\tmd-bench-100k.tmd").Ignore();
    std::printf("record write + load,  10,000 files: %.3f s\n", small);
    std::printf("record write + load, 100,000 files: %.3f s\n", large);
    std::printf("ratio 100k / 10k: %.1f (linear: 10)\n", large / small);
    return large < 1.0 ? 0 : 1;
}
