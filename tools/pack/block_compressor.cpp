#include "tools/pack/block_compressor.h"

#include "installer/core/block_decoder.h"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {
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
        throw std::runtime_error("LZO library could not be initialised");
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

bool CompressStream(std::istream& in, std::ostream& out, CompressionLevel level,
                    const std::function<void(uint64_t)>& progress)
{
    EnsureLzo();
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    const size_t piecesPerWorker = 64;
    const size_t batchPieces = workers * piecesPerWorker;
    std::vector<uint8_t> input(batchPieces * kBlockOutputSize);
    std::vector<std::string> blocks(batchPieces);
    std::vector<std::vector<uint8_t>> work(workers, std::vector<uint8_t>(WorkMemorySize(level)));
    uint64_t done = 0;
    for (;;) {
        in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (in.bad())
            return false;
        if (got == 0)
            break;
        const size_t pieces = (got + kBlockOutputSize - 1) / kBlockOutputSize;
        std::atomic<bool> failed{false};
        auto compressRange = [&](unsigned w) {
            for (size_t i = w; i < pieces; i += workers) {
                size_t size = std::min(kBlockOutputSize, got - i * kBlockOutputSize);
                if (!CompressInto(input.data() + i * kBlockOutputSize, size, level, work[w], blocks[i]))
                    failed = true;
            }
        };
        if (pieces == 1 || workers == 1) {
            for (unsigned w = 0; w < workers; ++w)
                compressRange(w);
        } else {
            std::vector<std::jthread> threads;
            for (unsigned w = 0; w < workers; ++w)
                threads.emplace_back(compressRange, w);
        }
        if (failed)
            return false;
        for (size_t i = 0; i < pieces; ++i) {
            const auto len = static_cast<uint16_t>(blocks[i].size());
            const char lenBytes[2] = {static_cast<char>(len & 0xFF), static_cast<char>(len >> 8)};
            out.write(lenBytes, 2);
            out.write(blocks[i].data(), static_cast<std::streamsize>(blocks[i].size()));
        }
        if (!out)
            return false;
        done += got;
        if (progress)
            progress(done);
        if (got < input.size())
            break;
    }
    return true;
}

std::string CompressBytes(const std::string& data, CompressionLevel level)
{
    std::istringstream in(data);
    std::ostringstream out;
    CompressStream(in, out, level);
    return out.str();
}
