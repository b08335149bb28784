// The removal of one installation as its uninstall record lists it. Every
// single deletion that fails is skipped silently; the sequence always runs
// to its end. Nothing is removed that a check of the record refuses.
#pragma once

#include "uninstaller/uninstall_info.h"

#include <string>

// In this order: the record file, the installed files, the subfolders and
// then the install folder, the desktop shortcuts, the Start-menu shortcuts
// with the program groups they leave empty. The install folder is emptied
// whole only when the installation made it; otherwise only the folders its
// removal left empty go. Neither ever happens to a folder that is or holds a
// folder of the shell, nor through a junction or link.
// True when everything it tried to remove is gone (what was gone already
// counts as removed).
bool RemoveInstallation(const CUninstallInfo& info);

// Deletes every subfolder tree of the folder, keeps its loose files, then
// removes the folder if it is empty. Refuses an empty path and a drive root.
// True when the folder itself was removed.
bool ClearInstallFolder(const std::string& path);
// Deletes the desktop folder + name; the name starts with its separator.
Status DeleteDesktopLink(const std::string& name);
// Deletes the shortcut where the installer placed it for this group value and
// then the group folders it leaves empty.
Status DeleteProgramLink(const std::string& group, const std::string& name);
// Removes the group folder (relative to the Programs folder, ending with "\")
// and then each enclosing group folder, as long as they are empty; never the
// Programs folder itself.
void RemoveProgramGroup(const std::string& group);
