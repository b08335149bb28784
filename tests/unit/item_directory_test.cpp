#include "common/shell.h"
#include "framework/file.h"
#include "installer/core/item_extract.h"
#include "installer/setup/setup_info.h"
#include "archive_bytes.h"
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

TEST(ItemDirectory, Sha256GivesTheStandardDigests)
{
    bool plain = false;  // the processor's SHA instructions where it has them, then the plain rounds
    auto hex = [&plain](const std::string& text, size_t piece) {
        CSha256 hash(plain);
        for (size_t at = 0; at < text.size(); at += piece)
            hash.Update(text.data() + at, std::min(piece, text.size() - at));
        return DigestHex(hash.Final());
    };
    // FIPS 180-4 examples, fed whole and in pieces that straddle the blocks.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string four = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
                             "lmnopqrsmnopqrstnopqrstu";
    for (bool both : {false, true})
    for (size_t piece : {1000000, 1, 7, 63, 64, 65}) {
        plain = both;
        EXPECT_EQ(hex("", piece), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        EXPECT_EQ(hex("abc", piece), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(hex(two, piece), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        EXPECT_EQ(hex(four, piece), "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    }
    EXPECT_EQ(hex(std::string(1000000, 'a'), 4093), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    plain = false;
    EXPECT_EQ(hex(std::string(1000000, 'a'), 1 << 16), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Both ways agree on every length around the block boundaries.
    const std::string noise = NoiseBytes(4096 + 130, 9);
    for (size_t length = 0; length < noise.size(); length += length < 200 ? 1 : 61) {
        plain = true;
        const std::string slow = hex(noise.substr(0, length), 64);
        plain = false;
        EXPECT_EQ(hex(noise.substr(0, length), 4096), slow) << length;
    }
    Sha256Digest digest;
    EXPECT_TRUE(ParseDigestHex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", digest));
    EXPECT_EQ(DigestHex(digest), hex("abc", 3));
    EXPECT_FALSE(ParseDigestHex(std::string(63, '0') + "g", digest));
    EXPECT_FALSE(ParseDigestHex(std::string(63, '0'), digest));
}

TEST(ItemDirectory, ChecksumItemGuardsEveryOtherItemAsItIsMoved)
{
    const std::vector<TestItem> items = {
        {"data.rar", NoiseBytes(70000, 3)}, {"install.tmd", "descriptor"}, {"license.txt", "licence"}};
    auto run = [](const std::vector<TestItem>& packed, size_t* done = nullptr) {
        Extraction x;
        EXPECT_EQ(x.Read(PackageBytes(kImage, packed)), DirectoryError::None);
        return x.Extract([done](size_t n) {
            if (done != nullptr)
                *done = n;
            return true;
        });
    };
    // The list first, as the builder writes it, or last: either is checked.
    for (size_t position : {size_t{0}, items.size()}) {
        EXPECT_EQ(run(WithChecksums(items, position)), ExtractError::None) << position;
        for (size_t damaged = 0; damaged < items.size(); ++damaged) {
            std::vector<TestItem> packed = WithChecksums(items, position);
            TestItem& item = packed[damaged + (damaged >= position ? 1 : 0)];
            item.content[item.content.size() / 2] ^= 0x10;
            size_t done = 0;
            EXPECT_EQ(run(packed, &done), ExtractError::Damaged) << position << " " << damaged;
            // Known first, the list stops the run at the damaged item.
            if (position == 0) {
                EXPECT_EQ(done, damaged + 1) << damaged;
            }
        }
    }
    auto withList = [&items](const std::string& list, const std::string& name = kChecksumItemName,
                             const std::string& folder = kChecksumItemTag) {
        std::vector<TestItem> packed = items;
        packed.insert(packed.begin(), TestItem{name, list, folder});
        return packed;
    };
    const std::string good = WithChecksums(items)[0].content;
    const std::string firstLine = good.substr(0, good.find('\n') + 1);
    EXPECT_EQ(run(withList(good)), ExtractError::None);
    EXPECT_EQ(run(withList(good.substr(firstLine.size()))), ExtractError::Damaged);       // an item not listed
    EXPECT_EQ(run(withList(good + firstLine)), ExtractError::Damaged);                    // one listed twice
    EXPECT_EQ(run(withList(good + std::string(64, '0') + "  extra.txt\n")), ExtractError::Damaged);
    EXPECT_EQ(run(withList(good.substr(0, good.size() - 1))), ExtractError::Damaged);     // a line cut short
    EXPECT_EQ(run(withList(std::string(kMaxChecksumItemSize + 1, '0'))), ExtractError::Damaged);
    std::string renamed = good;
    renamed.replace(renamed.find("license.txt"), 11, "..\\x.txt.");
    EXPECT_EQ(run(withList(renamed)), ExtractError::Damaged);
    // The tag without the name, the name without the tag, or two lists: a
    // damaged directory.
    EXPECT_EQ(run(withList(good, "checksums.sha257")), ExtractError::Damaged);
    EXPECT_EQ(run(withList(good, kChecksumItemName, "sha257")), ExtractError::Damaged);
    std::vector<TestItem> twice = withList(good);
    twice.push_back(twice.front());
    EXPECT_EQ(run(twice), ExtractError::Damaged);
}
