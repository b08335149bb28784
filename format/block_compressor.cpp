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
// 1 MiB of input per core and batch.
constexpr size_t kPiecesPerWorker = 256;

size_t WorkMemorySize(CompressionLevel level)
{
    return level == CompressionLevel::Best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_12_MEM_COMPRESS;
}

// The fast level uses LZO1X-1 with a dictionary of 4096 entries: a piece has
// no more positions than that, and the compressor clears its dictionary for
// every piece, which for the usual 16384 entries cost more than compressing.
bool CompressInto(const uint8_t* data, size_t size, CompressionLevel level, std::vector<uint8_t>& work,
                  std::string& out)
{
    // LZO1X's worst case for 4096 bytes is 4419, within the reader's 5132.
    out.resize(kBlockInputSize);
    lzo_uint produced = 0;
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    int rc = level == CompressionLevel::Best
                 ? lzo1x_999_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data())
                 : lzo1x_1_12_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data());
    if (rc != LZO_E_OK || produced > kBlockInputSize)
        return false;
    out.resize(produced);
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
    if (!CompressInto(data, size, level, work, out))
        throw std::runtime_error("LZO compression failed");
    return out;
}

CBlockCompressor::CBlockCompressor(std::ostream& out, CompressionLevel level)
    : m_out(out), m_level(level), m_workers(std::max(1u, std::thread::hardware_concurrency()))
{
    EnsureLzo();
    m_batch.resize(m_workers * kPiecesPerWorker * kBlockOutputSize);
    m_busy.resize(m_batch.size());
    m_blocks.resize(m_workers * kPiecesPerWorker);
    m_work.assign(m_workers, std::vector<uint8_t>(WorkMemorySize(level)));
}

CBlockCompressor::~CBlockCompressor()
{
    WaitForBatch();
    if (m_hashThread.joinable())
        m_hashThread.join();
}

Sha256Digest CBlockCompressor::OutputDigest()
{
    WaitForBatch();
    if (m_hashThread.joinable())
        m_hashThread.join();
    return m_hash.Final();
}

bool CBlockCompressor::Write(const void* data, size_t size)
{
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0 && !m_failed) {
        size_t n = std::min(size, m_batch.size() - m_filled);
        std::memcpy(m_batch.data() + m_filled, p, n);
        m_filled += n;
        m_input += n;
        p += n;
        size -= n;
        if (m_filled == m_batch.size())
            HandOver();
    }
    return !m_failed;
}

bool CBlockCompressor::Finish()
{
    if (m_filled > 0)
        HandOver();
    WaitForBatch();
    m_out.flush();
    return !m_failed && m_out.good();
}

bool CBlockCompressor::WaitForBatch()
{
    if (m_thread.joinable())
        m_thread.join();
    return !m_failed;
}

bool CBlockCompressor::HandOver()
{
    if (!WaitForBatch())
        return false;
    m_batch.swap(m_busy);
    const size_t filled = m_filled;
    m_filled = 0;
    m_thread = std::thread([this, filled] { CompressBatch(m_busy, filled); });
    return true;
}

void CBlockCompressor::CompressBatch(const std::vector<uint8_t>& batch, size_t filled)
{
    const size_t pieces = (filled + kBlockOutputSize - 1) / kBlockOutputSize;
    std::atomic<bool> failed{false};
    auto compressShare = [&](unsigned w) {
        for (size_t i = w; i < pieces; i += m_workers) {
            size_t size = std::min(kBlockOutputSize, filled - i * kBlockOutputSize);
            if (!CompressInto(batch.data() + i * kBlockOutputSize, size, m_level, m_work[w], m_blocks[i]))
                failed = true;
        }
    };
    {
        // This thread takes the first share, one helper each the others.
        std::vector<std::jthread> helpers;
        for (unsigned w = 1; w < m_workers && w < pieces; ++w)
            helpers.emplace_back(compressShare, w);
        compressShare(0);
    }
    if (failed) {
        m_failed = true;
        return;
    }
    // One write per batch: a stream passes each piece of a KiB or more to
    // the system on its own.
    std::string& written = m_written[m_side];
    written.clear();
    for (size_t i = 0; i < pieces; ++i) {
        const auto len = static_cast<uint16_t>(m_blocks[i].size());
        AppendLe16(written, len);
        written.append(m_blocks[i]);
    }
    m_out.write(written.data(), static_cast<std::streamsize>(written.size()));
    m_output += written.size();
    // The batch before is hashed by now, and its buffer is the next to fill.
    if (m_hashThread.joinable())
        m_hashThread.join();
    m_hashThread = std::thread([this, &written] { m_hash.Update(written.data(), written.size()); });
    m_side ^= 1;
    if (!m_out)
        m_failed = true;
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
