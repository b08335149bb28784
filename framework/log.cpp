#include "framework/log.h"

#include "framework/file.h"
#include "framework/strings.h"

#include <chrono>
#include <ctime>
#include <string_view>

namespace {
// Lines kept in memory before the log has a file; the first ones are the
// ones that tell how the run began.
constexpr size_t kMaxPending = 512;
// A line longer than this is cut: the log stays readable whatever a path holds.
constexpr size_t kMaxLine = 4096;

std::string Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    return Format("%04d-%02d-%02d %02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                  utc.tm_min, utc.tm_sec, static_cast<int>(millis));
}

bool AppendLines(const std::string& path, const std::string& text)
{
    constexpr unsigned kShared = CFile::modeWrite | CFile::shareDenyNone | CFile::typeBinary;
    CFile file;
    if (!file.Open(path, kShared) && !file.Open(path, CFile::modeCreate | kShared))
        return false;
    return file.Seek(0, CFile::end) >= 0 && file.Write(text.data(), static_cast<uint32_t>(text.size()));
}
}  // namespace

CLog& CLog::operator=(const CLog& other)
{
    if (this != &other) {
        std::string path = other.Path();
        std::vector<std::string> pending = other.Pending();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_path = std::move(path);
        m_pending = std::move(pending);
    }
    return *this;
}

void CLog::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_path = path;
    std::string text;
    for (const std::string& line : m_pending)
        text += line;
    m_pending.clear();
    // A log that cannot be written is no reason to stop an installation.
    if (!text.empty())
        AppendLines(m_path, text);
}

bool CLog::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_path.empty();
}

std::string CLog::Path() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

std::vector<std::string> CLog::Pending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending;
}

void CLog::Write(const char* phase, const std::string& text)
{
    std::string line = Timestamp() + "  " + phase + "  " + text;
    if (line.size() > kMaxLine)
        line.resize(kMaxLine);
    // One line per entry: a name that holds a line break cannot forge one.
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    Append(line + "\r\n");
}

void CLog::Failed(const char* phase, const std::string& what, const Status& status)
{
    Write(phase, what + ": FAILED " + status.Describe());
}

bool CLog::Check(const char* phase, const std::string& what, const Status& status)
{
    if (status)
        return true;
    Failed(phase, what, status);
    return false;
}

void CLog::Append(std::string line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_path.empty()) {
        if (m_pending.size() < kMaxPending)
            m_pending.push_back(std::move(line));
        return;
    }
    AppendLines(m_path, line);
}

std::string LogPathFor(const std::string& productName)
{
    std::string name;
    for (size_t i = 0; i < productName.size();) {
        const size_t n = GbkCharLength(productName, i);
        const char c = productName[i];
        // A two-byte character stays whole, whatever its trail byte is.
        if (n == 1 && (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos))
            name += '_';
        else
            name.append(productName, i, n);
        i += n;
    }
    // Trailing dots and blanks are dropped by the file system.
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    if (name.empty() || name.size() > 100)
        name = "Tessaramond";
    return GetTempFolder() + name + ".tmd.log";
}
