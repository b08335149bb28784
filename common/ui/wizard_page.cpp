#include "common/ui/wizard_page.h"

#include "framework/ui/subclass.h"

namespace {
HWND Frame(HWND page)
{
    return GetParent(GetParent(page));  // page -> page host -> frame
}
}  // namespace

void PaintPageLines(HWND window, int x, const std::function<std::vector<PageLine>(int height)>& lines)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
        CGdiObject font(CreateTextFont(12, 100));
        CSelectObject selected(dc, font.Get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        for (const PageLine& line : lines(client.bottom))
            DrawTextLine(dc, x, line.y, line.text.c_str());
    }
    EndPaint(window, &paint);
}

bool CWizardPage::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != WM_PAINT)
        return false;
    PaintPageLines(m_hWnd, 20, [this](int height) { return Lines(height); });
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

