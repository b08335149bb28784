// A page of a wizard: a borderless child of the page host that paints its
// own lines of text on white and leaves Enter and Esc to the frame.
#pragma once

#include "framework/ui/dialog.h"

#include <functional>
#include <string>
#include <vector>

struct PageLine {
    int y;
    std::string text;
};

// Paints a white client area with black thin "宋体" lines of 12 pixels at x.
void PaintPageLines(HDC dc, const RECT& client, int x, const std::vector<PageLine>& lines);
// WM_PAINT, and WM_PRINTCLIENT into the device context it brings (a picture
// of the window taken by another program or a test): paints the lines for
// the client height. False for any other message.
bool PaintPageMessage(HWND window, UINT message, WPARAM wParam, int x,
                      const std::function<std::vector<PageLine>(int height)>& lines);

class CWizardPage : public CDialog {
public:
    using CDialog::CDialog;

protected:
    using Line = PageLine;
    // The lines to paint, for a client area of height H.
    virtual std::vector<Line> Lines(int H) const = 0;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter and Esc belong to the frame: its default button and its cancel path.
    void OnOK() override;
    void OnCancel() override;
};

