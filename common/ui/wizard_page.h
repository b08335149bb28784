// A page of a wizard: a borderless child of the page host that paints its
// own lines of text on white and leaves Enter and Esc to the frame.
#pragma once

#include "framework/ui/dialog.h"

#include <string>
#include <vector>

class CWizardPage : public CDialog {
public:
    using CDialog::CDialog;

protected:
    struct Line {
        int y;
        std::string text;
    };
    // The lines to paint, for a client area of height H.
    virtual std::vector<Line> Lines(int H) const = 0;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter and Esc belong to the frame: its default button and its cancel path.
    void OnOK() override;
    void OnCancel() override;
};

