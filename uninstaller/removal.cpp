#include "uninstaller/removal.h"

#include "common/path_rules.h"
#include "common/shell.h"
#include "common/uninstall_entry.h"
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"

#include <algorithm>

namespace {
// The path without its trailing backslashes.
std::string WithoutTrailingSeparators(std::string path)
{
    while (!path.empty() && path.back() == '\\' && MbReverseFind(path, '\\') == path.size() - 1)
        path.pop_back();
    return path;
}

// The identifier a record is named after ("12345.tmd").
bool RecordId(const std::string& recordPath, uint32_t& id)
{
    const size_t cut = MbReverseFind(recordPath, '\\');
    const std::string name = cut == npos ? recordPath : recordPath.substr(cut + 1);
    const size_t digits = name.size() - 4;
    if (name.size() <= 4 || digits > 10 || name.find_first_not_of("0123456789") != digits)
        return false;
    const unsigned long long value = std::stoull(name.substr(0, digits));
    id = static_cast<uint32_t>(value);
    return value <= UINT32_MAX;
}

bool IsLauncherEntry(const std::string& entry)
{
    const size_t cut = MbReverseFind(entry, '\\');
    return MbLowerAscii(cut == npos ? entry : entry.substr(cut + 1)) == "uninstall.exe";
}

// A launcher that runs cannot be deleted, only renamed: the one a silent
// removal was started with waits for the uninstaller to report. It is moved
// into the temporary folder, so that the install folder can go; the file
// there is the launcher's only leftover.
Status MoveRunningLauncherAside(const std::string& path, const std::string& recordPath)
{
    uint32_t id = 0;
    RecordId(recordPath, id);
    return ReplaceFileWith(path, GetTempFolder() + Format("tmd-uninstall-%lu.exe", static_cast<unsigned long>(id)));
}

// The launcher the record lists still lies in the folder, stamped with this
// record's identifier: the folder holds this installation, not merely a
// path a record names.
bool HoldsStampedLauncher(const CUninstallInfo& info)
{
    uint32_t id = 0;
    if (!RecordId(info.m_strRecordPath, id))
        return false;
    for (auto entry = info.m_arrInstalledFiles.rbegin(); entry != info.m_arrInstalledFiles.rend(); ++entry) {
        if (!IsLauncherEntry(*entry) || !IsSafeRelativePath(*entry))
            continue;
        CFile launcher;
        uint8_t stamp[4];
        if (!launcher.Open(info.m_strInstallDir + *entry, CFile::modeRead | CFile::shareDenyNone) ||
            launcher.GetLength() < 4 || launcher.Seek(-4, CFile::end) < 0 || !ReadFully(launcher, stamp, 4))
            return false;
        return LoadLe32(stamp) == id;
    }
    return false;
}

// What the folder steps may do with the install folder.
struct InstallFolder {
    std::vector<std::string> shielded;  // folders that neither go nor are emptied
    std::string path;        // as the file system names it; empty: leave every folder alone
    bool removable = false;  // may go itself once it is empty
    bool sweepable = false;  // may be emptied whole
};

// The record names the folder as text, and may be damaged, forged or
// written for a folder the user picked that holds other things: only the
// folder the file system finds there is judged, never through a link, and
// never one that is or holds a folder of the shell or the shared folder of
// the uninstaller and the records.
InstallFolder JudgeInstallFolder(const CUninstallInfo& info)
{
    InstallFolder folder;
    std::string canonical;
    bool viaLink = false;
    if (!CanonicalFolder(info.m_strInstallDir, canonical, viaLink) || viaLink || !IsLocalFolder(canonical))
        return folder;
    folder.path = canonical;
    folder.shielded = GetShellFolders();
    folder.shielded.push_back(GetModuleFolder());
    folder.shielded.push_back(GetCommonFilesFolder() + "Tessaramond\\");
    if (canonical.size() <= 3)
        return folder;  // a drive root
    for (const std::string& shell : folder.shielded) {
        if (!shell.empty() && IsSameOrAncestor(canonical, shell))
            return folder;
    }
    folder.removable = true;
    // Emptied whole only when this installation made the folder: anything
    // found in it later is the product's. A folder that held other things
    // before loses only the product's own files.
    folder.sweepable = info.m_bInstallDirCreated && HoldsStampedLauncher(info);
    return folder;
}
}  // namespace

bool RemoveInstallation(const CUninstallInfo& info)
{
    CLog& log = info.m_log;
    bool complete = true;
    // What is gone already (a second removal, a file the user deleted) is
    // no failure; the rest is written down and skipped.
    auto removed = [&](const char* what, const Status& status) {
        if (status)
            return true;
        if (!status.Is(StatusCode::NotFound)) {
            log.Failed("remove", what, status);
            complete = false;
        }
        return false;
    };
    // The record goes first: should anything below stop the process, the
    // product no longer shows as installed, and nothing is removed twice.
    if (!info.m_strRecordPath.empty() && removed("the record", RemoveFile(info.m_strRecordPath)))
        log.Write("remove", "record " + info.m_strRecordPath + " removed");

    // Entries are joined onto the folder as the installer recorded them; an
    // install folder that is no absolute folder would make them relative to
    // wherever the uninstaller runs.
    if (IsLocalFolder(info.m_strInstallDir)) {
        const InstallFolder folder = JudgeInstallFolder(info);  // before the launcher is deleted
        unsigned gone = 0, refused = 0;
        for (const std::string& entry : info.m_arrInstalledFiles) {
            const std::string path = info.m_strInstallDir + entry;
            if (!IsSafeRelativePath(entry)) {
                ++refused;
                continue;
            }
            Status status = RemoveFile(path);
            if (!status && status.Is(StatusCode::AccessDenied) && IsLauncherEntry(entry) && FileExists(path) && !IsFolder(path)) {
                if (Status moved = MoveRunningLauncherAside(path, info.m_strRecordPath)) {
                    log.Write("remove", "the launcher " + path + " is running: moved into the temporary folder");
                    status = Status();
                }
            }
            if (removed("an installed file", status))
                ++gone;
        }
        log.Write("remove", Format("%u of %u listed files removed from %s%s", gone, static_cast<unsigned>(info.m_arrInstalledFiles.size()),
                                   info.m_strInstallDir.c_str(),
                                   refused ? Format("; %u entries refused as unsafe", refused).c_str() : ""));
        if (folder.sweepable) {
            if (ClearInstallFolder(folder.path))
                log.Write("remove", "install folder " + folder.path + " removed whole (made by this installation)");
            else {
                log.Write("remove", "install folder " + folder.path + " stays: something in it could not be removed");
                complete = false;
            }
        } else if (!folder.path.empty()) {
            RemoveEmptyFolders(folder.path, info.m_arrInstalledFiles, folder.removable, folder.shielded);
            log.Write("remove", Format("install folder %s: only folders left empty were removed (%s); it %s",
                                       folder.path.c_str(),
                                       !folder.removable ? "it is or holds a folder of the system"
                                       : info.m_bInstallDirCreated ? "the launcher is not this record's"
                                                                   : "it was there before the installation",
                                       IsFolder(folder.path) ? "stays" : "is gone"));
        } else {
            log.Write("remove", "install folder " + info.m_strInstallDir +
                                    " is not judged (missing or reached through a link): no folder is removed");
        }
    } else {
        log.Write("remove", "the record's install folder is no local folder: no file is removed");
    }

    size_t desktop = 0, start = 0;
    for (const std::string& link : info.m_arrDesktopLinks)
        desktop += removed("a desktop shortcut", DeleteDesktopLink(link)) ? 1 : 0;

    // Links pair with groups by position; a link without a group has no
    // folder it is known to lie in and stays.
    const size_t pairs = std::min(info.m_arrStartLinks.size(), info.m_arrGroups.size());
    for (size_t i = 0; i < pairs; ++i)
        start += removed("a Start-menu shortcut", DeleteProgramLink(info.m_arrGroups[i], info.m_arrStartLinks[i])) ? 1 : 0;
    log.Write("remove", Format("%u of %u desktop and %u of %u Start-menu shortcuts removed", static_cast<unsigned>(desktop),
                               static_cast<unsigned>(info.m_arrDesktopLinks.size()), static_cast<unsigned>(start), static_cast<unsigned>(info.m_arrStartLinks.size())));

    // The entry among the installed programs goes only when it is this
    // record's: a later installation of the product has its own. Records of
    // installations that made none find none.
    const size_t cut = MbReverseFind(info.m_strRecordPath, '\\');
    const std::string record = cut == npos ? info.m_strRecordPath : info.m_strRecordPath.substr(cut + 1);
    const Status entry = DeleteUninstallEntry(UninstallEntryKey(info.m_strProductName), record);
    if (entry)
        log.Write("remove", "the entry among the installed programs removed");
    else if (entry.Is(StatusCode::Exists))
        log.Write("remove", "the entry among the installed programs is a later installation's: it stays");
    else
        removed("the entry among the installed programs", entry);
    return complete;
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
            // What cannot go keeps the folder itself, which is what tells.
            if (finder.IsDirectory() && !finder.IsDots())
                DeleteFolderTree(folder + "\\" + finder.GetFileName()).Ignore();
            more = finder.FindNext();
        }
    }  // the search is closed before the folder itself goes
    return static_cast<bool>(RemoveFolder(folder));
}

Status DeleteDesktopLink(const std::string& name)
{
    // Joined without a separator, so a name must bring its own: "Demo.lnk"
    // would name a file beside the desktop folder.
    if (!IsSafeLinkName(name, true))
        return Status(StatusCode::BadData, "unsafe shortcut name", name);
    const std::string desktop = GetDesktopFolder();
    if (desktop.empty())
        return Status(StatusCode::NotFound, "the desktop folder", name);
    return RemoveFile(desktop + name);
}

Status DeleteProgramLink(const std::string& group, const std::string& name)
{
    const std::string programs = GetCommonProgramsFolder();
    if (programs.empty())
        return Status(StatusCode::NotFound, "the Programs folder", name);
    if (!IsSafeLinkName(name, false))
        return Status(StatusCode::BadData, "unsafe shortcut name", name);

    // The installer read a group value as "outer|inner|" and ignored further
    // fields; a value without "|" put the shortcut into the Programs folder
    // itself. Look for it where it was made, and touch no folder for it.
    const size_t first = MbFind(group, '\\');
    if (first == npos)
        return RemoveFile(programs + "\\" + name);
    const std::string outer = group.substr(0, first);
    const size_t second = MbFind(group, '\\', first + 1);
    const std::string inner = group.substr(first + 1, second == npos ? npos : second - first - 1);
    for (const std::string& part : {outer, inner}) {
        if (!part.empty() && !IsSafeName(part))
            return Status(StatusCode::BadData, "unsafe group name", group);
    }
    Status removed = RemoveFile(programs + "\\" + outer + "\\" + inner + name);
    if (!removed)
        return removed;  // not there: nothing shows the group folders are this installation's

    std::string folder;
    for (const std::string& part : {outer, inner}) {
        if (!part.empty())
            folder += part + "\\";
    }
    if (!folder.empty() && IsFolderEmpty(programs + "\\" + folder))
        RemoveProgramGroup(folder);
    return removed;
}

void RemoveProgramGroup(const std::string& group)
{
    const std::string programs = GetCommonProgramsFolder();
    if (programs.empty() || !IsSafeRelativeFolder(group))
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
        rel = rel.substr(0, cut);
    }
}
