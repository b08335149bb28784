#include "tools/pack/host_file.h"

#include "tools/pack/pack_error.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CHostFile::~CHostFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

bool CHostFile::Open(const std::filesystem::path& path)
{
    errno = 0;
    m_handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_handle >= 0;
}

int64_t CHostFile::ReadAt(uint64_t offset, void* data, size_t size, size_t enough)
{
    auto* at = static_cast<char*>(data);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(static_cast<int>(m_handle), at + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        got += static_cast<size_t>(n);
        if (n == 0 || got >= enough)
            break;
    }
    return static_cast<int64_t>(got);
}

std::string CHostFile::Reason()
{
    return SystemReason();
}
