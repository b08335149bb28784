// A forward reader of stored bytes, as the format walks take them: a file
// through its buffer, a decoded block stream, or bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class CByteInput {
public:
    virtual ~CByteInput() = default;
    // Exactly count bytes; false when the input ends or fails first.
    virtual bool ReadFully(void* out, uint32_t count) = 0;
    // Passes over count bytes; false when the input ends or fails first
    // (an input that can move without reading may notice the end only at
    // the next read).
    virtual bool Skip(uint64_t count)
    {
        uint8_t piece[4096];
        while (count > 0) {
            const uint32_t n = count < sizeof piece ? static_cast<uint32_t>(count) : sizeof piece;
            if (!ReadFully(piece, n))
                return false;
            count -= n;
        }
        return true;
    }
    // True when no byte is left. Asked only by a walk that was not told the
    // input's length.
    virtual bool AtEnd() { return false; }
};

// Bytes the caller owns.
class CMemoryInput : public CByteInput {
public:
    CMemoryInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool ReadFully(void* out, uint32_t count) override
    {
        if (count > m_size - m_pos)
            return false;
        if (count > 0)
            std::memcpy(out, m_data + m_pos, count);
        m_pos += count;
        return true;
    }
    bool AtEnd() override { return m_pos == m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
