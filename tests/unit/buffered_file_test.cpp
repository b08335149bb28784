// The buffers beneath the workers: what goes in comes out in order and whole,
// across buffer boundaries and around pieces larger than the buffer, and a
// failing file is reported instead of taken for written.
#include "framework/buffered_file.h"
#include "framework/file.h"
#include "archive_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// Piece sizes that straddle a 1000-byte buffer in every way: tiny, exactly
// the buffer, one more, and several buffers at once.
const uint32_t kPieces[] = {2, 1, 997, 1000, 1001, 4096, 3, 2500, 999, 7};
constexpr size_t kCapacity = 1000;

}  // namespace

// The reader takes every piece, or passes over every other one: a skip
// within the buffer moves in it, one beyond it moves the file.
TEST(BufferedFile, ReaderReturnsThePiecesInOrderAndFailsAtTheEnd)
{
    const std::string folder = NewScratchFolder();
    size_t total = 0;
    for (uint32_t n : kPieces)
        total += n;
    const std::string bytes = NoiseBytes(total, 7);
    ASSERT_TRUE(WriteWholeFile(folder + "in.bin", bytes));
    for (bool skipping : {false, true}) {
        CFile file;
        ASSERT_TRUE(file.Open(folder + "in.bin", CFile::modeRead));
        std::vector<uint8_t> buffer(kCapacity);
        CBufferedReader reader(file, buffer.data(), buffer.size());
        std::string back, expected;
        size_t at = 0, i = 0;
        for (uint32_t n : kPieces) {
            if (skipping && i++ % 2 == 0) {
                ASSERT_TRUE(reader.Skip(n)) << n;
            } else {
                std::string piece(n, '\0');
                ASSERT_TRUE(reader.ReadFully(piece.data(), n)) << n << (skipping ? " skipping" : "");
                back += piece;
                expected += bytes.substr(at, n);
            }
            at += n;
        }
        EXPECT_TRUE(back == expected) << skipping;
        char more;
        EXPECT_FALSE(reader.ReadFully(&more, 1)) << skipping;
        EXPECT_TRUE(reader.Failure().Is(StatusCode::EndOfFile)) << skipping;
        EXPECT_FALSE(reader.ReadFully(&more, 1)) << skipping;
    }
}

TEST(BufferedFile, ReaderRefusesAPieceThatRunsPastTheEnd)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "in.bin", std::string(1500, 'x')));
    CFile file;
    ASSERT_TRUE(file.Open(folder + "in.bin", CFile::modeRead));
    std::vector<uint8_t> buffer(kCapacity);
    CBufferedReader reader(file, buffer.data(), buffer.size());
    char piece[600];
    EXPECT_TRUE(reader.ReadFully(piece, 600));
    EXPECT_TRUE(reader.ReadFully(piece, 600));
    EXPECT_FALSE(reader.ReadFully(piece, 600));  // 300 left
}

TEST(BufferedFile, WritersPassEveryPieceOnInOrder)
{
    size_t total = 0;
    for (uint32_t n : kPieces)
        total += n;
    const std::string bytes = NoiseBytes(total, 9);
    const std::string folder = NewScratchFolder();
    for (bool background : {false, true}) {
        const std::string path = folder + (background ? "background.bin" : "plain.bin");
        CFile file;
        ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
        std::vector<uint8_t> buffer(kCapacity);
        CBufferedWriter plain(file, buffer.data(), buffer.size());
        CBackgroundWriter behind(file, kCapacity);
        size_t at = 0;
        for (int round = 0; round < 2; ++round) {
            for (uint32_t n : kPieces) {
                const void* piece = bytes.data() + (at % total);
                ASSERT_TRUE(background ? behind.Write(piece, n) : plain.Write(piece, n));
                at += n;
            }
            at = 0;
        }
        EXPECT_TRUE(background ? behind.Flush() : plain.Flush());
        file.Close();
        EXPECT_TRUE(ReadWholeFile(path) == bytes + bytes) << path;
    }
}

TEST(BufferedFile, WritersReportAFileThatCannotBeWritten)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "ro.bin", "keep"));
    CFile file;
    ASSERT_TRUE(file.Open(folder + "ro.bin", CFile::modeRead));  // no write access
    const std::string bytes = NoiseBytes(5000, 3);

    std::vector<uint8_t> buffer(kCapacity);
    CBufferedWriter plain(file, buffer.data(), buffer.size());
    EXPECT_TRUE(plain.Write(bytes.data(), 10));  // still in the buffer
    EXPECT_FALSE(plain.Flush());
    EXPECT_FALSE(plain.Write(bytes.data(), 10));  // stays failed

    CBackgroundWriter behind(file, kCapacity);
    bool failed = false;
    // The failure shows at the latest when the writes are flushed.
    for (int i = 0; i < 10 && !failed; ++i)
        failed = !behind.Write(bytes.data(), 5000);
    EXPECT_FALSE(behind.Flush());
    file.Close();
    EXPECT_EQ(ReadWholeFile(folder + "ro.bin"), "keep");
}

TEST(BufferedFile, BackgroundWriterCanBeLeftWithoutFlushing)
{
    // A worker that is cancelled drops its writer with data still pending;
    // that must end, and only whole handed-over buffers reach the file.
    const std::string folder = NewScratchFolder();
    const std::string bytes = NoiseBytes(3500, 5);
    {
        CFile file;
        ASSERT_TRUE(file.Open(folder + "cut.bin", CFile::modeCreate | CFile::modeWrite));
        CBackgroundWriter behind(file, kCapacity);
        ASSERT_TRUE(behind.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
    }
    const std::string written = ReadWholeFile(folder + "cut.bin");
    EXPECT_EQ(written.size() % kCapacity, 0u);
    EXPECT_TRUE(written == bytes.substr(0, written.size()));
}
