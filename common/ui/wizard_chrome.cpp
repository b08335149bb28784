#include "common/ui/wizard_chrome.h"

#include "framework/strings.h"
#include "framework/ui/subclass.h"

namespace {
void Place(HWND frame, int id, int x, int y, int w, int h)
{
    if (HWND control = GetDlgItem(frame, id))
        SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

RECT PlaceWizardChrome(HWND frame, const WizardControlIds& ids)
{
    // Sized and centred on the screen here: the frame is not left to the
    // dialog manager's placement.
    const int width = 500, height = 375;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(frame, nullptr, x, y, width, height, SWP_NOZORDER);
    RECT client;
    GetClientRect(frame, &client);
    const int W = client.right, H = client.bottom;
    Place(frame, ids.bitmap, W - 70, 0, 60, 60);
    Place(frame, ids.topLine, 0, 61, W, 2);
    Place(frame, ids.brand, 0, H - 48, 80, 25);
    EnableWindow(GetDlgItem(frame, ids.brand), FALSE);
    Place(frame, ids.bottomLine, 80, H - 40, W, 2);
    Place(frame, ids.back, W - 270, H - 30, 75, 22);
    ShowWindow(GetDlgItem(frame, ids.back), SW_HIDE);
    Place(frame, ids.next, W - 180, H - 30, 75, 22);
    Place(frame, ids.cancel, W - 90, H - 30, 75, 22);
    return client;
}

RECT PageHostRect(const RECT& client)
{
    return RECT{0, 35, client.right, 35 + client.bottom - 85};
}

void PaintWizardHeader(HDC dc, const RECT& client, const std::string& welcome, const std::string& date)
{
    const int W = client.right, H = client.bottom;
    unique_gdi<HBRUSH> header(CreateSolidBrush(RGB(255, 255, 230)));
    unique_gdi<HBRUSH> body(CreateSolidBrush(RGB(255, 255, 255)));
    RECT band = {0, 0, W, 60};
    FillRect(dc, &band, header.get());
    RECT rest = {0, 60, W, H - 52};
    FillRect(dc, &rest, body.get());
    unique_gdi<> font(CreateTextFont(14, 100));
    CSelectObject selected(dc, font.get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, RGB(31, 52, 131));
    DrawTextLine(dc, 30, 20, welcome.c_str());
    DrawTextLine(dc, 265, 40, date.c_str());
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

std::string TodayText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Format("%d年%d月%d日", now.wYear, now.wMonth, now.wDay);
}

void PaintWizardFrame(HWND frame, HICON icon, const std::string& welcome, const std::string& date)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(frame, &paint);
    RECT client;
    GetClientRect(frame, &client);
    if (IsIconic(frame)) {
        SendMessageW(frame, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                 (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon);
    } else {
        PaintWizardHeader(dc, client, welcome, date);
    }
    EndPaint(frame, &paint);
}
