#include "framework/thread.h"

#include <windows.h>

bool PostNotify(NotifyTarget target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    return PostMessageW(static_cast<HWND>(target), message, wParam, lParam) != 0;
}
