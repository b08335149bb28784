// A whole block-compressed file through the decompression worker: any bytes,
// and the compressor's output for any bytes.
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/posix/notify_queue.h"
#include "fuzz_support.h"
#include "format/block_decoder.h"
#include "installer/core/decompress_worker.h"
#include "format/block_compressor.h"

#include <vector>

namespace {
// What the file decodes to block by block, or false at the first block that
// is cut short or does not decode.
bool DecodeReference(const std::string& source, std::string& decoded)
{
    std::vector<uint8_t> out(kBlockOutputSize);
    size_t at = 0;
    while (at < source.size()) {
        if (source.size() - at < 2)
            return false;
        const size_t len = LoadLe16(source.data() + at);
        at += 2;
        size_t produced = 0;
        if (len > source.size() - at ||
            !DecodeBlock(reinterpret_cast<const uint8_t*>(source.data() + at), len, out.data(), produced))
            return false;
        decoded.append(reinterpret_cast<const char*>(out.data()), produced);
        at += len;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    // Odd first byte: the input is what the product holds, compressed first.
    const bool compressed = data[0] & 1;
    const std::string source = compressed ? CompressBytes(body, CompressionLevel::Fast) : body;

    CNotifyQueue queue;
    CDecompressTask task;
    task.m_hNotifyWnd = &queue;
    task.m_strSource = FuzzFolder() + "data.rar";
    task.m_strDest = FuzzFolder() + "data.h66";
    RemoveFile(task.m_strDest).Ignore();  // absent after a run that failed to make it
    FUZZ_CHECK(WriteFuzzFile(task.m_strSource, source));
    const unsigned result = DecompressThreadProc(&task);

    // Positions rise strictly up to at most 100, then one final message.
    std::vector<NotifyMessage> messages;
    NotifyMessage m;
    while (queue.Take(m, 0))
        messages.push_back(m);
    FUZZ_CHECK(!messages.empty());
    intptr_t last = 0;
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        FUZZ_CHECK(messages[i].message == WM_DECOMPRESS_PROGRESS && messages[i].wParam == kProgressPosition);
        FUZZ_CHECK(messages[i].lParam > last && messages[i].lParam <= 100);
        last = messages[i].lParam;
    }
    const NotifyMessage& final = messages.back();
    FUZZ_CHECK(final.message == WM_DECOMPRESS_PROGRESS);

    std::string expected;
    const bool decodes = !source.empty() && DecodeReference(source, expected);
    if (decodes) {
        FUZZ_CHECK(result == 1 && final.wParam == kProgressDone && last == 100);
        FUZZ_CHECK(ReadFuzzFile(task.m_strDest) == expected);
    } else {
        // Damage is reported, and no half-decoded archive is left behind.
        FUZZ_CHECK(result == 0 && final.wParam == kProgressError);
        FUZZ_CHECK(final.lParam == (source.empty() ? kCompressEmptySource : kCompressDamaged));
        FUZZ_CHECK(!FuzzFileExists(task.m_strDest));
    }
    // An empty product compresses to an empty file, which the worker refuses.
    if (compressed && !body.empty())
        FUZZ_CHECK(decodes && expected == body);
    return 0;
}
