// Win32 implementation of the file layer. The programs hold paths as GBK;
// each call widens them, so the names on disk are the same whatever the
// system's code page.
#include "framework/file.h"
#include "framework/fault.h"
#include "framework/status.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"

#include <windows.h>

#include <algorithm>

namespace {
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void SetLastOsError(uint32_t osError) { SetLastError(osError); }

uint32_t Status::OsErrorFor(StatusCode code)
{
    switch (code) {
    case StatusCode::Ok: return ERROR_SUCCESS;
    case StatusCode::NotFound: return ERROR_FILE_NOT_FOUND;
    case StatusCode::Exists: return ERROR_ALREADY_EXISTS;
    case StatusCode::AccessDenied: return ERROR_ACCESS_DENIED;
    case StatusCode::SharingViolation: return ERROR_SHARING_VIOLATION;
    case StatusCode::DiskFull: return ERROR_DISK_FULL;
    case StatusCode::BadData: return ERROR_INVALID_DATA;
    case StatusCode::EndOfFile: return ERROR_HANDLE_EOF;
    case StatusCode::Failed: break;
    }
    return ERROR_GEN_FAILURE;
}

Status Status::FromOsError(uint32_t osError, const char* operation, const std::string& path)
{
    StatusCode code = StatusCode::Failed;
    switch (osError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: code = StatusCode::NotFound; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: code = StatusCode::Exists; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: code = StatusCode::AccessDenied; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: code = StatusCode::SharingViolation; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: code = StatusCode::DiskFull; break;
    case ERROR_INVALID_DATA: code = StatusCode::BadData; break;
    case ERROR_HANDLE_EOF: code = StatusCode::EndOfFile; break;
    default: break;
    }
    return Status(code, operation, path, osError);
}

Status Status::LastOsError(const char* operation, const std::string& path)
{
    const DWORD error = GetLastError();
    // A failure the system gave no code for still must not read as success.
    return FromOsError(error != 0 ? error : ERROR_GEN_FAILURE, operation, path);
}

CFile::~CFile() { CFile::Close(); }

Status CFile::Open(const std::string& path, unsigned flags)
{
    Close();
    if (FaultRefuses(SysCall::Open))
        return Status::LastOsError("CreateFile", path);
    DWORD access = GENERIC_READ;
    if (flags & modeWrite)
        access = GENERIC_WRITE;
    if (flags & modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = (flags & shareDenyNone) ? (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) : 0;
    DWORD create = (flags & modeCreateNew) ? CREATE_NEW : (flags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    if (flags & modeAppend) {
        access = FILE_APPEND_DATA | SYNCHRONIZE;
        create = OPEN_ALWAYS;
    }
    DWORD attributes = (flags & typeTemporary) ? FILE_ATTRIBUTE_TEMPORARY : FILE_ATTRIBUTE_NORMAL;
    if (flags & typeSequential)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    HANDLE h = CreateFileW(Widen(path).c_str(), access, share, nullptr, create, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Status::LastOsError("CreateFile", path);
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_path = path;
    return Status();
}

CFile::ReadResult CFile::ReadSome(uint64_t offset, void* buffer, uint32_t count)
{
    if (!IsOpen())
        return {0, Status::FromOsError(ERROR_INVALID_HANDLE, "ReadFile", m_path)};
    const FaultOutcome fault = FaultFor(SysCall::Read, count);
    if (fault.fail != StatusCode::Ok)
        return {0, Status::FromOsError(Status::OsErrorFor(fault.fail), "ReadFile", m_path)};
    // An offset rides in an OVERLAPPED on a handle opened for plain reads:
    // the read is still synchronous.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(H(m_hFile), buffer, std::min(count, fault.limit), &got, offset == kHere ? nullptr : &at)) {
        // At or past the end a read at an offset fails where a plain one
        // brings nothing.
        if (offset != kHere && GetLastError() == ERROR_HANDLE_EOF)
            return {0, Status()};
        return {0, Status::LastOsError("ReadFile", m_path)};
    }
    return {got, Status()};
}

Status CFile::Write(const void* buffer, uint32_t count)
{
    if (!IsOpen())
        return Status::FromOsError(ERROR_INVALID_HANDLE, "WriteFile", m_path);
    // A full disk takes the bytes that fit and refuses the rest.
    const FaultOutcome fault = FaultFor(SysCall::Write, count);
    if (fault.fail != StatusCode::Ok && fault.limit == UINT32_MAX)
        return Status::FromOsError(Status::OsErrorFor(fault.fail), "WriteFile", m_path);
    DWORD put = 0;
    if (!WriteFile(H(m_hFile), buffer, std::min(count, fault.limit), &put, nullptr))
        return Status::LastOsError("WriteFile", m_path);
    if (fault.fail != StatusCode::Ok)
        return Status::FromOsError(Status::OsErrorFor(fault.fail), "WriteFile", m_path);
    // A write that took fewer bytes ran out of room.
    return put == count ? Status() : Status::FromOsError(ERROR_DISK_FULL, "WriteFile", m_path);
}

int64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    LARGE_INTEGER move, pos;
    move.QuadPart = offset;
    DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    if (!IsOpen() || FaultRefuses(SysCall::Seek) || !SetFilePointerEx(H(m_hFile), move, &pos, method))
        return -1;
    return pos.QuadPart;
}

uint64_t CFile::GetLength() const
{
    LARGE_INTEGER size;
    if (!IsOpen() || FaultRefuses(SysCall::GetLength) || !GetFileSizeEx(H(m_hFile), &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

Status CFile::SetLength(uint64_t length)
{
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(length);
    return Checked(IsOpen() && !FaultRefuses(SysCall::SetLength) && SetFilePointerEx(H(m_hFile), pos, nullptr, FILE_BEGIN) &&
                       SetEndOfFile(H(m_hFile)),
                   "SetEndOfFile", m_path);
}

Status CFile::Flush() { return Checked(IsOpen() && !FaultRefuses(SysCall::Flush) && FlushFileBuffers(H(m_hFile)), "FlushFileBuffers", m_path); }

// Windows frees the room of a range only in a sparse file, and the files
// this is asked of are not sparse: nothing to do.
void CFile::Forget(uint64_t, uint64_t) {}

// The handle is kept as an integer so that the portable header needs no
// Windows types; closing goes through the owner, which keeps the last error.
void CFile::Close() { unique_file(H(std::exchange(m_hFile, kInvalid))).reset(); }

CFileFind::CFileFind() : m_hFind(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)) {}
CFileFind::~CFileFind() { Close(); }

namespace {
void Take(const WIN32_FIND_DATAW& data, std::string& name, bool& isDir, bool& isLink)
{
    // An entry whose name GBK cannot hold still counts: it goes by its short
    // name, or by "?", which no real file is called, so that a folder holding
    // it is never taken for empty and nothing else is touched in its place.
    if (auto gbk = NarrowToGbk(data.cFileName))
        name = std::move(*gbk);
    else if (auto alternate = NarrowToGbk(data.cAlternateFileName); alternate && !alternate->empty())
        name = std::move(*alternate);
    else
        name.assign(1, '?');
    isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
}  // namespace

bool CFileFind::FindFile(const std::string& pattern)
{
    Close();
    if (FaultRefuses(SysCall::FindFile))
        return false;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(Widen(pattern).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_hFind = reinterpret_cast<intptr_t>(h);
    Take(data, m_name, m_isDirectory, m_isLink);
    return true;
}

bool CFileFind::FindNext()
{
    WIN32_FIND_DATAW data;
    if (H(m_hFind) == INVALID_HANDLE_VALUE || FaultRefuses(SysCall::FindNext) || !FindNextFileW(H(m_hFind), &data))
        return false;
    Take(data, m_name, m_isDirectory, m_isLink);
    return true;
}

void CFileFind::Close()
{
    unique_find(H(std::exchange(m_hFind, reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)))).reset();
}

Status CreateFolder(const std::string& path)
{
    return Checked(!FaultRefuses(SysCall::CreateFolder) && CreateDirectoryW(Widen(path).c_str(), nullptr) != 0, "CreateDirectory", path);
}

Status RemoveFolder(const std::string& path)
{
    return Checked(!FaultRefuses(SysCall::RemoveFolder) && RemoveDirectoryW(Widen(path).c_str()) != 0, "RemoveDirectory", path);
}

Status RemoveFile(const std::string& path)
{
    return Checked(!FaultRefuses(SysCall::RemoveFile) && DeleteFileW(Widen(path).c_str()) != 0, "DeleteFile", path);
}

Status MakeWritable(const std::string& path)
{
    const DWORD attributes = FaultRefuses(SysCall::MakeWritable) ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Status::LastOsError("GetFileAttributes", path);
    return Checked((attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
                       SetFileAttributesW(Widen(path).c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) != 0,
                   "SetFileAttributes", path);
}

// A failed copy or move names its source: the message that reports it says
// where the data was to go.
Status CopyFileTo(const std::string& from, const std::string& to, bool failIfExists)
{
    return Checked(!FaultRefuses(SysCall::CopyFileTo) && CopyFileW(Widen(from).c_str(), Widen(to).c_str(), failIfExists) != 0, "CopyFile", from + " -> " + to);
}

Status MoveFileTo(const std::string& from, const std::string& to)
{
    return Checked(!FaultRefuses(SysCall::MoveFileTo) && MoveFileW(Widen(from).c_str(), Widen(to).c_str()) != 0, "MoveFile", from + " -> " + to);
}

Status ReplaceFileWith(const std::string& from, const std::string& to)
{
    return Checked(!FaultRefuses(SysCall::ReplaceFileWith) &&
                       MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0,
                   "MoveFileEx", from + " -> " + to);
}

bool IsLink(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Both are empty when Windows gives no path or one GBK cannot hold.
std::string GetModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return std::string();
        path.resize(path.size() * 2);
    }
    return NarrowPathToGbk(path).value_or(std::string());
}

std::string GetTempFolder()
{
    const DWORD needed = GetTempPathW(0, nullptr);
    if (needed == 0 || needed > 32768)
        return std::string();
    std::wstring path(needed, L'\0');
    const DWORD n = GetTempPathW(needed, path.data());
    if (n == 0 || n >= needed)
        return std::string();
    path.resize(n);
    std::string s = NarrowPathToGbk(path).value_or(std::string());
    if (s.empty())
        return s;
    if (s.back() != '\\')
        s += '\\';
    return s;
}
