#include "uninstaller/removal.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "uninstaller/record_paths.h"

#include <algorithm>
#include <iterator>

namespace {
// The path without its trailing backslashes.
std::string WithoutTrailingSeparators(std::string path)
{
    while (!path.empty() && path.back() == '\\' && MbReverseFind(path, '\\') == path.size() - 1)
        path.pop_back();
    return path;
}

// Folders the sweep of an install folder must never reach: the shared folder
// with the uninstaller and the other products' records, and the shell's own.
bool MaySweep(const std::string& installDir)
{
    const std::string protectedFolders[] = {
        GetModuleFolder(),
        GetProgramFilesFolder(),
        GetCommonFilesFolder(),
        GetCommonProgramsFolder() + "\\",
        GetDesktopFolder() + "\\",
    };
    return IsSweepableFolder(installDir, protectedFolders, std::size(protectedFolders));
}
}  // namespace

void RemoveInstallation(const CUninstallInfo& info)
{
    // The record goes first: should anything below stop the process, the
    // product no longer shows as installed, and nothing is removed twice.
    if (!info.m_strRecordPath.empty())
        RemoveFile(info.m_strRecordPath);

    // Entries are joined onto the folder as the installer recorded them; an
    // install folder that is no absolute folder would make them relative to
    // wherever the uninstaller runs.
    if (IsLocalFolder(info.m_strInstallDir)) {
        for (const std::string& entry : info.m_arrInstalledFiles) {
            if (IsContainedPath(entry))
                RemoveFile(info.m_strInstallDir + entry);
        }
        if (MaySweep(info.m_strInstallDir))
            ClearInstallFolder(info.m_strInstallDir);
    }

    for (const std::string& link : info.m_arrDesktopLinks)
        DeleteDesktopLink(link);

    // Links pair with groups by position; a link without a group has no
    // folder it is known to lie in and stays.
    const size_t pairs = std::min(info.m_arrStartLinks.size(), info.m_arrGroups.size());
    for (size_t i = 0; i < pairs; ++i)
        DeleteProgramLink(info.m_arrGroups[i], info.m_arrStartLinks[i]);
}

bool ClearInstallFolder(const std::string& path)
{
    const std::string folder = WithoutTrailingSeparators(path);
    // An empty path or "X:" would address a whole drive.
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':'))
        return false;
    {
        CFileFind finder;
        bool more = finder.FindFile(folder + "\\*.*");
        while (more) {
            if (finder.IsDirectory() && !finder.IsDots())
                DeleteFolderTree(folder + "\\" + finder.GetFileName());
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

void DeleteDesktopLink(const std::string& name)
{
    // Joined without a separator, so a name must bring its own: "Demo.lnk"
    // would name a file beside the desktop folder.
    if (name.empty() || name[0] != '\\' || !IsContainedPath(name))
        return;
    const std::string desktop = GetDesktopFolder();
    if (!desktop.empty())
        RemoveFile(desktop + name);
}

void DeleteProgramLink(const std::string& group, const std::string& name)
{
    const std::string programs = GetCommonProgramsFolder();
    if (programs.empty() || !IsContainedPath(name))
        return;

    // The installer read a group value as "outer|inner|" and ignored further
    // fields; a value without "|" put the shortcut into the Programs folder
    // itself. Look for it where it was made, and touch no folder for it.
    const size_t first = MbFind(group, '\\');
    if (first == npos) {
        RemoveFile(programs + "\\" + name);
        return;
    }
    const std::string outer = group.substr(0, first);
    const size_t second = MbFind(group, '\\', first + 1);
    const std::string inner = group.substr(first + 1, second == npos ? npos : second - first - 1);
    for (const std::string& part : {outer, inner}) {
        if (!part.empty() && !IsContainedPath(part))
            return;
    }
    if (!RemoveFile(programs + "\\" + outer + "\\" + inner + name))
        return;  // not there: nothing shows the group folders are this installation's

    std::string folder;
    for (const std::string& part : {outer, inner}) {
        if (!part.empty())
            folder += part + "\\";
    }
    if (!folder.empty() && IsFolderEmpty(programs + "\\" + folder))
        RemoveProgramGroup(folder);
}

void RemoveProgramGroup(const std::string& group)
{
    const std::string programs = GetCommonProgramsFolder();
    if (programs.empty() || group.empty() || group[0] == '\\' || !IsContainedPath(WithoutTrailingSeparators(group)))
        return;
    // Innermost first; each folder only while it is empty, so a shortcut of
    // another product keeps its group, and the walk ends below the Programs
    // folder.
    std::string rel = WithoutTrailingSeparators(group);
    for (;;) {
        const std::string full = programs + "\\" + rel + "\\";
        if (!IsFolderEmpty(full) || !RemoveFolder(programs + "\\" + rel))
            return;
        const size_t cut = MbReverseFind(rel, '\\');
        if (cut == npos)
            return;
        rel = WithoutTrailingSeparators(rel.substr(0, cut));
        if (rel.empty())
            return;
    }
}
