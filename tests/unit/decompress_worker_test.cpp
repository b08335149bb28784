#include "framework/fault.h"
#include "framework/file.h"
#include "format/block_decoder.h"
#include "installer/core/decompress_worker.h"
#include "format/block_compressor.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {
PostedMessage Progress(intptr_t percent) { return {WM_DECOMPRESS_PROGRESS, kProgressPosition, percent}; }
PostedMessage Done() { return {WM_DECOMPRESS_PROGRESS, kProgressDone, 0}; }
PostedMessage Error(intptr_t code) { return {WM_DECOMPRESS_PROGRESS, kProgressError, code}; }

std::string Block(const std::string& data)
{
    std::string piece = CompressPiece(reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                                      CompressionLevel::Fast);
    return U16(static_cast<unsigned>(piece.size())) + piece;
}

// Runs the worker on the test's thread over a source file with the given bytes.
struct Decoding {
    std::string folder = NewScratchFolder();
    CMessageSink sink;
    CDecompressTask task;
    unsigned result = 0;

    Decoding()
    {
        task.m_hNotifyWnd = sink.Target();
        task.m_strSource = folder + "data.rar";
        task.m_strDest = folder + "data.h66";
    }
    std::vector<PostedMessage> Decode(const std::string& source)
    {
        WriteWholeFile(task.m_strSource, source);
        result = DecompressThreadProc(&task);
        return sink.Drain();
    }
    bool DestExists() const { return static_cast<bool>(CFile().Open(task.m_strDest, CFile::modeRead)); }
};
}  // namespace

TEST(DecompressWorker, OneBlockCoveringTheFilePostsHundredOnce)
{
    Decoding run;
    const std::string data = NoiseBytes(3000, 5);
    EXPECT_EQ(run.Decode(Block(data)), (std::vector<PostedMessage>{Progress(100), Done()}));
    EXPECT_EQ(run.result, 1u);
    EXPECT_EQ(ReadWholeFile(run.task.m_strDest), data);
}

TEST(DecompressWorker, TenEqualBlocksPostTensUpToHundred)
{
    Decoding run;
    std::string source;
    for (int i = 0; i < 10; ++i)
        source += Block(std::string(4096, 'k'));
    std::vector<PostedMessage> expected;
    for (int p = 10; p <= 100; p += 10)
        expected.push_back(Progress(p));
    expected.push_back(Done());
    EXPECT_EQ(run.Decode(source), expected);
    EXPECT_EQ(ReadWholeFile(run.task.m_strDest), std::string(40960, 'k'));
}

TEST(DecompressWorker, LargeSourceRisesStrictlyToHundredAndDecodesExactly)
{
    Decoding run;
    std::string data;
    for (unsigned i = 0; i < 300; ++i)
        data += i % 3 ? std::string(1000 + i * 13, static_cast<char>('a' + i % 26)) : NoiseBytes(777 + i, i);
    auto messages = run.Decode(CompressBytes(data, CompressionLevel::Best));
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages.back(), Done());
    messages.pop_back();
    EXPECT_LE(messages.size(), 100u);
    EXPECT_EQ(messages.back(), Progress(100));
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_GT(messages[i].lParam, messages[i - 1].lParam);
    EXPECT_EQ(ReadWholeFile(run.task.m_strDest), data);
}

TEST(DecompressWorker, MissingEmptyOrUnwritableFilesPostTheirCodes)
{
    Decoding missing;
    missing.task.m_strSource = missing.folder + "absent.rar";
    EXPECT_EQ(DecompressThreadProc(&missing.task), 0u);
    EXPECT_EQ(missing.sink.Drain(), std::vector<PostedMessage>{Error(kCompressOpenSource)});
    EXPECT_FALSE(missing.DestExists());

    Decoding empty;
    EXPECT_EQ(empty.Decode(""), std::vector<PostedMessage>{Error(kCompressEmptySource)});
    EXPECT_FALSE(empty.DestExists());

    Decoding unwritable;
    unwritable.task.m_strDest = unwritable.folder + "no-such-folder\\data.h66";
    EXPECT_EQ(unwritable.Decode(Block("abc")), std::vector<PostedMessage>{Error(kCompressCreateDest)});
    EXPECT_EQ(unwritable.result, 0u);

    // The disk fills after 40 of 64 blocks: no progress beyond what was
    // written, then the error, and the half-written archive is gone.
    Decoding full;
    std::string source;
    for (int i = 0; i < 64; ++i)
        source += Block(std::string(4096, 'f'));
    ASSERT_TRUE(WriteWholeFile(full.task.m_strSource, source));
    {
        CFaultPlan plan;
        plan.DiskFullAfter(40 * 4096);
        EXPECT_EQ(DecompressThreadProc(&full.task), 0u);
    }
    const std::vector<PostedMessage> posted = full.sink.Drain();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), Error(kCompressWriteDest));
    for (size_t i = 0; i + 1 < posted.size(); ++i)
        EXPECT_LE(posted[i].lParam, 40 * 100 / 64) << i;
    EXPECT_FALSE(full.DestExists());
}

TEST(DecompressWorker, DamagedSourcesReportAnErrorAndLeaveNoDestination)
{
    const std::string good = Block(NoiseBytes(4096, 1)) + Block(std::string(4096, 'b'));
    const std::string tooLong = U16(5133) + std::string(5133, '\0');
    const std::string second = Block(std::string(100, 'c'));
    // With the reason the block reader gives, which the builder names.
    const std::vector<std::pair<std::string, BlockError>> damaged = {
        {good.substr(0, good.size() - 1), BlockError::BadLength},      // ends inside the last block
        {good + "\x01", BlockError::Truncated},                         // one byte of a length field
        {good + U16(10) + "abc", BlockError::BadLength},                 // length beyond the end of the file
        {tooLong, BlockError::BadLength},                                // longer than the input buffer
        {U16(0) + second, BlockError::Undecodable},                      // empty block
        {Block(std::string(4096, 'b')).substr(0, 2) + NoiseBytes(60, 9), BlockError::Undecodable},  // not LZO data
        {U16(static_cast<unsigned>(second.size() - 1)) + second.substr(2) + "Z",
         BlockError::Undecodable},  // bytes after the end marker
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        Decoding run;
        EXPECT_EQ(run.Decode(damaged[i].first).back(), Error(kCompressDamaged)) << "case " << i;
        EXPECT_EQ(run.result, 0u);
        EXPECT_FALSE(run.DestExists()) << "case " << i;

        const std::string& bytes = damaged[i].first;
        CMemoryInput input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        CBlockReader reader(input, bytes.size());
        const uint8_t* data = nullptr;
        size_t size = 0;
        std::string decoded;
        while (reader.Next(data, size))
            decoded.append(reinterpret_cast<const char*>(data), size);
        EXPECT_EQ(reader.Error(), damaged[i].second) << "case " << i;
        EXPECT_FALSE(reader.Next(data, size)) << "case " << i;
        // Blocks before the damage come out whole.
        if (bytes.compare(0, good.size(), good) == 0 && bytes.size() > good.size()) {
            EXPECT_EQ(decoded, NoiseBytes(4096, 1) + std::string(4096, 'b')) << "case " << i;
        }
    }
    EXPECT_EQ(GetCompressErrorText(kCompressDamaged), "解压时，压缩文件已损坏！");
    EXPECT_EQ(GetCompressErrorText(kCompressOpenSource), "解压时，打开压缩文件错误！");
    EXPECT_EQ(GetCompressErrorText(kCompressChecksum), "解压时，安装文件已损坏，请重新下载！");
    EXPECT_EQ(GetCompressErrorText(10), "");
}

// The decoding ahead on several threads must not change what comes out: the
// same blocks, positions and error at the same block, wherever the damage
// falls against the batches (32 blocks) and the ring, with one to three
// threads; and a reader dropped half-way stops cleanly.
TEST(DecompressWorker, TheParallelReaderGivesWhatOneReaderGives)
{
    struct Step {
        std::string bytes;
        uint64_t consumed;
        bool operator==(const Step&) const = default;
    };
    struct Outcome {
        std::vector<Step> steps;
        BlockError error;
        uint64_t consumed;
        bool operator==(const Outcome&) const = default;
    };
    auto run = [](CBlockReader& reader) {
        Outcome out{{}, BlockError::None, 0};
        const uint8_t* data = nullptr;
        size_t size = 0;
        while (reader.Next(data, size))
            out.steps.push_back({std::string(reinterpret_cast<const char*>(data), size), reader.Consumed()});
        out.error = reader.Error();
        out.consumed = reader.Consumed();
        EXPECT_FALSE(reader.Next(data, size));
        return out;
    };
    // A run's blocks, taken apart: each must lie where the one before ended.
    auto runParallel = [](CParallelBlockReader& reader) {
        Outcome out{{}, BlockError::None, 0};
        const uint8_t* data = nullptr;
        size_t size = 0;
        std::span<const CParallelBlockReader::Block> blocks;
        uint64_t consumed = 0;
        while (reader.NextRun(data, size, blocks)) {
            EXPECT_FALSE(blocks.empty());
            size_t at = 0;
            for (const CParallelBlockReader::Block& block : blocks) {
                EXPECT_EQ(block.outOffset, at);
                consumed += block.inLength + 2;
                out.steps.push_back({std::string(reinterpret_cast<const char*>(data) + at, block.outLength), consumed});
                at += block.outLength;
            }
            EXPECT_EQ(at, size);
            EXPECT_EQ(reader.Consumed(), consumed);
        }
        out.error = reader.Error();
        out.consumed = reader.Consumed();
        EXPECT_FALSE(reader.NextRun(data, size, blocks));
        return out;
    };
    // Blocks of every decoded size, a short one too.
    std::vector<std::string> blocks;
    for (int i = 0; i < 200; ++i)
        blocks.push_back(Block(i % 3 == 0 ? NoiseBytes(4096, i) : std::string(1 + (i * 37) % 4096, char('a' + i % 26))));
    struct Damage {
        const char* what;
        std::string bytes;
        bool atTheEnd;  // else the rest of the blocks follow it
    };
    const std::vector<Damage> damages = {
        {"empty block", U16(0) + "xyz", false},
        {"not LZO", U16(40) + NoiseBytes(40, 3), false},
        {"too long", U16(5133) + std::string(5133, '\0'), false},
        {"cut in a length", "\x01", true},
        {"beyond the end", U16(90) + "abc", true},
    };
    for (size_t at : {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{33}, size_t{64}, size_t{150}, size_t{200}}) {
        for (const auto& [what, damage, atTheEnd] : damages) {
            std::string bytes;
            for (size_t i = 0; i < at; ++i)
                bytes += blocks[i];
            bytes += damage;
            // Blocks after a damage inside the file are never given.
            if (!atTheEnd)
                for (size_t i = at; i < blocks.size(); ++i)
                    bytes += blocks[i];
            CMemoryInput serialInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            CBlockReader serial(serialInput, bytes.size());
            const Outcome expected = run(serial);
            EXPECT_EQ(expected.steps.size(), at) << what << " at " << at;
            for (unsigned threads : {1u, 2u, 3u}) {
                CMemoryInput input(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
                CParallelBlockReader parallel(input, bytes.size(), threads);
                EXPECT_TRUE(runParallel(parallel) == expected) << what << " at " << at << ", " << threads << " threads";
            }
        }
    }
    std::string whole;
    for (const std::string& block : blocks)
        whole += block;
    CMemoryInput serialInput(reinterpret_cast<const uint8_t*>(whole.data()), whole.size());
    CBlockReader serial(serialInput, whole.size());
    const Outcome expected = run(serial);
    ASSERT_EQ(expected.error, BlockError::None);
    ASSERT_EQ(expected.steps.size(), blocks.size());
    for (unsigned threads : {1u, 2u, 4u}) {
        CMemoryInput input(reinterpret_cast<const uint8_t*>(whole.data()), whole.size());
        CParallelBlockReader parallel(input, whole.size(), threads);
        EXPECT_TRUE(runParallel(parallel) == expected) << threads << " threads";
        // Given up after a few blocks, with the threads still reading ahead.
        CMemoryInput again(reinterpret_cast<const uint8_t*>(whole.data()), whole.size());
        CParallelBlockReader dropped(again, whole.size(), threads);
        const uint8_t* data = nullptr;
        size_t size = 0;
        std::span<const CParallelBlockReader::Block> first;
        ASSERT_TRUE(dropped.NextRun(data, size, first));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), first[0].outLength), expected.steps[0].bytes);
    }
}

TEST(DecompressWorker, CancelStopsAfterOneBlockWithoutFinalMessageAndRemovesItsOutput)
{
    Decoding run;
    std::string source;
    for (int i = 0; i < 4; ++i)
        source += Block(std::string(4096, 'x'));
    run.task.m_evCancel.SetEvent();
    EXPECT_EQ(run.Decode(source), std::vector<PostedMessage>{Progress(25)});
    EXPECT_EQ(run.result, 0u);
    EXPECT_FALSE(run.DestExists());
}

TEST(DecompressWorker, RunsOnItsOwnThread)
{
    Decoding run;
    WriteWholeFile(run.task.m_strSource, Block("threaded"));
    ASSERT_NE(StartDecompressThread(run.task), nullptr);
    run.task.ReleaseThread();
    EXPECT_EQ(run.task.m_pThread, nullptr);
    EXPECT_EQ(run.sink.Drain(), (std::vector<PostedMessage>{Progress(100), Done()}));
    EXPECT_EQ(ReadWholeFile(run.task.m_strDest), "threaded");
}
