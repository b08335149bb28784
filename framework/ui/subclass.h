// A control of a dialog template taken over by a class of ours: its messages
// pass through WindowProc first, and Default hands them on.
#pragma once

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

// GDI objects and selections that release themselves.
class CGdiObject {
public:
    explicit CGdiObject(HGDIOBJ object) : m_object(object) {}
    ~CGdiObject()
    {
        if (m_object)
            DeleteObject(m_object);
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    HGDIOBJ Get() const { return m_object; }

private:
    HGDIOBJ m_object;
};

class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~CSelectObject() { SelectObject(m_dc, m_old); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// The "宋体" font the painted texts use, of the default character set, at a
// character height in pixels (the em, not the cell).
HFONT CreateTextFont(int height, int weight);

// Draws one line of text at (x, y) in the selected font and colour.
void DrawTextLine(HDC dc, int x, int y, const char* text);
