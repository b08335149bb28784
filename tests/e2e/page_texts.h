// The lines each window of the programs paints, where it paints them: the
// wizard frames' header, the installer's and the uninstaller's pages, the
// cancel question. Shared by the end-to-end tests and the demo's walk, which
// judge the layout with them and read them back from the pictures.
#pragma once

#include "layout.h"

#include <string>
#include <vector>

namespace e2e {

// The header band of both wizard frames (14 pixels).
std::vector<PaintedText> HeaderTexts(const std::string& product);
// Today as the frames paint it: "%d年%d月%d日".
std::string TodayText();

struct InstallerValues {
    std::string product;
    std::string installDir;
    // As page 2 prints it; empty when not known (the widest number is used).
    std::string neededKB;
    // Of the finish page: 0 cancelled, 1 failed, 2 completed.
    int outcome = 2;
};
// Page 0 welcome ... 4 finish, for a page of client height H.
std::vector<PaintedText> InstallerPageTexts(int page, const InstallerValues& values, int H);
// The labels of the options page's three boxes, which draw them themselves.
std::vector<std::string> OptionLabels();
std::vector<PaintedText> CancelQuestionTexts();
// Page 0 welcome, 1 finish.
std::vector<PaintedText> UninstallerPageTexts(int page, const std::string& product);

// The client height of a window.
int ClientHeight(HWND window);
// The page of a wizard frame that shows now.
HWND ShownPage(HWND frame);

}  // namespace e2e
