#include "format/archive.h"

#include "common/path_rules.h"
#include "framework/endian.h"

EntryHeaderError ParseEntryHeader(const uint8_t* data, size_t size, CPackEntry& out)
{
    out = CPackEntry();
    if (size < 4 || size > kMaxRecordSize)
        return EntryHeaderError::Damaged;
    CPackReader reader(data, size);
    out.ReadFrom(reader);
    // The writer fills a header exactly; anything else means a field count
    // was wrong and a text came back empty.
    if (reader.Position() != size || out.m_strName.empty())
        return EntryHeaderError::Damaged;
    if (!IsSafeRelativePath(out.m_strFolder, out.m_strName))
        return EntryHeaderError::UnsafePath;
    return EntryHeaderError::None;
}

std::string EntryHeaderBytes(const CPackEntry& entry)
{
    CPackWriter writer;
    entry.WriteTo(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Size());
}

std::string EntryLead(const CPackEntry& entry)
{
    const std::string header = EntryHeaderBytes(entry);
    char length[2];
    StoreLe16(length, static_cast<uint16_t>(header.size()));
    return std::string(length, 2) + header;
}

bool CArchiveWalk::Next(CPackEntry& entry)
{
    entry = CPackEntry();
    if (m_error != ArchiveError::None || (m_bodyLeft > 0 && !Skip()))
        return false;
    if (Known() ? m_consumed >= m_length : m_input.AtEnd())
        return false;
    uint8_t lenBytes[2];
    if ((Known() && m_length - m_consumed < 2) || !m_input.ReadFully(lenBytes, 2))
        return Fail(ArchiveError::Truncated);
    const uint32_t hlen = LoadLe16(lenBytes);
    if (hlen > kMaxRecordSize)
        return Fail(ArchiveError::HeaderTooLong);
    uint8_t header[kMaxRecordSize];
    if ((Known() && hlen > m_length - m_consumed - 2) || !m_input.ReadFully(header, hlen))
        return Fail(ArchiveError::Truncated);
    switch (ParseEntryHeader(header, hlen, entry)) {
    case EntryHeaderError::None: break;
    case EntryHeaderError::Damaged: return Fail(ArchiveError::HeaderDamaged);
    case EntryHeaderError::UnsafePath: return Fail(ArchiveError::UnsafePath);
    }
    m_consumed += hlen + 2;
    // An entry that claims more bytes than are left is refused before any of
    // its body is read.
    if (Known() && entry.m_nSize > m_length - m_consumed)
        return Fail(ArchiveError::Truncated);
    m_bodyLeft = entry.m_nSize;
    return true;
}

bool CArchiveWalk::StreamTo(const Sink& sink)
{
    uint8_t piece[kPiece];
    while (m_bodyLeft > 0 && m_error == ArchiveError::None) {
        const uint32_t n = m_bodyLeft < kPiece ? m_bodyLeft : kPiece;
        if (!m_input.ReadFully(piece, n))
            return Fail(ArchiveError::Truncated);
        m_bodyLeft -= n;
        m_consumed += n;
        if (!sink(piece, n))
            return Fail(ArchiveError::Stopped);
    }
    return m_error == ArchiveError::None;
}

bool CArchiveWalk::Skip()
{
    if (m_error != ArchiveError::None)
        return false;
    if (m_bodyLeft > 0 && !m_input.Skip(m_bodyLeft))
        return Fail(ArchiveError::Truncated);
    m_consumed += m_bodyLeft;
    m_bodyLeft = 0;
    return true;
}
