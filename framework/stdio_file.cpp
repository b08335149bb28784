// The parts of the file layer that need nothing of the platform.
#include "framework/file.h"

#include <utility>

namespace {
// Reads over short reads with read(done, at, left), done being the bytes
// read so far.
template <class Read>
Status ReadAll(CFile& file, void* buffer, uint32_t count, Read read)
{
    auto* at = static_cast<uint8_t*>(buffer);
    for (uint32_t done = 0; done < count;) {
        const CFile::ReadResult got = read(done, at + done, count - done);
        if (!got.status)
            return got.status;
        if (got.bytes == 0)
            return Status(StatusCode::EndOfFile, "ReadFile", file.Path());
        done += got.bytes;
    }
    return Status();
}
}  // namespace

Status ReadFully(CFile& file, void* buffer, uint32_t count)
{
    return ReadAll(file, buffer, count, [&](uint32_t, void* at, uint32_t left) { return file.Read(at, left); });
}

Status ReadFullyAt(CFile& file, uint64_t offset, void* buffer, uint32_t count)
{
    return ReadAll(file, buffer, count,
                   [&](uint32_t done, void* at, uint32_t left) { return file.ReadAt(offset + done, at, left); });
}

bool CStdioFile::ReadString(std::string& line)
{
    line.clear();
    bool gotAny = false;
    for (;;) {
        if (m_pos == m_buffer.size()) {
            if (m_eof)
                break;
            m_buffer.resize(8192);
            const ReadResult got = Read(m_buffer.data(), static_cast<uint32_t>(m_buffer.size()));
            m_buffer.resize(got.bytes);
            m_pos = 0;
            if (!got.status) {
                m_eof = true;
                return false;
            }
            if (got.bytes == 0) {
                m_eof = true;
                break;
            }
        }
        size_t lf = m_buffer.find('\n', m_pos);
        size_t stop = lf == std::string::npos ? m_buffer.size() : lf;
        line.append(m_buffer, m_pos, stop - m_pos);
        gotAny = true;
        if (lf != std::string::npos) {
            m_pos = lf + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        m_pos = m_buffer.size();
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return gotAny;
}

bool CStdioFile::WriteString(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return static_cast<bool>(Write(out.data(), static_cast<uint32_t>(out.size())));
}

void CStdioFile::Close()
{
    m_buffer.clear();
    m_pos = 0;
    m_eof = false;
    CFile::Close();
}

void CTempFile::Remove()
{
    if (!m_path.empty())
        RemoveFile(std::exchange(m_path, std::string())).Ignore();
}
