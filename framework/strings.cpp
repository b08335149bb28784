#include "framework/strings.h"

#include <cstdint>
#include <cstdio>
#include <vector>

std::string FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(n));
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string s = FormatV(format, args);
    va_end(args);
    return s;
}

namespace {
size_t CharLen(const std::string& text, size_t i) { return GbkCharLength(text, i); }

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
}  // namespace

size_t MbFind(const std::string& text, char ch, size_t start)
{
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
        if (i >= start && text[i] == ch && CharLen(text, i) == 1)
            return i;
    }
    return npos;
}

size_t MbFind(const std::string& text, const std::string& needle, size_t start)
{
    if (needle.empty())
        return start <= text.size() ? start : npos;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
        if (i >= start && text.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return npos;
}

std::string MbLowerAscii(std::string text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (CharLen(text, i) == 2)
            ++i;
        else if (c >= 'A' && c <= 'Z')
            text[i] = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

size_t MbReverseFind(const std::string& text, char ch)
{
    size_t found = npos;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
        if (text[i] == ch && CharLen(text, i) == 1)
            found = i;
    }
    return found;
}

bool IsWellFormedGbk(const std::string& text)
{
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
        if (IsLeadByte(static_cast<unsigned char>(text[i])) && CharLen(text, i) == 1)
            return false;
    }
    return true;
}

std::string TrimLeft(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return text.substr(i);
}

std::string TrimRight(const std::string& text)
{
    // Only single-byte characters can be white space; walk forward so that a
    // trail byte is never taken for one.
    size_t keep = 0;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
        if (CharLen(text, i) == 2 || !IsSpace(text[i]))
            keep = i + CharLen(text, i);
    }
    return text.substr(0, keep);
}

std::string Trim(const std::string& text) { return TrimLeft(TrimRight(text)); }

int ToInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}
