// POSIX stand-in of the file layer, for running the portable logic natively.
#include "framework/file.h"
#include "framework/fault.h"
#include "framework/posix/host_path.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

CFile::~CFile() { CFile::Close(); }

bool CFile::Open(const std::string& path, unsigned flags)
{
    Close();
    std::string host = HostPath(path);
    if (host.empty() || FaultInjected())
        return false;
    int oflags = O_RDONLY;
    if (flags & modeWrite)
        oflags = O_WRONLY;
    if (flags & modeReadWrite)
        oflags = O_RDWR;
    if (flags & modeCreateNew)
        oflags |= O_CREAT | O_EXCL;
    else if (flags & modeCreate)
        oflags |= O_CREAT | O_TRUNC;
    int fd = ::open(host.c_str(), oflags | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Windows refuses to open folders as files
        ::close(fd);
        return false;
    }
    m_hFile = fd;
    return true;
}

uint32_t CFile::Read(void* buffer, uint32_t count)
{
    if (!IsOpen() || FaultInjected())
        return 0;
    uint32_t total = 0;
    while (total < count) {
        ssize_t n = ::read(static_cast<int>(m_hFile), static_cast<char*>(buffer) + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<uint32_t>(n);
    }
    return total;
}

bool CFile::Write(const void* buffer, uint32_t count)
{
    if (!IsOpen() || FaultInjected())
        return false;
    uint32_t total = 0;
    while (total < count) {
        ssize_t n = ::write(static_cast<int>(m_hFile), static_cast<const char*>(buffer) + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        total += static_cast<uint32_t>(n);
    }
    return true;
}

int64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    if (!IsOpen() || FaultInjected())
        return -1;
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(static_cast<int>(m_hFile), static_cast<off_t>(offset), whence);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

uint64_t CFile::GetLength() const
{
    struct stat st;
    if (!IsOpen() || FaultInjected() || fstat(static_cast<int>(m_hFile), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool CFile::SetLength(uint64_t length)
{
    // Like SetEndOfFile, the position moves to the new end.
    return IsOpen() && !FaultInjected() && ::ftruncate(static_cast<int>(m_hFile), static_cast<off_t>(length)) == 0 &&
           ::lseek(static_cast<int>(m_hFile), static_cast<off_t>(length), SEEK_SET) >= 0;
}

bool CFile::Flush() { return IsOpen() && !FaultInjected() && ::fsync(static_cast<int>(m_hFile)) == 0; }

void CFile::Close()
{
    if (IsOpen())
        ::close(static_cast<int>(m_hFile));
    m_hFile = kInvalid;
}

CFileFind::CFileFind() : m_hFind(-1) {}
CFileFind::~CFileFind() { Close(); }

namespace {
bool IsHostFolder(const std::string& host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A symbolic link stands for a junction or a Windows symbolic link.
bool IsHostLink(const std::string& host)
{
    struct stat st;
    return lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
}  // namespace

bool CFileFind::FindFile(const std::string& pattern)
{
    Close();
    if (FaultInjected())
        return false;
    size_t cut = pattern.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
    std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    if (mask == "*.*")  // matches names without a dot too, as on Windows
        mask = "*";
    std::string hostFolder = HostPath(folder.empty() ? std::string(".") : folder);
    if (hostFolder.empty() || mask.empty())
        return false;
    DIR* dir = ::opendir(hostFolder.c_str());
    if (dir == nullptr)
        return false;
    while (struct dirent* e = ::readdir(dir)) {
        if (::fnmatch(mask.c_str(), e->d_name, FNM_NOESCAPE | FNM_CASEFOLD) == 0)
            m_entries.push_back({e->d_name, IsHostFolder(hostFolder + "/" + e->d_name),
                                 IsHostLink(hostFolder + "/" + e->d_name)});
    }
    ::closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    if (m_entries.empty())
        return false;
    m_hFind = 0;
    return FindNext();
}

bool CFileFind::FindNext()
{
    if (m_hFind < 0 || m_next >= m_entries.size() || FaultInjected())
        return false;
    m_name = m_entries[m_next].name;
    m_isDirectory = m_entries[m_next].isDirectory;
    m_isLink = m_entries[m_next].isLink;
    ++m_next;
    return true;
}

void CFileFind::Close()
{
    m_entries.clear();
    m_next = 0;
    m_hFind = -1;
}

bool CreateFolder(const std::string& path)
{
    std::string host = HostPath(path);
    return !host.empty() && !FaultInjected() && ::mkdir(host.c_str(), 0755) == 0;
}

bool RemoveFolder(const std::string& path)
{
    std::string host = HostPath(path);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    if (host.empty() || FaultInjected())
        return false;
    // A symbolic link to a folder stands for a junction: RemoveDirectoryA
    // removes the link itself and leaves its target alone.
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return IsHostFolder(host) && ::unlink(host.c_str()) == 0;
    return ::rmdir(host.c_str()) == 0;
}

namespace {
// A file whose owner write bit is off stands for a read-only file: DeleteFileA
// refuses those, and so does the stand-in, even when running as root.
bool IsReadOnly(const std::string& host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

// A file with the sticky bit stands for one that another process holds open
// without delete sharing: DeleteFileA fails on it whatever its attributes.
bool IsHeldOpen(const std::string& host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
}
}  // namespace

bool RemoveFile(const std::string& path)
{
    std::string host = HostPath(path);
    if (host.empty() || FaultInjected() || IsHostFolder(host) || IsReadOnly(host) || IsHeldOpen(host))
        return false;
    return ::unlink(host.c_str()) == 0;
}

bool MakeWritable(const std::string& path)
{
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || FaultInjected() || ::stat(host.c_str(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) != 0 || ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists)
{
    CFile in, out;
    if (FaultInjected() || !in.Open(from, CFile::modeRead))
        return false;
    if (failIfExists && ::access(HostPath(to).c_str(), F_OK) == 0)
        return false;
    if (!out.Open(to, CFile::modeCreate | CFile::modeWrite))
        return false;
    char buffer[65536];
    while (uint32_t n = in.Read(buffer, sizeof buffer)) {
        if (!out.Write(buffer, n))
            return false;
    }
    return true;
}

bool MoveFileTo(const std::string& from, const std::string& to)
{
    std::string a = HostPath(from), b = HostPath(to);
    if (a.empty() || b.empty() || FaultInjected() || ::access(b.c_str(), F_OK) == 0)  // MoveFile never replaces
        return false;
    return ::rename(a.c_str(), b.c_str()) == 0;
}

bool ReplaceFileWith(const std::string& from, const std::string& to)
{
    std::string a = HostPath(from), b = HostPath(to);
    if (a.empty() || b.empty() || FaultInjected() || IsHostFolder(b) || ::rename(a.c_str(), b.c_str()) != 0)
        return false;
    // The rename is on the disk once the folder that holds it is.
    const std::string folder = b.substr(0, b.find_last_of('/') + 1);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool IsLink(const std::string& path)
{
    std::string host = HostPath(path);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    return !host.empty() && IsHostLink(host);
}

bool IsFolder(const std::string& path)
{
    const std::string host = HostPath(path);
    return !host.empty() && IsHostFolder(host);
}

std::string GetModulePath()
{
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    return WindowsPath(std::string(buffer, static_cast<size_t>(n)));
}

std::string GetTempFolder()
{
    // Where a fresh prefix keeps the temporary folder of its user.
    return "C:\\users\\user\\Temp\\";
}
