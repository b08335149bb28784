// Whether a window's layout holds as a person sees it: no control and no
// painted line overlaps another, and none reaches past the part of its
// window that is visible. Judged from the real windows (their rectangles,
// read from outside), the lines the window paints, and, to judge at SimSun's
// dialog units as well, the dialog templates the windows were made from.
#pragma once

#include "dialog_template.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A line a window paints itself at (x, y) of its client area, in "宋体" of
// this character height (GBK text).
struct PaintedText {
    int x = 0, y = 0;
    std::string text;
    int height = 12;
};

// What a window holds besides its child windows.
struct WindowContent {
    HWND window = nullptr;
    std::vector<PaintedText> lines;
    // The template the window was made from: controls it placed are judged
    // at SimSun's units too, those the program moved where they are.
    std::optional<DialogTemplate> dialog;
};

// Pixels per 4 horizontal and 8 vertical dialog units.
struct DialogUnits {
    int x = 0, y = 0;
};
// SimSun's on a 96-dpi screen: its cell is its em (the point size in
// pixels) and its Latin letters are half an em wide.
DialogUnits SimSunUnits(int pointSize);
// The dialog font's as it comes out on this machine.
DialogUnits MeasuredUnits(int pointSize, const std::u16string& face);

enum class Metrics { Measured, SimSun };

// Every overlap and clip in the window and all windows in it, one line
// each (GBK); empty when the layout holds. A group box may hold what lies
// wholly inside it; an etched line may run on to the window's edge and lie
// on the border of the page host.
std::vector<std::string> LayoutFaults(HWND top, const std::vector<WindowContent>& contents, Metrics metrics);

// A dialog template of a program file (Windows path); nothing when absent.
std::optional<DialogTemplate> LoadDialogTemplate(const std::string& program, int id);
// The program file of the process that owns the window.
std::string WindowProgram(HWND window);
// A text a person sees, and where on the screen.
struct ShownText {
    std::string text;
    RECT screen;
};
// The window's caption and the texts of its visible controls: labels,
// static texts, and of an edit box the lines that fit in it.
std::vector<ShownText> ControlTexts(HWND top);
// Where a line the window paints lies on the screen, as measured here.
ShownText PaintedOnScreen(HWND window, const PaintedText& line);

}  // namespace e2e
