#include "format/pack_entry.h"

#include "framework/endian.h"

#include <cstring>

namespace {
// Control characters, which no file or folder name may contain, so a
// scrambled name never holds a zero byte before its terminator.
constexpr uint8_t kDirectoryKey[8] = {0x13, 0x07, 0x1B, 0x05, 0x11, 0x1D, 0x0B, 0x19};
}  // namespace

void ScrambleText(uint8_t* text, size_t length)
{
    for (size_t i = 0; i < length && text[i] != 0; ++i)
        text[i] ^= kDirectoryKey[i % 8];
}

bool IsScramblable(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<uint8_t>(text[i]);
        if (c == 0 || c == kDirectoryKey[i % 8])
            return false;
    }
    return true;
}

void CPackReader::ReadU32(uint32_t& out)
{
    if (m_size - m_pos < 4) {
        out = 0;
        return;
    }
    out = LoadLe32(m_start + m_pos);
    m_pos += 4;
}

void CPackReader::ReadText(std::string& out)
{
    out.clear();
    size_t n = 0;
    if (m_size - m_pos >= 2) {
        n = LoadLe16(m_start + m_pos);
        m_pos += 2;
    }
    if (n == 0 || n > m_size - m_pos || m_start[m_pos + n - 1] != 0)
        return;
    // Restore a copy: the caller's block stays as it was.
    out.assign(reinterpret_cast<const char*>(m_start + m_pos), n - 1);
    if (m_scrambled)
        ScrambleText(reinterpret_cast<uint8_t*>(out.data()), out.size());
    size_t zero = out.find('\0');
    if (zero != std::string::npos)
        out.resize(zero);
    m_pos += n;
}

void CPackWriter::WriteU32(uint32_t value)
{
    if (kCapacity - m_pos < 4)
        return;
    StoreLe32(m_buffer + m_pos, value);
    m_pos += 4;
}

void CPackWriter::WriteText(const std::string& text)
{
    size_t n = text.size() + 1;
    if (n > 0xFFFF || 2 + n > kCapacity - m_pos)
        return;
    StoreLe16(m_buffer + m_pos, static_cast<uint16_t>(n));
    uint8_t* out = m_buffer + m_pos + 2;
    std::memcpy(out, text.c_str(), n);
    if (m_scrambled)
        ScrambleText(out, n - 1);
    m_pos += 2 + n;
}

void CPackEntry::WriteTo(CPackWriter& writer) const
{
    writer.SetScrambled(true);
    writer.WriteU32(m_nSize);
    writer.WriteText(m_strName);
    writer.WriteText(m_strFolder);
}

void CPackEntry::ReadFrom(CPackReader& reader)
{
    reader.SetScrambled(true);
    reader.ReadU32(m_nSize);
    reader.ReadText(m_strName);
    reader.ReadText(m_strFolder);
}
