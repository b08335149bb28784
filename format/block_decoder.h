// The block-compressed file: block after block, each a 16-bit length, then
// that many bytes of LZO1X data that decode to at most 4096 bytes.
#pragma once

#include "framework/byte_input.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kBlockOutputSize = 4096;  // decoded bytes per block at most
constexpr size_t kBlockInputSize = 5132;   // compressed bytes per block at most

// Decodes one block into out (kBlockOutputSize bytes). False when the data is
// not one complete LZO1X stream or would decode to more than out holds;
// out is never written beyond its size.
bool DecodeBlock(const uint8_t* data, size_t size, uint8_t* out, size_t& outSize);

// Why a block reader stopped before the end of the file.
enum class BlockError {
    None,
    Truncated,    // the file ends inside a length field
    BadLength,    // a length beyond the block buffer or the end of the file
    Undecodable,  // a block that is empty or does not decode
};

// Reads a block-compressed file of a known length block by block:
//     while (reader.Next(data, size)) use the decoded bytes;
//     then reader.Error() tells the clean end (None) from damage.
// Every length is checked against the buffer and the end of the file before
// anything of its block is read.
class CBlockReader {
public:
    CBlockReader(CByteInput& input, uint64_t length) : m_input(input), m_length(length) {}
    CBlockReader(const CBlockReader&) = delete;
    CBlockReader& operator=(const CBlockReader&) = delete;

    // The next block's decoded bytes, valid until the next call. False at the
    // end of the file and on error.
    bool Next(const uint8_t*& data, size_t& size);

    BlockError Error() const { return m_error; }
    bool AtEnd() const { return m_consumed == m_length; }
    // Compressed bytes of the whole blocks read so far: after an error, the
    // offset of the block at fault.
    uint64_t Consumed() const { return m_consumed; }

private:
    bool Fail(BlockError error)
    {
        m_error = error;
        return false;
    }

    CByteInput& m_input;
    const uint64_t m_length;
    uint64_t m_consumed = 0;
    BlockError m_error = BlockError::None;
    uint8_t m_compressed[kBlockInputSize];
    uint8_t m_decoded[kBlockOutputSize];
};
