// One block: the decoder over any bytes, and decoding what the compressor made.
#include "fuzz_support.h"
#include "format/block_decoder.h"
#include "format/block_compressor.h"
#include "format/lzo1x_decode.h"

#include <lzo/lzo1x.h>

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The decoder takes the streams the LZO library's safe decoder takes,
    // with the same bytes, and refuses the others; here also into outputs
    // shorter than a block, so that a refused overrun is met in every copy.
    for (const size_t capacity : {kBlockOutputSize, size % 97}) {
        std::vector<uint8_t> ours(capacity), library(capacity);
        size_t oursSize = 0;
        lzo_uint librarySize = capacity;
        const bool oursOk = DecodeLzo1x(data, size, ours.data(), capacity, oursSize);
        const bool libraryOk = lzo1x_decompress_safe(data, size, library.data(), &librarySize, nullptr) == LZO_E_OK;
        FUZZ_CHECK(oursOk == libraryOk);
        FUZZ_CHECK(!oursOk || (oursSize == librarySize &&
                               (oursSize == 0 || std::memcmp(ours.data(), library.data(), oursSize) == 0)));
    }

    // Exactly the documented output size, so ASan sees any write past it.
    std::vector<uint8_t> out(kBlockOutputSize);
    size_t produced = 12345;
    if (DecodeBlock(data, size, out.data(), produced)) {
        FUZZ_CHECK(size > 0 && size <= kBlockInputSize);
        FUZZ_CHECK(produced <= kBlockOutputSize);
        // What decodes is a stream the decoder also reads after a round of
        // compression.
        const std::string again = CompressPiece(out.data(), produced, CompressionLevel::Fast);
        std::vector<uint8_t> second(kBlockOutputSize);
        size_t secondSize = 0;
        FUZZ_CHECK(DecodeBlock(reinterpret_cast<const uint8_t*>(again.data()), again.size(), second.data(), secondSize));
        FUZZ_CHECK(secondSize == produced && std::memcmp(second.data(), out.data(), produced) == 0);
    } else {
        FUZZ_CHECK(produced == 0);
    }

    // A piece of up to 4096 bytes compresses into a block that decodes to it.
    if (size == 0)
        return 0;
    const CompressionLevel level = data[0] == 0xFF ? CompressionLevel::Best : CompressionLevel::Fast;
    const size_t pieceSize = std::min(size - 1, kBlockOutputSize);
    const std::string block = CompressPiece(data + 1, pieceSize, level);
    FUZZ_CHECK(!block.empty() && block.size() <= kBlockInputSize);
    FUZZ_CHECK(DecodeBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size(), out.data(), produced));
    FUZZ_CHECK(produced == pieceSize && std::memcmp(out.data(), data + 1, pieceSize) == 0);
    return 0;
}
