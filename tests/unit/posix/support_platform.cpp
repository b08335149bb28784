#include "framework/posix/host_path.h"
#include "framework/posix/notify_queue.h"
#include "support.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string g_sandbox;  // the folder this test run gave drive C:
}

unsigned ScratchSeed() { return static_cast<unsigned>(::getpid()); }

void PrepareTestMachine()
{
    char pattern[] = "/tmp/tmd-unit-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        std::abort();
    g_sandbox = pattern;
    ::setenv("TESSARAMOND_C_DRIVE", pattern, 1);
}

void CleanUpTestMachine()
{
    std::error_code ignored;
    if (!g_sandbox.empty()) {
        // Read-only leftovers of the removal tests must not block the clean-up.
        ::chmod(g_sandbox.c_str(), 0755);
        for (auto& e : std::filesystem::recursive_directory_iterator(g_sandbox, ignored))
            ::chmod(e.path().c_str(), 0755);
        std::filesystem::remove_all(g_sandbox, ignored);
    }
}

std::string FromHostPath(const std::string& hostPath) { return WindowsPath(hostPath); }

void SetReadOnly(const std::string& path, bool readOnly)
{
    ::chmod(HostPath(path).c_str(), readOnly ? 0444 : 0644);
}

bool MakeFolderLink(const std::string& link, const std::string& target)
{
    std::string host = HostPath(target);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    return ::symlink(host.c_str(), HostPath(link).c_str()) == 0;
}

CHeldOpen::CHeldOpen(const std::string& path) : m_path(path)
{
    struct stat st;
    const std::string host = HostPath(path);
    m_holding = ::stat(host.c_str(), &st) == 0 && ::chmod(host.c_str(), (st.st_mode & 07777) | S_ISVTX) == 0;
}

CHeldOpen::~CHeldOpen()
{
    struct stat st;
    const std::string host = HostPath(m_path);
    if (m_holding && ::stat(host.c_str(), &st) == 0)
        ::chmod(host.c_str(), (st.st_mode & 07777) & ~S_ISVTX);
}

struct CMessageSink::Impl {
    CNotifyQueue queue;
};

CMessageSink::CMessageSink() : m_impl(std::make_unique<Impl>()) {}
CMessageSink::~CMessageSink() = default;
void* CMessageSink::Target() const { return &m_impl->queue; }

std::vector<PostedMessage> CMessageSink::Drain()
{
    std::vector<PostedMessage> out;
    NotifyMessage m;
    while (m_impl->queue.Take(m, 0))
        out.push_back({m.message, m.wParam, m.lParam});
    return out;
}

std::filesystem::path HostPathOf(const std::string& windowsPath) { return HostPath(windowsPath); }
