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
void PaintPageLines(HWND window, int x, const std::function<std::vector<PageLine>(int height)>& lines);

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

