// The result of one call with an effect: success, or what failed, with the
// operating system's own error code and the path it failed on. Captured at
// the platform seam the moment the call fails, so that the error code is
// the one of that call and not of whatever ran after it.
#pragma once

#include <cstdint>
#include <string>

enum class StatusCode : uint8_t {
    Ok,
    NotFound,          // no such file or folder (or a folder on the way is missing)
    Exists,            // a file or folder of that name is already there
    AccessDenied,      // refused by rights, a read-only file or a folder in the way
    SharingViolation,  // another program holds the file open
    DiskFull,
    BadData,           // the bytes are not what the format allows
    EndOfFile,         // the file ends before the bytes that were to be read
    Failed,            // any other refusal; the OS error tells which
};

class [[nodiscard]] Status {
public:
    Status() = default;
    Status(StatusCode code, const char* operation, std::string path, uint32_t osError = 0)
        : m_code(code), m_osError(osError), m_operation(operation), m_path(std::move(path))
    {
    }
    // The failure of the call that just returned, from the thread's last
    // error (GetLastError on Windows, errno elsewhere).
    static Status LastOsError(const char* operation, const std::string& path);
    static Status FromOsError(uint32_t osError, const char* operation, const std::string& path);
    // The platform's own error code that stands for code (ERROR_SHARING_VIOLATION, EBUSY).
    static uint32_t OsErrorFor(StatusCode code);

    explicit operator bool() const { return m_code == StatusCode::Ok; }
    bool Is(StatusCode code) const { return m_code == code; }
    StatusCode Code() const { return m_code; }
    uint32_t OsError() const { return m_osError; }
    const char* Operation() const { return m_operation; }
    const std::string& Path() const { return m_path; }
    // "CreateFile C:\a\b.txt: OS error 32 (sharing violation)"; "ok".
    std::string Describe() const;
    // Drops a result on purpose: a best-effort step whose failure changes
    // nothing (a clean-up that the next step or the next run repeats).
    void Ignore() const {}

private:
    StatusCode m_code = StatusCode::Ok;
    uint32_t m_osError = 0;
    const char* m_operation = "";
    std::string m_path;
};

// Success, or the thread's last OS error for the operation on path.
inline Status Checked(bool ok, const char* operation, const std::string& path)
{
    return ok ? Status() : Status::LastOsError(operation, path);
}

const char* StatusCodeName(StatusCode code);

// Sets the thread's last error (SetLastError on Windows, errno elsewhere).
void SetLastOsError(uint32_t osError);
