// Counted-string helpers for 8-bit text in the ANSI code page (GBK, 936).
// A lead byte 0x81-0xFE and a trail byte 0x40-0x7E or 0x80-0xFE after it form
// one character, so a trail byte that happens to equal a separator ("\\",
// "|") is never mistaken for one. Any other byte after a lead byte is no
// trail byte: Windows does not pair the two, so that byte (a ":", a "/", a
// ".") keeps its own meaning, and every scan here reads the lead byte as a
// character of its own.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

constexpr size_t npos = std::string::npos;

std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatV(const char* format, va_list args);

inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length of the character that starts at index i of text: 2 for a lead byte
// followed by a trail byte, otherwise 1. Every multi-byte aware scan steps
// with it.
inline size_t GbkCharLength(const std::string& text, size_t i)
{
    return i + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[i])) &&
                   IsTrailByte(static_cast<unsigned char>(text[i + 1]))
               ? 2
               : 1;
}
// True when every lead byte of text is followed by a trail byte: text that
// names a file the same way for every reader.
bool IsWellFormedGbk(const std::string& text);

// Index of the first whole character equal to ch at or after start, or npos.
size_t MbFind(const std::string& text, char ch, size_t start = 0);
// Index of the first occurrence of needle starting on a character boundary.
size_t MbFind(const std::string& text, const std::string& needle, size_t start = 0);
// Index of the last whole character equal to ch, or npos.
size_t MbReverseFind(const std::string& text, char ch);

// ASCII letters in lower case; the bytes of a double-byte character are left
// as they are (a trail byte may fall in the letter range). Windows compares
// file names this way for the ASCII part.
std::string MbLowerAscii(std::string text);

// White space (space, tab, CR, LF, VT, FF) removed from one or both ends.
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string Trim(const std::string& text);

// Decimal conversion: leading white space and a sign accepted, stops at the
// first non-digit, no digits give 0. The value is taken modulo 2^32 as a
// signed 32-bit number, so a size written with "%lu" above 2^31 reads back
// negative, as stored descriptors expect.
int ToInt(const std::string& text);
