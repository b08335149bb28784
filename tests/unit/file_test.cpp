#include "framework/file.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(File, WriteSeekReadAndCut)
{
    const std::string path = NewScratchFolder() + "f.bin";
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeReadWrite));
    ASSERT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(-3, CFile::end), 7);
    char buf[8] = {};
    EXPECT_EQ(file.Read(buf, 8), 3u);
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

TEST(File, RefusesMissingFilesAndFolders)
{
    const std::string folder = NewScratchFolder();
    CFile file;
    EXPECT_FALSE(file.Open(folder + "missing.bin", CFile::modeRead));
    EXPECT_FALSE(file.Open(folder.substr(0, folder.size() - 1), CFile::modeRead));
    EXPECT_FALSE(file.Open(folder + "no\\such\\dir.bin", CFile::modeCreate | CFile::modeWrite));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(nullptr, 0), 0u);
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
    CreateFolder(folder + "sub");

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
