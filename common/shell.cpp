// The shell functions that need nothing beyond the file layer.
#include "common/shell.h"

#include "common/path_rules.h"
#include "framework/file.h"
#include "framework/strings.h"

#include <algorithm>
#include <functional>
#include <set>

const char* const kShortcutDescription = "该程序由Tessaramond安装。";

std::string GetModuleFolder()
{
    std::string path = GetModulePath();
    size_t cut = MbReverseFind(path, '\\');
    if (path.empty() || cut == npos)
        return std::string();
    return path.substr(0, cut + 1);
}

bool SplitProgramPath(const std::string& programPath, std::string& folder, std::string& file)
{
    const size_t cut = MbReverseFind(programPath, '\\');
    if (programPath.empty() || cut == programPath.size() - 1)
        return false;
    folder = cut == npos ? std::string() : programPath.substr(0, cut + 1);
    file = cut == npos ? programPath : programPath.substr(cut + 1);
    return true;
}

bool FileExists(const std::string& path)
{
    CFileFind finder;
    return finder.FindFile(path);
}

Status DeleteFolderTree(const std::string& folder)
{
    // A junction or folder link goes as a link: walking it would delete the
    // contents of a folder somewhere else. An empty folder goes at once.
    if (IsLink(folder)) {
        Status removed = RemoveFolder(folder);
        return removed ? removed : RemoveFile(folder);
    }
    if (RemoveFolder(folder))
        return Status();
    {
        CFileFind finder;
        bool more = finder.FindFile(folder + "\\*.*");
        while (more) {
            if (!finder.IsDots()) {
                const std::string child = folder + "\\" + finder.GetFileName();
                // What cannot go makes the folder's own removal fail,
                // which is what the caller is told.
                if (finder.IsReparsePoint())
                    (finder.IsDirectory() ? RemoveFolder(child) : RemoveFile(child)).Ignore();
                else if (finder.IsDirectory())
                    DeleteFolderTree(child).Ignore();
                else
                    RemoveFile(child).Ignore();
            }
            more = finder.FindNext();
        }
    }  // the search is closed before the folder itself goes
    return RemoveFolder(folder);
}

bool IsFolderEmpty(const std::string& folder)
{
    CFileFind finder;
    for (bool more = finder.FindFile(folder + "*.*"); more; more = finder.FindNext()) {
        if (!finder.IsDots())
            return false;
    }
    return true;
}

void RemoveEmptyFolders(const std::string& base, const std::vector<std::string>& relativeFiles, bool includeBase)
{
    RemoveEmptyFolders(base, relativeFiles, includeBase, GetShellFolders());
}

void RemoveEmptyFolders(const std::string& base, const std::vector<std::string>& relativeFiles, bool includeBase,
                        const std::vector<std::string>& keep)
{
    // Every folder prefix of every file, deepest first; a folder shared by
    // many files is tried once.
    std::set<std::string, std::greater<>> folders;
    for (const std::string& file : relativeFiles) {
        for (size_t at = MbFind(file, '\\'); at != npos; at = MbFind(file, '\\', at + 1))
            folders.insert(file.substr(0, at));
    }
    // An empty folder of the shell stays wherever it is found.
    auto removable = [&](const std::string& folder) {
        return IsFolderEmpty(folder + "\\") &&
               std::none_of(keep.begin(), keep.end(), [&](const std::string& k) { return IsSameOrAncestor(folder, k); });
    };
    // Longer prefixes of one path sort after shorter ones; walking the set
    // in descending order takes every folder before its parent.
    for (const std::string& folder : folders) {
        if (removable(base + folder))
            RemoveFolder(base + folder).Ignore();  // checked empty just before; a race leaves it
    }
    const std::string self = base.substr(0, base.size() - 1);
    if (includeBase && !self.empty() && removable(self))
        RemoveFolder(self).Ignore();
}

uint32_t GetFileLength(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeReadWrite | CFile::typeBinary | CFile::shareDenyNone))
        return 0;
    return static_cast<uint32_t>(file.GetLength());
}
