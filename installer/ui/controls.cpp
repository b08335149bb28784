#include "installer/ui/controls.h"

#include "framework/win32/wide.h"

#include <commctrl.h>

CCheckBox::CCheckBox()
    // Character height 12 (negative: the em, not the cell), average width 6.
    : m_hFont(CreateFontW(-12, 6, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, L"宋体"))
{
}

bool CCheckBox::Bind(int id, HWND dialog)
{
    HWND box = GetDlgItem(dialog, id);
    if (!box)
        return false;
    const LONG_PTR style = GetWindowLongPtrW(box, GWL_STYLE);
    SetWindowLongPtrW(box, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    return SubclassDlgItem(id, dialog);
}

void CCheckBox::SetCheck(int state)
{
    m_bChecked = state;
    Invalidate(true);
}

LRESULT CCheckBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (!m_bTracking) {
            TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, m_hWnd, 1};
            TrackMouseEvent(&track);
            m_bTracking = 1;
        }
        break;
    case WM_MOUSEHOVER:
        m_bHover = 1;
        Invalidate();
        return 0;
    case WM_MOUSELEAVE:
        m_bHover = 0;
        m_bTracking = 0;
        Invalidate();
        return 0;
    case WM_LBUTTONUP: {
        const LRESULT result = Default(message, wParam, lParam);
        m_bChecked = !m_bChecked;
        Invalidate();
        return result;
    }
    case WM_ERASEBKGND:
        return TRUE;
    }
    return Default(message, wParam, lParam);
}

void CCheckBox::DrawItem(const DRAWITEMSTRUCT& item) const
{
    HDC dc = item.hDC;
    RECT label = item.rcItem;
    label.left = 13;
    unique_gdi<HBRUSH> back(CreateSolidBrush(m_crBack));
    FillRect(dc, &label, back.get());

    unique_gdi<> pen(CreatePen(PS_SOLID, 1, m_crFrame));
    unique_gdi<> white(CreateSolidBrush(RGB(255, 255, 255)));
    {
        CSelectObject selectPen(dc, pen.get());
        CSelectObject selectBrush(dc, white.get());
        Rectangle(dc, 1, 1, 12, 12);
        if (m_bHover)
            Rectangle(dc, 2, 2, 11, 11);
    }
    if (m_bChecked) {
        for (int x = 3; x <= 5; ++x)
            for (int y = x + 2; y <= x + 4; ++y)
                SetPixel(dc, x, y, RGB(0, 0, 0));
        for (int x = 6; x <= 9; ++x)
            for (int y = 12 - x; y <= 14 - x; ++y)
                SetPixel(dc, x, y, RGB(0, 0, 0));
    }
    CSelectObject selectFont(dc, m_hFont.get());
    SIZE size = {};
    const std::wstring text = Widen(m_strText);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, m_crText);
    TextOutW(dc, 15, (item.rcItem.top + item.rcItem.bottom) / 2 - size.cy / 2, text.c_str(),
             static_cast<int>(text.size()));
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

HBRUSH CHllEdit::CtlColor(HDC dc) const
{
    SetBkColor(dc, m_crBack);
    SetTextColor(dc, m_crText);
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

LRESULT CHllEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE) {
        // A multi-line edit asks the dialog manager for every key, Enter too,
        // and then looks for a default button in its own parent: a page,
        // which has none. Enter belongs to the frame's default button.
        LRESULT code = Default(message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
        return code;
    }
    if (message != WM_NCPAINT)
        return Default(message, wParam, lParam);
    const LRESULT result = Default(message, wParam, lParam);
    HDC dc = GetWindowDC(m_hWnd);
    RECT window;
    GetWindowRect(m_hWnd, &window);
    const int w = window.right - window.left, h = window.bottom - window.top;
    {
        unique_gdi<> border(CreatePen(PS_SOLID, 1, m_crBorder));
        unique_gdi<> inner(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
        CSelectObject hollow(dc, GetStockObject(HOLLOW_BRUSH));
        {
            CSelectObject pen(dc, border.get());
            Rectangle(dc, 0, 0, w, h);
        }
        CSelectObject pen(dc, inner.get());
        Rectangle(dc, 1, 1, w - 1, h - 1);
    }
    ReleaseDC(m_hWnd, dc);
    return result;
}
