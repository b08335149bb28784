#include "format/block_decoder.h"

#include "format/lzo1x_decode.h"
#include "framework/endian.h"

#include <algorithm>

bool DecodeBlock(const uint8_t* data, size_t size, uint8_t* out, size_t& outSize)
{
    outSize = 0;
    if (size == 0 || size > kBlockInputSize)
        return false;
    // Bytes after the end marker also count as damage.
    return DecodeLzo1x(data, size, out, kBlockOutputSize, outSize);
}

BlockError ReadBlockBytes(CByteInput& input, uint64_t left, uint8_t* buffer, uint32_t& length)
{
    uint8_t lenBytes[2];
    if (left < 2 || !input.ReadFully(lenBytes, 2))
        return BlockError::Truncated;
    length = LoadLe16(lenBytes);
    if (length == 0)
        return BlockError::Undecodable;
    if (length > kBlockInputSize || length > left - 2 || !input.ReadFully(buffer, length))
        return BlockError::BadLength;
    return BlockError::None;
}

bool CBlockReader::Next(const uint8_t*& data, size_t& size)
{
    data = m_decoded;
    size = 0;
    if (m_error != BlockError::None || m_consumed >= m_length)
        return false;
    uint32_t len = 0;
    if (BlockError error = ReadBlockBytes(m_input, m_length - m_consumed, m_compressed, len); error != BlockError::None)
        return Fail(error);
    if (!DecodeBlock(m_compressed, len, m_decoded, size))
        return Fail(BlockError::Undecodable);
    m_consumed += len + 2;
    return true;
}

CParallelBlockReader::CParallelBlockReader(CByteInput& input, uint64_t length, unsigned threads)
    : m_input(input), m_length(length)
{
    threads = std::max(1u, threads);
    // A batch being read or decoded per thread, one ready for the caller and
    // one the caller takes blocks of or decodes itself; their buffers are
    // made when a batch is first read into, so a small file takes only what
    // it uses.
    m_batches.resize(threads + 2);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Work(); });
}

CParallelBlockReader::~CParallelBlockReader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_toTake.notify_all();
    m_toFill.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void CParallelBlockReader::Work()
{
    for (;;) {
        // Holding the read lock while a batch is claimed and read keeps the
        // batches in file order.
        std::unique_lock readLock(m_readMutex);
        Batch* batch = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_toFill.wait(lock, [this] { return Fillable() || m_stop || m_inputEnded; });
            batch = Claim();
        }
        if (batch == nullptr)
            return;
        Produce(*batch, readLock);
    }
}

bool CParallelBlockReader::HelpOut()
{
    std::unique_lock readLock(m_readMutex, std::try_to_lock);
    if (!readLock.owns_lock())
        return false;
    Batch* batch = nullptr;
    {
        std::lock_guard lock(m_mutex);
        batch = Claim();
    }
    if (batch == nullptr)
        return false;
    Produce(*batch, readLock);
    return true;
}

CParallelBlockReader::Batch* CParallelBlockReader::Claim()
{
    if (!Fillable())
        return nullptr;
    Batch& batch = BatchOf(m_nextFill);
    batch.state = BatchState::Working;
    return &batch;
}

void CParallelBlockReader::Produce(Batch& batch, std::unique_lock<std::mutex>& readLock)
{
    Fill(batch);
    bool ended = false;
    {
        std::lock_guard lock(m_mutex);
        ++m_nextFill;
        if (batch.end != BlockError::None || m_read == m_length)
            ended = m_inputEnded = true;
    }
    if (ended) {
        m_toTake.notify_one();
        m_toFill.notify_all();
    }
    readLock.unlock();
    Decode(batch);
    bool next = false;
    {
        std::lock_guard lock(m_mutex);
        batch.state = BatchState::Ready;
        // A ring place holds one batch at a time: this one is the next
        // to take when the reader's place is its place.
        next = &batch == &BatchOf(m_nextTake);
    }
    if (next)
        m_toTake.notify_one();
}

void CParallelBlockReader::Fill(Batch& batch)
{
    if (batch.input.empty()) {
        batch.input.resize(kBlocksPerBatch * kBlockInputSize);
        batch.output.resize(kBlocksPerBatch * kBlockOutputSize);
    }
    batch.count = 0;
    batch.decoded = 0;
    batch.end = BlockError::None;
    uint32_t at = 0;
    while (batch.count < kBlocksPerBatch && m_read < m_length) {
        uint32_t len = 0;
        batch.end = ReadBlockBytes(m_input, m_length - m_read, batch.input.data() + at, len);
        if (batch.end != BlockError::None)
            return;
        m_read += len + 2;
        batch.blocks[batch.count++] = {at, len, 0, 0, m_read};
        at += len;
    }
}

void CParallelBlockReader::Decode(Batch& batch)
{
    uint32_t out = 0;
    for (; batch.decoded < batch.count; ++batch.decoded) {
        Block& block = batch.blocks[batch.decoded];
        size_t produced = 0;
        if (!DecodeBlock(batch.input.data() + block.inOffset, block.inLength, batch.output.data() + out, produced))
            return;
        block.outOffset = out;
        block.outLength = static_cast<uint32_t>(produced);
        out += block.outLength;
    }
}

bool CParallelBlockReader::NextRun(const uint8_t*& data, size_t& size, std::span<const Block>& blocks)
{
    data = nullptr;
    size = 0;
    blocks = {};
    if (m_error != BlockError::None)
        return false;
    for (;;) {
        if (m_current != nullptr) {
            // Every block of the batch that decoded was given: the block
            // after them, or what ended the batch's reading, is the error at
            // this point of the file.
            const bool whole = m_current->decoded == m_current->count;
            const BlockError end = m_current->end;
            {
                std::lock_guard lock(m_mutex);
                m_current->state = BatchState::Free;
                ++m_nextTake;
            }
            m_toFill.notify_one();
            m_current = nullptr;
            if (!whole)
                return Fail(BlockError::Undecodable);
            if (end != BlockError::None)
                return Fail(end);
        }
        std::unique_lock lock(m_mutex);
        const auto ready = [this] {
            return (m_nextTake < m_nextFill && BatchOf(m_nextTake).state == BatchState::Ready) ||
                   (m_inputEnded && m_nextTake == m_nextFill);
        };
        // Rather than wait, the caller reads and decodes the next batch
        // itself while there is one to do; it waits only while every batch
        // is taken or another thread is reading.
        while (!ready()) {
            if (Fillable()) {
                lock.unlock();
                const bool helped = HelpOut();
                lock.lock();
                if (helped)
                    continue;
            }
            m_toTake.wait(lock, ready);
        }
        if (m_nextTake == m_nextFill)
            return false;  // the clean end of the file
        m_current = &BatchOf(m_nextTake);
        // A batch with no block to give (its first is damaged) ends the
        // file on the next turn.
        if (m_current->decoded > 0)
            break;
    }
    const Batch& batch = *m_current;
    blocks = std::span<const Block>(batch.blocks, batch.decoded);
    data = batch.output.data();
    size = blocks.back().outOffset + blocks.back().outLength;
    m_consumed = blocks.back().fileEnd;
    return true;
}
