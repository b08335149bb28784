// tessaramond-pack: builds a shipped installer from a product folder and a
// setup descriptor, lists one, or extracts one.
#include "common/scramble.h"
#include "framework/strings.h"
#include "tools/pack/descriptor.h"
#include "tools/pack/gbk.h"
#include "tools/pack/pack_error.h"
#include "tools/pack/package_reader.h"
#include "tools/pack/package_writer.h"
#include "tools/pack/terminal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage:\n"
    "  tessaramond-pack build -o SETUP.EXE --descriptor FILE --product DIR --licence FILE\n"
    "                         [--dll DIR] [--stub EXE] [--uninstaller EXE] [--launcher EXE]\n"
    "                         [--level fast|best]\n"
    "  tessaramond-pack list SETUP.EXE\n"
    "  tessaramond-pack extract SETUP.EXE -C DIR\n"
    "\n"
    "build    packs DIR into \"data.rar\" (and --dll DIR into \"dll.rar\", which sets ckdll=1),\n"
    "         adds the descriptor as \"install.tmd\", the licence, the uninstaller and the\n"
    "         launcher, and appends them to the installer stub. Stub, uninstaller and launcher\n"
    "         default to tessaramond.exe, untessaramond.exe and uninstall.exe next to this\n"
    "         program, else in the installer folder of the build that produced it.\n"
    "         Names are converted from UTF-8 to GBK; names GBK cannot hold are refused.\n"
    "list     prints the items and the files of each archive.\n"
    "extract  writes the items, the files of \"data.rar\" under DIR/data and of \"dll.rar\"\n"
    "         under DIR/dll, and the descriptor as plain text in DIR/install.ini.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

struct UsageError {
    std::string message;
};

fs::path ProgramFolder(const char* argv0)
{
    std::error_code error;
    fs::path self = fs::canonical("/proc/self/exe", error);
    if (error)
        self = fs::absolute(argv0, error);
    return self.parent_path();
}

// Options of the form --name VALUE (or -o/-C) and positional arguments.
struct Arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;

    Arguments(int argc, char** argv, int first, const std::vector<std::string>& known)
    {
        for (int i = first; i < argc; ++i) {
            std::string arg = argv[i];
            if (arg.size() > 1 && arg[0] == '-') {
                if (std::find(known.begin(), known.end(), arg) == known.end())
                    throw UsageError{"unknown option " + arg};
                if (i + 1 >= argc)
                    throw UsageError{"option " + arg + " needs a value"};
                options[arg] = argv[++i];
            } else {
                positional.push_back(arg);
            }
        }
    }
    std::string Get(const std::string& name, const std::string& fallback = "") const
    {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    std::string Require(const std::string& name) const
    {
        std::string value = Get(name);
        if (value.empty())
            throw UsageError{"missing " + name};
        return value;
    }
};

// A stub file named on the command line, else the first of: next to this
// program, the installer folder of the build that produced it.
std::string DefaultProgram(const Arguments& args, const std::string& option, const fs::path& programFolder,
                           const char* name)
{
    std::string given = args.Get(option);
    if (!given.empty())
        return given;
    std::error_code error;
    const fs::path nextToUs = programFolder / name;
#ifdef TMD_STUB_FOLDER
    const fs::path built = fs::path(TMD_STUB_FOLDER) / name;
    if (!fs::exists(nextToUs, error) && fs::exists(built, error))
        return built.string();
#endif
    return nextToUs.string();
}

std::string Utf8(const std::string& gbk)
{
    std::string out;
    return GbkToUtf8(gbk, out) ? out : gbk;
}

int Build(const Arguments& args, const fs::path& programFolder)
{
    if (!args.positional.empty())
        throw UsageError{"unexpected argument " + args.positional.front()};
    BuildOptions options;
    options.output = args.Require("-o");
    options.descriptor = args.Require("--descriptor");
    options.product = args.Require("--product");
    options.licence = args.Require("--licence");
    options.systemDll = args.Get("--dll");
    options.stub = DefaultProgram(args, "--stub", programFolder, "tessaramond.exe");
    options.uninstaller = DefaultProgram(args, "--uninstaller", programFolder, "untessaramond.exe");
    options.launcher = DefaultProgram(args, "--launcher", programFolder, "uninstall.exe");
    const std::string level = args.Get("--level", "fast");
    if (level != "fast" && level != "best")
        throw UsageError{"--level must be fast or best"};
    options.level = level == "best" ? CompressionLevel::Best : CompressionLevel::Fast;

    CProgressBar bar("packing");
    BuildSummary summary = BuildPackage(options, [&](uint64_t done, uint64_t total) { bar.Update(done, total); });
    if (IsTerminal(1))
        std::printf("%s: %llu files, %llu bytes packed into %llu bytes\n", Utf8Path(options.output).c_str(),
                    static_cast<unsigned long long>(summary.files),
                    static_cast<unsigned long long>(summary.productBytes),
                    static_cast<unsigned long long>(summary.outputBytes));
    return 0;
}

std::ifstream OpenInstaller(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw CPackFailure(path + ": cannot be opened");
    return file;
}

bool IsArchiveItem(const std::string& name) { return name == "data.rar" || name == "dll.rar"; }

int List(const Arguments& args)
{
    if (args.positional.size() != 1)
        throw UsageError{"list takes one installer file"};
    const std::string path = args.positional[0];
    std::ifstream file = OpenInstaller(path);
    for (const PackageItem& item : ReadPackageItems(file, path)) {
        std::printf("%12lu  %s\n", static_cast<unsigned long>(item.size), Utf8(item.name).c_str());
        if (!IsArchiveItem(item.name))
            continue;
        WalkArchiveItem(file, item, [](const CPackEntry& entry) -> ContentSink {
            std::string shown = entry.m_strFolder + entry.m_strName;
            std::printf("%12lu    %s\n", static_cast<unsigned long>(entry.m_nSize), Utf8(shown).c_str());
            return nullptr;
        });
    }
    return 0;
}

// Host path of an archive entry below root: each GBK component as UTF-8.
fs::path HostEntryPath(const fs::path& root, const CPackEntry& entry)
{
    fs::path out = root;
    std::string rel = entry.m_strFolder + entry.m_strName;
    size_t start = 0;
    for (;;) {
        size_t slash = MbFind(rel, '\\', start);
        std::string part = rel.substr(start, slash == npos ? npos : slash - start);
        std::string utf8;
        if (!GbkToUtf8(part, utf8))
            throw CPackFailure(part + ": a name that is not GBK text");
        out /= fs::path(std::u8string(utf8.begin(), utf8.end()));
        if (slash == npos)
            return out;
        start = slash + 1;
    }
}

void WriteHostFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw CPackFailure(Utf8Path(path) + ": cannot be written");
}

int Extract(const Arguments& args)
{
    if (args.positional.size() != 1)
        throw UsageError{"extract takes one installer file"};
    const std::string path = args.positional[0];
    const fs::path root = args.Require("-C");
    std::ifstream file = OpenInstaller(path);
    const std::vector<PackageItem> items = ReadPackageItems(file, path);
    fs::create_directories(root);
    uint64_t total = 0;
    for (const auto& item : items)
        total += item.size;
    CProgressBar bar("extracting");
    uint64_t done = 0;
    for (const PackageItem& item : items) {
        const fs::path itemPath = root / Utf8(item.name);
        {
            std::ofstream out(itemPath, std::ios::binary | std::ios::trunc);
            std::string descriptor;
            ReadItem(file, item, [&](const char* data, size_t size) {
                out.write(data, static_cast<std::streamsize>(size));
                if (item.name == "install.tmd")
                    descriptor.append(data, size);
            });
            if (!out)
                throw CPackFailure(Utf8Path(itemPath) + ": cannot be written");
            if (item.name == "install.tmd") {
                ScrambleBytes(descriptor);
                WriteHostFile(root / "install.ini", DescriptorToUtf8(descriptor));
            }
        }
        if (IsArchiveItem(item.name)) {
            const fs::path tree = root / (item.name == "data.rar" ? "data" : "dll");
            fs::create_directories(tree);
            std::ofstream out;
            WalkArchiveItem(
                file, item,
                [&](const CPackEntry& entry) -> ContentSink {
                    const fs::path target = HostEntryPath(tree, entry);
                    fs::create_directories(target.parent_path());
                    out.close();
                    out.clear();
                    out.open(target, std::ios::binary | std::ios::trunc);
                    if (!out)
                        throw CPackFailure(Utf8Path(target) + ": cannot be created");
                    return [&out](const char* data, size_t size) {
                        out.write(data, static_cast<std::streamsize>(size));
                    };
                },
                [&](uint64_t consumed) { bar.Update(done + consumed, total); });
            out.close();
            if (out.fail())
                throw CPackFailure(Utf8Path(tree) + ": a file could not be written");
        }
        done += item.size;
        bar.Update(done, total);
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? kExitUsage : 0;
    }
    const std::string command = argv[1];
    try {
        if (command == "build")
            return Build(Arguments(argc, argv, 2,
                                   {"-o", "--descriptor", "--product", "--licence", "--dll", "--stub",
                                    "--uninstaller", "--launcher", "--level"}),
                         ProgramFolder(argv[0]));
        if (command == "list")
            return List(Arguments(argc, argv, 2, {}));
        if (command == "extract")
            return Extract(Arguments(argc, argv, 2, {"-C"}));
        throw UsageError{"unknown command " + command};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tessaramond-pack: %s (see tessaramond-pack --help)\n", e.message.c_str());
        return kExitUsage;
    } catch (const CPackFailure& e) {
        std::fprintf(stderr, "tessaramond-pack: %s\n", e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaramond-pack: %s\n", e.what());
        return kExitFailure;
    }
}
