// The shell functions that need nothing beyond the file layer.
#include "common/shell.h"

#include "framework/file.h"
#include "framework/strings.h"

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

bool DeleteFolderTree(const std::string& folder)
{
    // An empty folder goes at once, and so does a junction or folder link:
    // removing one takes only the link, while walking it would delete the
    // contents of a folder somewhere else.
    if (RemoveFolder(folder))
        return true;
    {
        CFileFind finder;
        bool more = finder.FindFile(folder + "\\*.*");
        while (more) {
            if (!finder.IsDots()) {
                std::string child = folder + "\\" + finder.GetFileName();
                if (finder.IsDirectory())
                    DeleteFolderTree(child);
                else
                    RemoveFile(child);
            }
            more = finder.FindNext();
        }
    }  // the search is closed before the folder itself goes
    return RemoveFolder(folder);
}

uint32_t GetFileLength(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeReadWrite | CFile::typeBinary | CFile::shareDenyNone))
        return 0;
    return static_cast<uint32_t>(file.GetLength());
}
