#include "format/block_decoder.h"
#include "format/block_compressor.h"
#include "format/lzo1x_decode.h"
#include "archive_bytes.h"

#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

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

// Bytes of the kinds files hold, so that the compressor writes every kind
// of instruction: words over and over, runs of one byte, copies from near
// and far back, and noise in between.
std::string Mixed(size_t size, CXorShift& next)
{
    static const char* const kWords[] = {"setup ", "the ", "\r\n", "0123456789", "    ", "a", "Program Files\\"};
    std::string out;
    while (out.size() < size) {
        switch (next() % 5) {
        case 0: out += kWords[next() % 7]; break;
        case 1: out.append(1 + next() % 300, static_cast<char>(next() % 3)); break;
        case 2:
            if (!out.empty()) {
                const size_t back = 1 + next() % out.size();
                for (size_t n = 3 + next() % 200; n > 0; --n)
                    out += out[out.size() - back];
            }
            break;
        default: out += static_cast<char>(next()); break;
        }
    }
    out.resize(size);
    return out;
}

struct Outcome {
    bool ok;
    std::string bytes;
};

Outcome OursInto(const std::string& stream, size_t capacity)
{
    std::vector<uint8_t> out(capacity + 32, 0xA5);
    size_t produced = 0;
    const bool ok =
        DecodeLzo1x(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), out.data(), capacity, produced);
    for (size_t i = capacity; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xA5) << "write beyond the output at " << i;
    return {ok, ok ? std::string(reinterpret_cast<const char*>(out.data()), produced) : ""};
}

Outcome LibraryInto(const std::string& stream, size_t capacity)
{
    std::vector<uint8_t> out(capacity + 1);
    lzo_uint produced = capacity;
    const bool ok = lzo1x_decompress_safe(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), out.data(),
                                          &produced, nullptr) == LZO_E_OK;
    return {ok, ok ? std::string(reinterpret_cast<const char*>(out.data()), produced) : ""};
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

// Matches that reach exactly to the first byte of the output and one byte
// before it, an output that ends one byte short, and a byte after the end
// marker, for each kind of match: the edges where a decoder reads or writes
// outside its buffers.
TEST(BlockDecoder, MatchesReachNoFurtherThanTheOutput)
{
    // 0x12 starts with one literal 'a'; 0x11 0 0 is the end marker.
    const struct {
        std::string stream;
        size_t capacity;
        const char* expected;  // nullptr: refused
    } kCases[] = {
        {std::string("\x12" "a\x00\x00\x11\x00\x00", 7), 4096, "aaa"},      // two bytes from 1 back
        {std::string("\x12" "a\x04\x00\x11\x00\x00", 7), 4096, nullptr},    // ... from 2 back
        {std::string("\x12" "a\x40\x00\x11\x00\x00", 7), 4096, "aaaa"},     // 3 to 8 bytes from 1 back
        {std::string("\x12" "a\x44\x00\x11\x00\x00", 7), 4096, nullptr},    // ... from 2 back
        {std::string("\x12" "a\x40\x00\x11\x00\x00", 7), 3, nullptr},       // one byte more than fits
        {std::string("\x12" "a\x40\x00\x11\x00\x00", 7), 4, "aaaa"},
        {std::string("\x12" "a\x21\x00\x00\x11\x00\x00", 8), 4096, "aaaa"},  // up to 16 KiB back: 1
        {std::string("\x12" "a\x21\x04\x00\x11\x00\x00", 8), 4096, nullptr},  // ... 2
        {std::string("\x12" "a\x11\x00\x00", 5), 4096, "a"},
        {std::string("\x12" "a\x11\x00\x00\x00", 6), 4096, nullptr},  // a byte after the end marker
        {std::string("\x12" "a\x11\x00", 4), 4096, nullptr},            // the end marker cut short
        // An end marker is the end whatever its length says, even one far
        // beyond the output.
        {std::string("\x12" "a\x10") + std::string(40, '\0') + std::string("\x2b\x00\x00", 3), 4096, "a"},
    };
    for (const auto& c : kCases) {
        const Outcome ours = OursInto(c.stream, c.capacity);
        const Outcome library = LibraryInto(c.stream, c.capacity);
        EXPECT_EQ(ours.ok, c.expected != nullptr) << testing::PrintToString(c.stream);
        EXPECT_EQ(library.ok, c.expected != nullptr) << testing::PrintToString(c.stream);
        if (c.expected) {
            EXPECT_EQ(ours.bytes, c.expected);
            EXPECT_EQ(library.bytes, c.expected);
        }
    }
}

// The decoder is ours, not the library's: it has to take exactly the
// streams the library's safe decoder takes, with the same bytes, and refuse
// the rest, or a package that installs today would not install tomorrow.
TEST(BlockDecoder, AcceptsAndRefusesExactlyWhatTheLzoLibraryDoes)
{
    CXorShift next{12345};
    size_t damagedTaken = 0, refused = 0;
    for (unsigned round = 0; round < 400; ++round) {
        const size_t size = round % 8 == 0 ? 1 + next() % 64 : 1 + next() % kBlockOutputSize;
        const std::string data = round % 5 == 0 ? NoiseBytes(size, round) : Mixed(size, next);
        const std::string block = Piece(data, round % 3 == 0 ? CompressionLevel::Best : CompressionLevel::Fast);
        ASSERT_EQ(OursInto(block, kBlockOutputSize).bytes, data) << round;
        for (unsigned variant = 0; variant < 24; ++variant) {
            std::string damaged = block;
            const size_t at = next() % block.size();
            switch (variant % 4) {
            case 0: damaged[at] = static_cast<char>(damaged[at] ^ (1 << next() % 8)); break;
            case 1: damaged.resize(at); break;
            case 2: damaged.insert(at, 1, static_cast<char>(next())); break;
            default: damaged[at] = static_cast<char>(next() % 4 == 0 ? 0 : next()); break;
            }
            // A short output shows a refused overrun in the middle of a copy.
            const size_t capacity = variant % 6 == 5 ? size - std::min<size_t>(size, 1 + next() % 16) : kBlockOutputSize;
            const Outcome ours = OursInto(damaged, capacity);
            const Outcome library = LibraryInto(damaged, capacity);
            ASSERT_EQ(ours.ok, library.ok) << "round " << round << " variant " << variant;
            ASSERT_EQ(ours.bytes, library.bytes) << "round " << round << " variant " << variant;
            (ours.ok ? damagedTaken : refused) += 1;
        }
    }
    // Both sides of the line were walked: damage that still decodes (a
    // literal changed) and damage that does not.
    EXPECT_GT(damagedTaken, 500u);
    EXPECT_GT(refused, 2000u);
}
