#include "installer/core/startup.h"

#include "framework/file.h"
#include "format/item_directory.h"

PackageMarker ReadPackageMarker(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return PackageMarker::Unreadable;
    const uint64_t length = file.GetLength();
    if (length == 0)
        return PackageMarker::Unreadable;
    uint8_t b[2];
    if (length < 2 || file.Seek(static_cast<int64_t>(length - 2), CFile::begin) < 0 || !ReadFully(file, b, 2))
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
