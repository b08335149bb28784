#include "common/ui/wizard_page.h"

#include "framework/ui/subclass.h"

namespace {
HWND Frame(HWND page)
{
    return GetParent(GetParent(page));  // page -> page host -> frame
}
}  // namespace

void PaintPageLines(HDC dc, const RECT& client, int x, const std::vector<PageLine>& lines)
{
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    unique_gdi<> font(CreateTextFont(12, 100));
    CSelectObject selected(dc, font.get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    for (const PageLine& line : lines)
        DrawTextLine(dc, x, line.y, line.text.c_str());
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

bool PaintPageMessage(HWND window, UINT message, WPARAM wParam, int x,
                      const std::function<std::vector<PageLine>(int height)>& lines)
{
    if (message != WM_PAINT && message != WM_PRINTCLIENT)
        return false;
    RECT client;
    GetClientRect(window, &client);
    if (message == WM_PRINTCLIENT) {
        PaintPageLines(reinterpret_cast<HDC>(wParam), client, x, lines(client.bottom));
        return true;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    PaintPageLines(dc, client, x, lines(client.bottom));
    EndPaint(window, &paint);
    return true;
}

bool CWizardPage::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (!PaintPageMessage(m_hWnd, message, wParam, 20, [this](int height) { return Lines(height); }))
        return false;
    result = 0;
    return true;
}

void CWizardPage::OnOK()
{
    HWND frame = Frame(m_hWnd);
    const LRESULT id = SendMessageW(frame, DM_GETDEFID, 0, 0);
    if (HIWORD(id) == DC_HASDEFID)
        PostMessageW(frame, WM_COMMAND, MAKEWPARAM(LOWORD(id), BN_CLICKED), 0);
}

void CWizardPage::OnCancel() { PostMessageW(Frame(m_hWnd), WM_COMMAND, IDCANCEL, 0); }

