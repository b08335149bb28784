// Folder, shortcut and program-start functions through which the installer and
// the uninstaller touch the shell and the file system outside their own files.
// Paths are ANSI (GBK) text; folder results end with a backslash where stated.
#pragma once

#include "framework/status.h"

#include <cstdint>
#include <string>
#include <vector>

// Folder of the running program with a trailing backslash; "" on failure.
std::string GetModuleFolder();
// True when something (file or folder) matches the path; wildcards match as
// the system matches them.
bool FileExists(const std::string& path);

// Program Files and Common Files folders, each with a trailing backslash.
std::string GetProgramFilesFolder();
std::string GetCommonFilesFolder();
// All-users Programs folder + "\" + name, created (one level) before it is
// returned. An empty name gives the Programs folder with a trailing backslash.
std::string CreateProgramGroup(const std::string& groupName);

// Shortcut at folder + linkName (no separator added) that starts target.
Status CreateGroupShortcut(const std::string& folder, const std::string& target, const std::string& linkName);
// Shortcut at the desktop folder (no trailing backslash) + linkName.
Status CreateDesktopShortcut(const std::string& target, const std::string& linkName);
// Target and description of a shortcut file; false when it cannot be read.
bool ReadShortcut(const std::string& linkFile, std::string& target, std::string& description);
// The current user's desktop folder, without a trailing backslash.
std::string GetDesktopFolder();
// The all-users Start-menu Programs folder, without a trailing backslash.
std::string GetCommonProgramsFolder();

// The description every shortcut carries.
extern const char* const kShortcutDescription;

// Starts a program (its folder is the working folder) without waiting for it.
// The POSIX stand-in starts nothing: it appends "folder<TAB>file<TAB>parameters"
// as one line to launch.log in the folder that stands for drive C:.
// Fails when the system refused to start it, and for a path with nothing
// to start (see SplitProgramPath).
Status LaunchProgram(const std::string& programPath, const std::string* parameters = nullptr);
// Starts a program as LaunchProgram does and waits for its end; exitCode is
// its exit code. The POSIX stand-in records the start as LaunchProgram does
// and reports the exit code 0.
Status RunProgramAndWait(const std::string& programPath, const std::string& parameters, uint32_t& exitCode);
// How LaunchProgram takes a path apart: folder (with its trailing backslash,
// or empty) and file name. False when there is nothing to start: an empty
// path, or a folder (a descriptor without a main program), for which a shell
// would open something of its own choosing.
bool SplitProgramPath(const std::string& programPath, std::string& folder, std::string& file);

// Removes a folder with everything below it; files that cannot be deleted
// stay. A junction or symbolic link, the folder itself or one inside it, is
// removed as a link and never walked into. Succeeds when the folder itself
// was removed; otherwise the failure of its own removal.
Status DeleteFolderTree(const std::string& folder);
// True when the folder (ending with "\") holds nothing, or cannot be listed.
bool IsFolderEmpty(const std::string& folder);
// Removes, deepest first, every folder on the way from base (ending with
// "\") to each of the relative files that is empty now, and then base
// itself if includeBase and it is empty. Nothing that holds an entry goes.
// No folder that is or holds one of keep goes (GetShellFolders by default).
void RemoveEmptyFolders(const std::string& base, const std::vector<std::string>& relativeFiles, bool includeBase);
void RemoveEmptyFolders(const std::string& base, const std::vector<std::string>& relativeFiles, bool includeBase,
                        const std::vector<std::string>& keep);

// The folder as the file system names it: full path, long names, the case
// and separators stored on the disk, with a trailing backslash. False when
// it does not exist or is no folder. viaLink is true when a junction or
// symbolic link lies on the way, so the folder is somewhere else than its
// path says.
bool CanonicalFolder(const std::string& folder, std::string& canonical, bool& viaLink);
// The shell's own folders, each with a trailing backslash, that no product's
// removal may empty or remove: both Program Files views and their Common
// Files, Windows and its system folders, the profiles and the user's known
// folders, both desktops and Start menus, ProgramData and the temporary
// folders. Each canonical where it exists.
std::vector<std::string> GetShellFolders();

// The file version's four parts written one after another in decimal
// ("1001" for 1.0.0.1); "0000" when the file has no version resource.
std::string GetFileVersionNumber(const std::string& path);

// Creates a new empty file with a unique name in the temporary folder and
// returns its full path ("" on failure).
std::string MakeTempFileName(const std::string& prefix);

// Length of a file in bytes, 0 when it cannot be opened.
uint32_t GetFileLength(const std::string& path);
