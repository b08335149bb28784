// tessaramond-pack: builds a shipped installer from a product folder and a
// setup descriptor, lists one, or extracts one.
#include "common/scramble.h"
#include "format/item_directory.h"
#include "framework/strings.h"
#include "tools/pack/archive_writer.h"
#include "tools/pack/descriptor.h"
#include "tools/pack/descriptor_check.h"
#include "tools/pack/gbk.h"
#include "tools/pack/pack_error.h"
#include "tools/pack/package_reader.h"
#include "tools/pack/package_writer.h"
#include "tools/pack/signing.h"
#include "tools/pack/terminal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "NAME\n"
    "    tessaramond-pack - build, check, list and unpack Tessaramond installers\n"
    "\n"
    "SYNOPSIS\n"
    "    tessaramond-pack build -o SETUP.EXE --descriptor FILE --product DIR --licence FILE\n"
    "                           [--dll DIR] [--level fast|best]\n"
    "                           [--stub EXE] [--uninstaller EXE] [--launcher EXE]\n"
    "                           [--sign-pkcs12 FILE | --sign-key FILE --sign-cert FILE]\n"
    "                           [--sign-password-file FILE | --sign-password-env NAME]\n"
    "                           [--timestamp URL]\n"
    "    tessaramond-pack check --descriptor FILE [--product DIR] [--licence FILE] [--dll DIR]\n"
    "                           [--stub EXE] [--uninstaller EXE] [--launcher EXE]\n"
    "    tessaramond-pack check SETUP.EXE [--ca FILE]\n"
    "    tessaramond-pack list SETUP.EXE\n"
    "    tessaramond-pack extract SETUP.EXE -C DIR\n"
    "    tessaramond-pack --help\n"
    "\n"
    "DESCRIPTION\n"
    "    A Tessaramond installer is one Windows program: the installer stub with the\n"
    "    product appended. The end user runs it, walks through a four-page wizard in\n"
    "    Chinese, and gets the product, its shortcuts and an uninstaller.\n"
    "\n"
    "    build    Checks everything as 'check' does, then packs every file below the\n"
    "             product folder (subfolders kept, empty folders not carried) into the\n"
    "             item \"data.rar\", the --dll folder into \"dll.rar\", and adds the\n"
    "             descriptor (GBK, scrambled, as \"install.tmd\"), the licence, the\n"
    "             uninstaller, the uninstall launcher and \"checksums.sha256\", the\n"
    "             SHA-256 of every other item, which the installer checks. The\n"
    "             output is written under SETUP.EXE.partial and renamed when\n"
    "             complete: a failed build leaves nothing behind. On a terminal a\n"
    "             progress line shows bytes, rate and time left. With a signing key,\n"
    "             the uninstaller and the uninstall\n"
    "             launcher are signed before they are packed and the finished\n"
    "             installer last (Authenticode, SHA-256, by osslsigncode).\n"
    "    check    Reviews the descriptor, the product folder, the licence and the three\n"
    "             programs without writing anything. Errors are what the installer would\n"
    "             refuse or silently do wrong; warnings are worth a look.\n"
    "             Given an installer instead, reads its package, checks every item\n"
    "             against its checksum, and says whether it is signed and whether the\n"
    "             signature verifies (osslsigncode verify): exit status 0 only for\n"
    "             an undamaged, signed installer whose signature holds.\n"
    "    list     Prints the items of an installer and the files of each archive.\n"
    "    extract  Writes the items under DIR, the files of \"data.rar\" under DIR/data and\n"
    "             of \"dll.rar\" under DIR/dll, and the descriptor as UTF-8 text in\n"
    "             DIR/install.ini.\n"
    "\n"
    "OPTIONS\n"
    "    -o SETUP.EXE        the installer to write.\n"
    "    --descriptor FILE   the setup descriptor, UTF-8 INI text (see DESCRIPTOR).\n"
    "    --product DIR       the product's files as they lie below the install folder.\n"
    "    --licence FILE      the licence shown on the second page; UTF-8 or GBK text.\n"
    "    --dll DIR           system libraries, installed below the install folder after\n"
    "                        the product; sets ckdll=1 (0 without it).\n"
    "    --level fast|best   fast (default): compression on every core; best: smaller.\n"
    "    --stub EXE          the installer program (tessaramond.exe),\n"
    "    --uninstaller EXE   the uninstaller (untessaramond.exe),\n"
    "    --launcher EXE      the uninstall launcher (uninstall.exe): by default taken\n"
    "                        from beside this program, else from the win32 build of\n"
    "                        this source tree (build/win32/installer/).\n"
    "    --sign-pkcs12 FILE  sign with the key and certificate chain of a PKCS#12\n"
    "                        (.pfx, .p12) file,\n"
    "    --sign-key FILE     or with a PEM private key\n"
    "    --sign-cert FILE    and its PEM certificate (with the chain, if any).\n"
    "    --sign-password-file FILE\n"
    "                        the password of the PKCS#12 file or of an encrypted key,\n"
    "    --sign-password-env NAME\n"
    "                        or the environment variable that holds it. Never on the\n"
    "                        command line, where other users could read it.\n"
    "    --timestamp URL     an RFC 3161 time-stamp service, so that the signature\n"
    "                        outlives the certificate: http://timestamp.digicert.com\n"
    "    --ca FILE           check: the PEM certificates to trust instead of the\n"
    "                        system's (a private CA).\n"
    "    -C DIR              where 'extract' writes.\n"
    "\n"
    "DESCRIPTOR\n"
    "    Sections and keys are case-sensitive. Paths are relative, use backslashes and\n"
    "    are joined by plain concatenation, hence the backslash rules below.\n"
    "    [SoftInfo]     productname     the name on every page (required)\n"
    "                   companyname     the maker; default of folder\n"
    "                   productversion  kept for the author\n"
    "    [InstallInfo]  folder          default install folder below Program Files,\n"
    "                                   ending with a backslash: Maker\\Product\\\n"
    "                   bfoldersel      1: the user may choose another folder; 0: not\n"
    "                   exefile         main program, relative to the install folder;\n"
    "                                   started on the finish page if the user asks,\n"
    "                                   and uninstall.exe is placed beside it\n"
    "                   uninstallentry  1 (written unless given): listed among Windows'\n"
    "                                   installed programs (Apps & Features); 0: not\n"
    "    [StartMenu]    linknum         number of Start-menu shortcuts; for each N\n"
    "                                   from 0: group_N, exefile_N, linkname_N\n"
    "                   group_N         program group: names each followed by \"|\",\n"
    "                                   one or two levels (Maker|Product|)\n"
    "                   exefile_N       the shortcut's target, relative to the install folder\n"
    "                   linkname_N      the shortcut's file name: \\Name.lnk\n"
    "    [Desktop]      linknum, exefile_N, linkname_N as above; linkname_N must\n"
    "                   begin with a backslash\n"
    "    No text may contain \"|\" except group_N; every target must be a file of\n"
    "    the product (or --dll) folder; an entry missing one of its keys is refused.\n"
    "\n"
    "EXIT STATUS\n"
    "    0 success (check: no errors), 1 failure or errors found, 2 wrong usage.\n"
    "\n"
    "EXAMPLES\n"
    "    tessaramond-pack check --descriptor setup.ini --product product/\n"
    "    tessaramond-pack build -o DemoSetup.exe --descriptor setup.ini \\\n"
    "        --product product/ --licence licence.txt --dll system/\n"
    "    tessaramond-pack build -o DemoSetup.exe --descriptor setup.ini \\\n"
    "        --product product/ --licence licence.txt \\\n"
    "        --sign-pkcs12 vendor.pfx --sign-password-env SIGN_PASSWORD \\\n"
    "        --timestamp http://timestamp.digicert.com\n"
    "    tessaramond-pack check DemoSetup.exe\n"
    "    tessaramond-pack list DemoSetup.exe\n";

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

// What a build needs, from the command line.
BuildOptions ReadOptions(const Arguments& args, const fs::path& programFolder, bool forBuild)
{
    if (!args.positional.empty())
        throw UsageError{"unexpected argument " + args.positional.front()};
    BuildOptions options;
    if (forBuild) {
        options.output = args.Require("-o");
        options.product = args.Require("--product");
        options.licence = args.Require("--licence");
    } else {
        options.product = args.Get("--product");
        options.licence = args.Get("--licence");
    }
    options.descriptor = args.Require("--descriptor");
    options.systemDll = args.Get("--dll");
    options.stub = DefaultProgram(args, "--stub", programFolder, "tessaramond.exe");
    options.uninstaller = DefaultProgram(args, "--uninstaller", programFolder, "untessaramond.exe");
    options.launcher = DefaultProgram(args, "--launcher", programFolder, "uninstall.exe");
    const std::string level = args.Get("--level", "fast");
    if (level != "fast" && level != "best")
        throw UsageError{"--level must be fast or best"};
    options.level = level == "best" ? CompressionLevel::Best : CompressionLevel::Fast;
    options.signing.pkcs12 = args.Get("--sign-pkcs12");
    options.signing.key = args.Get("--sign-key");
    options.signing.certs = args.Get("--sign-cert");
    options.signing.passwordFile = args.Get("--sign-password-file");
    options.signing.passwordVariable = args.Get("--sign-password-env");
    options.signing.timestampUrl = args.Get("--timestamp");
    if (!options.signing.Enabled() &&
        !(options.signing.passwordFile.empty() && options.signing.passwordVariable.empty() &&
          options.signing.timestampUrl.empty()))
        throw UsageError{"a signing password or time stamp without --sign-pkcs12 or --sign-key"};
    if (options.signing.Enabled()) {
        try {
            CheckSigningOptions(options.signing);
        } catch (const CPackFailure& e) {
            throw UsageError{e.what()};
        }
    }
    return options;
}

// Everything a build would take, reviewed without writing anything. Prints
// each problem as "FILE[:LINE]: error|warning: ..." on standard error.
struct ReviewResult {
    unsigned errors = 0;
    unsigned warnings = 0;
    uint64_t bytes = 0;
    size_t files = 0;
};

ReviewResult ReviewInputs(const BuildOptions& options, const CPackageListing& listing)
{
    ReviewResult result;
    auto error = [&](const std::string& where, const std::string& message) {
        std::fprintf(stderr, "%s: error: %s\n", where.c_str(), message.c_str());
        ++result.errors;
    };

    // The three programs the installer is made of.
    const std::pair<const fs::path*, const char*> programs[] = {
        {&options.stub, "the installer stub"}, {&options.uninstaller, "the uninstaller"},
        {&options.launcher, "the uninstall launcher"}};
    for (const auto& [path, what] : programs) {
        std::error_code ignored;
        std::string head;
        if (!fs::is_regular_file(*path, ignored))
            error(Utf8Path(*path), std::string(what) + " is missing (build the Windows programs first, e.g. with "
                                                       "scripts/demo, or name it with its option)");
        else if (std::ifstream in(*path, std::ios::binary); !(head.resize(2), in.read(head.data(), 2)) || head != "MZ")
            error(Utf8Path(*path), std::string(what) + " is not a Windows program");
    }

    if (!options.licence.empty()) {
        std::string text;
        if (!ReadHostBytes(options.licence, text))
            error(Utf8Path(options.licence), "the licence is missing or cannot be read");
        else
            try {
                PrepareLicence(text, Utf8Path(options.licence));
            } catch (const CPackFailure&) {
                error(Utf8Path(options.licence), "the licence has characters that GBK cannot hold");
            }
    }

    // Every file the installation will hold, by the name Windows will see.
    InstalledNames installed;
    const bool haveProduct = !options.product.empty();
    for (const auto& [folder, layout] : {std::pair{&options.product, &listing.Product()},
                                          std::pair{&options.systemDll, listing.System()}}) {
        if (folder->empty())  // a system-library folder has a listing only when named
            continue;
        std::error_code ignored;
        if (!fs::is_directory(*folder, ignored)) {
            error(Utf8Path(*folder), "no such folder");
            continue;
        }
        try {
            const std::deque<ArchiveFile>& listed = layout->Files();
            result.files += listed.size();
            for (const ArchiveFile& file : listed) {
                result.bytes += file.size;
                if (!installed.insert(FoldInstalledName(file.folder + file.name)).second)
                    error(Utf8Path(file.host), "another file of the package has this name but for upper and lower "
                                               "case: on Windows both would be one file");
            }
        } catch (const CPackFailure& e) {
            // "FILE: problem", told in the same form as the other findings.
            const std::string text = e.what();
            const size_t colon = text.find(": ");
            if (colon == std::string::npos)
                error(Utf8Path(*folder), text);
            else
                error(text.substr(0, colon), text.substr(colon + 2));
        }
    }

    std::string descriptor;
    const std::string descriptorName = Utf8Path(options.descriptor);
    if (!ReadHostBytes(options.descriptor, descriptor)) {
        error(descriptorName, "the setup descriptor is missing or cannot be read");
    } else {
        const std::vector<DescriptorFinding> findings = CheckDescriptor(descriptor, installed, haveProduct, !options.systemDll.empty());
        std::fputs(FormatFindings(findings, descriptorName).c_str(), stderr);
        for (const DescriptorFinding& f : findings)
            ++(f.error ? result.errors : result.warnings);
    }
    return result;
}

std::ifstream OpenInstaller(const std::string& path);

// check SETUP.EXE: the package read as the installer reads it, then the signature.
int CheckInstaller(const Arguments& args)
{
    if (args.positional.size() != 1 || args.options.size() > (args.options.count("--ca") ? 1u : 0u))
        throw UsageError{"check takes one installer file and --ca, or the inputs of a build"};
    const std::string path = args.positional[0];
    {
        std::ifstream file = OpenInstaller(path);
        const std::vector<PackageItem> items = ReadPackageItems(file, path);
        std::printf("%s: package of %zu items\n", path.c_str(), items.size());
        // The checks the installer makes while it extracts itself.
        const std::string problem = CheckItemChecksums(file, items);
        if (!problem.empty()) {
            std::printf("%s: DAMAGED: %s\n", path.c_str(), problem.c_str());
            return kExitFailure;
        }
        const bool guarded = std::any_of(items.begin(), items.end(),
                                         [](const PackageItem& item) { return item.name == kChecksumItemName; });
        std::printf("%s: %s\n", path.c_str(),
                    guarded ? "every item matches its checksum" : "no checksums (built by an older builder)");
    }
    const SignatureReport report = CheckSignature(path, args.Get("--ca"));
    if (!report.isSigned) {
        std::printf("%s: %s\n", path.c_str(), report.message.c_str());
        return kExitFailure;
    }
    std::printf("%s: signed; the signature %s (%s)\n", path.c_str(), report.verified ? "verifies" : "does NOT verify",
                report.message.c_str());
    return report.verified ? 0 : kExitFailure;
}

int Check(const Arguments& args, const fs::path& programFolder)
{
    if (!args.positional.empty() && args.options.count("--descriptor") == 0)
        return CheckInstaller(args);
    const BuildOptions options = ReadOptions(args, programFolder, false);
    const CPackageListing listing(options);
    const ReviewResult review = ReviewInputs(options, listing);
    std::printf("%s: %u error%s, %u warning%s", Utf8Path(options.descriptor).c_str(), review.errors,
                review.errors == 1 ? "" : "s", review.warnings, review.warnings == 1 ? "" : "s");
    if (!options.product.empty()) {
        std::printf("; %llu file%s, %s to install", static_cast<unsigned long long>(review.files),
                    review.files == 1 ? "" : "s",
                    FormatBytes(review.bytes).c_str());
    }
    std::printf("\n");
    return review.errors == 0 ? 0 : kExitFailure;
}

int Build(const Arguments& args, const fs::path& programFolder)
{
    const BuildOptions options = ReadOptions(args, programFolder, true);
    // The files are packed while the review looks at them: the listing
    // hands them over as it goes, and a review that finds anything calls
    // the build off before its output is kept.
    CPackageListing listing(options);
    ReviewResult review;
    std::exception_ptr reviewFailure;
    std::atomic<bool> passed{false};
    std::thread reviewer([&] {
        try {
            review = ReviewInputs(options, listing);
        } catch (...) {
            reviewFailure = std::current_exception();
        }
        if (review.errors != 0 || reviewFailure)
            listing.CallOff("the review of the inputs found errors");
        else
            passed = true;
    });
    auto verdict = [&] {
        if (reviewer.joinable())
            reviewer.join();
        if (reviewFailure)
            std::rethrow_exception(reviewFailure);
        return review.errors == 0;
    };
    struct CJoin {
        std::thread& thread;
        ~CJoin()
        {
            if (thread.joinable())
                thread.join();
        }
    } join{reviewer};
    std::optional<BuildSummary> summary;
    {
        CProgressBar bar("packing");
        try {
            // The bar starts once the review has passed, so that it does not
            // run through the review's findings.
            summary = BuildPackage(
                options, listing, [&](uint64_t done, uint64_t total) { if (passed) bar.Update(done, total); }, verdict);
        } catch (const CPackFailure&) {
            if (verdict())
                throw;
        }
    }
    if (!summary) {
        std::fprintf(stderr, "tessaramond-pack: %u error%s: nothing was written\n", review.errors,
                     review.errors == 1 ? "" : "s");
        return kExitFailure;
    }
    if (IsTerminal(1))
        std::printf("%s: %llu files, %s packed into %s\n", Utf8Path(options.output).c_str(),
                    static_cast<unsigned long long>(summary->files), FormatBytes(summary->productBytes).c_str(),
                    FormatBytes(summary->outputBytes).c_str());
    return 0;
}

std::ifstream OpenInstaller(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw CPackFailure(path + ": cannot be opened" + SystemReason());
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
        throw CPackFailure(Utf8Path(path) + ": cannot be written" + SystemReason());
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
                        throw CPackFailure(Utf8Path(target) + ": cannot be created" + SystemReason());
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
                                    "--uninstaller", "--launcher", "--level", "--sign-pkcs12", "--sign-key",
                                    "--sign-cert", "--sign-password-file", "--sign-password-env",
                                    "--timestamp"}),
                         ProgramFolder(argv[0]));
        if (command == "check")
            return Check(Arguments(argc, argv, 2,
                                   {"--descriptor", "--product", "--licence", "--dll", "--stub", "--uninstaller",
                                    "--launcher", "--ca"}),
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
