#include "framework/posix/host_path.h"

#include "framework/strings.h"

#include <cstdlib>

std::string SandboxRoot()
{
    const char* root = std::getenv("TESSARAMOND_C_DRIVE");
    if (root == nullptr || *root == '\0')
        return std::string();
    std::string s(root);
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

namespace {
// Backslashes become slashes; the trail byte of a GBK character (which may
// be 0x5C) is left alone.
std::string Slashes(std::string s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (GbkCharLength(s, i) == 2)
            ++i;
        else if (s[i] == '\\')
            s[i] = '/';
    }
    return s;
}
}  // namespace

std::string HostPath(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') {
        char drive = static_cast<char>(path[0] & ~0x20);
        std::string rest = Slashes(path.substr(2));
        if (drive == 'Z')
            return rest.empty() || rest[0] != '/' ? "/" + rest : rest;
        if (drive == 'C') {
            std::string root = SandboxRoot();
            if (root.empty())
                return std::string();
            return rest.empty() || rest[0] != '/' ? root + "/" + rest : root + rest;
        }
        return std::string();
    }
    if (!path.empty() && (path[0] == '\\' || path[0] == '/'))
        return HostPath("C:" + path);
    return Slashes(path);
}

std::string WindowsPath(const std::string& hostPath)
{
    std::string root = SandboxRoot();
    std::string out;
    if (!root.empty() && hostPath.compare(0, root.size(), root) == 0 &&
        (hostPath.size() == root.size() || hostPath[root.size()] == '/'))
        out = "C:" + hostPath.substr(root.size());
    else
        out = "Z:" + hostPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    if (out.size() == 2)
        out += '\\';
    return out;
}
