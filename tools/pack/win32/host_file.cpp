#include "tools/pack/host_file.h"

#include <windows.h>

#include <algorithm>

namespace {
HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

CHostFile::~CHostFile()
{
    if (m_handle != -1)
        CloseHandle(HandleOf(m_handle));
}

bool CHostFile::Open(const std::filesystem::path& path)
{
    SetLastError(ERROR_SUCCESS);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<intptr_t>(handle);
    return true;
}

int64_t CHostFile::ReadAt(uint64_t offset, void* data, size_t size, size_t enough)
{
    auto* at = static_cast<char*>(data);
    size_t got = 0;
    while (got < size) {
        OVERLAPPED where{};
        const uint64_t position = offset + got;
        where.Offset = static_cast<DWORD>(position);
        where.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(size - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(HandleOf(m_handle), at + got, ask, &n, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return -1;
        }
        got += n;
        if (n == 0 || got >= enough)
            break;
    }
    return static_cast<int64_t>(got);
}

std::string CHostFile::Reason()
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? " (Windows error " + std::to_string(error) + ")" : std::string();
}
