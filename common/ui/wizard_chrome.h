// What both wizard frames share: the 500 x 375 window, the placement of the
// header bitmap, the lines, the brand label and the three buttons, and the
// painting of the header band with its welcome line and date.
#pragma once

#include <windows.h>

#include <string>

struct WizardControlIds {
    int bitmap, topLine, brand, bottomLine, back, next, cancel;
};

// Sizes the frame to 500 x 375, centres it, and places its controls; the
// page host goes to (0, 35, W, H - 85). Returns the client rectangle.
RECT PlaceWizardChrome(HWND frame, const WizardControlIds& ids);
// The page host's rectangle for a client rectangle.
RECT PageHostRect(const RECT& client);
// Paints the header band and the white body, the welcome line at (30, 20)
// and the date at (265, 40).
void PaintWizardHeader(HDC dc, const RECT& client, const std::string& welcome, const std::string& date);
// The frame's whole WM_PAINT: the icon centred while minimised, otherwise
// the header band.
void PaintWizardFrame(HWND frame, HICON icon, const std::string& welcome, const std::string& date);
// Today as "%d年%d月%d日".
std::string TodayText();
