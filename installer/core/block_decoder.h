// One block of a block-compressed file: a 16-bit length, then that many bytes
// of LZO1X data that decode to at most 4096 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kBlockOutputSize = 4096;  // decoded bytes per block at most
constexpr size_t kBlockInputSize = 5132;   // compressed bytes per block at most

// Decodes one block into out (kBlockOutputSize bytes). False when the data is
// not one complete LZO1X stream or would decode to more than out holds;
// out is never written beyond its size.
bool DecodeBlock(const uint8_t* data, size_t size, uint8_t* out, size_t& outSize);
