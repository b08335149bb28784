// POSIX stand-in of the shell: special folders lie where a fresh Wine prefix
// has them, shortcuts are small text files (target, then description), and
// started programs are only recorded.
#include "common/shell.h"

#include "common/path_rules.h"
#include "framework/endian.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "framework/posix/host_path.h"
#include "framework/strings.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const kCommonPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

// Creates every missing folder of a Windows-form path, as a fresh prefix has them.
void EnsureFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateFolder(path.substr(0, i)).Ignore();  // most of them are there
    }
}

std::string SpecialFolder(const char* path)
{
    EnsureFolders(path);
    return path;
}

Status SaveShortcut(const std::string& linkFile, const std::string& target)
{
    CFile file;
    if (FaultRefuses(SysCall::SaveShortcut))
        return Status::LastOsError("IPersistFile::Save", linkFile);
    if (Status opened = file.Open(linkFile, CFile::modeCreate | CFile::modeWrite); !opened)
        return opened;
    std::string body = target + "\n" + kShortcutDescription + "\n";
    Status written = file.Write(body.data(), static_cast<uint32_t>(body.size()));
    if (!written) {
        file.Close();
        RemoveFile(linkFile).Ignore();  // a half-written shortcut is no shortcut
    }
    return written;
}
}  // namespace

std::string GetProgramFilesFolder() { return SpecialFolder("C:\\Program Files") + "\\"; }
std::string GetCommonFilesFolder() { return SpecialFolder("C:\\Program Files\\Common Files") + "\\"; }
std::string GetDesktopFolder() { return SpecialFolder("C:\\users\\user\\Desktop"); }
std::string GetCommonProgramsFolder() { return SpecialFolder(kCommonPrograms); }

std::string CreateProgramGroup(const std::string& groupName)
{
    std::string path = GetCommonProgramsFolder() + "\\" + groupName;
    CreateFolder(path).Ignore();  // an existing group is used as it is
    return path;
}

Status CreateGroupShortcut(const std::string& folder, const std::string& target, const std::string& linkName)
{
    return SaveShortcut(folder + linkName, target);
}

Status CreateDesktopShortcut(const std::string& target, const std::string& linkName)
{
    return SaveShortcut(GetDesktopFolder() + linkName, target);
}

bool ReadShortcut(const std::string& linkFile, std::string& target, std::string& description)
{
    CStdioFile file;
    if (!file.Open(linkFile, CFile::modeRead))
        return false;
    return file.ReadString(target) && file.ReadString(description);
}

Status LaunchProgram(const std::string& programPath, const std::string* parameters)
{
    std::string folder, file;
    if (!SplitProgramPath(programPath, folder, file))
        return Status(StatusCode::NotFound, "ShellExecuteEx", programPath);
    if (FaultRefuses(SysCall::LaunchProgram))
        return Status::LastOsError("ShellExecuteEx", programPath);
    std::string line = folder + "\t" + file + "\t" + (parameters ? *parameters : std::string()) + "\n";
    std::string host = HostPath("C:\\launch.log");
    if (host.empty())
        return Status::FromOsError(ENOENT, "ShellExecuteEx", programPath);
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::LastOsError("ShellExecuteEx", programPath);
    ssize_t written = ::write(fd, line.data(), line.size());
    (void)written;
    ::close(fd);
    return Status();
}

Status RunProgramAndWait(const std::string& programPath, const std::string& parameters, uint32_t& exitCode)
{
    Status started = LaunchProgram(programPath, &parameters);
    if (started)
        exitCode = 0;
    return started;
}

std::string GetFileVersionNumber(const std::string& path)
{
    // A version resource holds a VS_FIXEDFILEINFO that starts with the
    // signature 0xFEEF04BD; the file version follows the structure version.
    CFile file;
    if (FaultRefuses(SysCall::GetFileVersionNumber) || !file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return "0000";
    std::string data;
    char buffer[65536];
    // A program image of this platform is far smaller than the bound.
    while (data.size() <= (64u << 20)) {
        const CFile::ReadResult got = file.Read(buffer, sizeof buffer);
        if (!got.status)
            return "0000";  // unknown, as for a file without a version
        if (got.bytes == 0)
            break;
        data.append(buffer, got.bytes);
    }
    static const char kSignature[4] = {'\xBD', '\x04', '\xEF', '\xFE'};
    size_t at = data.find(std::string(kSignature, 4));
    if (at == std::string::npos || at + 16 > data.size())
        return "0000";
    auto u16 = [&](size_t o) { return static_cast<int>(LoadLe16(data.data() + o)); };
    // dwFileVersionMS at +8 (minor low word, major high word), dwFileVersionLS at +12.
    return Format("%i%i%i%i", u16(at + 10), u16(at + 8), u16(at + 14), u16(at + 12));
}

std::string MakeTempFileName(const std::string& prefix)
{
    if (FaultRefuses(SysCall::MakeTempFileName))
        return std::string();
    std::string folder = GetTempFolder();
    EnsureFolders(folder.substr(0, folder.size() - 1));
    std::string stem = prefix.substr(0, 3);
    static std::atomic<unsigned> counter{0};
    for (unsigned tries = 0; tries < 65535; ++tries) {
        unsigned unique = ((static_cast<unsigned>(::getpid()) << 4) + counter++) & 0xFFFF;
        if (unique == 0)
            continue;
        std::string name = folder + stem + Format("%X", unique) + ".tmp";
        int fd = ::open(HostPath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
    }
    return std::string();
}

namespace {
std::string RealHostPath(const std::string& host)
{
    char resolved[PATH_MAX];
    return ::realpath(host.c_str(), resolved) == nullptr ? std::string() : std::string(resolved);
}

// The Windows form of a resolved host path: drive C: is the sandbox, as
// resolved itself, drive Z: the rest.
std::string WindowsFormOfReal(const std::string& real)
{
    const std::string root = RealHostPath(SandboxRoot());
    std::string out;
    if (!root.empty() && real.compare(0, root.size(), root) == 0 &&
        (real.size() == root.size() || real[root.size()] == '/'))
        out = "C:" + real.substr(root.size());
    else
        out = "Z:" + real;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    if (out.back() != '\\')
        out += '\\';
    return out;
}
}  // namespace

bool CanonicalFolder(const std::string& folder, std::string& canonical, bool& viaLink)
{
    viaLink = false;
    std::string host = HostPath(folder);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const std::string real = RealHostPath(host);
    if (real.empty())
        return false;
    // The path as written, its "." and ".." and doubled separators taken out,
    // against where it really leads.
    std::string written;
    size_t start = 0;
    std::vector<std::string> parts;
    while (start <= host.size()) {
        const size_t slash = host.find('/', start);
        const std::string part = host.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    for (const std::string& part : parts)
        written += "/" + part;
    canonical = WindowsFormOfReal(real);
    viaLink = WindowsFormOfReal(written.empty() ? "/" : written) != canonical;
    return true;
}

std::vector<std::string> GetShellFolders()
{
    const char* const kFolders[] = {
        "C:\\Program Files\\", "C:\\Program Files (x86)\\", "C:\\Program Files\\Common Files\\",
        "C:\\Program Files (x86)\\Common Files\\", "C:\\windows\\", "C:\\windows\\system32\\",
        "C:\\windows\\syswow64\\", "C:\\windows\\temp\\", "C:\\users\\", "C:\\users\\Public\\",
        "C:\\users\\user\\", "C:\\users\\user\\Desktop\\", "C:\\users\\user\\Documents\\",
        "C:\\users\\user\\Downloads\\", "C:\\users\\user\\Music\\", "C:\\users\\user\\Pictures\\",
        "C:\\users\\user\\Videos\\", "C:\\users\\user\\AppData\\Roaming\\",
        "C:\\users\\user\\AppData\\Local\\",
        "C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\",
        "C:\\ProgramData\\", "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\"};
    std::vector<std::string> folders(std::begin(kFolders), std::end(kFolders));
    folders.push_back(GetCommonProgramsFolder() + "\\");
    folders.push_back(GetTempFolder());
    const size_t given = folders.size();
    for (size_t i = 0; i < given; ++i) {
        std::string canonical;
        bool viaLink = false;
        if (CanonicalFolder(folders[i], canonical, viaLink) && FoldPath(canonical) != FoldPath(folders[i]))
            folders.push_back(canonical);
    }
    return folders;
}
