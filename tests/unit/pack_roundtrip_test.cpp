// Builder to installer: trees packed by the builder's writers come back
// byte for byte through the decompression and archive workers, and whole
// packages through the item directory reader.
#include "common/scramble.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/item_extract.h"
#include "installer/setup/setup_info.h"
#include "tools/pack/archive_writer.h"
#include "format/block_compressor.h"
#include "format/block_decoder.h"
#include "framework/byte_input.h"
#include "tools/pack/descriptor.h"
#include "tools/pack/pack_error.h"
#include "tools/pack/package_reader.h"
#include "tools/pack/package_writer.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <span>
#include <sstream>
#include <map>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {
fs::path U8(const char8_t* text) { return fs::path(std::u8string(text)); }

void WriteHost(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A product tree of nested folders, empty files and sizes around the block
// and piece size; the map holds each file by its GBK install path.
struct Tree {
    std::string folder = NewScratchFolder();
    fs::path root = HostPathOf(folder) / "product";
    std::map<std::string, std::string> files;

    Tree()
    {
        Add(U8(u8"readme.txt"), "readme.txt", "hello\r\n");
        Add(U8(u8"empty.dat"), "empty.dat", "");
        Add(U8(u8"bin") / U8(u8"app.exe"), "bin\\app.exe", NoiseBytes(100000, 1));
        Add(U8(u8"bin") / U8(u8"zero"), "bin\\zero", "");
        unsigned seed = 2;
        for (size_t size : {1u, 4095u, 4096u, 4097u, 8192u, 12289u, 65536u})
            Add(U8(u8"data") / U8(u8"sizes") / fs::path(Format("f%u", static_cast<unsigned>(size))),
                Format("data\\sizes\\f%u", static_cast<unsigned>(size)), NoiseBytes(size, seed++));
        Add(U8(u8"data") / U8(u8"text.txt"), "data\\text.txt", std::string(300000, 'x') + "end");
        // "说明" and "资料" in GBK: 0xCB 0xB5 0xC3 0xF7 and 0xD7 0xCA 0xC1 0xCF.
        Add(U8(u8"资料") / U8(u8"说明.txt"), "\xD7\xCA\xC1\xCF\\\xCB\xB5\xC3\xF7.txt", "GBK names");
        fs::create_directories(root / "empty-folder");
    }
    void Add(const fs::path& rel, const std::string& gbk, const std::string& bytes)
    {
        WriteHost(root / rel, bytes);
        files[gbk] = bytes;
    }
};

// Installs the compressed archive at folder + "data.rar" as the install
// progress dialog would: decode, then unpack into folder + "install\".
std::vector<PostedMessage> Install(const std::string& folder, unsigned& decoded, unsigned& unpacked)
{
    CMessageSink sink;
    CDecompressTask decompress;
    decompress.m_hNotifyWnd = sink.Target();
    decompress.m_strSource = folder + "data.rar";
    decompress.m_strDest = folder + "data.h66";
    decoded = DecompressThreadProc(&decompress);
    std::vector<PostedMessage> messages = sink.Drain();

    CFile archive;
    archive.Open(decompress.m_strDest, CFile::modeRead).Ignore();
    CArchiveTask task;
    task.m_hNotifyWnd = sink.Target();
    task.m_strArchive = decompress.m_strDest;
    task.m_nExpectedLength = static_cast<uint32_t>(archive.GetLength());
    archive.Close();
    theSetupInfo = CSetupInfo();
    theSetupInfo.m_strInstallDir = folder + "install\\";
    CreateFolder(theSetupInfo.m_strInstallDir).Ignore();
    unpacked = ArchiveThreadProc(&task);
    for (const auto& m : sink.Drain())
        messages.push_back(m);
    return messages;
}
}  // namespace

TEST(PackRoundTrip, GeneratedTreeComesBackByteForByteAtBothLevels)
{
    for (auto level : {CompressionLevel::Fast, CompressionLevel::Best}) {
        Tree tree;
        const std::vector<ArchiveFile> files = CollectFiles(tree.root);
        ASSERT_EQ(files.size(), tree.files.size());
        // A folder's files by name, then its sub-folders, however many
        // threads list them.
        std::vector<std::string> order;
        for (const auto& f : files)
            order.push_back(f.folder + f.name);
        EXPECT_EQ(order, (std::vector<std::string>{"empty.dat", "readme.txt", "bin\\app.exe", "bin\\zero",
                                                   "data\\text.txt", "data\\sizes\\f1", "data\\sizes\\f12289",
                                                   "data\\sizes\\f4095", "data\\sizes\\f4096", "data\\sizes\\f4097",
                                                   "data\\sizes\\f65536", "data\\sizes\\f8192",
                                                   "\xD7\xCA\xC1\xCF\\\xCB\xB5\xC3\xF7.txt"}));
        {
            std::ofstream out(HostPathOf(tree.folder + "data.rar"), std::ios::binary);
            CBlockCompressor compressor(out, level);
            WriteArchive(files, [&](const void* d, size_t n) { EXPECT_TRUE(compressor.Write(d, n)); });
            ASSERT_TRUE(compressor.Finish());
            EXPECT_EQ(compressor.InputBytes(), ArchiveLength(files));
        }
        unsigned decoded = 0, unpacked = 0;
        auto messages = Install(tree.folder, decoded, unpacked);
        EXPECT_EQ(decoded, 1u);
        EXPECT_EQ(unpacked, 1u);
        EXPECT_EQ(messages.back(), (PostedMessage{WM_ARCHIVE_PROGRESS, kProgressDone, 0}));
        std::vector<std::string> expectedList;
        for (const auto& f : files)
            expectedList.push_back(f.folder + f.name);
        EXPECT_EQ(theSetupInfo.m_arrInstalledFiles, expectedList);
        for (const auto& [path, bytes] : tree.files)
            EXPECT_EQ(ReadWholeFile(tree.folder + "install\\" + path), bytes) << path;
    }
}

// More batches than the compressor's ring holds, fed in odd portions both
// ways, come back in order; the digest is of what was written; and an output
// that fails half-way stops the compressor without hanging it.
TEST(PackRoundTrip, CompressorKeepsTheOrderOfManyBatchesAndStopsAtAFailedWrite)
{
    std::string data;
    for (int i = 0; data.size() < (13u << 20); ++i)
        data += i % 2 ? NoiseBytes(70001, i) : std::string(90001, char('a' + i % 26));
    std::ostringstream out;
    {
        CBlockCompressor compressor(out, CompressionLevel::Fast);
        for (size_t at = 0, step = 1; at < data.size(); step = step * 7 % 300007 + 1) {
            const size_t n = std::min(step, data.size() - at);
            if (step % 2) {
                ASSERT_TRUE(compressor.Write(data.data() + at, n));
            } else {
                const std::span<uint8_t> room = compressor.Space();
                ASSERT_FALSE(room.empty());
                const size_t put = std::min(n, room.size());
                std::memcpy(room.data(), data.data() + at, put);
                ASSERT_TRUE(compressor.Commit(put));
                at += put;
                continue;
            }
            at += n;
        }
        ASSERT_TRUE(compressor.Finish());
        EXPECT_EQ(compressor.InputBytes(), data.size());
        EXPECT_EQ(compressor.OutputBytes(), out.str().size());
        EXPECT_EQ(compressor.OutputDigest(), Sha256Of(out.str().data(), out.str().size()));
    }
    const std::string compressed = out.str();
    EXPECT_EQ(compressed, CompressBytes(data, CompressionLevel::Fast));
    CMemoryInput input(reinterpret_cast<const uint8_t*>(compressed.data()), compressed.size());
    CBlockReader reader(input, compressed.size());
    std::string decoded;
    const uint8_t* block = nullptr;
    size_t size = 0;
    while (reader.Next(block, size))
        decoded.append(reinterpret_cast<const char*>(block), size);
    EXPECT_EQ(reader.Error(), BlockError::None);
    EXPECT_TRUE(decoded == data);

    // Filled on the compressing threads from an input whose length is learnt
    // only at its end, as a listing lays it out: the same output, progress
    // that only grows, for a length with a short last batch, one that fills
    // its last batch and none; and when two batches fail, the later one
    // first, the first in input order is the one reported, with no thread
    // left in fill.
    for (const size_t length : {data.size(), size_t{12} << 20, size_t{0}}) {
        std::ostringstream laidOut;
        CBlockCompressor compressor(laidOut, CompressionLevel::Fast);
        uint64_t last = 0;
        bool growing = true;
        ASSERT_TRUE(compressor.CompressInput(
            [&](uint64_t offset, std::span<uint8_t> room) {
                // The later batches wait for their input, as for a listing.
                std::this_thread::sleep_for(std::chrono::microseconds(offset % 3 * 500));
                const size_t n = offset >= length ? 0 : std::min(room.size(), length - static_cast<size_t>(offset));
                std::memcpy(room.data(), data.data() + offset, n);
                return n;
            },
            [&](uint64_t n) { growing = growing && n > last, last = n; }));
        EXPECT_TRUE(laidOut.str() == (length == data.size() ? compressed : CompressBytes(data.substr(0, length), CompressionLevel::Fast))) << length;
        EXPECT_TRUE(growing);
        EXPECT_EQ(last, length);
        EXPECT_EQ(compressor.InputBytes(), length);
        EXPECT_EQ(compressor.OutputDigest(), Sha256Of(laidOut.str().data(), laidOut.str().size()));
    }
    for (int round = 0; round < 10; ++round) {
        std::ostringstream sink;
        CBlockCompressor compressor(sink, CompressionLevel::Fast);
        std::atomic<int> inFill{0};
        std::string what;
        try {
            (void)compressor.CompressInput(
                [&](uint64_t offset, std::span<uint8_t> room) {
                    ++inFill;
                    struct Leave { std::atomic<int>& n; ~Leave() { --n; } } leave{inFill};
                    if (offset == (4u << 20)) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        throw std::runtime_error("batch 4");
                    }
                    if (offset == (7u << 20))
                        throw std::runtime_error("batch 7");
                    return offset >= data.size() ? size_t{0} : std::min(room.size(), data.size() - offset);
                },
                nullptr);
        } catch (const std::runtime_error& e) {
            what = e.what();
        }
        EXPECT_EQ(what, "batch 4");
        EXPECT_EQ(inFill.load(), 0);
    }

    // A stream buffer that takes 3 MiB and then refuses.
    struct CShortBuf : std::streambuf {
        size_t left = 3u << 20;
        std::streamsize xsputn(const char*, std::streamsize n) override
        {
            if (static_cast<size_t>(n) > left)
                return 0;
            left -= static_cast<size_t>(n);
            return n;
        }
        int_type overflow(int_type) override { return traits_type::eof(); }
    } shortBuf;
    std::ostream failing(&shortBuf);
    CBlockCompressor compressor(failing, CompressionLevel::Fast);
    bool accepted = true;
    for (size_t at = 0; at < data.size() && accepted; at += 65536)
        accepted = compressor.Write(data.data() + at, std::min<size_t>(65536, data.size() - at));
    EXPECT_FALSE(accepted && compressor.Finish());
    EXPECT_FALSE(compressor.Finish());
    EXPECT_TRUE(compressor.Space().empty());
}

TEST(PackRoundTrip, WholePackageSelfExtractsToItsItems)
{
    Tree tree;
    const std::string f = tree.folder;
    WriteHost(HostPathOf(f + "stub.exe"), "MZ-stub-image");
    WriteHost(HostPathOf(f + "un.exe"), "uninstaller");
    WriteHost(HostPathOf(f + "la.exe"), "launcher");
    WriteHost(HostPathOf(f + "licence.txt"), "\xE8\xAE\xB8\xE5\x8F\xAF\nline 2\n");  // "许可"
    WriteHost(HostPathOf(f + "setup.ini"), "[SoftInfo]\nproductname=Demo\n");
    fs::create_directories(HostPathOf(f + "dll"));
    WriteHost(HostPathOf(f + "dll") / "sys.dll", "system library");

    BuildOptions options;
    options.output = HostPathOf(f + "setup.exe");
    options.descriptor = HostPathOf(f + "setup.ini");
    options.product = tree.root;
    options.systemDll = HostPathOf(f + "dll");
    options.licence = HostPathOf(f + "licence.txt");
    options.stub = HostPathOf(f + "stub.exe");
    options.uninstaller = HostPathOf(f + "un.exe");
    options.launcher = HostPathOf(f + "la.exe");
    // A build that a review of its inputs calls off keeps nothing: neither
    // once the output is complete nor while the files are being packed.
    for (const bool early : {false, true}) {
        CPackageListing listing(options);
        if (early)
            listing.CallOff("the review found errors");
        try {
            BuildPackage(options, listing, nullptr, [] { return false; });
            ADD_FAILURE() << "a build called off was kept";
        } catch (const CPackFailure& e) {
            EXPECT_NE(std::string(e.what()).find(early ? "the review found errors" : "called off"), std::string::npos)
                << e.what();
        }
        EXPECT_FALSE(fs::exists(options.output));
        EXPECT_FALSE(fs::exists(HostPathOf(f + "setup.exe.partial")));
    }
    uint64_t lastDone = 0, lastTotal = 1;
    BuildSummary summary = BuildPackage(options, [&](uint64_t d, uint64_t t) { lastDone = d, lastTotal = t; });
    EXPECT_EQ(summary.files, tree.files.size() + 1);
    EXPECT_EQ(lastDone, lastTotal);

    // What the self-extraction stage does with the shipped file.
    const std::string copy = f + "copy.exe";
    ASSERT_TRUE(CopyFileTo(f + "setup.exe", copy, false));
    ItemDirectory directory;
    {
        CFile file;
        ASSERT_TRUE(file.Open(copy, CFile::modeReadWrite));
        ASSERT_EQ(ReadItemDirectory(file, directory), DirectoryError::None);
    }
    const std::string temp = f + "temp\\";
    CreateFolder(temp).Ignore();
    CSetupInfo setup;
    ASSERT_EQ(ExtractAllItems(copy, temp, directory, setup, nullptr), ExtractError::None);
    EXPECT_EQ(ReadWholeFile(copy), "MZ-stub-image");
    EXPECT_EQ(ReadWholeFile(temp + "untessaramond.exe"), "uninstaller");
    EXPECT_EQ(ReadWholeFile(temp + "uninstall.exe"), "launcher");
    EXPECT_EQ(ReadWholeFile(temp + "license.txt"), "\xD0\xED\xBF\xC9\r\nline 2\r\n");
    std::string descriptor = ReadWholeFile(temp + "install.tmd");
    ScrambleBytes(descriptor);
    EXPECT_EQ(descriptor, "[SoftInfo]\r\nproductname=Demo\r\n\r\n[SystemDll]\r\nckdll=1\r\n\r\n[InstallInfo]\r\nuninstallentry=1\r\n");
    EXPECT_EQ(setup.m_nDataSize, static_cast<int64_t>(ReadWholeFile(temp + "data.rar").size()));
    // The builder's checksum list names every other item with its digest.
    std::vector<ItemChecksum> checksums;
    ASSERT_TRUE(ParseItemChecksums(ReadWholeFile(temp + kChecksumItemName), checksums));
    ASSERT_EQ(checksums.size(), directory.entries.size() - 1);
    for (const ItemChecksum& item : checksums) {
        const std::string bytes = ReadWholeFile(temp + item.name);
        EXPECT_EQ(DigestHex(item.digest), DigestHex(Sha256Of(bytes.data(), bytes.size()))) << item.name;
    }

    unsigned decoded = 0, unpacked = 0;
    Install(temp, decoded, unpacked);
    ASSERT_EQ(unpacked, 1u);
    for (const auto& [path, bytes] : tree.files)
        EXPECT_EQ(ReadWholeFile(temp + "install\\" + path), bytes) << path;

    // The lister walks the same archives.
    std::ifstream file(HostPathOf(f + "setup.exe"), std::ios::binary);
    std::vector<std::string> names;
    for (const PackageItem& item : ReadPackageItems(file, "setup.exe")) {
        names.push_back(item.name);
        if (item.name == "dll.rar")
            WalkArchiveItem(file, item, [&](const CPackEntry& e) -> ContentSink {
                names.push_back(e.m_strFolder + e.m_strName);
                return nullptr;
            });
    }
    EXPECT_EQ(names, (std::vector<std::string>{"data.rar", "dll.rar", "sys.dll", "install.tmd", "license.txt",
                                               "untessaramond.exe", "uninstall.exe", "checksums.sha256"}));
}

TEST(PackLister, NamesEachDamageOfAnItemAfterTheEntriesBeforeIt)
{
    const std::string first = EntryBytes("", "first.txt", "one");
    const std::string second = EntryBytes("", "second.txt", NoiseBytes(9000, 4));
    const std::string good = CompressBytes(first + second, CompressionLevel::Fast);
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {good.substr(0, good.size() - 1), "a block length is out of range"},
        {good + "\x01", "the file ends inside a block"},
        {good + U16(0) + "ab", "a block does not decode"},
        {CompressBytes(first + second.substr(0, second.size() - 1), CompressionLevel::Fast),
         "the archive ends inside an entry"},
        {CompressBytes(first + U16(300) + std::string(300, 'h'), CompressionLevel::Fast),
         "an entry header is longer than 256 bytes"},
        {CompressBytes(first + U16(6) + std::string(6, '\x01'), CompressionLevel::Fast),
         "an entry header is not well formed"},
        {CompressBytes(first + EntryBytes("..\\", "evil.txt", "x"), CompressionLevel::Fast),
         "an entry would leave the install folder"},
    };
    const std::string folder = NewScratchFolder();
    for (size_t i = 0; i < damaged.size(); ++i) {
        const fs::path path = HostPathOf(folder) / ("item" + std::to_string(i));
        WriteHost(path, damaged[i].first);
        std::ifstream file(path, std::ios::binary);
        const PackageItem item{"data.rar", static_cast<uint32_t>(damaged[i].first.size()), 0};
        std::vector<std::string> names;
        std::string what;
        try {
            WalkArchiveItem(file, item, [&](const CPackEntry& e) -> ContentSink {
                names.push_back(e.m_strName);
                return [](const char*, size_t) {};
            });
        } catch (const CPackFailure& e) {
            what = e.what();
        }
        EXPECT_EQ(what, "data.rar: damaged (" + damaged[i].second + ")") << "case " << i;
        EXPECT_EQ(names.front(), "first.txt") << "case " << i;
    }
}

TEST(PackBuilder, RefusesWhatTheInstallerCouldNotInstall)
{
    Tree tree;
    // Two refused names in folders listed side by side: the first in the
    // archive's order is named, whichever thread met its name first.
    WriteHost(tree.root / U8(u8"bin") / U8(u8"emoji-😀.txt"), "x");
    WriteHost(tree.root / U8(u8"data") / U8(u8"sizes") / U8(u8"other-😀.txt"), "x");
    for (int round = 0; round < 20; ++round) {
        try {
            CollectFiles(tree.root);
            FAIL() << "a name GBK cannot hold was packed";
        } catch (const CPackFailure& e) {
            EXPECT_NE(std::string(e.what()).find("GBK"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("emoji-"), std::string::npos) << e.what();
        }
    }

    BuildOptions options;
    options.output = HostPathOf(tree.folder + "out.exe");
    options.stub = HostPathOf(tree.folder + "missing-stub.exe");
    try {
        BuildPackage(options, nullptr);
        FAIL() << "built without a stub";
    } catch (const CPackFailure& e) {
        EXPECT_NE(std::string(e.what()).find("missing-stub.exe"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(options.output));
}

TEST(PackBuilder, DescriptorGetsGbkCrLfTheSystemLibraryFlagAndTheProgramsEntry)
{
    EXPECT_EQ(PrepareDescriptor("\xEF\xBB\xBF[SoftInfo]\nproductname=\xE6\xBC\x94\xE7\xA4\xBA\n", false, "d"),
              "[SoftInfo]\r\nproductname=\xD1\xDD\xCA\xBE\r\n\r\n[SystemDll]\r\nckdll=0\r\n\r\n[InstallInfo]\r\nuninstallentry=1\r\n");
    EXPECT_EQ(PrepareDescriptor("[SystemDll]\r\nckdll=0\r\n[Desktop]\r\nlinknum=0\r\n", true, "d"),
              "[SystemDll]\r\nckdll=1\r\n[Desktop]\r\nlinknum=0\r\n\r\n[InstallInfo]\r\nuninstallentry=1\r\n");
    EXPECT_EQ(PrepareDescriptor("[SystemDll]\nx=1\n\n[Desktop]\n", true, "d"),
              "[SystemDll]\r\nx=1\r\nckdll=1\r\n\r\n[Desktop]\r\n\r\n[InstallInfo]\r\nuninstallentry=1\r\n");
    // The entry among the installed programs is on unless the author says 0.
    EXPECT_EQ(PrepareDescriptor("[InstallInfo]\nuninstallentry=0\n", false, "d"),
              "[InstallInfo]\r\nuninstallentry=0\r\n\r\n[SystemDll]\r\nckdll=0\r\n");
    // The section the installer reads, whatever the author wrote around it:
    // a note after the header, and a look-alike with blanks inside the brackets.
    EXPECT_EQ(PrepareDescriptor("[SystemDll]//note\nckdll=0\n[ SystemDll ]\nckdll=0\n", true, "d"),
              "[SystemDll]//note\r\nckdll=1\r\n[ SystemDll ]\r\nckdll=0\r\n\r\n[InstallInfo]\r\nuninstallentry=1\r\n");
    try {
        PrepareDescriptor("[SoftInfo]\nproductname=\xF0\x9F\x98\x80\n", false, "setup.ini");
        FAIL() << "a descriptor GBK cannot hold was accepted";
    } catch (const CPackFailure& e) {
        EXPECT_NE(std::string(e.what()).find("setup.ini:2"), std::string::npos) << e.what();
    }
    EXPECT_EQ(DescriptorToUtf8("[a]\r\nk=\xD1\xDD\xCA\xBE\r\n"), "[a]\nk=\xE6\xBC\x94\xE7\xA4\xBA\n");
}

TEST(PackBuilder, FilesThatChangeSizeAfterListingStopTheBuild)
{
    // Sizes on both sides of the read buffer of 1 MiB: the check for growth
    // rides on the last read.
    // And one that ends right at the end of the first 1 MiB of the archive,
    // where no room is left for the byte more: a read of its own looks.
    const size_t lead = [] {
        const fs::path root = HostPathOf(NewScratchFolder()) / "product";
        WriteHost(root / "a.bin", "");
        return static_cast<size_t>(ArchiveLength(CollectFiles(root)));
    }();
    for (size_t size : {size_t{0}, size_t{100}, size_t{1} << 20, (size_t{1} << 20) + 5, (size_t{1} << 20) - lead}) {
        const fs::path root = HostPathOf(NewScratchFolder()) / "product";
        WriteHost(root / "a.bin", std::string(size, 'a'));
        WriteHost(root / "b.bin", "b");  // after a.bin, whose end is then inside what is read
        const std::vector<ArchiveFile> files = CollectFiles(root);
        std::string archive;
        auto sink = [&](const void* d, size_t n) { archive.append(static_cast<const char*>(d), n); };

        WriteArchive(files, sink);
        EXPECT_EQ(archive.size(), ArchiveLength(files)) << size;

        WriteHost(root / "a.bin", std::string(size + 1, 'a'));
        try {
            WriteArchive(files, sink);
            ADD_FAILURE() << "a grown file of " << size << " bytes was packed";
        } catch (const CPackFailure& e) {
            EXPECT_NE(std::string(e.what()).find("grew while packing"), std::string::npos) << e.what();
        }
        if (size == 0)
            continue;
        WriteHost(root / "a.bin", std::string(size - 1, 'a'));
        try {
            WriteArchive(files, sink);
            ADD_FAILURE() << "a shrunk file of " << size << " bytes was packed";
        } catch (const CPackFailure& e) {
            EXPECT_NE(std::string(e.what()).find("changed or could not be read"), std::string::npos) << e.what();
        }
    }
}
