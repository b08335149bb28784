#include "tools/pack/block_compressor.h"

#include "installer/core/block_decoder.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {
constexpr size_t kPiecesPerWorker = 64;

size_t WorkMemorySize(CompressionLevel level)
{
    return level == CompressionLevel::Best ? LZO1X_999_MEM_COMPRESS : LZO1X_1_MEM_COMPRESS;
}

bool CompressInto(const uint8_t* data, size_t size, CompressionLevel level, std::vector<uint8_t>& work,
                  std::string& out)
{
    // LZO1X's worst case for 4096 bytes is 4419, within the reader's 5132.
    out.resize(kBlockInputSize);
    lzo_uint produced = 0;
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    int rc = level == CompressionLevel::Best
                 ? lzo1x_999_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data())
                 : lzo1x_1_compress(data, static_cast<lzo_uint>(size), dst, &produced, work.data());
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
    m_blocks.resize(m_workers * kPiecesPerWorker);
    m_work.assign(m_workers, std::vector<uint8_t>(WorkMemorySize(level)));
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
            FlushBatch();
    }
    return !m_failed;
}

bool CBlockCompressor::Finish()
{
    if (m_filled > 0)
        FlushBatch();
    m_out.flush();
    return !m_failed && m_out.good();
}

bool CBlockCompressor::FlushBatch()
{
    const size_t pieces = (m_filled + kBlockOutputSize - 1) / kBlockOutputSize;
    std::atomic<bool> failed{false};
    auto compressShare = [&](unsigned w) {
        for (size_t i = w; i < pieces; i += m_workers) {
            size_t size = std::min(kBlockOutputSize, m_filled - i * kBlockOutputSize);
            if (!CompressInto(m_batch.data() + i * kBlockOutputSize, size, m_level, m_work[w], m_blocks[i]))
                failed = true;
        }
    };
    if (pieces <= 1 || m_workers == 1) {
        for (unsigned w = 0; w < m_workers; ++w)
            compressShare(w);
    } else {
        std::vector<std::jthread> threads;
        for (unsigned w = 0; w < m_workers && w < pieces; ++w)
            threads.emplace_back(compressShare, w);
    }
    m_filled = 0;
    if (failed) {
        m_failed = true;
        return false;
    }
    for (size_t i = 0; i < pieces; ++i) {
        const auto len = static_cast<uint16_t>(m_blocks[i].size());
        const char lenBytes[2] = {static_cast<char>(len & 0xFF), static_cast<char>(len >> 8)};
        m_out.write(lenBytes, 2);
        m_out.write(m_blocks[i].data(), static_cast<std::streamsize>(m_blocks[i].size()));
        m_output += 2 + m_blocks[i].size();
    }
    if (!m_out)
        m_failed = true;
    return !m_failed;
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
    compressor.Write(data.data(), data.size());
    compressor.Finish();
    return out.str();
}
