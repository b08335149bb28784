#include "common/shell.h"
#include "framework/file.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/split_worker.h"
#include "installer/setup/setup_info.h"
#include "package_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

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
    CreateFolder(x.task.m_strTargetFolder);
    WriteWholeFile(x.Target("setup.exe"), std::string(5000, 'o'));
    WriteWholeFile(x.Target("license.txt"), "an older and much longer licence text");
    x.Run(PackageBytes(kImage, {{"license.txt", "new"}}));
    EXPECT_EQ(x.result, 1u);
    EXPECT_EQ(ReadWholeFile(x.Target("license.txt")), "new");
    EXPECT_EQ(ReadWholeFile(x.Target("setup.exe")), kImage + U16(2008));
}

TEST(SplitWorker, UnreadableEmptyOrDamagedInstallersReportAnError)
{
    Extraction missing;
    RemoveFile(missing.task.m_strSourceInstaller);
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

TEST(SplitWorker, ItemThatCannotBeWrittenStopsBeforeTheMarker)
{
    Extraction x;
    CreateFolder(x.task.m_strTargetFolder);
    CreateFolder(x.Target("data.rar"));  // a folder in the item's place
    // that the clearing of stale items cannot take away
    WriteWholeFile(x.Target("data.rar\\kept.txt"), "kept");
    SetReadOnly(x.Target("data.rar\\kept.txt"), true);
    const std::vector<PostedMessage> posted = x.Run(PackageBytes(kImage, {{"a.txt", "A"}, {"data.rar", "D"}}));
    SetReadOnly(x.Target("data.rar\\kept.txt"), false);
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), Error(kCompressCreateDest));
    EXPECT_EQ(x.result, 0u);
    EXPECT_NE(ReadWholeFile(x.Target("setup.exe")).substr(kImage.size()), U16(2008));
}

TEST(SplitWorker, ItemsOfAnEarlierRunAreClearedBeforeExtracting)
{
    // Another product's leftovers must not pass for this package's items.
    Extraction x;
    CreateFolder(x.task.m_strTargetFolder);
    WriteWholeFile(x.Target("dll.rar"), "foreign system files");
    WriteWholeFile(x.Target("untessaramond.exe"), "foreign uninstaller");
    CreateFolder(x.Target("old"));
    WriteWholeFile(x.Target("old\\x.txt"), "x");
    x.Run(PackageBytes(kImage, {{"data.rar", "d"}, {"install.tmd", "t"}}));
    EXPECT_EQ(x.result, 1u);
    for (const char* stale : {"dll.rar", "untessaramond.exe", "old"})
        EXPECT_FALSE(FileExists(x.Target(stale))) << stale;
    EXPECT_EQ(ReadWholeFile(x.Target("data.rar")), "d");

    // A leftover that cannot be removed stops the run before any item is written.
    Extraction locked;
    CreateFolder(locked.task.m_strTargetFolder);
    WriteWholeFile(locked.Target("dll.rar"), "foreign");
    SetReadOnly(locked.Target("dll.rar"), true);
    EXPECT_EQ(locked.Run(PackageBytes(kImage, {{"data.rar", "d"}})).back(), Error(kCompressCreateDest));
    EXPECT_EQ(locked.result, 0u);
    EXPECT_FALSE(FileExists(locked.Target("data.rar")));
    SetReadOnly(locked.Target("dll.rar"), false);
}
