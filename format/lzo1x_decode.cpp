#include "format/lzo1x_decode.h"

#include "framework/endian.h"

#include <cstdint>
#include <cstring>

// An LZO1X stream is a run of instructions, each an opcode byte t and what
// follows it:
//   t 0-15 after a match or at the start: a run of literals (t + 3 of them;
//          t 0 takes a longer length from the bytes after it);
//   t 0-15 right after a literal run: a 3-byte match 2049-3072 back;
//   t 0-15 after a match's 1-3 trailing literals: a 2-byte match 1-1024 back;
//   t 16-31: a match up to 48 KiB back, or the end marker (distance 0);
//   t 32-63: a match up to 16 KiB back;
//   t 64-255: a match of 3-8 bytes up to 2 KiB back.
// A long length is its zero bytes times 255 plus the byte after them. The
// low two bits of a match's last distance byte say how many literals (0-3)
// follow it before the next opcode. A first byte over 17 starts the stream
// with a literal run of t - 17.
//
// Before each instruction the bytes it needs in both buffers are checked, as
// the library's safe decoder checks them, so that every stream ends up
// accepted or refused as there: too few input bytes left, an output that
// would go beyond its capacity, or a match before the start of the output.
namespace {
class CDecoder {
public:
    CDecoder(const uint8_t* data, size_t size, uint8_t* out, size_t capacity)
        : m_ip(data), m_inEnd(data + size), m_out(out), m_op(out), m_outEnd(out + capacity)
    {
    }

    // Sets outSize only when the stream decodes whole.
    bool Run(size_t& outSize);

private:
    size_t InLeft() const { return static_cast<size_t>(m_inEnd - m_ip); }
    size_t OutLeft() const { return static_cast<size_t>(m_outEnd - m_op); }
    size_t Written() const { return static_cast<size_t>(m_op - m_out); }

    // A length of base plus what the bytes after a zero length field say.
    // No length is too long here: the end marker's is never used, so only
    // the copy refuses a length beyond the output. What would not fit the
    // count is refused, as by the library.
    bool LongLength(size_t base, size_t& length)
    {
        size_t zeros = 0;
        for (;;) {
            if (InLeft() < 1)
                return false;
            if (*m_ip != 0)
                break;
            ++m_ip;
            if (++zeros > (SIZE_MAX - 511) / 255)
                return false;
        }
        length = zeros * 255 + base + *m_ip++;
        return true;
    }

    // n literals; the caller checked that both buffers hold them.
    void Literals(size_t n)
    {
        if (n <= 16 && InLeft() >= 16 && OutLeft() >= 16) {
            std::memcpy(m_op, m_ip, 16);
        } else if (InLeft() >= n + 15 && OutLeft() >= n + 15) {
            for (size_t i = 0; i < n; i += 16)
                std::memcpy(m_op + i, m_ip + i, 16);
        } else {
            std::memcpy(m_op, m_ip, n);
        }
        m_op += n;
        m_ip += n;
    }

    // n bytes from back bytes behind the output; false for a match before
    // its start or beyond its end.
    bool Match(size_t back, size_t n)
    {
        if (back > Written() || n > OutLeft())
            return false;
        const uint8_t* from = m_op - back;
        // A piece reads only bytes already written when it is no longer than
        // the distance.
        if (back >= 16 && OutLeft() >= n + 15) {
            for (size_t i = 0; i < n; i += 16)
                std::memcpy(m_op + i, from + i, 16);
        } else if (back >= 8 && OutLeft() >= n + 7) {
            for (size_t i = 0; i < n; i += 8)
                std::memcpy(m_op + i, from + i, 8);
        } else {
            for (size_t i = 0; i < n; ++i)
                m_op[i] = from[i];
        }
        m_op += n;
        return true;
    }

    const uint8_t* m_ip;
    const uint8_t* const m_inEnd;
    uint8_t* const m_out;
    uint8_t* m_op;
    uint8_t* const m_outEnd;
};

bool CDecoder::Run(size_t& outSize)
{
    size_t t;
    if (InLeft() == 0)
        return false;
    if (*m_ip > 17) {
        t = *m_ip++ - 17u;
        if (t < 4)
            goto trailing_literals;
        if (OutLeft() < t || InLeft() < t + 3)
            return false;
        Literals(t);
        goto after_literal_run;
    }
    for (;;) {
        if (InLeft() < 3)
            return false;
        t = *m_ip++;
        if (t >= 16)
            goto match;
        if (t == 0 && !LongLength(15, t))
            return false;
        // The run, and the opcode and distance of the match after it.
        if (OutLeft() < t + 3 || InLeft() < t + 6)
            return false;
        Literals(t + 3);
    after_literal_run:
        t = *m_ip++;
        if (t >= 16)
            goto match;
        if (!Match(1 + 0x0800 + (t >> 2) + (static_cast<size_t>(*m_ip++) << 2), 3))
            return false;
        goto match_done;
        for (;;) {
        match:
            if (t >= 64) {
                const size_t back = 1 + ((t >> 2) & 7) + (static_cast<size_t>(*m_ip++) << 3);
                if (!Match(back, (t >> 5) + 1))
                    return false;
            } else if (t >= 32) {
                t &= 31;
                if (t == 0 && (!LongLength(31, t) || InLeft() < 2))
                    return false;
                const size_t back = 1 + (LoadLe16(m_ip) >> 2);
                m_ip += 2;
                if (!Match(back, t + 2))
                    return false;
            } else if (t >= 16) {
                size_t back = (t & 8) << 11;
                t &= 7;
                if (t == 0 && (!LongLength(7, t) || InLeft() < 2))
                    return false;
                back += LoadLe16(m_ip) >> 2;
                m_ip += 2;
                if (back == 0) {
                    if (m_ip != m_inEnd)
                        return false;
                    outSize = Written();
                    return true;
                }
                if (!Match(back + 0x4000, t + 2))
                    return false;
            } else {
                if (!Match(1 + (t >> 2) + (static_cast<size_t>(*m_ip++) << 2), 2))
                    return false;
            }
        match_done:
            t = m_ip[-2] & 3;
            if (t == 0)
                break;
        trailing_literals:
            // The literals, and the next opcode with its distance.
            if (OutLeft() < t || InLeft() < t + 3)
                return false;
            Literals(t);
            t = *m_ip++;
        }
    }
}
}  // namespace

bool DecodeLzo1x(const uint8_t* data, size_t size, uint8_t* out, size_t capacity, size_t& outSize)
{
    outSize = 0;
    return CDecoder(data, size, out, capacity).Run(outSize);
}
