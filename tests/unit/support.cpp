#include "support.h"

#include "framework/file.h"
#include "framework/strings.h"
#include "common/shell.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

std::vector<std::string>& Scratch();

std::string NewScratchFolder()
{
    static std::atomic<unsigned> counter{0};
    std::string root = GetTempFolder();
    // Create the temporary folder's own chain on a fresh stand-in machine.
    for (size_t i = 3; i < root.size(); ++i) {
        if (root[i] == '\\')
            CreateFolder(root.substr(0, i)).Ignore();
    }
    // Process numbers repeat between runs under Wine, so a name may be taken
    // by an earlier run: only a folder this call created is fresh.
    for (;;) {
        std::string folder = root + Format("tmd-unit-%u-%u", ScratchSeed(), counter++);
        if (CreateFolder(folder)) {
            Scratch().push_back(folder);
            return folder + "\\";
        }
    }
}

std::vector<std::string>& Scratch()
{
    static std::vector<std::string> folders;
    return folders;
}

void RemoveScratchFolders()
{
    for (const std::string& folder : Scratch())
        DeleteFolderTree(folder).Ignore();
    Scratch().clear();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    CFile file;
    return file.Open(path, CFile::modeCreate | CFile::modeWrite) &&
           file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::string ReadWholeFile(const std::string& path)
{
    CFile file;
    std::string out;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return out;
    char buffer[65536];
    for (;;) {
        const CFile::ReadResult got = file.Read(buffer, sizeof buffer);
        if (got.bytes == 0)
            return out;
        out.append(buffer, got.bytes);
    }
}

std::string BuiltProgram(const std::string& relative)
{
    const char* dir = std::getenv("TMD_PROGRAMS_DIR");
    if (dir == nullptr)
        return std::string();
    const std::string path = FromHostPath(std::string(dir) + "/" + relative);
    return FileExists(path) ? path : std::string();
}

bool LogHolds(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}
