#include "common/shell.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/split_worker.h"
#include "installer/setup/setup_info.h"
#include "package_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
PostedMessage Progress(intptr_t p) { return {WM_SPLIT_PROGRESS, kProgressPosition, p}; }
PostedMessage Done() { return {WM_SPLIT_PROGRESS, kProgressDone, 0}; }
PostedMessage Error(intptr_t code) { return {WM_SPLIT_PROGRESS, kProgressError, code}; }

const std::string kImage = "MZ-installer-image";

// Runs the self-extraction worker on the test's thread.
struct Extraction {
    std::string folder = NewScratchFolder();
    CMessageSink sink;
    CSplitTask task;
    unsigned result = 0;

    Extraction()
    {
        task.m_hNotifyWnd = sink.Target();
        task.m_strSourceInstaller = folder + "DemoSetup.exe";
        task.m_strTargetFolder = folder + "Tessaramond\\";
    }
    std::vector<PostedMessage> Run(const std::string& shipped)
    {
        WriteWholeFile(task.m_strSourceInstaller, shipped);
        result = SplitThreadProc(&task);
        return sink.Drain();
    }
    std::string Target(const std::string& name) const { return task.m_strTargetFolder + name; }
};
}  // namespace

TEST(SplitWorker, TwoItemsPostTheFullSequence)
{
    Extraction x;
    theSetupInfo.m_nDataSize = 0;
    const std::string shipped = PackageBytes(kImage, {{"data.rar", "DATA-DATA"}, {"install.tmd", "descriptor"}});
    EXPECT_EQ(x.Run(shipped), (std::vector<PostedMessage>{Progress(5), Progress(10), Progress(20), Progress(30),
                                                           Progress(40), Progress(50), Progress(85), Progress(90),
                                                           Progress(95), Done()}));
    EXPECT_EQ(x.result, 1u);
    EXPECT_EQ(ReadWholeFile(x.Target("data.rar")), "DATA-DATA");
    EXPECT_EQ(ReadWholeFile(x.Target("install.tmd")), "descriptor");
    EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008));
    EXPECT_EQ(theSetupInfo.m_nDataSize, 9);
    // The shipped file itself is untouched.
    EXPECT_EQ(ReadWholeFile(x.task.m_strSourceInstaller), shipped);
}

TEST(SplitWorker, NoItemsLeaveTheImageWithItsMarker)
{
    Extraction x;
    EXPECT_EQ(x.Run(PackageBytes(kImage, {})),
              (std::vector<PostedMessage>{Progress(5), Progress(10), Progress(85), Done()}));
    EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008));
}

TEST(SplitWorker, SecondRunOverwritesAnEarlierExtraction)
{
    Extraction x;
    CreateFolder(x.task.m_strTargetFolder).Ignore();
    WriteWholeFile(x.Target("setup.exe"), std::string(5000, 'o'));
    WriteWholeFile(x.Target("license.txt"), "an older and much longer licence text");
    x.Run(PackageBytes(kImage, {{"license.txt", "new"}}));
    EXPECT_EQ(x.result, 1u);
    EXPECT_EQ(ReadWholeFile(x.Target("license.txt")), "new");
    EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008));
}

// A virus scanner that holds the working copy for a moment (a sharing
// violation on the copy) is waited out; the copy is made and the run goes on.
TEST(SplitWorker, AWorkingCopyHeldForAMomentIsCopiedOnceItIsFree)
{
    Extraction x;
    theSetupInfo = CSetupInfo();
    WriteWholeFile(x.task.m_strSourceInstaller, PackageBytes(kImage, {{"install.tmd", "descriptor"}}));
    {
        CFaultPlan plan;
        plan.Fail(SysCall::CopyFileTo, StatusCode::SharingViolation, 1);
        x.result = SplitThreadProc(&x.task);
        EXPECT_EQ(FaultsInjected(), 1u);
    }
    EXPECT_EQ(x.sink.Drain().back(), Done());
    EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008));
    EXPECT_TRUE(LogHolds(theSetupInfo.m_log.Pending(), "(sharing violation)"))
        << "the log tells why the extraction waited";
}

TEST(SplitWorker, UnreadableEmptyOrDamagedInstallersReportAnError)
{
    Extraction missing;
    RemoveFile(missing.task.m_strSourceInstaller).Ignore();
    missing.result = SplitThreadProc(&missing.task);
    EXPECT_EQ(missing.sink.Drain(), (std::vector<PostedMessage>{Error(kCompressOpenSource)}));
    EXPECT_EQ(missing.result, 0u);

    Extraction empty;
    EXPECT_EQ(empty.Run(""), (std::vector<PostedMessage>{Error(kCompressEmptySource)}));

    // A directory whose record reaches before the file: nothing is written.
    Extraction damaged;
    EXPECT_EQ(damaged.Run("ab" + U16(200) + U16(1) + U16(1978)),
              (std::vector<PostedMessage>{Progress(5), Error(kCompressDamaged)}));
    EXPECT_EQ(damaged.result, 0u);
}

TEST(SplitWorker, ItemsOfAnEarlierRunAreClearedBeforeExtracting)
{
    // Another product's leftovers must not pass for this package's items.
    Extraction x;
    CreateFolder(x.task.m_strTargetFolder).Ignore();
    WriteWholeFile(x.Target("dll.rar"), "foreign system files");
    WriteWholeFile(x.Target("untessaramond.exe"), "foreign uninstaller");
    CreateFolder(x.Target("old")).Ignore();
    WriteWholeFile(x.Target("old\\x.txt"), "x");
    x.Run(PackageBytes(kImage, {{"data.rar", "d"}, {"install.tmd", "t"}}));
    EXPECT_EQ(x.result, 1u);
    for (const char* stale : {"dll.rar", "untessaramond.exe", "old"})
        EXPECT_FALSE(FileExists(x.Target(stale))) << stale;
    EXPECT_EQ(ReadWholeFile(x.Target("data.rar")), "d");

}

TEST(SplitWorker, LeftoversThatCannotGoStopTheRunOnlyWhenThePackageWouldReadThem)
{
    // Read-only leftovers are made writable and go; one held open cannot go
    // and may stay only under a name nothing of the package opens.
    struct Case {
        const char* what;
        std::vector<std::string> files;  // written into the folder; the last one is held open when hold is set
        bool readOnly;
        bool hold;
        const char* blocking;  // the name the error gives, or nullptr when the run goes through
    };
    const Case cases[] = {
        {"read-only stale item", {"dll.rar"}, true, false, nullptr},
        {"read-only file in a stale folder", {"old\\sub\\x.txt"}, true, false, nullptr},
        {"read-only old working copy", {"setup.exe"}, true, false, nullptr},
        {"folder in the working copy's place", {"setup.exe\\inner.txt"}, true, false, nullptr},
        {"held file of another name", {"notes.log"}, false, true, nullptr},
        {"held file in a stale folder", {"old\\x.txt"}, false, true, nullptr},
        {"held fixed name", {"other.txt", "dll.rar"}, false, true, "dll.rar"},
        {"held item name in other case", {"Data.RAR"}, false, true, "Data.RAR"},
        {"held item in a folder of its name", {"install.tmd\\kept.txt"}, false, true, "install.tmd"},
        {"held DLL the loader would take", {"version.dll"}, false, true, "version.dll"},
        {"held redirection of the working copy", {"setup.exe.local\\comctl32.dll"}, false, true, "setup.exe.local"},
    };
    for (const Case& c : cases) {
        Extraction x;
        CreateFolder(x.task.m_strTargetFolder).Ignore();
        for (const std::string& file : c.files) {
            for (size_t at = file.find('\\'); at != std::string::npos; at = file.find('\\', at + 1))
                CreateFolder(x.Target(file.substr(0, at))).Ignore();
            WriteWholeFile(x.Target(file), "stale");
            if (c.readOnly)
                SetReadOnly(x.Target(file), true);
        }
        std::vector<PostedMessage> posted;
        {
            const std::unique_ptr<CHeldOpen> held = c.hold ? std::make_unique<CHeldOpen>(x.Target(c.files.back())) : nullptr;
            ASSERT_TRUE(!held || held->Holding()) << c.what;
            posted = x.Run(PackageBytes(kImage, {{"data.rar", "d"}, {"install.tmd", "t"}}));
        }
        ASSERT_FALSE(posted.empty()) << c.what;
        if (c.blocking) {
            EXPECT_EQ(posted.back(), Error(kCompressLeftover)) << c.what;
            EXPECT_EQ(x.task.m_strLeftover, c.blocking) << c.what;
            EXPECT_EQ(x.result, 0u) << c.what;
            EXPECT_FALSE(FileExists(x.Target("data.rar")) && ReadWholeFile(x.Target("data.rar")) == "d") << c.what;
            EXPECT_NE(ReadWholeFile(x.Target("setup.exe")).substr(kImage.size()), U16(2008)) << c.what;
        } else {
            EXPECT_EQ(posted.back(), Done()) << c.what;
            EXPECT_EQ(ReadWholeFile(x.Target("data.rar")), "d") << c.what;
            EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008)) << c.what;
            // What was held stays; everything else of the earlier run is gone.
            for (const std::string& file : c.files) {
                if (file.compare(0, 9, "setup.exe") != 0) {
                    EXPECT_EQ(FileExists(x.Target(file)), c.hold && file == c.files.back()) << c.what << ": " << file;
                }
            }
        }
    }
}

TEST(SplitWorker, LeftoverTextNamesTheFileAndShortensLongNamesBetweenCharacters)
{
    EXPECT_EQ(GetLeftoverText("dll.rar", 40), "解压时，无法删除旧文件：dll.rar！");
    EXPECT_EQ(GetLeftoverText("abcdefghijklmnop.txt", 10), "解压时，无法删除旧文件：abcd...txt！");
    // Four GBK characters and an ASCII tail: a cut never halves a character.
    const std::string gbk = "\xD6\xD0\xCE\xC4\xC3\xFB\xD7\xD6-long-name.log";
    EXPECT_EQ(GetLeftoverText(gbk, 8), "解压时，无法删除旧文件：\xD6\xD0\xCE\xC4\xC3\xFB...og！");
    EXPECT_EQ(GetCompressErrorText(kCompressLeftover), "解压时，无法删除旧文件！");
}
