// The names of the uninstall record "<id>.tmd" (a scrambled INI text) as the
// installer writes it and the uninstaller reads it. Records on users'
// machines carry these texts, misspelt "fielnum" too: they never change.
#pragma once

#include <string>

namespace record_schema {
inline constexpr char kProduct[] = "SoftInfo";
inline constexpr char kProductName[] = "productname";

inline constexpr char kInstall[] = "InstallInfo";
inline constexpr char kInstallDir[] = "InstallDir";
// 1 when the installation created the install folder; older records lack it.
inline constexpr char kDirCreated[] = "DirCreated";

// Lists: a count, then entry N under prefix + N (N from 0, in decimal).
inline constexpr char kStartMenu[] = "StartMenu";
inline constexpr char kDesktop[] = "Desktop";
inline constexpr char kLinkCount[] = "linknum";
inline constexpr char kGroupPrefix[] = "group_";  // StartMenu only
inline constexpr char kLinkPrefix[] = "linkname_";

inline constexpr char kFiles[] = "UnInstallFile";
inline constexpr char kFileCount[] = "fielnum";
inline constexpr char kFilePrefix[] = "file_";

// The key of list entry index: "file_" and 2 give "file_2".
inline std::string Numbered(const char* prefix, int index) { return prefix + std::to_string(index); }
}  // namespace record_schema
