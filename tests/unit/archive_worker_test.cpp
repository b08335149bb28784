#include "common/shell.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "common/path_rules.h"
#include "format/archive.h"
#include "installer/core/archive_worker.h"
#include "installer/setup/setup_info.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {
PostedMessage Progress(intptr_t percent) { return {WM_ARCHIVE_PROGRESS, kProgressPosition, percent}; }
PostedMessage Done() { return {WM_ARCHIVE_PROGRESS, kProgressDone, 0}; }
PostedMessage Error(intptr_t code) { return {WM_ARCHIVE_PROGRESS, kProgressError, code}; }

using Files = std::vector<std::string>;

// An install folder, an archive file beside it, and the global record reset.
struct Install {
    std::string folder = NewScratchFolder();
    std::string base = folder + "product\\";
    CMessageSink sink;
    CArchiveTask task;
    unsigned result = 0;

    Install()
    {
        theSetupInfo = CSetupInfo();
        theSetupInfo.m_strInstallDir = base;
        CreateFolder(base).Ignore();
        task.m_hNotifyWnd = sink.Target();
        task.m_strArchive = folder + "data.h66";
    }
    std::vector<PostedMessage> Unpack(const std::string& archive, long lengthDelta = 0)
    {
        WriteWholeFile(task.m_strArchive, archive);
        task.m_nExpectedLength = static_cast<uint32_t>(archive.size() + lengthDelta);
        result = ArchiveThreadProc(&task);
        return sink.Drain();
    }
    // Unpacks with the faults that arm() plans, armed once the archive is written.
    template <class Arm>
    std::vector<PostedMessage> UnpackWith(const std::string& archive, Arm&& arm)
    {
        WriteWholeFile(task.m_strArchive, archive);
        task.m_nExpectedLength = static_cast<uint32_t>(archive.size());
        CFaultPlan plan;
        arm(plan);
        result = ArchiveThreadProc(&task);
        return sink.Drain();
    }
    bool Logged(const std::string& text) const { return LogHolds(theSetupInfo.m_log.Pending(), text); }
    bool BaseIsEmpty() const
    {
        CFileFind find;
        bool any = find.FindFile(base + "*.*");
        while (any && find.IsDots())
            any = find.FindNext();
        return !any;
    }
};

// What a walk over the bytes finds: the entries, and why it stopped.
struct Walked {
    Files names;
    ArchiveError error;
};
Walked WalkBytes(const std::string& bytes, bool lengthKnown)
{
    CMemoryInput input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    CArchiveWalk walk(input, lengthKnown ? bytes.size() : kUnknownLength);
    Walked walked;
    CPackEntry entry;
    while (walk.Next(entry))
        walked.names.push_back(entry.m_strFolder + entry.m_strName);
    walked.error = walk.Error();
    return walked;
}
}  // namespace

TEST(ArchiveWorker, InstallsSizesAroundOnePieceIntoNestedAndTopFolders)
{
    Install x;
    const std::string piece = NoiseBytes(4096, 1), more = NoiseBytes(4097, 2);
    const std::string archive = EntryBytes("", "empty.txt", "") + EntryBytes("a\\b\\", "piece.bin", piece) +
                                EntryBytes("a\\", "more.bin", more) + EntryBytes("", "top.txt", "top");
    auto messages = x.Unpack(archive);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), Done());
    EXPECT_EQ(messages[messages.size() - 2], Progress(100));
    EXPECT_EQ(x.result, 1u);
    EXPECT_EQ(ReadWholeFile(x.base + "empty.txt"), "");
    EXPECT_TRUE(CFile().Open(x.base + "empty.txt", CFile::modeRead));
    EXPECT_EQ(ReadWholeFile(x.base + "a\\b\\piece.bin"), piece);
    EXPECT_EQ(ReadWholeFile(x.base + "a\\more.bin"), more);
    EXPECT_EQ(ReadWholeFile(x.base + "top.txt"), "top");
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, (Files{"empty.txt", "a\\b\\piece.bin", "a\\more.bin", "top.txt"}));
}

TEST(ArchiveWorker, ProgressRisesOncePerFileAtMost)
{
    Install x;
    std::string archive;
    for (int i = 0; i < 300; ++i)
        archive += EntryBytes("d\\", Format("f%d", i), std::string(static_cast<size_t>(i) * 50, 'p'));
    auto messages = x.Unpack(archive);
    ASSERT_EQ(messages.back(), Done());
    messages.pop_back();
    EXPECT_EQ(messages.back(), Progress(100));
    EXPECT_LE(messages.size(), 100u);
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_GT(messages[i].lParam, messages[i - 1].lParam);
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles.size(), 300u);
}

TEST(ArchiveWorker, GbkNamesWithBackslashTrailBytesStayOneComponent)
{
    Install x;
    // 0x81 0x5C and 0xB1 0x5C are single GBK characters whose second byte is '\'.
    const std::string folder = "\x81\x5C\\sub\xB1\x5C\\", name = "\xB1\x5C.txt";
    EXPECT_EQ(x.Unpack(EntryBytes(folder, name, "gbk")).back(), Done());
    EXPECT_EQ(ReadWholeFile(x.base + folder + name), "gbk");
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{folder + name});
}

TEST(ArchiveWorker, WrongLengthsAreRefusedBeforeAnythingIsWritten)
{
    const std::string archive = EntryBytes("", "a.txt", "aaaa");
    for (long delta : {-1L, 1L}) {
        Install x;
        EXPECT_EQ(x.Unpack(archive, delta), std::vector<PostedMessage>{Error(kPackBadLength)});
        EXPECT_TRUE(x.BaseIsEmpty());
    }
    Install empty;
    EXPECT_EQ(empty.Unpack(""), std::vector<PostedMessage>{Error(kPackBadLength)});
    Install missing;
    missing.task.m_strArchive = missing.folder + "absent.h66";
    EXPECT_EQ(ArchiveThreadProc(&missing.task), 0u);
    EXPECT_EQ(missing.sink.Drain(), std::vector<PostedMessage>{Error(kPackOpenArchive)});
}

TEST(ArchiveWorker, CutOrMalformedEntriesStopWithoutListingTheirFile)
{
    const std::string first = EntryBytes("", "first.txt", "one");
    const std::string second = EntryBytes("", "second.txt", std::string(9000, 's'));
    std::string longHeader = EntryBytes(std::string(200, 'f') + "\\", std::string(60, 'n'), "x");
    // With the reason the walk gives, which the builder names.
    const std::vector<std::pair<std::string, ArchiveError>> damaged = {
        {first + second.substr(0, second.size() - 1), ArchiveError::Truncated},  // content cut short
        {first + second.substr(0, 10), ArchiveError::Truncated},                 // header cut short
        {first + "\x05", ArchiveError::Truncated},                               // half a length field
        {first + longHeader, ArchiveError::HeaderTooLong},                       // header over 256 bytes
        {first + U16(6) + std::string(6, '\x01'), ArchiveError::HeaderDamaged},  // fields that do not fill it
    };
    ASSERT_GT(longHeader.size(), 258u + 1);
    for (size_t i = 0; i < damaged.size(); ++i) {
        Install x;
        EXPECT_EQ(x.Unpack(damaged[i].first).back(), Error(kPackDamaged)) << "case " << i;
        EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{"first.txt"}) << "case " << i;
        EXPECT_FALSE(CFile().Open(x.base + "second.txt", CFile::modeRead)) << "case " << i;
        // The installer's walk knows the length, the builder's does not: both
        // stop for the same reason, the installer's before it takes an entry
        // whose body overruns the end.
        for (bool known : {true, false}) {
            const Walked walked = WalkBytes(damaged[i].first, known);
            const Files expected = known || i != 0 ? Files{"first.txt"} : Files{"first.txt", "second.txt"};
            EXPECT_EQ(walked.names, expected) << "case " << i;
            EXPECT_EQ(walked.error, damaged[i].second) << "case " << i << (known ? " known" : " unknown");
        }
    }
    EXPECT_EQ(GetPackErrorText(kPackDamaged), "解包：文件已损坏！");
}

TEST(ArchiveWorker, TheWalkStreamsSkipsOrPassesOverEachBodyInBoundedPieces)
{
    const std::string piece = NoiseBytes(9000, 3);
    const std::string archive =
        EntryBytes("a\\", "piece.bin", piece) + EntryBytes("", "skipped.bin", "ss") + EntryBytes("", "left.txt", "lll");
    for (bool known : {true, false}) {
        CMemoryInput input(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
        CArchiveWalk walk(input, known ? archive.size() : kUnknownLength);
        CPackEntry entry;
        ASSERT_TRUE(walk.Next(entry));
        EXPECT_EQ(entry.m_strFolder + entry.m_strName, "a\\piece.bin");
        std::string body;
        std::vector<size_t> pieces;
        EXPECT_TRUE(walk.StreamTo([&](const uint8_t* data, size_t size) {
            body.append(reinterpret_cast<const char*>(data), size);
            pieces.push_back(size);
            return true;
        }));
        EXPECT_EQ(body, piece);
        EXPECT_EQ(pieces, (std::vector<size_t>{4096, 4096, 808}));
        ASSERT_TRUE(walk.Next(entry));
        EXPECT_EQ(entry.m_strName, "skipped.bin");
        EXPECT_TRUE(walk.Skip());
        ASSERT_TRUE(walk.Next(entry));
        EXPECT_EQ(entry.m_strName, "left.txt");
        // The body nobody took is passed over by the next step.
        EXPECT_FALSE(walk.Next(entry));
        EXPECT_EQ(walk.Error(), ArchiveError::None);
        EXPECT_EQ(walk.Consumed(), archive.size());
    }
    // A sink that stops ends the walk.
    CMemoryInput input(reinterpret_cast<const uint8_t*>(archive.data()), archive.size());
    CArchiveWalk walk(input, archive.size());
    CPackEntry entry;
    ASSERT_TRUE(walk.Next(entry));
    EXPECT_FALSE(walk.StreamTo([](const uint8_t*, size_t) { return false; }));
    EXPECT_EQ(walk.Error(), ArchiveError::Stopped);
    EXPECT_FALSE(walk.Next(entry));
}

TEST(ArchiveWorker, EntriesLeavingTheInstallFolderAreRefusedBeforeWriting)
{
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"..\\", "evil.txt"}, {"a\\..\\..\\", "evil.txt"}, {"\\", "evil.txt"},   {"\\abs\\", "evil.txt"},
        {"C:\\", "evil.txt"}, {"", "C:evil.txt"},          {"", "evil.txt:ads"}, {"", ".."},
        {"a\\\\", "x"},       {"a/../../", "evil.txt"},     {"dots...\\", "x"},   {"", "trailing "},
        {"", "NUL"},          {"con.txt\\", "x"},           {"", "Com1.log"},
    };
    for (const auto& [folder, name] : hostile) {
        Install x;
        EXPECT_EQ(x.Unpack(EntryBytes("", "ok.txt", "ok") + EntryBytes(folder, name, "evil")).back(),
                  Error(kPackUnsafePath))
            << folder << name;
        EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{"ok.txt"});
        EXPECT_FALSE(CFile().Open(x.folder + "evil.txt", CFile::modeRead));
    }
    EXPECT_TRUE(IsSafeRelativePath("a\\b\\", "c.txt"));
    EXPECT_TRUE(IsSafeRelativePath("", "c.txt"));
    EXPECT_TRUE(IsSafeRelativePath("console\\", "com10.txt"));
}

TEST(ArchiveWorker, CancelStopsInsideALargeFileAndRemovesWhatIsNotWhole)
{
    // Asked to stop before it starts, the worker sees the request at the
    // first piece of a 16 MiB file: it reads no further than its first
    // buffer, writes nothing of the file out and removes it again. Counting
    // the file calls shows how far it went: a handful for opening, the first
    // buffer and the clean-up, against some 130 for going through the file
    // in buffers of 256 KiB.
    Install x;
    x.task.m_evCancel.SetEvent();
    uint64_t calls = 0;
    {
        WriteWholeFile(x.task.m_strArchive, EntryBytes("big\\", "big.bin", std::string(16u << 20, 'b')));
        x.task.m_nExpectedLength = static_cast<uint32_t>(GetFileLength(x.task.m_strArchive));
        CFaultScope count(UINT64_MAX);
        x.result = ArchiveThreadProc(&x.task);
        calls = FaultCallsCounted();
    }
    EXPECT_EQ(x.result, 0u);
    EXPECT_EQ(x.sink.Drain(), std::vector<PostedMessage>{});
    EXPECT_LE(calls, 20u) << "the worker went on through the file before it looked for the cancel";
    EXPECT_FALSE(CFile().Open(x.base + "big\\big.bin", CFile::modeRead));
    // The decoded archive is of no use after a cancel either.
    EXPECT_FALSE(CFile().Open(x.task.m_strArchive, CFile::modeRead));
    EXPECT_TRUE(theSetupInfo.m_arrInstalledFiles.empty());
    EXPECT_TRUE(theSetupInfo.m_arrCreatedFiles.empty());
    // The folder it made is named for the take-back.
    EXPECT_EQ(theSetupInfo.m_arrCreatedFolders, Files{x.base + "big"});

    // A file that is whole when the request is seen is listed; the next
    // one is never begun.
    Install after;
    after.task.m_evCancel.SetEvent();
    for (const PostedMessage& m : after.Unpack(EntryBytes("", "empty.txt", "") + EntryBytes("", "two.txt", "2222")))
        EXPECT_EQ(m.wParam, kProgressPosition) << "a stopped worker posts no final message";
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{"empty.txt"});
    EXPECT_EQ(theSetupInfo.m_arrCreatedFiles, Files{"empty.txt"});
    EXPECT_FALSE(CFile().Open(after.base + "two.txt", CFile::modeRead));
}

TEST(ArchiveWorker, OnlyFilesAndFoldersThatWereNotThereCountAsCreated)
{
    Install x;
    CreateFolder(x.base + "old").Ignore();
    WriteWholeFile(x.base + "old\\kept.txt", "before");
    // A file the archive holds twice ends as its later entry says, though
    // the earlier one is large and still being written when the later comes.
    const std::string archive = EntryBytes("old\\", "kept.txt", "replaced") + EntryBytes("old\\new\\", "a.txt", "a") +
                                EntryBytes("", "b.txt", NoiseBytes(3u << 20, 5)) + EntryBytes("", "c.txt", "c") +
                                EntryBytes("", "b.txt", "b");
    ASSERT_EQ(x.Unpack(archive).back(), Done());
    EXPECT_EQ(ReadWholeFile(x.base + "old\\kept.txt"), "replaced");
    EXPECT_EQ(ReadWholeFile(x.base + "b.txt"), "b");
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles,
              (Files{"old\\kept.txt", "old\\new\\a.txt", "b.txt", "c.txt", "b.txt"}));
    EXPECT_EQ(theSetupInfo.m_arrCreatedFiles, (Files{"old\\new\\a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(theSetupInfo.m_arrCreatedFolders, Files{x.base + "old\\new"});
}

TEST(ArchiveWorker, UncreatableFileKeepsEarlierFilesListed)
{
    Install x;
    // A folder where the file should go makes creating the file fail.
    CreateFolder(x.base + "busy").Ignore();
    EXPECT_EQ(x.Unpack(EntryBytes("", "ok.txt", "ok") + EntryBytes("", "busy", "x")).back(),
              Error(kPackCreateFile));
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{"ok.txt"});
}

// A disk that fills up inside a file, a read of the archive that the system
// refuses, and reads that come back short: each ends as a real disk would
// have it, and the log names the cause.
TEST(ArchiveWorker, AFullDiskOrAFailedReadStopsWithItsCauseInTheLog)
{
    const std::string archive = EntryBytes("", "first.txt", "first") +
                                EntryBytes("d\\", "big.bin", NoiseBytes(8u << 20, 7)) + EntryBytes("", "last.txt", "last");
    {
        Install x;
        EXPECT_EQ(x.UnpackWith(archive, [](CFaultPlan& p) { p.DiskFullAfter(7u << 20); }).back(),
                  Error(kPackWriteFile));
        EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, Files{"first.txt"});
        EXPECT_FALSE(FileExists(x.base + "d\\big.bin")) << "the file the full disk cut is removed";
        // Written while the large file still was, but after it in the
        // archive: it goes as well, as one file at a time never begins it.
        EXPECT_FALSE(FileExists(x.base + "last.txt"));
        EXPECT_TRUE(x.Logged("FAILED WriteFile " + x.base + "d\\big.bin: OS error"));
        EXPECT_TRUE(x.Logged("(disk full)"));
    }
    {
        Install x;
        EXPECT_EQ(x.UnpackWith(archive, [](CFaultPlan& p) { p.Fail(SysCall::Read, StatusCode::Failed, 2); }).back(),
                  Error(kPackDamaged));
        EXPECT_TRUE(x.Logged("reading the archive: FAILED ReadFile " + x.task.m_strArchive + ": OS error"));
    }
    for (uint64_t nth : {1, 2, 3}) {
        Install x;
        EXPECT_EQ(x.UnpackWith(archive, [&](CFaultPlan& p) { p.ShortRead(nth, 1).ShortRead(nth + 1, 4095); }).back(),
                  Done())
            << "short read " << nth;
        EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, (Files{"first.txt", "d\\big.bin", "last.txt"}));
        EXPECT_EQ(ReadWholeFile(x.base + "d\\big.bin"), NoiseBytes(8u << 20, 7));
    }
}

TEST(ArchiveWorker, FoldersAreMadeWhenTheFolderBeforeSharesOnlyPartOfThePath)
{
    // The worker remembers the folder of the entry before; each of these
    // follows one that shares a prefix of bytes but not of components, or
    // comes back to a folder after another one.
    Install x;
    const std::vector<std::string> folders = {"a\\b\\",   "a\\bc\\", "a\\b\\c\\", "ab\\",   "a\\",
                                              "", "x\\y\\z\\", "x\\y\\", "a\\b\\",  "\x81\x5C\\q\\",
                                              "\x81\\r\\"};
    std::string archive;
    Files expected;
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string name = Format("f%d.txt", static_cast<int>(i));
        archive += EntryBytes(folders[i], name, name);
        expected.push_back(folders[i] + name);
    }
    ASSERT_EQ(x.Unpack(archive).back(), Done());
    for (const std::string& file : expected)
        EXPECT_EQ(ReadWholeFile(x.base + file), file.substr(file.rfind('f'))) << file;
    EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, expected);
}
