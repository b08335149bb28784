#include "common/ui/wizard_page.h"

#include "framework/ui/subclass.h"

namespace {
HWND Frame(HWND page)
{
    return GetParent(GetParent(page));  // page -> page host -> frame
}
}  // namespace

bool CWizardPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != WM_PAINT)
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    RECT client;
    GetClientRect(m_hWnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
        CGdiObject font(CreateTextFont(12, 100));
        CSelectObject selected(dc, font.Get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        for (const Line& line : Lines(client.bottom))
            DrawTextLine(dc, 20, line.y, line.text.c_str());
    }
    EndPaint(m_hWnd, &paint);
    result = 0;
    return true;
}

void CWizardPage::OnOK()
{
    HWND frame = Frame(m_hWnd);
    const LRESULT id = SendMessageA(frame, DM_GETDEFID, 0, 0);
    if (HIWORD(id) == DC_HASDEFID)
        PostMessageA(frame, WM_COMMAND, MAKEWPARAM(LOWORD(id), BN_CLICKED), 0);
}

void CWizardPage::OnCancel() { PostMessageA(Frame(m_hWnd), WM_COMMAND, IDCANCEL, 0); }

