#include "installer/core/block_decoder.h"

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
