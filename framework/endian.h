// Little-endian fields of the stored formats, read and written byte by byte:
// no pointer casts, so alignment and the host's byte order never matter, and
// every function is usable in constant expressions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

template <class T>
concept ByteLike = sizeof(T) == 1 && (std::is_integral_v<T> || std::is_same_v<T, std::byte>);

// A char may be signed: each byte is taken as unsigned before it is shifted.
template <ByteLike Byte>
constexpr uint16_t LoadLe16(const Byte* p)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}

template <ByteLike Byte>
constexpr uint32_t LoadLe32(const Byte* p)
{
    return static_cast<uint32_t>(LoadLe16(p)) | static_cast<uint32_t>(LoadLe16(p + 2)) << 16;
}

template <ByteLike Byte>
constexpr uint64_t LoadLe64(const Byte* p)
{
    return static_cast<uint64_t>(LoadLe32(p)) | static_cast<uint64_t>(LoadLe32(p + 4)) << 32;
}

template <ByteLike Byte>
constexpr void StoreLe16(Byte* p, uint16_t v)
{
    p[0] = static_cast<Byte>(v & 0xFF);
    p[1] = static_cast<Byte>(v >> 8);
}

template <ByteLike Byte>
constexpr void StoreLe32(Byte* p, uint32_t v)
{
    StoreLe16(p, static_cast<uint16_t>(v & 0xFFFF));
    StoreLe16(p + 2, static_cast<uint16_t>(v >> 16));
}

template <ByteLike Byte>
constexpr void StoreLe64(Byte* p, uint64_t v)
{
    StoreLe32(p, static_cast<uint32_t>(v & 0xFFFFFFFF));
    StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Appending to a byte container (std::string, std::vector<uint8_t>, ...).
template <class Bytes, class Value>
constexpr Bytes& AppendLe(Bytes& out, Value v)
{
    static_assert(std::is_unsigned_v<Value>);
    for (size_t i = 0; i < sizeof(Value); ++i)
        out.push_back(static_cast<typename Bytes::value_type>(v >> (8 * i) & 0xFF));
    return out;
}

template <class Bytes>
constexpr Bytes& AppendLe16(Bytes& out, uint16_t v) { return AppendLe(out, v); }
template <class Bytes>
constexpr Bytes& AppendLe32(Bytes& out, uint32_t v) { return AppendLe(out, v); }
template <class Bytes>
constexpr Bytes& AppendLe64(Bytes& out, uint64_t v) { return AppendLe(out, v); }
