// POSIX stand-in of the file layer, for running the portable logic natively.
#include "framework/file.h"
#include "framework/fault.h"
#include "framework/posix/host_path.h"
#include "framework/status.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

Status Status::FromOsError(uint32_t osError, const char* operation, const std::string& path)
{
    StatusCode code = StatusCode::Failed;
    switch (osError) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: code = StatusCode::NotFound; break;
    case EEXIST: code = StatusCode::Exists; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: code = StatusCode::AccessDenied; break;
    case EBUSY:
    case ETXTBSY: code = StatusCode::SharingViolation; break;
    case ENOSPC:
    case EDQUOT: code = StatusCode::DiskFull; break;
    case EILSEQ: code = StatusCode::BadData; break;
    case ENODATA: code = StatusCode::EndOfFile; break;
    default: break;
    }
    return Status(code, operation, path, osError);
}

Status Status::LastOsError(const char* operation, const std::string& path)
{
    return FromOsError(errno != 0 ? static_cast<uint32_t>(errno) : EIO, operation, path);
}

void SetLastOsError(uint32_t osError) { errno = static_cast<int>(osError); }

uint32_t Status::OsErrorFor(StatusCode code)
{
    switch (code) {
    case StatusCode::Ok: return 0;
    case StatusCode::NotFound: return ENOENT;
    case StatusCode::Exists: return EEXIST;
    case StatusCode::AccessDenied: return EACCES;
    case StatusCode::SharingViolation: return EBUSY;
    case StatusCode::DiskFull: return ENOSPC;
    case StatusCode::BadData: return EILSEQ;
    case StatusCode::EndOfFile: return ENODATA;
    case StatusCode::Failed: break;
    }
    return EIO;
}

namespace {
// A refusal the stand-in makes itself, for a rule of Windows the host does
// not have: it sets the error the call would have.
Status Refusal(int error, const char* operation, const std::string& path)
{
    errno = error;
    return Status::FromOsError(static_cast<uint32_t>(error), operation, path);
}
}  // namespace

CFile::~CFile() { CFile::Close(); }

Status CFile::Open(const std::string& path, unsigned flags)
{
    Close();
    std::string host = HostPath(path);
    if (host.empty())
        return Refusal(ENOENT, "CreateFile", path);
    if (FaultRefuses(SysCall::Open))
        return Status::LastOsError("CreateFile", path);
    int oflags = O_RDONLY;
    if (flags & modeWrite)
        oflags = O_WRONLY;
    if (flags & modeReadWrite)
        oflags = O_RDWR;
    if (flags & modeCreateNew)
        oflags |= O_CREAT | O_EXCL;
    else if (flags & modeCreate)
        oflags |= O_CREAT | O_TRUNC;
    if (flags & modeAppend)
        oflags = O_WRONLY | O_CREAT | O_APPEND;
    // Windows refuses to open folders as files. Opened for writing, a folder
    // fails here already (EISDIR, access denied); only a read-only open
    // needs to look, which saves a call for every file an installation makes.
    int fd = -1;
    if ((flags & typeReadOnce) && (oflags & O_ACCMODE) == O_RDONLY) {
        // Punching holes takes a handle open for writing; a file that may
        // not be written is still read, and Forget then does nothing.
        fd = ::open(host.c_str(), (oflags & ~O_ACCMODE) | O_RDWR | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EACCES && errno != EPERM && errno != EROFS && errno != ETXTBSY && errno != EISDIR)
            return Status::LastOsError("CreateFile", path);
        if (fd >= 0)
            oflags = (oflags & ~O_ACCMODE) | O_RDWR;
    }
    if (fd < 0)
        fd = ::open(host.c_str(), oflags | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::LastOsError("CreateFile", path);
    struct stat st;
    if ((oflags & O_ACCMODE) == O_RDONLY && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(fd);
        return Refusal(EACCES, "CreateFile", path);
    }
    if (flags & typeSequential)
        (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint: its failure changes nothing
    m_hFile = fd;
    m_path = path;
    return Status();
}

CFile::ReadResult CFile::ReadSome(uint64_t offset, void* buffer, uint32_t count)
{
    if (!IsOpen())
        return {0, Refusal(EBADF, "ReadFile", m_path)};
    const FaultOutcome fault = FaultFor(SysCall::Read, count);
    if (fault.fail != StatusCode::Ok)
        return {0, Refusal(static_cast<int>(Status::OsErrorFor(fault.fail)), "ReadFile", m_path)};
    count = std::min(count, fault.limit);
    const int fd = static_cast<int>(m_hFile);
    uint32_t total = 0;
    while (total < count) {
        char* at = static_cast<char*>(buffer) + total;
        const ssize_t n = offset == kHere ? ::read(fd, at, count - total)
                                          : ::pread(fd, at, count - total, static_cast<off_t>(offset + total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && total == 0)
            return {0, Status::LastOsError("ReadFile", m_path)};
        if (n <= 0)
            break;
        total += static_cast<uint32_t>(n);
    }
    return {total, Status()};
}

Status CFile::Write(const void* buffer, uint32_t count)
{
    if (!IsOpen())
        return Refusal(EBADF, "WriteFile", m_path);
    // A full disk takes the bytes that fit and refuses the rest.
    const FaultOutcome fault = FaultFor(SysCall::Write, count);
    if (fault.fail != StatusCode::Ok && fault.limit == UINT32_MAX)
        return Refusal(static_cast<int>(Status::OsErrorFor(fault.fail)), "WriteFile", m_path);
    const uint32_t fits = std::min(count, fault.limit);
    uint32_t total = 0;
    while (total < fits) {
        ssize_t n = ::write(static_cast<int>(m_hFile), static_cast<const char*>(buffer) + total, fits - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Status::LastOsError("WriteFile", m_path);
        if (n == 0)
            return Refusal(ENOSPC, "WriteFile", m_path);
        total += static_cast<uint32_t>(n);
    }
    return fits == count ? Status() : Refusal(ENOSPC, "WriteFile", m_path);
}

int64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    if (!IsOpen() || FaultRefuses(SysCall::Seek))
        return -1;
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(static_cast<int>(m_hFile), static_cast<off_t>(offset), whence);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

uint64_t CFile::GetLength() const
{
    struct stat st;
    if (!IsOpen() || FaultRefuses(SysCall::GetLength) || fstat(static_cast<int>(m_hFile), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

Status CFile::SetLength(uint64_t length)
{
    if (!IsOpen())
        return Refusal(EBADF, "SetEndOfFile", m_path);
    if (FaultRefuses(SysCall::SetLength))
        return Status::LastOsError("SetEndOfFile", m_path);
    // Like SetEndOfFile, the position moves to the new end.
    return Checked(::ftruncate(static_cast<int>(m_hFile), static_cast<off_t>(length)) == 0 &&
                       ::lseek(static_cast<int>(m_hFile), static_cast<off_t>(length), SEEK_SET) >= 0,
                   "SetEndOfFile", m_path);
}

Status CFile::Flush()
{
    if (!IsOpen())
        return Refusal(EBADF, "FlushFileBuffers", m_path);
    if (FaultRefuses(SysCall::Flush))
        return Status::LastOsError("FlushFileBuffers", m_path);
    return Checked(::fsync(static_cast<int>(m_hFile)) == 0, "FlushFileBuffers", m_path);
}

void CFile::Forget(uint64_t offset, uint64_t count)
{
    constexpr uint64_t kPage = 4096;
    const uint64_t from = (offset + kPage - 1) / kPage * kPage, to = (offset + count) / kPage * kPage;
    if (IsOpen() && to > from)
        (void)::fallocate(static_cast<int>(m_hFile), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                          static_cast<off_t>(from), static_cast<off_t>(to - from));
}

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
    if (FaultRefuses(SysCall::FindFile))
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
    if (m_hFind < 0 || m_next >= m_entries.size() || FaultRefuses(SysCall::FindNext))
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

Status CreateFolder(const std::string& path)
{
    std::string host = HostPath(path);
    if (host.empty())
        return Refusal(ENOENT, "CreateDirectory", path);
    if (FaultRefuses(SysCall::CreateFolder))
        return Status::LastOsError("CreateDirectory", path);
    return Checked(::mkdir(host.c_str(), 0755) == 0, "CreateDirectory", path);
}

Status RemoveFolder(const std::string& path)
{
    std::string host = HostPath(path);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    if (host.empty())
        return Refusal(ENOENT, "RemoveDirectory", path);
    if (FaultRefuses(SysCall::RemoveFolder))
        return Status::LastOsError("RemoveDirectory", path);
    // A symbolic link to a folder stands for a junction: RemoveDirectoryA
    // removes the link itself and leaves its target alone.
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (!IsHostFolder(host))
            return Refusal(ENOTDIR, "RemoveDirectory", path);
        return Checked(::unlink(host.c_str()) == 0, "RemoveDirectory", path);
    }
    return Checked(::rmdir(host.c_str()) == 0, "RemoveDirectory", path);
}

Status RemoveFile(const std::string& path)
{
    std::string host = HostPath(path);
    if (host.empty())
        return Refusal(ENOENT, "DeleteFile", path);
    if (FaultRefuses(SysCall::RemoveFile))
        return Status::LastOsError("DeleteFile", path);
    // One look at the file for all that DeleteFileA refuses: a folder; a
    // file whose owner write bit is off, which stands for a read-only file
    // (refused even when running as root); and a file with the sticky bit,
    // which stands for one another process holds open without delete
    // sharing. A file that is not there is left to unlink to report.
    struct stat st;
    if (::stat(host.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || (st.st_mode & S_IWUSR) == 0)
            return Refusal(EACCES, "DeleteFile", path);
        if (S_ISREG(st.st_mode) && (st.st_mode & S_ISVTX) != 0)
            return Refusal(EBUSY, "DeleteFile", path);
    }
    return Checked(::unlink(host.c_str()) == 0, "DeleteFile", path);
}

Status MakeWritable(const std::string& path)
{
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty())
        return Refusal(ENOENT, "GetFileAttributes", path);
    if (FaultRefuses(SysCall::MakeWritable))
        return Status::LastOsError("GetFileAttributes", path);
    if (::stat(host.c_str(), &st) != 0)
        return Status::LastOsError("GetFileAttributes", path);
    return Checked((st.st_mode & S_IWUSR) != 0 || ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0,
                   "SetFileAttributes", path);
}

Status CopyFileTo(const std::string& from, const std::string& to, bool failIfExists)
{
    const std::string both = from + " -> " + to;
    CFile in, out;
    if (FaultRefuses(SysCall::CopyFileTo))
        return Status::LastOsError("CopyFile", both);
    if (Status opened = in.Open(from, CFile::modeRead); !opened)
        return Status::FromOsError(opened.OsError(), "CopyFile", both);
    if (failIfExists && ::access(HostPath(to).c_str(), F_OK) == 0)
        return Refusal(EEXIST, "CopyFile", both);
    if (Status opened = out.Open(to, CFile::modeCreate | CFile::modeWrite); !opened)
        return Status::FromOsError(opened.OsError(), "CopyFile", both);
    char buffer[65536];
    for (;;) {
        const CFile::ReadResult got = in.Read(buffer, sizeof buffer);
        if (!got.status)
            return Status::FromOsError(got.status.OsError(), "CopyFile", both);
        if (got.bytes == 0)
            return Status();
        if (Status written = out.Write(buffer, got.bytes); !written)
            return Status::FromOsError(written.OsError(), "CopyFile", both);
    }
}

Status MoveFileTo(const std::string& from, const std::string& to)
{
    const std::string both = from + " -> " + to;
    std::string a = HostPath(from), b = HostPath(to);
    if (a.empty() || b.empty())
        return Refusal(ENOENT, "MoveFile", both);
    if (FaultRefuses(SysCall::MoveFileTo))
        return Status::LastOsError("MoveFile", both);
    if (::access(b.c_str(), F_OK) == 0)  // MoveFile never replaces
        return Refusal(EEXIST, "MoveFile", both);
    return Checked(::rename(a.c_str(), b.c_str()) == 0, "MoveFile", both);
}

Status ReplaceFileWith(const std::string& from, const std::string& to)
{
    const std::string both = from + " -> " + to;
    std::string a = HostPath(from), b = HostPath(to);
    if (a.empty() || b.empty())
        return Refusal(ENOENT, "MoveFileEx", both);
    if (FaultRefuses(SysCall::ReplaceFileWith))
        return Status::LastOsError("MoveFileEx", both);
    if (IsHostFolder(b))
        return Refusal(EACCES, "MoveFileEx", both);
    if (::rename(a.c_str(), b.c_str()) != 0)
        return Status::LastOsError("MoveFileEx", both);
    // The rename is on the disk once the folder that holds it is.
    const std::string folder = b.substr(0, b.find_last_of('/') + 1);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return Status();
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
