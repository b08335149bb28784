#include "framework/ui/subclass.h"

#include "framework/win32/wide.h"

#include <commctrl.h>
#include <cstring>

CSubclassedWindow::~CSubclassedWindow()
{
    if (m_hWnd && IsWindow(m_hWnd))
        RemoveWindowSubclass(m_hWnd, Proc, 0);
}

bool CSubclassedWindow::SubclassWindow(HWND window)
{
    m_hWnd = window;
    return m_hWnd && SetWindowSubclass(m_hWnd, Proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CSubclassedWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT CSubclassedWindow::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefSubclassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self)
{
    auto* control = reinterpret_cast<CSubclassedWindow*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, Proc, 0);
        control->m_hWnd = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return control->WindowProc(message, wParam, lParam);
}

HFONT CreateTextFont(int height, int weight)
{
    // A negative height asks for the character height (the em), as the
    // texts are specified; a positive one would be the cell height, which
    // only SimSun, whose cell is exactly its em, makes the same.
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

void DrawTextLine(HDC dc, int x, int y, const char* text)
{
    const std::wstring wide = Widen(text);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}
