#include "installer/core/startup.h"

#include "framework/endian.h"
#include "framework/file.h"
#include "format/item_directory.h"

int ReadPackageMarker(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return 0;
    const uint64_t length = file.GetLength();
    if (length == 0)
        return 0;
    uint8_t b[2];
    if (length < 2 || file.Seek(static_cast<int64_t>(length - 2), CFile::begin) < 0 || file.Read(b, 2) != 2)
        return 3;
    const unsigned marker = LoadLe16(b);
    if (marker == kMarkerPackaged)
        return 1;
    if (marker == kMarkerExtracted)
        return 2;
    return 3;
}

InstallerRole ChooseRole(const std::string& commandLine, const std::string& modulePath)
{
    if (!commandLine.empty())
        return InstallerRole::Finish;
    switch (ReadPackageMarker(modulePath)) {
    case 1:
        return InstallerRole::Packaged;
    case 2:
        return InstallerRole::Working;
    default:
        return InstallerRole::BadPackage;
    }
}
