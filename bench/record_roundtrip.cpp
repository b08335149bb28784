// Writes a record-shaped document with N "file_%d" keys through SetValue,
// saves it scrambled, loads it into a new document and reads every key back.
// Prints the time for 10,000 and for 100,000 keys and their ratio: a linear
// document takes about ten times as long for ten times the keys.
#include "common/ini_file.h"
#include "framework/file.h"
#include "framework/strings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
double RoundTrip(const std::string& path, int files)
{
    const auto start = std::chrono::steady_clock::now();
    {
        CIniFile record;
        record.Load(path, true);
        record.SetValue("SoftInfo", "productname", "Demo");
        record.SetValue("InstallInfo", "InstallDir", "C:\\Program Files\\Acme\\Demo\\");
        record.SetInt("FileInfo", "filenum", files);
        for (int i = 0; i < files; ++i)
            record.SetValue("FileInfo", Format("file_%d", i), Format("bin\\module\\part_%06d.dat", i));
        record.SetValue("StartMenu", "linknum", "0");
        if (!record.Save())
            std::exit(2);
    }
    CIniFile loaded;
    if (!loaded.Load(path, true))
        std::exit(2);
    size_t bytes = 0;
    for (int i = 0, n = loaded.GetInt("FileInfo", "filenum", 0); i < n; ++i)
        bytes += loaded.GetValue("FileInfo", Format("file_%d", i), "").size();
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
