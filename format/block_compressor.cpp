#include "format/block_compressor.h"

#include "framework/endian.h"
#include "format/block_decoder.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {
// 1 MiB of input per batch.
constexpr size_t kPiecesPerBatch = 256;
constexpr size_t kBatchSize = kPiecesPerBatch * kBlockOutputSize;

size_t WorkMemorySize(CompressionLevel level)
{
    return level == CompressionLevel::Best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_12_MEM_COMPRESS;
}

// Appends the compressed piece to out, where it is compressed in place.
// The fast level uses LZO1X-1 with a dictionary of 4096 entries: a piece has
// no more positions than that, and the compressor clears its dictionary for
// every piece, which for the usual 16384 entries cost more than compressing.
bool AppendCompressed(const uint8_t* data, size_t size, CompressionLevel level, std::vector<uint8_t>& work,
                      std::string& out)
{
    // LZO1X's worst case for 4096 bytes is 4419, within the reader's 5132.
    const size_t at = out.size();
    out.resize(at + kBlockInputSize);
    lzo_uint produced = 0;
    auto* dst = reinterpret_cast<uint8_t*>(out.data() + at);
    int rc = level == CompressionLevel::Best
                 ? lzo1x_999_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data())
                 : lzo1x_1_12_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data());
    if (rc != LZO_E_OK || produced > kBlockInputSize)
        return false;
    out.resize(at + produced);
    return true;
}

void EnsureLzo()
{
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready)
        throw std::runtime_error("the LZO library could not be initialised");
}
}  // namespace

std::string CompressPiece(const uint8_t* data, size_t size, CompressionLevel level)
{
    EnsureLzo();
    std::vector<uint8_t> work(WorkMemorySize(level));
    std::string out;
    if (!AppendCompressed(data, size, level, work, out))
        throw std::runtime_error("LZO compression failed");
    return out;
}

CBlockCompressor::CBlockCompressor(std::ostream& out, CompressionLevel level) : m_out(out), m_level(level)
{
    EnsureLzo();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // One batch filling, one in work per core, one being written, one being
    // hashed and one ready for either side. Their buffers are made when a
    // batch is first filled, so a small input takes only what it uses.
    m_slots.resize(cores + 4);
    for (unsigned i = 0; i < cores; ++i)
        m_threads.emplace_back([this] { Compressor(); });
    m_threads.emplace_back([this] { Writer(); });
    m_threads.emplace_back([this] { Hasher(); });
}

CBlockCompressor::~CBlockCompressor()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    WakeAll();
    for (std::thread& thread : m_threads)
        thread.join();
}

bool CBlockCompressor::Write(const void* data, size_t size)
{
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const std::span<uint8_t> room = Space();
        if (room.empty())
            return false;
        const size_t n = std::min(size, room.size());
        std::memcpy(room.data(), p, n);
        p += n;
        size -= n;
        if (!Commit(n))
            return false;
    }
    return !m_failed;
}

std::span<uint8_t> CBlockCompressor::Space()
{
    if (m_failed)
        return {};
    Slot& slot = SlotOf(m_filling);
    MakeBuffers(slot);
    return {slot.input.get() + slot.filled, kBatchSize - slot.filled};
}

// A batch's buffers are made when it is first filled, so a small input
// takes only what it uses.
void CBlockCompressor::MakeBuffers(Slot& slot)
{
    if (slot.input)
        return;
    slot.input = std::make_unique_for_overwrite<uint8_t[]>(kBatchSize);
    slot.output.reserve(kPiecesPerBatch * (kBlockInputSize + 2));
}

bool CBlockCompressor::Commit(size_t size)
{
    Slot& slot = SlotOf(m_filling);
    size = std::min(size, kBatchSize - slot.filled);
    slot.filled += size;
    m_input += size;
    if (slot.filled == kBatchSize)
        return HandOver();
    return !m_failed;
}

bool CBlockCompressor::Finish()
{
    if (SlotOf(m_filling).filled > 0 && !HandOver())
        return false;
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_failed || m_nextHash == m_filling; });
    if (m_failed)
        return false;
    lock.unlock();
    m_out.flush();
    return m_out.good();
}

// Hands the batch being filled to the compressors and waits until the next
// one in the ring is free: written out, or never used.
bool CBlockCompressor::HandOver()
{
    std::unique_lock lock(m_mutex);
    if (m_failed)
        return false;
    SlotOf(m_filling).state = SlotState::Filled;
    ++m_filling;
    m_toCompress.notify_one();
    m_done.wait(lock, [this] { return m_failed || SlotOf(m_filling).state == SlotState::Free; });
    return !m_failed;
}

bool CBlockCompressor::CompressInput(const InputFill& fill, const std::function<void(uint64_t)>& progress)
{
    std::unique_lock lock(m_mutex);
    m_fill = &fill;
    // Until a batch comes back short, the input may go on.
    m_length = UINT64_MAX;
    m_filling = UINT64_MAX;
    m_toCompress.notify_all();
    // Each batch hashed is reported; fill belongs to the caller, so nobody
    // may be in it once this returns (threads that took a batch beyond the
    // end before it was known are in it too).
    for (uint64_t reported = 0; reported != m_filling;) {
        m_done.wait(lock, [&] { return (m_failed && m_busy == 0) || m_nextHash != reported || reported == m_filling; });
        if (m_failed && m_busy == 0)
            break;
        reported = m_nextHash;
        const uint64_t done = std::min(m_length, reported * kBatchSize);
        lock.unlock();
        if (progress && done > 0)
            progress(done);
        lock.lock();
    }
    m_done.wait(lock, [this] { return m_busy == 0; });
    m_input = std::min(m_length, m_nextHash * kBatchSize);
    if (m_fillFailure)
        std::rethrow_exception(m_fillFailure);
    if (m_failed)
        return false;
    lock.unlock();
    m_out.flush();
    return m_out.good();
}

// Each stage waits on its own condition and is woken only by the stage
// before it: with one condition for all, every change woke every thread,
// some thousand needless switches in a build of 200 MB.
void CBlockCompressor::WakeAll()
{
    m_toCompress.notify_all();
    m_toWrite.notify_all();
    m_toHash.notify_all();
    m_done.notify_all();
}

// Takes the batches in input order, each compressed whole by one thread;
// with an InputFill, each filled first by the same thread once its place in
// the ring is free.
void CBlockCompressor::Compressor()
{
    std::vector<uint8_t> work(WorkMemorySize(m_level));
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_toCompress.wait(lock, [this] {
            return m_stop || m_failed ||
                   (m_nextCompress < m_filling &&
                    SlotOf(m_nextCompress).state == (m_fill ? SlotState::Free : SlotState::Filled));
        });
        if (m_stop || m_failed)
            return;
        const uint64_t sequence = m_nextCompress++;
        Slot& slot = SlotOf(sequence);
        slot.state = SlotState::Compressing;
        ++m_busy;
        lock.unlock();
        const bool compressed = (!m_fill || FillSlot(slot, sequence)) && CompressSlot(slot, work);
        lock.lock();
        --m_busy;
        slot.state = SlotState::Compressed;
        if (!compressed && !slot.failure)
            m_failed = true;
        if (m_failed || m_nextCompress > m_filling)
            WakeAll();  // and CompressInput, which waits for the busy ones
        else
            m_toWrite.notify_one();
    }
}

// A failure of fill is kept with the batch; the writer reports it when it
// gets there, so that the first one in input order is the one reported. A
// short batch is the last one: the number of batches is then known.
bool CBlockCompressor::FillSlot(Slot& slot, uint64_t sequence)
{
    MakeBuffers(slot);
    const uint64_t offset = sequence * kBatchSize;
    try {
        slot.filled = std::min(kBatchSize, (*m_fill)(offset, std::span<uint8_t>(slot.input.get(), kBatchSize)));
    } catch (...) {
        slot.filled = 0;
        slot.failure = std::current_exception();
        return false;
    }
    if (slot.filled < kBatchSize) {
        std::lock_guard lock(m_mutex);
        // A batch beyond the end may come back before the last one.
        m_filling = std::min(m_filling, sequence + (slot.filled > 0 ? 1 : 0));
        m_length = std::min(m_length, offset + slot.filled);
        m_done.notify_all();
    }
    return true;
}

// Writes the compressed batches in input order, one write each (a stream
// passes each piece of a KiB or more to the system on its own).
void CBlockCompressor::Writer()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_toWrite.wait(lock, [this] {
            return m_stop || m_failed ||
                   (m_nextWrite < m_filling && SlotOf(m_nextWrite).state == SlotState::Compressed);
        });
        if (m_stop || m_failed)
            return;
        Slot& slot = SlotOf(m_nextWrite);
        if (slot.failure) {
            m_fillFailure = slot.failure;
            m_failed = true;
            WakeAll();
            return;
        }
        lock.unlock();
        m_out.write(slot.output.data(), static_cast<std::streamsize>(slot.output.size()));
        const bool written = m_out.good();
        m_output += slot.output.size();
        lock.lock();
        slot.state = SlotState::Written;
        ++m_nextWrite;
        if (!written) {
            m_failed = true;
            WakeAll();
        } else {
            m_toHash.notify_one();
        }
    }
}

// Hashes the written batches in the same order on a thread of its own: the
// digest is one pass over the output that no other core can share, and
// behind the writer it takes only its own time, not the write's as well.
void CBlockCompressor::Hasher()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_toHash.wait(lock, [this] {
            return m_stop || m_failed || (m_nextHash < m_nextWrite && SlotOf(m_nextHash).state == SlotState::Written);
        });
        if (m_stop || m_failed)
            return;
        Slot& slot = SlotOf(m_nextHash);
        lock.unlock();
        m_hash.Update(slot.output.data(), slot.output.size());
        lock.lock();
        slot.filled = 0;
        slot.state = SlotState::Free;
        ++m_nextHash;
        if (m_fill)
            m_toCompress.notify_one();  // its place in the ring is free for the next batch
        m_done.notify_one();
    }
}

// Each block goes straight behind its length field, which is filled in after.
bool CBlockCompressor::CompressSlot(Slot& slot, std::vector<uint8_t>& work)
{
    slot.output.clear();
    for (size_t at = 0; at < slot.filled; at += kBlockOutputSize) {
        const size_t size = std::min(kBlockOutputSize, slot.filled - at);
        const size_t field = slot.output.size();
        slot.output.append(2, '\0');
        if (!AppendCompressed(slot.input.get() + at, size, m_level, work, slot.output))
            return false;
        StoreLe16(slot.output.data() + field, static_cast<uint16_t>(slot.output.size() - field - 2));
    }
    return true;
}

bool CompressStream(std::istream& in, std::ostream& out, CompressionLevel level)
{
    CBlockCompressor compressor(out, level);
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.bad() || !compressor.Write(buffer.data(), static_cast<size_t>(in.gcount())))
            return false;
    }
    return compressor.Finish();
}

std::string CompressBytes(const std::string& data, CompressionLevel level)
{
    std::ostringstream out;
    CBlockCompressor compressor(out, level);
    const bool written = compressor.Write(data.data(), data.size()) && compressor.Finish();
    return written ? out.str() : std::string();
}
