// The uninstall launcher. Reading its stamp and starting the uninstaller is
// not built yet: for now the program only exists, so that installers can
// carry and stamp it, and ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
