#include "installer/core/startup.h"

#include "framework/file.h"
#include "format/item_directory.h"
#include "installer/core/item_extract.h"

PackageMarker ReadPackageMarker(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return PackageMarker::Unreadable;
    const uint64_t length = file.GetLength();
    if (length == 0)
        return PackageMarker::Unreadable;
    // A signed installer's marker stands before its certificate table; a
    // table anywhere else makes the file no installer this program reads.
    CFileSource source(file);
    PackageSpan span;
    if (!LocatePackageEnd(source, span))
        return PackageMarker::Other;
    uint8_t b[2];
    if (span.end < 2 || !source.ReadAt(span.end - 2, b, 2))
        return PackageMarker::Other;
    return MarkerOf(b);
}

InstallerRole ChooseRole(const InstallerCommandLine& commandLine, const std::string& modulePath)
{
    if (commandLine.kind == CommandLineKind::Outcome)
        return InstallerRole::Finish;
    if (commandLine.kind == CommandLineKind::Invalid)
        return InstallerRole::BadCommandLine;
    switch (ReadPackageMarker(modulePath)) {
    case PackageMarker::Packaged: return InstallerRole::Packaged;
    case PackageMarker::Extracted: return InstallerRole::Working;
    default: return InstallerRole::BadPackage;
    }
}
