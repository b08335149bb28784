#include "tools/pack/run_tool.h"

#include "tools/pack/pack_error.h"

#include <windows.h>

namespace {
class CHandle {
public:
    explicit CHandle(HANDLE h = nullptr) : m_h(h) {}
    ~CHandle() { Reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_h; }
    HANDLE* Put() { Reset(); return &m_h; }
    void Reset()
    {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h;
};

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// One argument quoted the way the C runtime splits a command line again.
std::wstring Quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\');
    return out + L"\"";
}
}  // namespace

ToolResult RunTool(const std::vector<std::string>& argv)
{
    if (argv.empty())
        throw CPackFailure("no program to run");
    std::wstring line;
    for (const std::string& a : argv)
        line += (line.empty() ? L"" : L" ") + Quoted(Wide(a));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    CHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0) ||
        !SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0))
        throw CPackFailure(argv[0] + ": cannot be started (no pipe)");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        throw CPackFailure(argv[0] + ": cannot be started (error " + std::to_string(GetLastError()) + ")");
    CHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.Reset();

    ToolResult result;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &n, nullptr) && n > 0) {
        result.output.append(buffer, n);
        if (result.output.size() > kToolOutputLimit)
            result.output.erase(0, result.output.size() - kToolOutputLimit);
    }
    WaitForSingleObject(processHandle.Get(), INFINITE);
    DWORD code = 0;
    result.exitCode = GetExitCodeProcess(processHandle.Get(), &code) ? static_cast<int>(code) : -1;
    return result;
}
