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

TEST(BufferedFile, WriterPassesEveryPieceOnInOrder)
{
    size_t total = 0;
    for (uint32_t n : kPieces)
        total += n;
    const std::string bytes = NoiseBytes(total, 9);
    const std::string path = NewScratchFolder() + "plain.bin";
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
    std::vector<uint8_t> buffer(kCapacity);
    CBufferedWriter plain(file, buffer.data(), buffer.size());
    for (int round = 0; round < 2; ++round)
        for (size_t at = 0; uint32_t n : kPieces) {
            ASSERT_TRUE(plain.Write(bytes.data() + at, n));
            at += n;
        }
    EXPECT_TRUE(plain.Flush());
    file.Close();
    EXPECT_TRUE(ReadWholeFile(path) == bytes + bytes);
}

TEST(BufferedFile, WriterReportsAFileThatCannotBeWritten)
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

    file.Close();
    EXPECT_EQ(ReadWholeFile(folder + "ro.bin"), "keep");
}
