// A whole shipped installer, cut short, cut inside one region, and with bits
// flipped, taken through every stage the three runs take it: the marker, the
// self-extraction, the descriptor, the decoding and the unpacking. Every
// damage ends in an error, or in an installation that is exactly the
// product's; the image the working copy starts from is never cut into.
#include "common/scramble.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/core/item_extract.h"
#include "installer/core/split_worker.h"
#include "installer/core/startup.h"
#include "installer/setup/setup_info.h"
#include "format/block_compressor.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {
enum class Stage { SetupError, ExtractError, NoDescriptor, InstallError, Installed };

struct Product {
    std::string image;
    std::vector<TestItem> items;  // item 1 first
    std::map<std::string, std::string> files;
    std::string shipped;
    // Offsets where the regions start: contents, directory, count, marker.
    size_t contents, directory, count, marker;
    // Where the scrambled item names lie: a changed name is as unguarded
    // as a changed content byte.
    std::vector<std::pair<size_t, size_t>> names;
};

void PutU32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The smallest program header: one section from 0x100 to the end of the
// image. With an optional header (PE32, 16 directories) the section starts
// at 0x180 and the security directory entry lies at kSecurityEntry.
constexpr size_t kSecurityEntry = 0x58 + 96 + 4 * 8;
std::string ProgramImage(size_t size, bool optionalHeader = false)
{
    const size_t table = optionalHeader ? 0x58 + 0xE0 : 0x58;
    const size_t section = optionalHeader ? 0x180 : 0x100;
    std::string image = std::string("MZ") + std::string(section - 2, '\0') + NoiseBytes(size - section, 7);
    PutU32(image, 0x3C, 0x40);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    image[0x46] = 1;                    // one section
    if (optionalHeader) {
        image[0x54] = static_cast<char>(0xE0);  // optional header size
        image[0x58] = 0x0B;                      // PE32
        image[0x59] = 0x01;
        PutU32(image, 0x58 + 60, static_cast<uint32_t>(section));  // SizeOfHeaders
        PutU32(image, 0x58 + 92, 16);                              // directories
    }
    PutU32(image, table + 16, static_cast<uint32_t>(size - section));  // its size
    PutU32(image, table + 20, static_cast<uint32_t>(section));         // and where it lies
    return image;
}

// What a signing tool makes of a file: zeros up to an 8-byte boundary, a
// certificate table there, and the header's security directory naming it.
std::string SignedBytes(const std::string& unsigned_, size_t tableLength = 24)
{
    std::string out = unsigned_;
    out.resize((out.size() + 7) / 8 * 8, '\0');
    std::string table = NoiseBytes(tableLength, 5);
    PutU32(table, 0, static_cast<uint32_t>(tableLength));
    PutU32(table, 4, 0x00020200);  // revision 2, PKCS#7 signed data
    PutU32(out, kSecurityEntry, static_cast<uint32_t>(out.size()));
    PutU32(out, kSecurityEntry + 4, static_cast<uint32_t>(tableLength));
    return out + table;
}

// licence: the licence item's text; its length moves the end of the package
// against an 8-byte boundary.
Product MakeProduct(const std::string& licence = "licence text")
{
    Product p;
    p.image = ProgramImage(0x200, true);
    p.files = {{"bin\\app.exe", NoiseBytes(700, 8)}, {"doc\\readme.txt", std::string(900, 'r')}, {"top.txt", "t"}};
    std::string archive;
    for (const auto& [path, content] : p.files) {
        const size_t cut = path.rfind('\\');
        archive += cut == std::string::npos ? EntryBytes("", path, content)
                                            : EntryBytes(path.substr(0, cut + 1), path.substr(cut + 1), content);
    }
    std::string descriptor = "[SoftInfo]\r\nproductname=Demo\r\n\r\n[InstallInfo]\r\nexefile=bin\\app.exe\r\n";
    ScrambleBytes(descriptor);
    // With the builder's checksum list as item 1.
    p.items = WithChecksums({{"data.rar", CompressBytes(archive, CompressionLevel::Fast)},
                             {"install.tmd", descriptor},
                             {"license.txt", licence},
                             {"untessaramond.exe", "MZ-uninstaller"},
                             {"uninstall.exe", "MZ-launcher"}});
    p.shipped = PackageBytes(p.image, p.items);
    p.contents = p.image.size();
    p.directory = p.contents;
    for (const TestItem& item : p.items)
        p.directory += item.content.size();
    size_t record = p.directory;
    for (size_t i = p.items.size(); i-- > 0;) {
        p.names.emplace_back(record + 6, record + 6 + p.items[i].name.size());
        const size_t folder = p.items[i].name == kChecksumItemName ? std::strlen(kChecksumItemTag) : 8;
        record += 4 + 2 + p.items[i].name.size() + 1 + 2 + folder + 1 + 2;
    }
    p.count = p.shipped.size() - 4;
    p.marker = p.shipped.size() - 2;
    return p;
}

struct PipelineRun {
    Stage outcome = Stage::SetupError;
    bool intact = false;       // every file and item exactly the product's
    bool imageWhole = true;    // the working copy is the whole image + 2008
    intptr_t error = -1;       // the code of the last worker's error message
    bool leftBehind = false;   // after a checksum error: a working copy or an item stayed
    size_t finals = 0;         // final messages of the last worker that ran
};

size_t Finals(const std::vector<PostedMessage>& messages)
{
    size_t n = 0;
    for (const PostedMessage& m : messages)
        n += m.wParam != kProgressPosition;
    return n;
}

// The three runs of the installer over the shipped bytes, workers on this thread.
PipelineRun Install(const Product& p, const std::string& folder, const std::string& shipped)
{
    PipelineRun run;
    const std::string source = folder + "DemoSetup.exe";
    const std::string temp = folder + "Tessaramond\\";
    const std::string inst = folder + "inst\\";
    DeleteFolderTree(folder + "Tessaramond").Ignore();
    DeleteFolderTree(folder + "inst").Ignore();
    WriteWholeFile(source, shipped);
    if (ChooseRole(InstallerCommandLine(), source) != InstallerRole::Packaged)
        return run;

    theSetupInfo = CSetupInfo();
    CMessageSink sink;
    CSplitTask split;
    split.m_hNotifyWnd = sink.Target();
    split.m_strSourceInstaller = source;
    split.m_strTargetFolder = temp;
    const unsigned extracted = SplitThreadProc(&split);
    const std::vector<PostedMessage> posted = sink.Drain();
    run.finals = Finals(posted);
    run.outcome = Stage::ExtractError;
    for (const PostedMessage& m : posted)
        if (m.wParam == kProgressError)
            run.error = m.lParam;
    if (run.error == kCompressChecksum) {
        run.leftBehind = FileExists(temp + "setup.exe");
        for (const TestItem& item : p.items)
            run.leftBehind = run.leftBehind || FileExists(temp + item.name);
    }
    if (extracted == 0)
        return run;
    run.imageWhole = ReadWholeFile(temp + "setup.exe") == p.image + U16(kMarkerExtracted);

    theSetupInfo = CSetupInfo();
    run.outcome = Stage::NoDescriptor;
    if (!theSetupInfo.LoadDescriptorFrom(temp + "install.tmd"))
        return run;
    run.outcome = Stage::InstallError;
    CDecompressTask decode;
    decode.m_hNotifyWnd = sink.Target();
    decode.m_strSource = temp + "data.rar";
    decode.m_strDest = folder + "data.h66";
    const unsigned decoded = DecompressThreadProc(&decode);
    run.finals = Finals(sink.Drain());
    if (decoded == 0)
        return run;
    theSetupInfo.m_strInstallDir = inst;
    CreateFolder(inst).Ignore();
    CArchiveTask unpack;
    unpack.m_hNotifyWnd = sink.Target();
    unpack.m_strArchive = decode.m_strDest;
    unpack.m_nExpectedLength = GetFileLength(decode.m_strDest);
    const unsigned unpacked = ArchiveThreadProc(&unpack);
    run.finals = Finals(sink.Drain());
    if (unpacked == 0)
        return run;

    run.outcome = Stage::Installed;
    run.intact = theSetupInfo.m_arrInstalledFiles.size() == p.files.size() && theSetupInfo.m_strProductName == "Demo";
    for (const auto& [path, content] : p.files)
        run.intact = run.intact && ReadWholeFile(inst + path) == content;
    for (const TestItem& item : p.items) {
        if (item.name != "install.tmd")  // updated by the packaged run
            run.intact = run.intact && ReadWholeFile(temp + item.name) == item.content;
    }
    return run;
}

// Offsets worth damaging: every region boundary and its neighbours, every
// byte of the trailer, and a stride through the rest.
std::vector<size_t> Offsets(const Product& p, size_t stride)
{
    std::vector<size_t> boundaries = {0, p.contents, p.directory, p.count, p.marker};
    size_t at = p.contents;
    for (size_t i = p.items.size(); i-- > 0;) {  // item N's content comes first
        boundaries.push_back(at);
        at += p.items[i].content.size();
    }
    std::vector<size_t> out;
    for (size_t offset = 0; offset < p.shipped.size(); ++offset) {
        bool take = offset >= p.directory || offset % stride == 0;
        for (size_t b : boundaries)
            take = take || (offset + 2 >= b && offset <= b + 2);
        if (take)
            out.push_back(offset);
    }
    return out;
}
}  // namespace

TEST(DamagedInstaller, ProgramImageEndComesFromItsSectionTable)
{
    const std::string image = ProgramImage(0x180);
    auto end = [](const std::string& bytes, size_t size = std::string::npos) {
        bool exact = false;
        const uint64_t at = ProgramImageEnd(reinterpret_cast<const uint8_t*>(bytes.data()), std::min(size, bytes.size()), exact);
        return at != 0 && !exact ? ~at : at;  // an inexact end reads inverted
    };
    EXPECT_EQ(end(image), 0x180u);
    EXPECT_EQ(end(image, 0x60), 0u);  // section table cut off
    std::string other = image;
    other[0x41] = 'X';
    EXPECT_EQ(end(other), 0u);
    other = image;
    PutU32(other, 0x3C, 0xFFFFFFF0u);
    EXPECT_EQ(end(other), 0u);
    other = image;
    PutU32(other, 0x4C, 1);  // a symbol table follows the sections
    EXPECT_EQ(end(other), ~uint64_t{0x180});
    EXPECT_EQ(end("MZ-installer-image"), 0u);
}

TEST(DamagedInstaller, CertificateTableCountsOnlyAtTheEndOfTheFile)
{
    const std::string image = ProgramImage(0x200, true);
    auto state = [](const std::string& bytes, size_t size = std::string::npos) {
        CertificateTable table;
        return FindCertificateTable(reinterpret_cast<const uint8_t*>(bytes.data()), std::min(size, bytes.size()),
                                    bytes.size(), table);
    };
    const std::string signed_ = SignedBytes(image + "\xBA\x07");
    EXPECT_EQ(state(image), SignatureState::Unsigned);
    EXPECT_EQ(state(signed_), SignatureState::Signed);
    EXPECT_EQ(state(signed_ + "x"), SignatureState::Misplaced);  // bytes behind the table
    EXPECT_EQ(state(signed_.substr(0, signed_.size() - 1)), SignatureState::Misplaced);
    std::string lying = signed_;
    PutU32(lying, kSecurityEntry, 0xFFFFFFF0u);  // outside the file
    EXPECT_EQ(state(lying), SignatureState::Misplaced);
    lying = signed_;
    PutU32(lying, kSecurityEntry, static_cast<uint32_t>(signed_.size() - 4));  // too short for a certificate
    PutU32(lying, kSecurityEntry + 4, 4);
    EXPECT_EQ(state(lying), SignatureState::Misplaced);
    lying = signed_;
    PutU32(lying, kSecurityEntry, 0x20);  // over the program header itself
    PutU32(lying, kSecurityEntry + 4, static_cast<uint32_t>(signed_.size() - 0x20));
    EXPECT_EQ(state(lying), SignatureState::Misplaced);
    lying = signed_;
    PutU32(lying, 0x58 + 92, 4);  // no security directory among four
    EXPECT_EQ(state(lying), SignatureState::Unsigned);
    EXPECT_EQ(state(signed_, 0x100), SignatureState::Unsigned);  // optional header not in the bytes given
    // PE32+: the directories lie 16 bytes further on.
    std::string wide = signed_;
    wide[0x54] = static_cast<char>(0xF0);
    wide[0x58] = 0x0B;
    wide[0x59] = 0x02;
    PutU32(wide, 0x58 + 108, 16);
    PutU32(wide, kSecurityEntry + 16, static_cast<uint32_t>(signed_.size() - 24));
    PutU32(wide, kSecurityEntry + 20, 24);
    EXPECT_EQ(state(wide), SignatureState::Signed);
    PutU32(wide, kSecurityEntry + 20, 23);
    EXPECT_EQ(state(wide), SignatureState::Misplaced);

    // The padding in front of an aligned table: zeros back to the marker.
    const uint8_t padded[7] = {0xBA, 0x07, 0, 0, 0, 0, 0};
    EXPECT_EQ(PackageEndBeforeTable(64, padded, 7), 59u);
    EXPECT_EQ(PackageEndBeforeTable(64, padded, 2), 64u);
    EXPECT_EQ(PackageEndBeforeTable(65, padded, 7), 65u);  // unaligned: no padding
    const uint8_t zeros[7] = {};
    EXPECT_EQ(PackageEndBeforeTable(64, zeros, 7), 57u);  // never more than 7
}

TEST(DamagedInstaller, SignedInstallerInstallsAndItsWorkingCopyCarriesNoSignature)
{
    const std::string folder = NewScratchFolder();
    // Every distance of the package's end to the table's boundary.
    for (size_t extra = 0; extra < 8; ++extra) {
        const Product p = MakeProduct("licence text" + std::string(extra, '!'));
        const std::string shipped = SignedBytes(p.shipped);
        const PipelineRun run = Install(p, folder, shipped);
        EXPECT_EQ(run.outcome, Stage::Installed) << extra;
        EXPECT_TRUE(run.intact) << extra;
        EXPECT_TRUE(run.imageWhole) << extra;  // the image + 2008, security directory empty
    }
    const Product p = MakeProduct();
    const std::string shipped = SignedBytes(p.shipped);
    // A table that does not end the file, or a header that lies about it,
    // is refused before anything is extracted.
    EXPECT_EQ(Install(p, folder, shipped + "\xBA\x07").outcome, Stage::SetupError);
    for (size_t cut = 1; cut <= 40; ++cut)
        EXPECT_EQ(Install(p, folder, shipped.substr(0, shipped.size() - cut)).outcome, Stage::SetupError) << cut;
    // Damage inside the signed range is the checksums' to find: nothing is
    // installed and nothing of the package stays behind.
    for (size_t at : {p.contents, p.contents + 100, p.directory - 1}) {
        std::string damaged = shipped;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
        const PipelineRun run = Install(p, folder, damaged);
        EXPECT_EQ(run.outcome, Stage::ExtractError) << at;
        EXPECT_EQ(run.error, kCompressChecksum) << at;
        EXPECT_FALSE(run.leftBehind) << at;
        EXPECT_FALSE(FileExists(folder + "inst")) << at;
    }
    for (size_t at = kSecurityEntry; at < kSecurityEntry + 8; ++at) {
        std::string lying = shipped;
        lying[at] = static_cast<char>(lying[at] ^ 0x01);
        const PipelineRun run = Install(p, folder, lying);
        EXPECT_NE(run.outcome, Stage::Installed) << at;
    }
}

TEST(DamagedInstaller, CutShortAtAnyOffsetEndsInTheSetupErrorOrAnError)
{
    const Product p = MakeProduct();
    const std::string folder = NewScratchFolder();
    ASSERT_EQ(Install(p, folder, p.shipped).outcome, Stage::Installed);
    ASSERT_TRUE(Install(p, folder, p.shipped).intact);
    for (size_t length : Offsets(p, 13)) {
        const PipelineRun run = Install(p, folder, p.shipped.substr(0, length));
        EXPECT_NE(run.outcome, Stage::Installed) << length;
        EXPECT_LE(run.finals, 1u) << length;
    }
}

TEST(DamagedInstaller, RegionShortenedBehindAnIntactTrailer)
{
    // A byte missing inside a region, the count and marker still in place:
    // the directory no longer fits the file.
    const Product p = MakeProduct();
    const std::string folder = NewScratchFolder();
    for (size_t offset : Offsets(p, 13)) {
        if (offset >= p.count)
            continue;
        std::string shortened = p.shipped;
        shortened.erase(offset, 1);
        const PipelineRun run = Install(p, folder, shortened);
        EXPECT_TRUE(run.imageWhole || offset < p.contents) << offset;
        EXPECT_LE(run.finals, 1u) << offset;
        if (run.outcome == Stage::Installed) {
            // Only a byte of the image can go unnoticed by the package: the
            // product itself is then whole.
            EXPECT_LT(offset, p.contents) << offset;
            EXPECT_TRUE(run.intact) << offset;
        }
    }
}

TEST(DamagedInstaller, FlippedBitsInEveryRegion)
{
    const Product p = MakeProduct();
    const std::string folder = NewScratchFolder();
    size_t altered = 0, runs = 0;
    auto inName = [&p](size_t offset) {
        for (const auto& [from, to] : p.names)
            if (offset >= from && offset < to)
                return true;
        return false;
    };
    for (size_t offset : Offsets(p, 11)) {
        for (int bit : {0, 7}) {
            if (offset < p.directory && bit == 7)
                continue;
            std::string flipped = p.shipped;
            flipped[offset] = static_cast<char>(flipped[offset] ^ (1 << bit));
            const PipelineRun run = Install(p, folder, flipped);
            ++runs;
            EXPECT_TRUE(run.imageWhole || offset < p.contents) << offset << " bit " << bit;
            EXPECT_LE(run.finals, 1u) << offset;
            EXPECT_FALSE(run.leftBehind) << offset << " bit " << bit;
            // The checksums guard every item's content and name: a flip
            // there is found while the items are moved, before any wizard.
            if ((offset >= p.contents && offset < p.directory) || inName(offset)) {
                EXPECT_EQ(run.outcome, Stage::ExtractError) << offset << " bit " << bit;
            }
            if (run.outcome != Stage::Installed || run.intact)
                continue;
            // Nowhere may it change what is installed.
            ++altered;
            ADD_FAILURE() << "altered installation after a flip at " << offset << " bit " << bit;
        }
    }
    RecordProperty("runs", static_cast<int>(runs));
    RecordProperty("altered", static_cast<int>(altered));
}
