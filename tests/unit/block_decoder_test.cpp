#include "format/block_decoder.h"
#include "format/block_compressor.h"
#include "archive_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
struct Decoded {
    bool ok;
    std::string bytes;
};

Decoded Decode(const std::string& block)
{
    // Guard bytes after the output buffer show any write beyond it.
    std::vector<uint8_t> out(kBlockOutputSize + 64, 0xA5);
    size_t produced = 12345;
    bool ok = DecodeBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size(), out.data(), produced);
    for (size_t i = kBlockOutputSize; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xA5) << "write beyond the output buffer at " << i;
    return {ok, std::string(reinterpret_cast<const char*>(out.data()), produced)};
}

std::string Piece(const std::string& data, CompressionLevel level = CompressionLevel::Fast)
{
    return CompressPiece(reinterpret_cast<const uint8_t*>(data.data()), data.size(), level);
}
}  // namespace

TEST(BlockDecoder, RestoresPiecesOfEitherLevel)
{
    for (auto level : {CompressionLevel::Fast, CompressionLevel::Best}) {
        for (const std::string& data : {std::string(1, 'x'), std::string(4096, 'z'), NoiseBytes(4096, 7),
                                        NoiseBytes(1000, 3) + std::string(3096, ' ')}) {
            std::string block = Piece(data, level);
            ASSERT_LE(block.size(), kBlockInputSize);
            Decoded d = Decode(block);
            EXPECT_TRUE(d.ok);
            EXPECT_EQ(d.bytes, data);
        }
    }
}

TEST(BlockDecoder, RefusesDamagedBlocksWithoutOverrunningTheOutput)
{
    const std::string good = Piece(NoiseBytes(2000, 1) + std::string(2096, 'a'));
    // A block that would decode to more than 4096 bytes.
    EXPECT_FALSE(Decode(Piece(std::string(4097, 'q'))).ok);
    EXPECT_FALSE(Decode(Piece(NoiseBytes(5000, 2))).ok);
    // Cut short, with bytes after its end, empty, or longer than the input buffer.
    EXPECT_FALSE(Decode(good.substr(0, good.size() - 1)).ok);
    EXPECT_FALSE(Decode(good.substr(0, good.size() / 2)).ok);
    EXPECT_FALSE(Decode(good + "X").ok);
    EXPECT_FALSE(Decode("").ok);
    EXPECT_FALSE(Decode(std::string(kBlockInputSize + 1, '\x11')).ok);
    // Noise is no LZO stream.
    for (unsigned seed = 0; seed < 50; ++seed)
        EXPECT_FALSE(Decode(NoiseBytes(1 + seed * 37, seed)).ok) << seed;
}
