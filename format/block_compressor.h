// Writing side of the block-compressed format: the input cut into pieces of
// 4096 bytes, each compressed on its own with LZO1X and written as a 16-bit
// length followed by the compressed bytes.
#pragma once

#include "format/sha256.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <thread>
#include <vector>

enum class CompressionLevel { Fast, Best };  // lzo1x_1_12 and lzo1x_999

// One piece of at most 4096 bytes, compressed, without its length field.
std::string CompressPiece(const uint8_t* data, size_t size, CompressionLevel level);

// Takes the uncompressed bytes in any portions and writes the blocks to out.
// The input is gathered in batches of 1 MiB; a ring of batches runs through
// four stages at once: the caller fills one, a thread per core compresses
// one each, a writing thread of the compressor's own writes the oldest
// compressed one and a hashing thread hashes the oldest written one.
// Batches reach out in input order. Memory stays bounded whatever the input
// size (the ring: cores + 4 batches).
class CBlockCompressor {
public:
    CBlockCompressor(std::ostream& out, CompressionLevel level);
    // Stops the threads; what was not finished is dropped. out must outlive
    // the compressor.
    ~CBlockCompressor();
    CBlockCompressor(const CBlockCompressor&) = delete;
    CBlockCompressor& operator=(const CBlockCompressor&) = delete;

    // False once compressing or writing to out has failed.
    [[nodiscard]] bool Write(const void* data, size_t size);
    // Room for the caller to put input into directly, without a copy: at
    // least one byte, the rest of the batch being filled. Commit(n) then
    // takes n bytes of it as written. Null once the compressor has failed.
    std::span<uint8_t> Space();
    [[nodiscard]] bool Commit(size_t size);
    // Compresses what is left and waits until everything is written; false
    // when anything failed.
    [[nodiscard]] bool Finish();

    // Instead of Write, Space, Commit and Finish, for an input whose every
    // part can be had on its own: fill(offset, out) puts the input's bytes
    // from offset into out and returns how many, fewer than out.size() only
    // at the end of the input (none from there on); it may be called on
    // several threads at once, and may wait for its input. Each batch is then
    // filled by the thread that compresses it, so that reading the input
    // runs on every core too. progress(n) is called on this thread each time
    // the first n bytes of input have been written. Throws what fill threw
    // for the first batch in input order that it failed, once no thread is
    // in fill any more; false when compressing or writing failed. Once per
    // compressor.
    using InputFill = std::function<size_t(uint64_t offset, std::span<uint8_t> out)>;
    [[nodiscard]] bool CompressInput(const InputFill& fill, const std::function<void(uint64_t)>& progress);

    uint64_t InputBytes() const { return m_input; }
    // The SHA-256 of everything written to out; valid after Finish.
    Sha256Digest OutputDigest() { return m_hash.Final(); }
    // Valid after Finish.
    uint64_t OutputBytes() const { return m_output; }

private:
    enum class SlotState { Free, Filled, Compressing, Compressed, Written };
    struct Slot {
        std::unique_ptr<uint8_t[]> input;  // a batch's worth, made when first filled
        size_t filled = 0;
        std::string output;  // the batch's blocks with their lengths
        SlotState state = SlotState::Free;
        std::exception_ptr failure;  // what fill threw for this batch
    };

    Slot& SlotOf(uint64_t sequence) { return m_slots[sequence % m_slots.size()]; }
    bool HandOver();
    void Compressor();
    void Writer();
    void Hasher();
    void WakeAll();  // on a failure and at the end
    bool CompressSlot(Slot& slot, std::vector<uint8_t>& work);
    bool FillSlot(Slot& slot, uint64_t sequence);
    static void MakeBuffers(Slot& slot);

    std::ostream& m_out;
    CompressionLevel m_level;
    std::vector<Slot> m_slots;
    uint64_t m_filling = 0;        // the batch the caller fills (its sequence number);
                                   // with an InputFill, the number of batches once known
    const InputFill* m_fill = nullptr;  // set for CompressInput, under m_mutex
    uint64_t m_length = 0;         // of CompressInput's input, once known
    unsigned m_busy = 0;           // compressors at work on a batch, under m_mutex
    std::exception_ptr m_fillFailure;  // the first in input order, set by the writer
    uint64_t m_nextCompress = 0;   // the oldest batch no compressor has taken
    uint64_t m_nextWrite = 0;      // the oldest batch not yet written
    uint64_t m_nextHash = 0;       // the oldest batch not yet hashed: all before it are done
    uint64_t m_input = 0;
    uint64_t m_output = 0;         // written by the writer, read after Finish
    CSha256 m_hash;                // of the bytes written, by the hasher
    std::mutex m_mutex;
    std::condition_variable m_toCompress;  // a batch to compress (or to fill) may be there
    std::condition_variable m_toWrite;     // a batch was compressed
    std::condition_variable m_toHash;      // a batch was written
    std::condition_variable m_done;        // a batch was hashed, so its place is free
    // Set under m_mutex, so that a waiting thread sees it; read without it
    // by the caller's Write, Space and Commit.
    std::atomic<bool> m_failed{false};
    bool m_stop = false;           // under m_mutex: the threads end
    std::vector<std::thread> m_threads;  // joined by the destructor
};

// Compresses all of in to out; false when reading or writing fails.
bool CompressStream(std::istream& in, std::ostream& out, CompressionLevel level);
// The whole block-compressed form of a byte string, "" should it fail; for
// tests and small items.
std::string CompressBytes(const std::string& data, CompressionLevel level);
