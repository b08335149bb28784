// The rules every path the programs form from package, descriptor or record
// text must pass: one set for the installer (archive entries, descriptor
// values, the install folder), the uninstaller (record entries) and the
// builder's review, so that what the builder lets through is exactly what
// the installer accepts and the uninstaller removes.
//
// Paths are GBK text in Windows form, joined by plain concatenation. A name
// is judged as Windows would create it: a name Windows would store under
// another name (trailing dots or blanks are dropped), one that names a
// device in every folder (CON, NUL, COM1, ...), one holding a character no
// name may hold, or one with a lead byte that lacks its trail byte (read as
// two characters by one reader and as one by another) names something other
// than what the text says, and is refused.
#pragma once

#include <string>

// One file or folder name: not empty, no ". " only, no trailing "." or " ",
// no control character, none of \ / : * ? " < > |, no device name, and
// well-formed GBK.
bool IsSafeName(const std::string& name);

// Safe names joined by single backslashes, without a leading or trailing
// one: a file inside the folder it is joined to ("bin\app.exe").
bool IsSafeRelativePath(const std::string& path);
// The same for an archive entry's folder ("", or ending with a backslash)
// and name, joined as the installer joins them.
bool IsSafeRelativePath(const std::string& folder, const std::string& name);
// A folder below another one, written with a trailing backslash ("Acme\Demo\").
bool IsSafeRelativeFolder(const std::string& folder);

// A shortcut name, joined directly onto its folder: a backslash and one safe
// name ("\Demo.lnk"). Where the folder ends with a backslash of its own (a
// program group), the name's may be left out unless separatorRequired.
bool IsSafeLinkName(const std::string& link, bool separatorRequired);
// A program-group value "outer|inner|": the names the installer uses (the
// first two fields) are empty or safe names.
bool IsSafeGroup(const std::string& group);

// An absolute local folder "X:\...\" of safe names with a trailing
// backslash; the drive root "X:\" qualifies.
bool IsLocalFolder(const std::string& folder);

// The file name of an uninstall record: one safe name ending in ".tmd".
bool IsRecordName(const std::string& name);

// A folder as a person types it, tidied: blanks at both ends removed, '/'
// read as '\', runs of separators made one (a leading "\\" of a share
// stays), and a trailing backslash.
std::string TidyFolder(const std::string& typed);

// text with ASCII letters in lower case, '/' read as '\' and runs of
// separators made one: the form two spellings of one path share, for
// comparing folders. A trail byte is never taken for a separator.
std::string FoldPath(const std::string& path);
// True when folder (ending with a backslash) is inner or one of its
// ancestors; both are compared in their folded forms.
bool IsSameOrAncestor(const std::string& folder, const std::string& inner);
