#include "framework/buffered_file.h"

#include <cstring>

bool CBufferedReader::ReadFully(void* out, uint32_t count)
{
    auto* at = static_cast<uint8_t*>(out);
    while (count > 0) {
        if (m_pos == m_end) {
            // A request as large as the buffer goes to the file directly.
            if (count >= m_capacity) {
                m_failure = ::ReadFully(m_file, at, count);
                return static_cast<bool>(m_failure);
            }
            m_pos = 0;
            const CFile::ReadResult got = m_file.Read(m_buffer, static_cast<uint32_t>(m_capacity));
            m_end = got.bytes;
            if (!got.status) {
                m_failure = got.status;
                return false;
            }
            if (m_end == 0) {
                m_failure = Status(StatusCode::EndOfFile, "ReadFile", m_file.Path());
                return false;
            }
        }
        const size_t n = count < m_end - m_pos ? count : m_end - m_pos;
        std::memcpy(at, m_buffer + m_pos, n);
        m_pos += n;
        at += n;
        count -= static_cast<uint32_t>(n);
    }
    return true;
}

bool CBufferedReader::Skip(uint64_t count)
{
    const size_t held = m_end - m_pos;
    if (count <= held) {
        m_pos += static_cast<size_t>(count);
        return true;
    }
    // Past what the buffer holds the file moves on without reading: a
    // body nobody takes costs no copy.
    m_pos = m_end = 0;
    if (m_file.Seek(static_cast<int64_t>(count - held), CFile::current) < 0) {
        m_failure = Status::LastOsError("SetFilePointer", m_file.Path());
        return false;
    }
    return true;
}
