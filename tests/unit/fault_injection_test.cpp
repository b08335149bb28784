// Every file and shell call of a worker, the record writer and the removal
// is made to fail in turn: run N fails the Nth call, until a run meets no
// failure at all. Each run must end in an error or in a complete result:
// never a crash or a hang, never success reported over a failure, and never
// an installed-files list naming a file that is not there.
#include "common/ini_file.h"
#include "common/scramble.h"
#include "common/shell.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/split_worker.h"
#include "installer/setup/setup_info.h"
#include "format/block_compressor.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_info.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {
// Calls one run (which arms the countdown itself, after its set-up) for
// N = 1, 2, ... until a run meets no injected failure; returns that N.
// A run returns how many failures it met.
uint64_t ForEachFault(const std::function<uint64_t(uint64_t)>& run)
{
    constexpr uint64_t kMostCalls = 2000;
    for (uint64_t n = 1; n <= kMostCalls; ++n) {
        if (run(n) == 0) {
            ::testing::Test::RecordProperty("calls", static_cast<int>(n - 1));
            return n;
        }
        if (::testing::Test::HasFatalFailure())
            return n;
    }
    ADD_FAILURE() << "still meeting injected failures after " << kMostCalls << " calls";
    return kMostCalls;
}

// The last message and whether the ones before it are all positions.
struct WorkEnd {
    bool done = false;
    bool error = false;
    intptr_t code = 0;
};

WorkEnd Final(const std::vector<PostedMessage>& messages, unsigned message)
{
    WorkEnd out;
    if (messages.empty())
        return out;
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        EXPECT_EQ(messages[i].message, message);
        EXPECT_EQ(messages[i].wParam, kProgressPosition) << "only the last message may end the work";
    }
    out.done = messages.back().wParam == kProgressDone;
    out.error = messages.back().wParam == kProgressError;
    out.code = messages.back().lParam;
    return out;
}

bool Exists(const std::string& path) { return static_cast<bool>(CFile().Open(path, CFile::modeRead)); }

const std::map<std::string, std::string>& ProductFiles()
{
    static const std::map<std::string, std::string> files = {
        {"readme.txt", "read me"},
        {"bin\\app.exe", NoiseBytes(9000, 1)},
        {"bin\\data\\big.dat", std::string(5000, 'b') + NoiseBytes(700, 2)},
    };
    return files;
}
}  // namespace

TEST(FaultInjection, CountsCallsAndFailsOnlyTheArmedOne)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "a.txt", "abc"));
    {
        CFaultScope scope(2);
        CFile file;
        EXPECT_TRUE(file.Open(folder + "a.txt", CFile::modeRead));  // call 1
        char buffer[3];
        EXPECT_TRUE(file.Read(buffer, 3).status.Is(StatusCode::AccessDenied));  // call 2 fails
        EXPECT_EQ(file.Read(buffer, 3).bytes, 3u);  // call 3: the file is as it was
        EXPECT_EQ(FaultCallsCounted(), 3u);
        EXPECT_EQ(FaultsInjected(), 1u);
    }
    {
        CFaultScope scope(2, true);
        EXPECT_TRUE(CreateFolder(folder + "one"));
        EXPECT_FALSE(CreateFolder(folder + "two"));
        EXPECT_FALSE(RemoveFile(folder + "a.txt"));
        EXPECT_FALSE(FileExists(folder + "a.txt"));
        EXPECT_EQ(FaultsInjected(), 3u);
    }
    // Disarmed, nothing fails and nothing is counted.
    EXPECT_TRUE(FileExists(folder + "a.txt"));
    EXPECT_EQ(FaultCallsCounted(), 4u);
    EXPECT_TRUE(RemoveFile(folder + "a.txt"));
}

TEST(FaultInjection, SelfExtractionEndsInAnErrorOrAWholeWorkingCopy)
{
    const std::string image = "MZ-installer-image";
    const std::string shipped =
        PackageBytes(image, {{"data.rar", NoiseBytes(70000, 3)}, {"install.tmd", "descriptor"}, {"untessaramond.exe", "UN"}});
    const uint64_t runs = ForEachFault([&](uint64_t n) {
        const std::string folder = NewScratchFolder();
        WriteWholeFile(folder + "Setup.exe", shipped);
        CMessageSink sink;
        CSplitTask task;
        task.m_hNotifyWnd = sink.Target();
        task.m_strSourceInstaller = folder + "Setup.exe";
        task.m_strTargetFolder = folder + "Tessaramond\\";
        theSetupInfo = CSetupInfo();
        unsigned result;
        uint64_t failures;
        {
            CFaultScope scope(n);
            result = SplitThreadProc(&task);
            failures = FaultsInjected();
        }
        const WorkEnd end = Final(sink.Drain(), WM_SPLIT_PROGRESS);
        EXPECT_TRUE(end.done || end.error) << "call " << n;
        EXPECT_EQ(result == 1, end.done) << "call " << n;
        EXPECT_TRUE(failures > 0 || end.done) << "call " << n;
        // The shipped installer is never touched.
        EXPECT_EQ(ReadWholeFile(task.m_strSourceInstaller), shipped) << "call " << n;
        if (end.done) {
            EXPECT_EQ(ReadWholeFile(task.m_strTargetFolder + "setup.exe"), image + U16(kMarkerExtracted)) << "call " << n;
            EXPECT_EQ(ReadWholeFile(task.m_strTargetFolder + "data.rar"), NoiseBytes(70000, 3)) << "call " << n;
            EXPECT_EQ(ReadWholeFile(task.m_strTargetFolder + "install.tmd"), "descriptor") << "call " << n;
            EXPECT_EQ(ReadWholeFile(task.m_strTargetFolder + "untessaramond.exe"), "UN") << "call " << n;
        } else {
            // Without its marker the copy is never taken for a working copy.
            const std::string copy = ReadWholeFile(task.m_strTargetFolder + "setup.exe");
            EXPECT_FALSE(copy.size() >= 2 && copy.compare(copy.size() - 2, 2, U16(kMarkerExtracted)) == 0)
                << "call " << n;
        }
        return failures;
    });
    EXPECT_GT(runs, 20u);
}

TEST(FaultInjection, DecompressionEndsInAnErrorWithoutOutputOrTheWholeArchive)
{
    const std::string plain = NoiseBytes(6000, 4) + std::string(20000, 'z') + NoiseBytes(3000, 5);
    const std::string compressed = CompressBytes(plain, CompressionLevel::Fast);
    for (bool persistent : {false, true}) {
        const uint64_t runs = ForEachFault([&](uint64_t n) {
            const std::string folder = NewScratchFolder();
            WriteWholeFile(folder + "data.rar", compressed);
            CMessageSink sink;
            CDecompressTask task;
            task.m_hNotifyWnd = sink.Target();
            task.m_strSource = folder + "data.rar";
            task.m_strDest = folder + "data.h66";
            unsigned result;
            uint64_t failures;
            {
                CFaultScope scope(n, persistent);
                result = DecompressThreadProc(&task);
                failures = FaultsInjected();
            }
            const WorkEnd end = Final(sink.Drain(), WM_DECOMPRESS_PROGRESS);
            EXPECT_TRUE(end.done || end.error) << "call " << n;
            EXPECT_EQ(result == 1, end.done) << "call " << n;
            EXPECT_TRUE(failures > 0 || end.done) << "call " << n;
            if (end.done) {
                EXPECT_EQ(ReadWholeFile(task.m_strDest), plain) << "call " << n;
            } else if (!persistent) {
                // One failure: the removal of a half-written archive succeeds.
                EXPECT_FALSE(Exists(task.m_strDest) && ReadWholeFile(task.m_strDest) != plain) << "call " << n;
            }
            return failures;
        });
        // Both files opened, the source read and the output written through
        // large buffers: a handful of calls, each of which must fail cleanly.
        EXPECT_GE(runs, 5u);
    }
}

TEST(FaultInjection, ArchiveInstallationListsOnlyFilesWrittenWhole)
{
    std::string archive;
    for (const auto& [path, content] : ProductFiles()) {
        const size_t cut = path.rfind('\\');
        archive += EntryBytes(cut == std::string::npos ? "" : path.substr(0, cut + 1),
                              cut == std::string::npos ? path : path.substr(cut + 1), content);
    }
    for (bool persistent : {false, true}) {
        const uint64_t runs = ForEachFault([&](uint64_t n) {
            const std::string folder = NewScratchFolder();
            WriteWholeFile(folder + "data.h66", archive);
            CMessageSink sink;
            CArchiveTask task;
            task.m_hNotifyWnd = sink.Target();
            task.m_strArchive = folder + "data.h66";
            task.m_nExpectedLength = static_cast<uint32_t>(archive.size());
            theSetupInfo = CSetupInfo();
            theSetupInfo.m_strInstallDir = folder + "product\\";
            CreateFolder(folder + "product").Ignore();  // as the install sequence's default folders
            unsigned result;
            uint64_t failures;
            {
                CFaultScope scope(n, persistent);
                result = ArchiveThreadProc(&task);
                failures = FaultsInjected();
            }
            const WorkEnd end = Final(sink.Drain(), WM_ARCHIVE_PROGRESS);
            EXPECT_TRUE(end.done || end.error) << "call " << n;
            EXPECT_EQ(result == 1, end.done) << "call " << n;
            EXPECT_TRUE(failures > 0 || end.done) << "call " << n;
            const std::vector<std::string>& listed = theSetupInfo.m_arrInstalledFiles;
            for (const std::string& path : listed) {
                auto expected = ProductFiles().find(path);
                if (expected == ProductFiles().end())
                    ADD_FAILURE() << path << " is no file of the archive";
                else
                    EXPECT_EQ(ReadWholeFile(theSetupInfo.m_strInstallDir + path), expected->second) << "call " << n;
            }
            if (end.done) {
                EXPECT_EQ(listed.size(), ProductFiles().size()) << "call " << n;
            }
            // A failure the system reported reaches the log with its call,
            // its error code and its path.
            if (end.error && end.code != kPackDamaged) {
                const std::vector<std::string> lines = theSetupInfo.m_log.Pending();
                const bool ofArchive = end.code == kPackOpenArchive || end.code == kPackBadLength;
                const std::string where = ofArchive ? task.m_strArchive : theSetupInfo.m_strInstallDir;
                EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                    const size_t failed = line.find("FAILED ");
                    return failed != std::string::npos && line.find(where, failed) != std::string::npos &&
                           (end.code == kPackBadLength || line.find("OS error ", failed) != std::string::npos);
                })) << "call " << n << ", code " << end.code << ", " << (lines.empty() ? "no log" : lines.back());
            }
            // What a cancel would take back is always a listed, whole file.
            for (const std::string& path : theSetupInfo.m_arrCreatedFiles)
                EXPECT_NE(std::find(listed.begin(), listed.end(), path), listed.end()) << path << ", call " << n;
            return failures;
        });
        EXPECT_GT(runs, 10u);
    }
}

// A save that fails at any call leaves the file it replaces as it was, and
// nothing beside it; one that succeeds leaves the new text whole.
TEST(FaultInjection, SavedDocumentIsWholeOldOrWholeNew)
{
    const std::string path = NewScratchFolder() + "install.tmd";
    CIniFile before;
    ASSERT_TRUE(before.Load(path, true));
    before.SetValue("SoftInfo", "productname", "Demo");
    before.SetValue("InstallInfo", "filelen", "1024");
    ASSERT_TRUE(before.Save());
    const std::string old = ReadWholeFile(path);
    ForEachFault([&](uint64_t n) {
        CIniFile ini;
        EXPECT_TRUE(ini.Load(path, true));
        ini.SetValue("InstallInfo", "filelen", std::string(3000, '7'));
        bool saved;
        uint64_t faults;
        {
            CFaultScope scope(n);
            saved = ini.Save();
            faults = FaultsInjected();
        }
        const std::string now = ReadWholeFile(path);
        if (saved) {
            CIniFile back;
            EXPECT_TRUE(back.Load(path, true));
            EXPECT_EQ(back.GetValue("InstallInfo", "filelen", ""), std::string(3000, '7')) << "call " << n;
        } else {
            EXPECT_EQ(now, old) << "call " << n;
        }
        EXPECT_FALSE(Exists(path + ".new")) << "call " << n;
        WriteWholeFile(path, old);
        return faults;
    });
}

namespace {
// The installed product the record writer and the removal work on.
struct Installed {
    std::string root = NewScratchFolder();
    std::string temp = root + "temp\\";
    std::string shared = root + "shared\\";
    std::string inst = root + "inst\\";
    CSetupInfo setup;

    Installed()
    {
        for (const char* sub : {"temp", "shared", "inst", "inst\\bin", "inst\\bin\\data"})
            CreateFolder(root + sub).Ignore();
        WriteWholeFile(temp + "uninstall.exe", "LAUNCHER");
        WriteWholeFile(shared + "99.tmd", "another product's record");
        setup.m_strSharedDir = shared;
        setup.m_strInstallDir = inst;
        setup.m_strProductName = "Demo";
        setup.m_strRunProgram = "bin\\app.exe";
        for (const auto& [path, content] : ProductFiles()) {
            WriteWholeFile(inst + path, content);
            setup.m_arrInstalledFiles.push_back(path);
        }
    }

    // The record as the uninstaller reads it; false when there is none.
    bool Load(CUninstallInfo& info) const
    {
        info.m_strRecordPath = setup.m_strRecordPath.substr(shared.size());
        return Exists(setup.m_strRecordPath) && info.LoadFrom(shared);
    }
};
}  // namespace

TEST(FaultInjection, UninstallRecordListsOnlyInstalledFiles)
{
    for (bool persistent : {false, true}) {
        const uint64_t runs = ForEachFault([&](uint64_t n) {
            Installed p;
            bool written;
            uint64_t failures;
            {
                CFaultScope scope(n, persistent);
                written = p.setup.WriteUninstallRecordFrom(p.temp);
                failures = FaultsInjected();
            }
            CUninstallInfo record;
            const bool loaded = p.Load(record);
            for (const std::string& path : record.m_arrInstalledFiles)
                EXPECT_TRUE(Exists(p.inst + path)) << path << " listed after call " << n;
            // A record reported written is there whole. One reported unwritten
            // is not left half-written, unless its removal failed as well.
            if (written) {
                EXPECT_TRUE(loaded) << "call " << n;
                EXPECT_EQ(record.m_strInstallDir, p.inst) << "call " << n;
                EXPECT_EQ(record.m_strProductName, "Demo") << "call " << n;
            } else if (!persistent) {
                EXPECT_FALSE(loaded) << "call " << n;
            }
            if (failures == 0) {
                EXPECT_TRUE(written);
                EXPECT_EQ(record.m_arrInstalledFiles.size(), ProductFiles().size() + 1);
            }
            // Another product's record is never touched.
            EXPECT_EQ(ReadWholeFile(p.shared + "99.tmd"), "another product's record") << "call " << n;
            return failures;
        });
        EXPECT_GT(runs, 5u);
    }
}

TEST(FaultInjection, UninstallKeepsTheRecordWhileTheProductStays)
{
    const uint64_t runs = ForEachFault([&](uint64_t n) {
        Installed p;
        EXPECT_TRUE(p.setup.WriteUninstallRecordFrom(p.temp));
        const std::string name = p.setup.m_strRecordPath.substr(p.shared.size());
        uint64_t failures;
        bool loaded;
        CUninstallInfo record;
        record.m_strRecordPath = name;
        {
            CFaultScope scope(n);
            loaded = record.LoadFrom(p.shared);
            if (loaded)
                RemoveInstallation(record);
            failures = FaultsInjected();
        }
        // The record is deleted only after it was read whole: otherwise the
        // product would stay with nothing left to remove it by.
        if (!Exists(p.setup.m_strRecordPath)) {
            EXPECT_TRUE(loaded) << "call " << n;
            EXPECT_EQ(record.m_strInstallDir, p.inst) << "call " << n;
            EXPECT_EQ(record.m_arrInstalledFiles.size(), ProductFiles().size() + 1) << "call " << n;
        }
        if (!loaded) {
            EXPECT_TRUE(Exists(p.inst + "readme.txt")) << "nothing is removed without a record, call " << n;
        }
        return failures;
    });
    EXPECT_GT(runs, 5u);
}

TEST(FaultInjection, RemovalRunsToItsEndAndTouchesNothingElse)
{
    const uint64_t runs = ForEachFault([&](uint64_t n) {
        Installed p;
        EXPECT_TRUE(p.setup.WriteUninstallRecordFrom(p.temp));
        WriteWholeFile(p.root + "keep.txt", "beside the product");
        CUninstallInfo record;
        EXPECT_TRUE(p.Load(record));
        uint64_t failures;
        {
            CFaultScope scope(n);
            RemoveInstallation(record);
            failures = FaultsInjected();
        }
        EXPECT_EQ(ReadWholeFile(p.shared + "99.tmd"), "another product's record") << "call " << n;
        EXPECT_EQ(ReadWholeFile(p.root + "keep.txt"), "beside the product") << "call " << n;
        // What one failed deletion left goes with a second removal.
        RemoveInstallation(record);
        EXPECT_FALSE(Exists(p.setup.m_strRecordPath)) << "call " << n;
        EXPECT_FALSE(FileExists(p.root + "inst")) << "call " << n;
        return failures;
    });
    EXPECT_GT(runs, 5u);
}

TEST(FaultInjection, DescriptorUpdateIsReportedOnlyWhenItReadsBack)
{
    const std::string descriptor = "[SoftInfo]\r\nproductname=Demo\r\n\r\n[InstallInfo]\r\nfolder=Demo\\\r\n";
    const uint64_t runs = ForEachFault([&](uint64_t n) {
        const std::string path = NewScratchFolder() + "install.tmd";
        std::string scrambled = descriptor;
        ScrambleBytes(scrambled);
        WriteWholeFile(path, scrambled);
        CSetupInfo writer;
        writer.m_strSourceExe = "Z:\\media\\DemoSetup.exe";
        writer.m_nDataSize = 4242;
        bool updated;
        uint64_t failures;
        {
            CFaultScope scope(n);
            updated = writer.UpdateDescriptor(path);
            failures = FaultsInjected();
        }
        CSetupInfo reader;
        const bool readable = reader.LoadDescriptorFrom(path);
        if (updated) {
            EXPECT_TRUE(readable) << "call " << n;
            EXPECT_EQ(reader.m_strSourceExe, writer.m_strSourceExe) << "call " << n;
            EXPECT_EQ(reader.m_nDataSize, 4242) << "call " << n;
        }
        EXPECT_TRUE(updated || failures > 0) << "call " << n;
        return failures;
    });
    EXPECT_GT(runs, 5u);
}

// The shared uninstaller lies in the one Common Files folder of the machine:
// only the stand-in gives each test process a machine of its own, and under
// Wine the deployment test of the record writer uses the same file.
TEST(FaultInjection, UninstallerDeploymentLosesNoUninstaller)
{
#ifdef _WIN32
    GTEST_SKIP() << "the Common Files folder is shared with the other tests of this prefix";
#endif
    const std::string target = GetCommonFilesFolder() + "Tessaramond\\untessaramond.exe";
    for (bool deployedBefore : {false, true}) {
        const uint64_t runs = ForEachFault([&](uint64_t n) {
            const std::string temp = NewScratchFolder();
            WriteWholeFile(temp + "untessaramond.exe", "UNINSTALLER");
            RemoveFile(target).Ignore();
            if (deployedBefore)
                WriteWholeFile(target, "OLDER");
            CSetupInfo setup;
            uint64_t failures;
            {
                CFaultScope scope(n);
                setup.DeployUninstallerFrom(temp);
                failures = FaultsInjected();
            }
            // Moved or not, the uninstaller is somewhere; a deployed one stays.
            EXPECT_TRUE(Exists(target) || ReadWholeFile(temp + "untessaramond.exe") == "UNINSTALLER") << "call " << n;
            if (deployedBefore) {
                EXPECT_EQ(ReadWholeFile(target), "OLDER") << "call " << n;
            } else if (failures == 0) {
                EXPECT_EQ(ReadWholeFile(target), "UNINSTALLER");
            }
            return failures;
        });
        EXPECT_GT(runs, 2u);
    }
    RemoveFile(target).Ignore();
}
