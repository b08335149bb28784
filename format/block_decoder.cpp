#include "format/block_decoder.h"

#include "framework/endian.h"

#include <lzo/lzo1x.h>

bool DecodeBlock(const uint8_t* data, size_t size, uint8_t* out, size_t& outSize)
{
    outSize = 0;
    if (size == 0 || size > kBlockInputSize)
        return false;
    lzo_uint produced = kBlockOutputSize;
    // The safe decoder checks both buffers; trailing bytes after the end
    // marker (LZO_E_INPUT_NOT_CONSUMED) also count as damage.
    int rc = lzo1x_decompress_safe(data, static_cast<lzo_uint>(size), out, &produced, nullptr);
    if (rc != LZO_E_OK || produced > kBlockOutputSize)
        return false;
    outSize = produced;
    return true;
}

bool CBlockReader::Next(const uint8_t*& data, size_t& size)
{
    data = m_decoded;
    size = 0;
    if (m_error != BlockError::None || m_consumed >= m_length)
        return false;
    uint8_t lenBytes[2];
    if (m_length - m_consumed < 2 || !m_input.ReadFully(lenBytes, 2))
        return Fail(BlockError::Truncated);
    const uint32_t len = LoadLe16(lenBytes);
    if (len == 0)
        return Fail(BlockError::Undecodable);
    if (len > kBlockInputSize || len > m_length - m_consumed - 2 || !m_input.ReadFully(m_compressed, len))
        return Fail(BlockError::BadLength);
    if (!DecodeBlock(m_compressed, len, m_decoded, size))
        return Fail(BlockError::Undecodable);
    m_consumed += len + 2;
    return true;
}
