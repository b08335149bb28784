#include "common/scramble.h"

#include "framework/file.h"

#include <vector>

const char* const kScrambleKey = "mirtol";

namespace {
// Starting value of the key derivation; the same in every program.
constexpr uint64_t kStartingConstant = 0x5D3A9C1E7B264F80ull;

int TransformFile(const std::string& path, bool resetLength)
{
    CFile file;
    if (!file.Open(path, CFile::modeReadWrite | CFile::shareDenyNone | CFile::typeBinary))
        return 0;
    const uint64_t length = file.GetLength();
    // A configuration file is small text; one that cannot be held at once is
    // not one of ours and stays as it is.
    if (length == 0 || length > 0x7FFFFFFFu)
        return 0;
    std::vector<uint8_t> buffer(static_cast<size_t>(length));
    if (file.Seek(0, CFile::begin) != 0 || !ReadFully(file, buffer.data(), static_cast<uint32_t>(length)))
        return 0;
    ScrambleBytes(buffer.data(), buffer.size());
    if (file.Seek(0, CFile::begin) != 0 || !file.Write(buffer.data(), static_cast<uint32_t>(length)))
        return 0;
    if (resetLength && !file.SetLength(length))
        return 0;
    return 1;
}
}  // namespace

uint64_t KeyValueFromString(const char* text)
{
    uint32_t low = static_cast<uint32_t>(kStartingConstant);
    uint32_t high = static_cast<uint32_t>(kStartingConstant >> 32);
    for (const char* p = text; *p != '\0'; ++p) {
        const int32_t w = static_cast<int32_t>(static_cast<signed char>(*p)) | 0x80;
        low ^= static_cast<uint32_t>(w);
        high ^= w < 0 ? 0xFFFFFFFFu : 0u;
    }
    return static_cast<uint64_t>(high) << 32 | low;
}

void ScrambleBytes(uint8_t* data, size_t size)
{
    const auto mask = static_cast<uint8_t>(KeyValueFromString(kScrambleKey) ^ (static_cast<uint64_t>(size) & 0xFF));
    for (size_t i = 0; i < size; ++i)
        data[i] ^= mask;
}

int ScrambleFile(const std::string& path) { return TransformFile(path, false); }
int UnscrambleFile(const std::string& path) { return TransformFile(path, true); }
