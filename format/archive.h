// The packed archive: entry after entry, each a 16-bit length, then a
// CPackEntry (size, name, folder) of at most 256 bytes, then the file's bytes.
#pragma once

#include "format/pack_entry.h"
#include "framework/byte_input.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

enum class EntryHeaderError {
    None,
    Damaged,     // too long, cut short, or fields that do not fill the header exactly
    UnsafePath,  // folder + name would not name a file inside the install folder
};

// Parses the header bytes that follow the 16-bit length.
EntryHeaderError ParseEntryHeader(const uint8_t* data, size_t size, CPackEntry& out);

// The header bytes of an entry, without the length in front.
std::string EntryHeaderBytes(const CPackEntry& entry);
// What stands in front of an entry's file bytes: the length and the header.
std::string EntryLead(const CPackEntry& entry);

// Why a walk stopped before the end of the archive.
enum class ArchiveError {
    None,
    Truncated,      // the archive ends inside an entry, or an entry claims more than is left
    HeaderTooLong,  // a header length over 256 bytes
    HeaderDamaged,  // header fields that do not fill the header exactly
    UnsafePath,     // an entry that would be written outside the install folder
    Stopped,        // the sink asked to stop
};

constexpr uint64_t kUnknownLength = UINT64_MAX;

// Walks an archive entry by entry:
//     while (walk.Next(entry)) walk.StreamTo(sink) or walk.Skip();
//     then walk.Error() tells the clean end (None) from damage.
// Given the archive's length, every length field is checked against what is
// left before anything of its entry is read; without it the input's AtEnd
// marks the end, and a short read is damage.
class CArchiveWalk {
public:
    // Receives the body in pieces of at most kPiece bytes; false stops the walk.
    using Sink = std::function<bool(const uint8_t* data, size_t size)>;
    static constexpr uint32_t kPiece = 4096;

    explicit CArchiveWalk(CByteInput& input, uint64_t length = kUnknownLength) : m_input(input), m_length(length) {}
    CArchiveWalk(const CArchiveWalk&) = delete;
    CArchiveWalk& operator=(const CArchiveWalk&) = delete;

    // Reads the next entry's header (passing over the body of the one before
    // if it was neither streamed nor skipped). False at the end and on error.
    bool Next(CPackEntry& entry);
    // Passes the current entry's body to sink, piece by piece.
    bool StreamTo(const Sink& sink);
    // Passes over the current entry's body; an input that can move on
    // without reading (a file) is not read.
    bool Skip();

    ArchiveError Error() const { return m_error; }
    // Archive bytes read so far.
    uint64_t Consumed() const { return m_consumed; }

private:
    bool Fail(ArchiveError error)
    {
        m_error = error;
        return false;
    }
    bool Known() const { return m_length != kUnknownLength; }

    CByteInput& m_input;
    const uint64_t m_length;
    uint64_t m_consumed = 0;
    uint32_t m_bodyLeft = 0;  // of the current entry
    ArchiveError m_error = ArchiveError::None;
};
