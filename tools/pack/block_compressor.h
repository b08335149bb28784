// Writing side of the block-compressed format: the input cut into pieces of
// 4096 bytes, each compressed on its own with LZO1X and written as a 16-bit
// length followed by the compressed bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

enum class CompressionLevel { Fast, Best };  // lzo1x_1 and lzo1x_999

// One piece of at most 4096 bytes, compressed, without its length field.
std::string CompressPiece(const uint8_t* data, size_t size, CompressionLevel level);

// Compresses all of in to out. Pieces are compressed in parallel on every
// core, in batches, so memory stays bounded whatever the input size.
// progress(bytes of input done) is called after each batch. False when
// reading or writing fails.
bool CompressStream(std::istream& in, std::ostream& out, CompressionLevel level,
                    const std::function<void(uint64_t)>& progress = nullptr);

// The whole block-compressed form of a byte string; for tests and small items.
std::string CompressBytes(const std::string& data, CompressionLevel level);
