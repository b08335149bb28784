// A control of a dialog template taken over by a class of ours: its messages
// pass through WindowProc first, and Default hands them on.
#pragma once

#include "framework/win32/handle.h"

#include <windows.h>

class CSubclassedWindow {
public:
    CSubclassedWindow() = default;
    virtual ~CSubclassedWindow();
    CSubclassedWindow(const CSubclassedWindow&) = delete;
    CSubclassedWindow& operator=(const CSubclassedWindow&) = delete;

    // Takes over the control with this id in the dialog.
    bool SubclassDlgItem(int id, HWND dialog) { return SubclassWindow(GetDlgItem(dialog, id)); }
    bool SubclassWindow(HWND window);
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    void Invalidate(bool erase = true) const { InvalidateRect(m_hWnd, nullptr, erase); }

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
};

// The "宋体" font the painted texts use, of the default character set, at a
// character height in pixels (the em, not the cell).
HFONT CreateTextFont(int height, int weight);

// Draws one line of text at (x, y) in the selected font and colour.
void DrawTextLine(HDC dc, int x, int y, const char* text);
