#include "fuzz_support.h"

#include "framework/file.h"
#include "framework/posix/host_path.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

void FuzzFailure(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "property failed: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

uint8_t CFuzzInput::Byte()
{
    if (m_left == 0)
        return 0;
    --m_left;
    return *m_data++;
}

uint16_t CFuzzInput::U16()
{
    const uint16_t low = Byte();
    return static_cast<uint16_t>(low | Byte() << 8);
}

uint32_t CFuzzInput::U32()
{
    const uint32_t low = U16();
    return low | static_cast<uint32_t>(U16()) << 16;
}

std::string CFuzzInput::Text(size_t max)
{
    size_t n = Byte();
    if (n > max)
        n = max;
    if (n > m_left)
        n = m_left;
    std::string text(reinterpret_cast<const char*>(m_data), n);
    m_data += n;
    m_left -= n;
    return text;
}

std::string CFuzzInput::Rest()
{
    std::string text(reinterpret_cast<const char*>(m_data), m_left);
    m_data += m_left;
    m_left = 0;
    return text;
}

namespace {
std::string g_sandbox;

void RemoveSandbox()
{
    std::error_code ignored;
    if (!g_sandbox.empty())
        std::filesystem::remove_all(g_sandbox, ignored);
}
}  // namespace

const std::string& FuzzFolder()
{
    static const std::string folder = [] {
        // Memory-backed where there is one: the targets write a file per run.
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/tmd-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        g_sandbox = pattern;
        ::setenv("TESSARAMOND_C_DRIVE", pattern.c_str(), 1);
        std::atexit(RemoveSandbox);
        if (!CreateFolder("C:\\fuzz"))
            std::abort();
        return std::string("C:\\fuzz\\");
    }();
    return folder;
}

bool WriteFuzzFile(const std::string& path, const void* data, size_t size)
{
    CFile file;
    return file.Open(path, CFile::modeCreate | CFile::modeWrite) &&
           static_cast<bool>(file.Write(data, static_cast<uint32_t>(size)));
}

bool WriteFuzzFile(const std::string& path, const std::string& bytes)
{
    return WriteFuzzFile(path, bytes.data(), bytes.size());
}

std::string ReadFuzzFile(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return std::string();
    std::string bytes(static_cast<size_t>(file.GetLength()), '\0');
    if (!ReadFully(file, bytes.data(), static_cast<uint32_t>(bytes.size())))
        return std::string();
    return bytes;
}

bool FuzzFileExists(const std::string& path)
{
    CFile file;
    return static_cast<bool>(file.Open(path, CFile::modeRead));
}

void ResetFuzzFolder(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(HostPath(path), ignored);
    std::filesystem::create_directories(HostPath(path), ignored);
}
