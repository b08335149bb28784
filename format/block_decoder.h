// The block-compressed file: block after block, each a 16-bit length, then
// that many bytes of LZO1X data that decode to at most 4096 bytes.
#pragma once

#include "framework/byte_input.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

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

// Reads the next block's compressed bytes (at most kBlockInputSize) into
// buffer, left being what is left of the file: None, or why the file cannot
// go on. Every length is checked against the buffer and the end of the file
// before anything of its block is read.
BlockError ReadBlockBytes(CByteInput& input, uint64_t left, uint8_t* buffer, uint32_t& length);

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

// The same reading as CBlockReader, with the blocks decoded ahead on threads
// of the reader's own: the file is taken in batches of up to 32 blocks, read
// one batch after the other and each batch decoded whole by one thread, so
// that with n threads n batches decode at once. The caller's thread is one
// of them: NextRun, rather than wait for the next batch, reads and decodes
// one itself while there is one to do, so n threads of its own keep n + 1
// cores busy (a thread that only waited would leave its core idle between
// batches, and one more thread than cores would queue behind another on its
// core while the other core idles). NextRun gives a batch's
// blocks at once, their decoded bytes one after the other, so that a caller
// writes them with one call: in file order the same blocks, bytes and
// Consumed() as CBlockReader's Next, and at the first block at fault the same
// Error(); what was read ahead beyond that block is dropped. The input is
// read by the reader's threads and in NextRun only, in order; memory is
// threads + 2 batches (about 290 KiB each) whatever the file size.
class CParallelBlockReader {
public:
    CParallelBlockReader(CByteInput& input, uint64_t length, unsigned threads);
    // Stops and joins the threads; the input must outlive the reader.
    ~CParallelBlockReader();
    CParallelBlockReader(const CParallelBlockReader&) = delete;
    CParallelBlockReader& operator=(const CParallelBlockReader&) = delete;

    // One block of a run: where its compressed bytes were (inLength without
    // the length field), where its decoded bytes are in the run, and the
    // offset in the file just after it (Consumed() once it was taken).
    struct Block {
        uint32_t inOffset, inLength, outOffset, outLength;
        uint64_t fileEnd;
    };
    // The next blocks: data and size their decoded bytes, blocks what each
    // of them is, valid until the next call. False at the end of the file and
    // on error, as CBlockReader::Next. Consumed() then counts every block of
    // the run.
    bool NextRun(const uint8_t*& data, size_t& size, std::span<const Block>& blocks);
    BlockError Error() const { return m_error; }
    uint64_t Consumed() const { return m_consumed; }

private:
    static constexpr size_t kBlocksPerBatch = 32;
    enum class BatchState { Free, Working, Ready };
    struct Batch {
        std::vector<uint8_t> input;
        std::vector<uint8_t> output;
        Block blocks[kBlocksPerBatch];
        size_t count = 0;     // blocks read
        size_t decoded = 0;   // blocks decoded; below count: the block at decoded does not decode
        BlockError end = BlockError::None;  // why reading stopped after the blocks, if it did
        BatchState state = BatchState::Free;
    };

    Batch& BatchOf(uint64_t sequence) { return m_batches[sequence % m_batches.size()]; }
    void Work();
    // The caller's turn at the work: false when there was none for it.
    bool HelpOut();
    // Under m_mutex: whether the next batch may be read now, and that batch,
    // now Working (null when it may not: the reader stops, the input ended
    // or the batch is not free yet).
    bool Fillable() { return !m_stop && !m_inputEnded && BatchOf(m_nextFill).state == BatchState::Free; }
    Batch* Claim();
    // Reads the claimed batch, lets go of the read lock and decodes it.
    void Produce(Batch& batch, std::unique_lock<std::mutex>& readLock);
    void Fill(Batch& batch);
    static void Decode(Batch& batch);
    bool Fail(BlockError error)
    {
        m_error = error;
        return false;
    }

    CByteInput& m_input;
    const uint64_t m_length;
    std::vector<Batch> m_batches;
    // Reading: one thread at a time, in batch order.
    std::mutex m_readMutex;
    uint64_t m_read = 0;         // bytes of the file read, under m_readMutex
    // The ring, under m_mutex.
    std::mutex m_mutex;
    // Each side waits on its own condition and is woken only when what it
    // waits for may be there: the reader for the batch it takes next or the
    // end, the threads for a free batch.
    std::condition_variable m_toTake;
    std::condition_variable m_toFill;
    bool m_stop = false;         // the threads end
    uint64_t m_nextFill = 0;     // the next batch to read
    uint64_t m_nextTake = 0;     // the batch of the run given last, or of the next run
    bool m_inputEnded = false;   // no batch after m_nextFill will be read
    // The caller's side.
    Batch* m_current = nullptr;  // the batch of the last run given
    uint64_t m_consumed = 0;
    BlockError m_error = BlockError::None;
    std::vector<std::thread> m_threads;  // joined by the destructor
};
