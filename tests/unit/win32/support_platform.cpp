#include "support.h"

#include <windows.h>

unsigned ScratchSeed() { return static_cast<unsigned>(GetCurrentProcessId()); }

void PrepareTestMachine() {}
void CleanUpTestMachine() {}

std::string FromHostPath(const std::string& hostPath)
{
    // Wine shows the host's root as drive Z:.
    std::string out = "Z:" + hostPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

void SetReadOnly(const std::string& path, bool readOnly)
{
    SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}
