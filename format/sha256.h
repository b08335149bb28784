// SHA-256 (FIPS 180-4), for the checksums of a package's items: a strong
// hash, so that no damage a download or a disk can do goes unnoticed, and
// one that every system can recompute (sha256sum) to see which item is bad.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Sha256Digest = std::array<uint8_t, 32>;

class CSha256 {
public:
    CSha256();
    // plainOnly: never the processor's SHA instructions (for the tests that
    // compare both ways).
    explicit CSha256(bool plainOnly) : CSha256() { m_plainOnly = plainOnly; }
    void Update(const void* data, size_t size);
    // The digest of everything given; the object is spent afterwards.
    Sha256Digest Final();

private:
    void Block(const uint8_t* block);
    void Blocks(const uint8_t* data, size_t count);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_pending{};
    size_t m_pendingSize = 0;
    uint64_t m_length = 0;  // bytes given so far
    bool m_plainOnly = false;
};

Sha256Digest Sha256Of(const void* data, size_t size);
// 64 lower-case hexadecimal digits.
std::string DigestHex(const Sha256Digest& digest);
// False unless text is exactly 64 hexadecimal digits.
bool ParseDigestHex(const std::string& text, Sha256Digest& out);
