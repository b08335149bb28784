// Checks on the paths and names an uninstall record gives the removal. The
// record is read from disk and may be damaged or forged, and the uninstaller
// runs elevated: nothing outside what the installation created may be named.
#pragma once

#include <string>

// A path relative to a folder that stays inside it: no drive, no ':' (so no
// alternate data streams), no wildcard or other character that Windows does
// not allow in a name, no component made only of dots and blanks (".." and
// the forms Windows reads as ".."), and something left after the separators.
// Leading separators are allowed: link names carry their own ("\Demo.lnk").
bool IsContainedPath(const std::string& relative);

// An absolute local folder "X:\...\" with a trailing backslash whose
// components are all contained names; the drive root itself qualifies.
bool IsLocalFolder(const std::string& folder);

// A folder that may be swept as a whole: a local folder below a drive root
// that is neither one of the given protected folders nor above one of them.
// Each protected folder ends with a backslash; the comparison ignores ASCII
// case, as Windows does.
bool IsSweepableFolder(const std::string& folder, const std::string* protectedFolders, size_t count);

// The file name of an uninstall record: a plain ".tmd" name without any
// folder part.
bool IsRecordName(const std::string& name);
