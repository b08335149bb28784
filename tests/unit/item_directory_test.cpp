#include "common/shell.h"
#include "framework/file.h"
#include "installer/core/item_extract.h"
#include "installer/setup/setup_info.h"
#include "package_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {
const std::string kImage = "MZ-program-image";

DirectoryError Parse(const std::string& bytes, ItemDirectory& dir)
{
    CMemorySource source(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return ParseItemDirectory(source, dir);
}

// Writes a package to a file, reads its directory and extracts every item.
struct Extraction {
    std::string folder = NewScratchFolder();
    std::string copy = folder + "setup.exe";
    ItemDirectory dir;
    CSetupInfo setup;

    DirectoryError Read(const std::string& bytes)
    {
        WriteWholeFile(copy, bytes);
        CFile file;
        if (!file.Open(copy, CFile::modeReadWrite | CFile::shareDenyNone))
            return DirectoryError::TooShort;
        return ReadItemDirectory(file, dir);
    }
    ExtractError Extract(const std::function<bool(size_t)>& after = nullptr)
    {
        return ExtractAllItems(copy, folder, dir, setup, after);
    }
};
}  // namespace

TEST(ItemDirectory, EmptyPackageIsCutToItsImage)
{
    Extraction x;
    const std::string bytes = PackageBytes(kImage, {});
    ASSERT_EQ(x.Read(bytes), DirectoryError::None);
    EXPECT_TRUE(x.dir.entries.empty());
    EXPECT_EQ(x.dir.start, bytes.size() - 4);
    EXPECT_EQ(ReadWholeFile(x.copy), kImage);
    EXPECT_TRUE(MarkExtracted(x.copy));
    EXPECT_EQ(ReadWholeFile(x.copy), kImage + U16(2008));
}

TEST(ItemDirectory, ItemOneIsLastInTheFile)
{
    const std::vector<TestItem> items = {
        {"install.tmd", "descriptor"}, {"data.rar", std::string(5000, 'D')}, {"license.txt", "licence"}};
    const std::string bytes = PackageBytes(kImage, items);
    ItemDirectory dir;
    ASSERT_EQ(Parse(bytes, dir), DirectoryError::None);
    ASSERT_EQ(dir.entries.size(), 3u);
    EXPECT_EQ(dir.entries[0].m_strName, "install.tmd");
    EXPECT_EQ(dir.entries[2].m_strName, "license.txt");
    EXPECT_EQ(dir.entries[1].m_nSize, 5000u);
    // The content of entry 1 is the last block before the directory.
    EXPECT_EQ(bytes.substr(dir.start - 10, 10), "descriptor");
    EXPECT_EQ(bytes.substr(0, kImage.size() + 7), kImage + "licence");
}

TEST(ItemDirectory, ExtractsEveryItemAndLeavesTheWorkingCopy)
{
    Extraction x;
    const std::string big(300 * 1024 + 17, 'B');  // more than one copy chunk
    std::string mixed;
    for (int i = 0; i < 70000; ++i)
        mixed += static_cast<char>(i * 31 % 251);
    const std::vector<TestItem> items = {
        {"data.rar", mixed}, {"dll.rar", big}, {"empty.txt", ""}, {"\xB0\xB2\xD7\xB0.txt", "gbk"}};
    ASSERT_EQ(x.Read(PackageBytes(kImage, items)), DirectoryError::None);
    std::vector<size_t> progress;
    ASSERT_EQ(x.Extract([&](size_t done) {
        progress.push_back(done);
        return true;
    }),
              ExtractError::None);
    EXPECT_EQ(progress, (std::vector<size_t>{1, 2, 3, 4}));
    for (const TestItem& item : items) {
        EXPECT_TRUE(FileExists(x.folder + item.name)) << item.name;
        EXPECT_EQ(ReadWholeFile(x.folder + item.name), item.content) << item.name;
    }
    EXPECT_EQ(x.dir.entries[0].m_strFolder, x.folder + "data.rar");
    EXPECT_EQ(x.setup.m_nDataSize, static_cast<int64_t>(mixed.size()));
    EXPECT_EQ(ReadWholeFile(x.copy), kImage);
}

TEST(ItemDirectory, OnlyExactlyDataRarIsTheDataItem)
{
    for (const char* name : {"DATA.RAR", "data.rar.bak", "Data.rar"}) {
        Extraction x;
        ASSERT_EQ(x.Read(PackageBytes(kImage, {{name, "12345"}})), DirectoryError::None);
        ASSERT_EQ(x.Extract(), ExtractError::None);
        EXPECT_EQ(x.setup.m_nDataSize, 0) << name;
    }
}

TEST(ItemDirectory, StopsAtTheFirstItemThatCannotBeWritten)
{
    Extraction x;
    // "sub" is a folder, so the second item's file cannot be created.
    CreateFolder(x.folder + "sub").Ignore();
    const std::vector<TestItem> items = {{"a.txt", "AAA"}, {"sub", "SUB"}, {"c.txt", "CCC"}};
    ASSERT_EQ(x.Read(PackageBytes(kImage, items)), DirectoryError::None);
    EXPECT_EQ(x.Extract(), ExtractError::WriteFailed);
    EXPECT_EQ(ReadWholeFile(x.folder + "a.txt"), "AAA");
    EXPECT_FALSE(FileExists(x.folder + "c.txt"));
    // The failed item's content stays on the copy; nothing later was taken.
    EXPECT_EQ(ReadWholeFile(x.copy), kImage + "CCC" + "SUB");
}

TEST(ItemDirectory, CancelAfterAnItemStopsTheRun)
{
    Extraction x;
    ASSERT_EQ(x.Read(PackageBytes(kImage, {{"a", "1"}, {"b", "2"}})), DirectoryError::None);
    EXPECT_EQ(x.Extract([](size_t) { return false; }), ExtractError::Cancelled);
    EXPECT_TRUE(FileExists(x.folder + "a"));
    EXPECT_FALSE(FileExists(x.folder + "b"));
}

TEST(ItemDirectory, RefusesNamesThatLeaveTheFolder)
{
    for (const char* name : {"", ".", "..", "..\\evil.exe", "a/b", "C:evil", "x:stream", "a|b", "tab\tname"}) {
        ItemDirectory dir;
        EXPECT_EQ(Parse(PackageBytes(kImage, {{name, "x"}}), dir), DirectoryError::BadName) << name;
    }
    // A GBK trail byte equal to '\' or '|' is part of a character, not a separator.
    ItemDirectory dir;
    EXPECT_EQ(Parse(PackageBytes(kImage, {{"\x95\x5C\x81\x7C.txt", "x"}}), dir), DirectoryError::None);
}

TEST(ItemDirectory, RefusesCountsSizesAndRecordsBeyondTheFile)
{
    ItemDirectory dir;
    EXPECT_EQ(Parse(std::string("\x01"), dir), DirectoryError::TooShort);
    EXPECT_EQ(Parse(U16(1978), dir), DirectoryError::TooShort);

    // A count far beyond the records that are there: the walk meets image
    // bytes as records, and whatever it meets first, it refuses the package.
    std::string many = PackageBytes(kImage, {{"a", "1"}});
    many.replace(many.size() - 4, 2, U16(60000));
    EXPECT_NE(Parse(many, dir), DirectoryError::None);
    EXPECT_EQ(Parse(U16(7) + U16(1978), dir), DirectoryError::RecordOutside);

    // A content size larger than everything before the directory.
    CPackEntry huge;
    huge.m_nSize = 0xFFFFFFF0u;
    huge.m_strName = "data.rar";
    std::string record = RecordBytes(huge);
    EXPECT_EQ(Parse(kImage + record + U16(static_cast<unsigned>(record.size())) + U16(1) + U16(1978), dir),
              DirectoryError::ContentOutside);

    // A record longer than the 256-byte record buffer.
    CPackEntry longName;
    longName.m_strName = std::string(300, 'n');
    record = RecordBytes(longName);
    EXPECT_EQ(Parse(kImage + record + U16(static_cast<unsigned>(record.size())) + U16(1) + U16(1978), dir),
              DirectoryError::RecordTooLong);

    // A record length reaching before the start of the file.
    EXPECT_EQ(Parse(std::string("ab") + U16(200) + U16(1) + U16(1978), dir), DirectoryError::RecordOutside);
}

TEST(ItemDirectory, ExtractItemLeavesTheCopyAloneOnFailure)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "copy", "0123456789");
    CPackEntry entry;
    entry.m_nSize = 11;  // more than the copy holds
    entry.m_strFolder = folder + "out";
    EXPECT_FALSE(ExtractItem(folder + "copy", entry));
    entry.m_nSize = 4;
    entry.m_strFolder = folder + "missing\\out";
    EXPECT_FALSE(ExtractItem(folder + "copy", entry));
    EXPECT_EQ(ReadWholeFile(folder + "copy"), "0123456789");
    entry.m_strFolder = folder + "out";
    EXPECT_TRUE(ExtractItem(folder + "copy", entry));
    EXPECT_EQ(ReadWholeFile(folder + "out"), "6789");
    EXPECT_EQ(ReadWholeFile(folder + "copy"), "012345");

    // Nothing is appended to an empty or missing file.
    WriteWholeFile(folder + "empty", "");
    EXPECT_FALSE(MarkExtracted(folder + "empty"));
    EXPECT_FALSE(MarkExtracted(folder + "none"));
    EXPECT_EQ(ReadWholeFile(folder + "empty"), "");
    EXPECT_FALSE(FileExists(folder + "none"));
}
