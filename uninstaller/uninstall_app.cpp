// The shared uninstaller. Its removal wizard is not built yet: for now the
// program carries its version resource (1.0.0.2), which the installer's
// deployment compares, and ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
