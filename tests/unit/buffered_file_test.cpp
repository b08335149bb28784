// The reader beneath the workers: what is in the file comes out in order and
// whole, across buffer boundaries and around pieces larger than the buffer,
// and the file's end is reported instead of taken for data.
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
