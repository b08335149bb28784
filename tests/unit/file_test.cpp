#include "framework/fault.h"
#include "framework/file.h"
#include "framework/log.h"
#include "framework/retry.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

TEST(File, WriteSeekReadAndCut)
{
    const std::string path = NewScratchFolder() + "f.bin";
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeReadWrite));
    ASSERT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(-3, CFile::end), 7);
    char buf[8] = {};
    EXPECT_EQ(file.Read(buf, 8).bytes, 3u);
    EXPECT_EQ(std::string(buf, 3), "789");
    ASSERT_TRUE(file.SetLength(4));
    EXPECT_EQ(file.GetLength(), 4u);
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "0123");

    // modeCreate truncates an existing file.
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "");
}

namespace {
// The room a file takes on the disk, natively; 0 where it is not known.
uint64_t RoomOf(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return 0;
#else
    struct stat st;
    return ::stat(HostPathOf(path).c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : 0;
#endif
}
}  // namespace

// The decoded archive's copiers forget each body once it is written out.
// Only the whole pages inside the range may go, the length stays, and a file
// that may not be written is still read.
TEST(File, ForgetFreesOnlyWholePagesInsideTheRange)
{
    const std::string path = NewScratchFolder() + "archive.h66";
    std::string bytes(64 * 1024 + 100, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>('a' + i % 23);
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    for (bool readOnly : {false, true}) {
        SetReadOnly(path, readOnly);
        CFile file;
        ASSERT_TRUE(file.Open(path, CFile::modeRead | CFile::typeReadOnce)) << readOnly;
        [[maybe_unused]] const uint64_t before = RoomOf(path);
        file.Forget(100, 40000);  // the pages from 4096 to 40960
        file.Forget(60000, 3000);  // no whole page
        EXPECT_EQ(file.GetLength(), bytes.size());
#ifndef _WIN32
        // Natively the file system frees room, at most those pages' (what
        // it frees of them is its own affair; Windows has nothing to free).
        if (!readOnly) {
            EXPECT_GT(before, RoomOf(path));
            EXPECT_LE(before - RoomOf(path), 36u * 1024);
        }
#endif
        std::string head(4096, '\0'), tail(bytes.size() - 40960, '\0');
        ASSERT_TRUE(ReadFullyAt(file, 0, head.data(), 4096));
        ASSERT_TRUE(ReadFullyAt(file, 40960, tail.data(), static_cast<uint32_t>(tail.size())));
        EXPECT_EQ(head, bytes.substr(0, 4096));
        EXPECT_EQ(tail, bytes.substr(40960));
        file.Close();
        SetReadOnly(path, false);
        ASSERT_TRUE(WriteWholeFile(path, bytes));
    }
}

TEST(File, RefusesMissingFilesAndFolders)
{
    const std::string folder = NewScratchFolder();
    CFile file;
    EXPECT_FALSE(file.Open(folder + "missing.bin", CFile::modeRead));
    // A folder is refused as a file, for reading or writing, as Windows
    // does: access denied.
    for (unsigned flags : {unsigned{CFile::modeRead}, CFile::modeCreate | CFile::modeWrite,
                           unsigned{CFile::modeReadWrite}}) {
        const Status refused = file.Open(folder.substr(0, folder.size() - 1), flags);
        EXPECT_TRUE(refused.Is(StatusCode::AccessDenied)) << flags << ": " << refused.Describe();
    }
    EXPECT_FALSE(file.Open(folder + "no\\such\\dir.bin", CFile::modeCreate | CFile::modeWrite));
    EXPECT_FALSE(file.IsOpen());
    // A read of a file that is not open fails; it is not the end of a file.
    const CFile::ReadResult closed = file.Read(nullptr, 0);
    EXPECT_FALSE(closed.status);
    EXPECT_EQ(closed.bytes, 0u);
}

TEST(StdioFile, ReadsLinesWithAnyEnding)
{
    const std::string path = NewScratchFolder() + "t.txt";
    // CR LF, bare LF, an empty line, and a last line without an ending.
    ASSERT_TRUE(WriteWholeFile(path, "one\r\ntwo\n\r\nfour\rx\r\nlast"));
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeRead));
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadString(line))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "four\rx", "last"}));
}

TEST(StdioFile, LongLinesCrossTheReadBuffer)
{
    const std::string path = NewScratchFolder() + "long.txt";
    std::string big(20000, 'q');
    ASSERT_TRUE(WriteWholeFile(path, big + "\r\n" + big));
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeRead));
    std::string line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, big);
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, big);
    EXPECT_FALSE(file.ReadString(line));
}

TEST(StdioFile, WritesLineFeedsAsCrLf)
{
    const std::string path = NewScratchFolder() + "w.txt";
    CStdioFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
    ASSERT_TRUE(file.WriteString("[A]\nk=v\n"));
    ASSERT_TRUE(file.WriteString("\xC4\xE3\xBA\xC3\n"));
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), "[A]\r\nk=v\r\n\xC4\xE3\xBA\xC3\r\n");
}

TEST(FileFind, ListsAFolderWithDotsAndMatchesMasks)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "a.txt", "a");
    WriteWholeFile(folder + "b.dat", "b");
    WriteWholeFile(folder + "noext", "c");
    CreateFolder(folder + "sub").Ignore();

    std::vector<std::string> all, dirs;
    CFileFind finder;
    for (bool more = finder.FindFile(folder + "*.*"); more; more = finder.FindNext()) {
        all.push_back(finder.GetFileName());
        if (finder.IsDirectory())
            dirs.push_back(finder.GetFileName());
    }
    std::sort(all.begin(), all.end());
    std::sort(dirs.begin(), dirs.end());
    EXPECT_EQ(all, (std::vector<std::string>{".", "..", "a.txt", "b.dat", "noext", "sub"}));
    EXPECT_EQ(dirs, (std::vector<std::string>{".", "..", "sub"}));

    ASSERT_TRUE(finder.FindFile(folder + "*.txt"));
    EXPECT_EQ(finder.GetFileName(), "a.txt");
    EXPECT_FALSE(finder.FindNext());
    EXPECT_FALSE(finder.FindFile(folder + "*.zip"));
}

TEST(FileSystem, CopyMoveAndRemove)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "src", "payload"));
    EXPECT_TRUE(CopyFileTo(folder + "src", folder + "copy", true));
    EXPECT_FALSE(CopyFileTo(folder + "src", folder + "copy", true));
    EXPECT_EQ(ReadWholeFile(folder + "copy"), "payload");
    // A move never replaces an existing file.
    EXPECT_FALSE(MoveFileTo(folder + "src", folder + "copy"));
    EXPECT_TRUE(MoveFileTo(folder + "src", folder + "moved"));
    EXPECT_EQ(ReadWholeFile(folder + "moved"), "payload");
    EXPECT_TRUE(RemoveFile(folder + "moved"));
    EXPECT_FALSE(RemoveFile(folder + "moved"));
    EXPECT_TRUE(CreateFolder(folder + "d"));
    EXPECT_FALSE(CreateFolder(folder + "d"));
    EXPECT_TRUE(RemoveFolder(folder + "d"));
}

// A failure keeps the call, the path and the system's own error code, and
// its kind is read from that code the same way on both platforms.
TEST(File, FailuresNameTheCallThePathAndTheSystemError)
{
    const std::string folder = NewScratchFolder();
    const Status missing = RemoveFile(folder + "missing.bin");
    EXPECT_TRUE(missing.Is(StatusCode::NotFound)) << missing.Describe();
    EXPECT_STREQ(missing.Operation(), "DeleteFile");
    EXPECT_EQ(missing.Path(), folder + "missing.bin");
    EXPECT_NE(missing.OsError(), 0u);
    EXPECT_NE(missing.Describe().find(folder + "missing.bin: OS error "), std::string::npos) << missing.Describe();

    const Status twice = CreateFolder(folder.substr(0, folder.size() - 1));
    EXPECT_TRUE(twice.Is(StatusCode::Exists)) << twice.Describe();
    CFile file;
    EXPECT_TRUE(file.Open(folder + "no\\such\\f.bin", CFile::modeCreate | CFile::modeWrite).Is(StatusCode::NotFound));
    ASSERT_TRUE(file.Open(folder + "f.bin", CFile::modeCreate | CFile::modeWrite));
    {
        // An injected fault reads as a refusal, and a write names its file.
        CFaultScope scope(1, false);
        const Status refused = file.Write("x", 1);
        EXPECT_TRUE(refused.Is(StatusCode::AccessDenied)) << refused.Describe();
        EXPECT_EQ(refused.Path(), folder + "f.bin");
    }
    EXPECT_TRUE(file.Write("x", 1));
    EXPECT_EQ(Status().Describe(), "ok");
}

// A named fault acts on its call only, with the system's own error for it, a
// full disk keeps what fitted, and a short read is no failure: ReadFully goes
// on over it and tells the file's end from a read that failed.
TEST(File, NamedFaultsBehaveAsTheSystemWould)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "a.bin", "0123456789"));
    {
        CFaultPlan plan;
        plan.Fail(SysCall::MoveFileTo, StatusCode::SharingViolation, 2);
        EXPECT_TRUE(CopyFileTo(folder + "a.bin", folder + "b.bin", false));
        EXPECT_TRUE(MoveFileTo(folder + "b.bin", folder + "c.bin"));
        const Status held = MoveFileTo(folder + "c.bin", folder + "d.bin");
        EXPECT_TRUE(held.Is(StatusCode::SharingViolation)) << held.Describe();
        EXPECT_EQ(held.OsError(), Status::OsErrorFor(StatusCode::SharingViolation));
        EXPECT_STREQ(held.Operation(), "MoveFile");
        EXPECT_TRUE(MoveFileTo(folder + "c.bin", folder + "d.bin")) << "only the second move was to fail";
        EXPECT_EQ(FaultsInjected(), 1u);
    }
    {
        CFaultPlan plan;
        plan.DiskFullAfter(6);
        CFile out;
        ASSERT_TRUE(out.Open(folder + "full.bin", CFile::modeCreate | CFile::modeWrite));
        EXPECT_TRUE(out.Write("abcd", 4));
        const Status full = out.Write("efgh", 4);
        EXPECT_TRUE(full.Is(StatusCode::DiskFull)) << full.Describe();
        EXPECT_EQ(full.Path(), folder + "full.bin");
        EXPECT_TRUE(out.Write("i", 1).Is(StatusCode::DiskFull)) << "a full disk stays full";
    }
    EXPECT_EQ(ReadWholeFile(folder + "full.bin"), "abcdef");
    CFile in;
    ASSERT_TRUE(in.Open(folder + "a.bin", CFile::modeRead));
    char buffer[16] = {};
    {
        CFaultPlan plan;
        plan.ShortRead(1, 3).ShortRead(2, 2);
        const CFile::ReadResult part = in.Read(buffer, 10);
        EXPECT_TRUE(part.status);
        EXPECT_EQ(part.bytes, 3u);
        EXPECT_TRUE(ReadFully(in, buffer + 3, 7));  // the second read is short as well
        EXPECT_EQ(std::string(buffer, 10), "0123456789");
        EXPECT_EQ(FaultsInjected(), 2u);
    }
    const Status end = ReadFully(in, buffer, 1);
    EXPECT_TRUE(end.Is(StatusCode::EndOfFile)) << end.Describe();
    EXPECT_EQ(end.Path(), folder + "a.bin");
    ASSERT_EQ(in.Seek(0, CFile::begin), 0);
    {
        CFaultPlan plan;
        plan.Fail(SysCall::Read, StatusCode::Failed);
        const Status failed = ReadFully(in, buffer, 4);
        EXPECT_TRUE(failed.Is(StatusCode::Failed)) << failed.Describe();
        EXPECT_NE(failed.OsError(), 0u);
    }
}

// Runs of one installation share one log: each appends whole lines, what was
// written before the log had a file goes out first, and no text can forge
// a line of its own.
TEST(Log, RunsAppendWholeLinesToOneFile)
{
    const std::string path = NewScratchFolder() + "p.tmd.log";
    CLog first;
    first.Write("extract", "before the name was known");
    EXPECT_EQ(first.Pending().size(), 1u);
    first.Open(path);
    first.Write("extract", "done");
    CLog second;
    second.Open(path);
    second.Failed("install", "a file", RemoveFile(path + ".missing"));
    second.Write("install", "a name with\r\nFAKE  line");
    const std::string text = ReadWholeFile(path);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 4u) << text;
    EXPECT_NE(lines[0].find("  extract  before the name was known"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("  extract  done"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("  install  a file: FAILED DeleteFile " + path + ".missing: OS error "), std::string::npos)
        << lines[2];
    EXPECT_NE(lines[3].find("with  FAKE"), std::string::npos) << lines[3];
    // "2026-12-08 14:50:01.123Z": a date and a time of day.
    EXPECT_EQ(lines[0][4], '-');
    EXPECT_EQ(lines[0][23], 'Z');
}

TEST(Log, IsNamedAfterTheProductInTheTemporaryFolder)
{
    const std::string temp = GetTempFolder();
    EXPECT_EQ(LogPathFor("\xD0\xC7\xCD\xBC Demo"), temp + "\xD0\xC7\xCD\xBC Demo.tmd.log");
    // A character whose second byte is "\\" stays whole; separators and
    // a drive colon of the name itself do not lead out of the folder.
    EXPECT_EQ(LogPathFor("\x95\x5C:..\\x/y"), temp + "\x95\x5C_.._x_y.tmd.log");
    EXPECT_EQ(LogPathFor(""), temp + "Tessaramond.tmd.log");
    EXPECT_EQ(LogPathFor(" . "), temp + "Tessaramond.tmd.log");
}

// Waiting mends a file another program holds for a moment, and nothing else.
TEST(Retry, WaitsOutOnlyTransientRefusals)
{
    using std::chrono::milliseconds;
    int calls = 0;
    EXPECT_TRUE(RetryTransient(
        [&] { return ++calls < 3 ? Status(StatusCode::SharingViolation, "MoveFile", "a") : Status(); }, 5,
        milliseconds(1)));
    EXPECT_EQ(calls, 3);
    calls = 0;
    EXPECT_TRUE(RetryTransient([&] { return ++calls, Status(StatusCode::NotFound, "DeleteFile", "a"); }, 5,
                               milliseconds(1))
                    .Is(StatusCode::NotFound));
    EXPECT_EQ(calls, 1) << "a missing file does not come back by waiting";
    calls = 0;
    EXPECT_TRUE(RetryTransient([&] { return ++calls, Status(StatusCode::AccessDenied, "DeleteFile", "a"); }, 4,
                               milliseconds(1))
                    .Is(StatusCode::AccessDenied));
    EXPECT_EQ(calls, 4) << "gives up after the attempts it was given";
}
