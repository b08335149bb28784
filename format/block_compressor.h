// Writing side of the block-compressed format: the input cut into pieces of
// 4096 bytes, each compressed on its own with LZO1X and written as a 16-bit
// length followed by the compressed bytes.
#pragma once

#include <cstdint>
#include <istream>
#include <atomic>
#include "format/sha256.h"
#include <ostream>
#include <string>
#include <thread>
#include <vector>

enum class CompressionLevel { Fast, Best };  // lzo1x_1_12 and lzo1x_999

// One piece of at most 4096 bytes, compressed, without its length field.
std::string CompressPiece(const uint8_t* data, size_t size, CompressionLevel level);

// Takes the uncompressed bytes in any portions and writes the blocks to out.
// Pieces are gathered in batches; while the caller fills one batch, the one
// before is compressed on every core and written out by threads of the
// compressor's own, so reading the input, compressing and writing overlap.
// Memory stays bounded whatever the input size (two batches).
class CBlockCompressor {
public:
    CBlockCompressor(std::ostream& out, CompressionLevel level);
    // Waits for the batch in work; out must outlive the compressor.
    ~CBlockCompressor();
    CBlockCompressor(const CBlockCompressor&) = delete;
    CBlockCompressor& operator=(const CBlockCompressor&) = delete;

    // False once compressing or writing to out has failed.
    [[nodiscard]] bool Write(const void* data, size_t size);
    // Compresses what is left; false when anything failed.
    [[nodiscard]] bool Finish();
    uint64_t InputBytes() const { return m_input; }
    // The SHA-256 of everything written to out; valid after Finish.
    Sha256Digest OutputDigest();
    // Valid after Finish.
    uint64_t OutputBytes() const { return m_output; }

private:
    bool HandOver();
    bool WaitForBatch();
    void CompressBatch(const std::vector<uint8_t>& batch, size_t filled);

    std::ostream& m_out;
    CompressionLevel m_level;
    unsigned m_workers;
    std::vector<uint8_t> m_batch;  // filled by the caller
    std::vector<uint8_t> m_busy;   // compressed and written by m_thread
    size_t m_filled = 0;
    std::vector<std::string> m_blocks;
    std::string m_written[2];  // the blocks of a batch with their lengths: one written, one hashed
    int m_side = 0;            // the one written next
    std::vector<std::vector<uint8_t>> m_work;
    std::thread m_thread;  // the batch in work, if any
    uint64_t m_input = 0;
    uint64_t m_output = 0;
    std::atomic<bool> m_failed{false};  // set by m_thread too
    // Of the bytes written. A batch is hashed on a thread of its own while
    // the next one is compressed, so that the hash costs no time of its own
    // where a core is free.
    CSha256 m_hash;
    std::thread m_hashThread;
};

// Compresses all of in to out; false when reading or writing fails.
bool CompressStream(std::istream& in, std::ostream& out, CompressionLevel level);
// The whole block-compressed form of a byte string, "" should it fail; for
// tests and small items.
std::string CompressBytes(const std::string& data, CompressionLevel level);
