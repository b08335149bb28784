// Build-time review of a setup descriptor: everything the installer would
// take without complaint but then do wrongly (a folder that does not end
// with a backslash, a shortcut to a file the package does not carry, a
// desktop link without its leading backslash, an entry missing a member,
// a "|" in a text that travels in the outcome command line, ...).
#pragma once

#include <set>
#include <string>
#include <vector>

struct DescriptorFinding {
    bool error = true;  // false: a warning, the build goes on
    unsigned line = 0;  // 1-based line of the descriptor; 0 for the whole file
    std::string message;  // UTF-8
};

// The files an installation will hold, as the installer names them below
// the install folder: GBK, backslashes, ASCII letters folded to lower case
// (Windows names are case-insensitive).
using InstalledNames = std::set<std::string>;
std::string FoldInstalledName(const std::string& gbkPath);

// Reviews the descriptor as its author wrote it (UTF-8, any line ends).
// When checkTargets is false the programs and shortcut targets are not
// looked up in installed (no product folder was given). withSystemDll tells
// whether the package carries system libraries, which sets ckdll.
std::vector<DescriptorFinding> CheckDescriptor(const std::string& utf8Text, const InstalledNames& installed,
                                               bool checkTargets = true, bool withSystemDll = false);

bool HasErrors(const std::vector<DescriptorFinding>& findings);
// "FILE:LINE: error: MESSAGE" (or warning), one finding per line.
std::string FormatFindings(const std::vector<DescriptorFinding>& findings, const std::string& fileName);
