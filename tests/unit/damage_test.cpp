// Damaged inputs cut at many lengths (every one near a boundary) and with
// random byte flips: the workers end with exactly one final message, report
// a cut file as damaged unless it ends on a block or entry boundary, and
// never list a file they did not write completely. Under ASan this also
// checks that no buffer is overrun.
#include "archive_bytes.h"
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/core/archive_worker.h"
#include "installer/core/decompress_worker.h"
#include "installer/setup/setup_info.h"
#include "support.h"
#include "format/block_compressor.h"

#include <gtest/gtest.h>

#include <set>

namespace {
struct WorkerEnd {
    unsigned result;
    PostedMessage last;
    size_t finals;  // error and done messages
};

WorkerEnd Count(unsigned result, const std::vector<PostedMessage>& messages)
{
    WorkerEnd o{result, {}, 0};
    for (const auto& m : messages)
        if (m.wParam != kProgressPosition) {
            o.last = m;
            ++o.finals;
        }
    return o;
}

WorkerEnd Decompress(const std::string& folder, const std::string& source)
{
    CMessageSink sink;
    CDecompressTask task;
    task.m_hNotifyWnd = sink.Target();
    task.m_strSource = folder + "in.rar";
    task.m_strDest = folder + "out.h66";
    WriteWholeFile(task.m_strSource, source);
    unsigned result = DecompressThreadProc(&task);
    return Count(result, sink.Drain());
}

WorkerEnd Unpack(const std::string& folder, const std::string& archive)
{
    CMessageSink sink;
    CArchiveTask task;
    task.m_hNotifyWnd = sink.Target();
    task.m_strArchive = folder + "in.h66";
    task.m_nExpectedLength = static_cast<uint32_t>(archive.size());
    WriteWholeFile(task.m_strArchive, archive);
    theSetupInfo = CSetupInfo();
    theSetupInfo.m_strInstallDir = folder + "install\\";
    CreateFolder(theSetupInfo.m_strInstallDir).Ignore();
    unsigned result = ArchiveThreadProc(&task);
    return Count(result, sink.Drain());
}
}  // namespace

TEST(DamagedInput, BlockFileCutAtManyLengths)
{
    const std::string folder = NewScratchFolder();
    std::string source;
    for (unsigned i = 0; i < 3; ++i)
        source += CompressBytes(NoiseBytes(1000 + i * 1500, i) + std::string(500, 'r'), CompressionLevel::Fast);
    std::set<size_t> boundaries;
    for (size_t pos = 0; pos < source.size();) {
        pos += 2 + LoadLe16(source.data() + pos);
        boundaries.insert(pos);
    }
    ASSERT_EQ(boundaries.size(), 4u);
    auto nearBoundary = [&](size_t cut) {
        for (size_t b : boundaries)
            if (cut + 3 >= b && cut <= b + 3)
                return true;
        return false;
    };
    for (size_t cut = 1; cut <= source.size(); ++cut) {
        if (cut > 8 && cut % 7 != 0 && !nearBoundary(cut))
            continue;
        WorkerEnd o = Decompress(folder, source.substr(0, cut));
        ASSERT_EQ(o.finals, 1u) << cut;
        if (boundaries.count(cut)) {
            EXPECT_EQ(o.last.wParam, kProgressDone) << cut;
        } else {
            EXPECT_EQ(o.last.lParam, kCompressDamaged) << cut;
            EXPECT_FALSE(CFile().Open(folder + "out.h66", CFile::modeRead)) << cut;
        }
    }
}

TEST(DamagedInput, ArchiveCutAtManyLengths)
{
    const std::string folder = NewScratchFolder();
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"a.txt", "alpha"}, {"b.bin", NoiseBytes(5000, 4)}, {"c.txt", ""}, {"d.txt", "delta"}};
    std::string archive;
    std::vector<size_t> ends;
    for (const auto& [name, content] : entries) {
        archive += EntryBytes("sub\\", name, content);
        ends.push_back(archive.size());
    }
    for (size_t cut = 1; cut <= archive.size(); cut += (cut > 100 && cut < 5000 ? 97 : 1)) {
        WorkerEnd o = Unpack(folder, archive.substr(0, cut));
        ASSERT_EQ(o.finals, 1u) << cut;
        size_t complete = 0;
        while (complete < ends.size() && ends[complete] <= cut)
            ++complete;
        const bool onBoundary = complete > 0 && ends[complete - 1] == cut;
        EXPECT_EQ(o.last.wParam, onBoundary ? kProgressDone : kProgressError) << cut;
        if (!onBoundary) {
            EXPECT_EQ(o.last.lParam, kPackDamaged) << cut;
        }
        ASSERT_EQ(theSetupInfo.m_arrInstalledFiles.size(), complete) << cut;
    }
}

TEST(DamagedInput, RandomByteFlipsEndWithOneFinalMessage)
{
    const std::string folder = NewScratchFolder();
    std::string archive;
    for (int i = 0; i < 6; ++i)
        archive += EntryBytes(i % 2 ? "x\\y\\" : "", Format("f%d.txt", i), std::string(700 * i, 'a' + i));
    const std::string source = CompressBytes(archive, CompressionLevel::Best);
    uint32_t x = 12345;
    for (int round = 0; round < 150; ++round) {
        std::string badSource = source, badArchive = archive;
        for (int k = 0; k < 1 + round % 3; ++k) {
            x = x * 1103515245u + 12345u;
            badSource[(x >> 8) % badSource.size()] ^= static_cast<char>(1 + (x & 0x7F));
            badArchive[(x >> 12) % badArchive.size()] ^= static_cast<char>(1 + (x & 0x7F));
        }
        EXPECT_EQ(Decompress(folder, badSource).finals, 1u) << round;
        EXPECT_EQ(Unpack(folder, badArchive).finals, 1u) << round;
    }
}
