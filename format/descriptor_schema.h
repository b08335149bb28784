// The names of the setup descriptor (an INI text): its sections and keys, as
// the installer reads them and the builder writes and reviews them.
// Sections and keys are case-sensitive.
#pragma once

#include <string>

namespace descriptor_schema {
inline constexpr char kSoftInfo[] = "SoftInfo";
inline constexpr char kCompanyName[] = "companyname";
inline constexpr char kProductName[] = "productname";
inline constexpr char kProductVersion[] = "productversion";

inline constexpr char kInstallInfo[] = "InstallInfo";
inline constexpr char kFolder[] = "folder";
inline constexpr char kFolderSel[] = "bfoldersel";
inline constexpr char kExeFile[] = "exefile";
// Added by the self-extraction: where the shipped file lies, and the size
// of "data.rar".
inline constexpr char kInstallExe[] = "installexe";
inline constexpr char kFileLen[] = "filelen";
// 1: the installation lists the product among the system's installed
// programs. The builder writes it; descriptors made before it have none.
inline constexpr char kUninstallEntry[] = "uninstallentry";

// The two lists of shortcuts: linknum entries, entry N with its keys named
// prefix + N (N from 0, in decimal).
inline constexpr char kStartMenu[] = "StartMenu";
inline constexpr char kDesktop[] = "Desktop";
inline constexpr char kLinkNum[] = "linknum";
inline constexpr char kGroupPrefix[] = "group_";  // StartMenu only
inline constexpr char kExeFilePrefix[] = "exefile_";
inline constexpr char kLinkNamePrefix[] = "linkname_";

inline constexpr char kSystemDll[] = "SystemDll";
inline constexpr char kCkDll[] = "ckdll";

// The key of list entry index: "group_" and 2 give "group_2".
inline std::string Numbered(const char* prefix, int index) { return prefix + std::to_string(index); }
}  // namespace descriptor_schema
