// A buffer beneath the workers' small pieces: a worker still reads a 2-byte
// length, a header and a 4 KiB block at a time, but the file sees one call
// per buffer. The caller owns the buffer memory (one allocation per worker
// run, none per file or block).
#pragma once

#include "framework/byte_input.h"
#include "framework/file.h"

#include <cstddef>
#include <cstdint>

// Reads a file from its current position onwards; the file must not be read
// or moved by anyone else while the reader is in use.
class CBufferedReader : public CByteInput {
public:
    CBufferedReader(CFile& file, uint8_t* buffer, size_t capacity)
        : m_file(file), m_buffer(buffer), m_capacity(capacity) {}
    CBufferedReader(const CBufferedReader&) = delete;
    CBufferedReader& operator=(const CBufferedReader&) = delete;

    // Exactly count bytes; false when the file ends or fails first.
    bool ReadFully(void* out, uint32_t count) override;
    // Passes over count bytes; beyond the buffer the file is moved, not
    // read, so a skip past the file's end shows only at the next read.
    bool Skip(uint64_t count) override;
    // Why the last ReadFully or Skip failed: the file's end or the call's own error.
    const Status& Failure() const { return m_failure; }

private:
    CFile& m_file;
    uint8_t* m_buffer;
    size_t m_capacity;
    size_t m_pos = 0;
    size_t m_end = 0;
    Status m_failure;
};
