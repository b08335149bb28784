#include "framework/thread.h"

#include <windows.h>

bool PostNotify(NotifyTarget target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    // Without a window a message would go to the calling thread's own queue.
    if (target == nullptr)
        return false;
    return PostMessageW(static_cast<HWND>(target), message, wParam, lParam) != 0;
}
