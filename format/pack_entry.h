// The record of the appended item directory and of the packed archive's entry
// headers: a 32-bit size and two scrambled, length-counted texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Records are read through a fixed buffer of this size; longer ones are refused.
constexpr size_t kMaxRecordSize = 256;

// Cursor over a block of memory that the caller owns.
class CPackReader {
public:
    CPackReader(const uint8_t* data, size_t size) : m_start(data), m_size(size) {}

    // Fewer than 4 bytes left: out = 0 and the position stays.
    void ReadU32(uint32_t& out);
    // A 16-bit count n (the text and its zero byte), then n bytes. An
    // inconsistent count gives "" with the position just after the count.
    void ReadText(std::string& out);
    void SetScrambled(bool on) { m_scrambled = on; }
    size_t Position() const { return m_pos; }

private:
    const uint8_t* m_start;
    size_t m_size;
    size_t m_pos = 0;
    bool m_scrambled = false;
};

// Fixed 4096-byte output buffer; a field that does not fit is not written.
class CPackWriter {
public:
    static constexpr size_t kCapacity = 4096;

    void WriteU32(uint32_t value);
    void WriteText(const std::string& text);
    void SetScrambled(bool on) { m_scrambled = on; }
    const uint8_t* Data() const { return m_buffer; }
    size_t Size() const { return m_pos; }

private:
    uint8_t m_buffer[kCapacity] = {};
    size_t m_pos = 0;
    bool m_scrambled = false;
};

// Restores or scrambles a text in place with the directory key; stops at the
// first zero byte met before combining.
void ScrambleText(uint8_t* text, size_t length);
// True when every byte of the text survives scrambling (no byte equals the
// key byte it meets, which would end the text early).
bool IsScramblable(const std::string& text);

class CPackEntry {
public:
    virtual ~CPackEntry() = default;
    virtual void WriteTo(CPackWriter& writer) const;
    virtual void ReadFrom(CPackReader& reader);

    uint32_t m_nSize = 0;
    std::string m_strName;
    std::string m_strFolder;
};
