// starrt.dll, the demo's runtime library, shipped as a system-library package.
#include <windows.h>

extern "C" __declspec(dllexport) const char* WINAPI StarRuntimeVersion() { return "星图运行库 1.0"; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
