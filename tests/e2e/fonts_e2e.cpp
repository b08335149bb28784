// The dialog templates of the installer and the uninstaller ask for their
// fonts, and on this machine's prefix those fonts come out with SimSun's
// dialog units (what a Chinese Windows gives them).
#include "driver.h"
#include "layout.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {
std::u16string U16(const wchar_t* text) { return std::u16string(text, text + wcslen(text)); }
}  // namespace

TEST(Fonts, TemplatesAskForTheirFontsWhichComeOutAtSimSunsUnits)
{
    const std::u16string shellDlg = U16(L"MS Shell Dlg"), simsun = U16(L"\x5b8b\x4f53");
    constexpr int kDefault = 1, kGb2312 = 0x86;
    const struct {
        const char* program;
        int id;
        int points;
        std::u16string face;
        int charset;
    } templates[] = {
        {"TMD_INSTALLER_EXE", 101, 8, shellDlg, kDefault},   // progress dialogs
        {"TMD_INSTALLER_EXE", 102, 10, simsun, kGb2312},     // wizard frame
        {"TMD_INSTALLER_EXE", 129, 9, shellDlg, kDefault},   // cancel question (9: see installer.rc)
        {"TMD_INSTALLER_EXE", 131, 9, simsun, kGb2312},      // pages
        {"TMD_INSTALLER_EXE", 132, 9, simsun, kGb2312},
        {"TMD_INSTALLER_EXE", 133, 9, simsun, kGb2312},
        {"TMD_INSTALLER_EXE", 134, 9, simsun, kGb2312},
        {"TMD_UNINSTALLER_EXE", 102, 10, simsun, kGb2312},   // uninstaller's frame
        {"TMD_UNINSTALLER_EXE", 133, 9, simsun, kGb2312},    // its pages
        {"TMD_UNINSTALLER_EXE", 136, 8, shellDlg, kDefault},
    };
    for (const auto& t : templates) {
        SCOPED_TRACE(std::string(t.program) + " template " + std::to_string(t.id));
        const auto dialog = LoadDialogTemplate(BuiltProgram(t.program), t.id);
        ASSERT_TRUE(dialog.has_value());
        EXPECT_EQ(dialog->pointSize, t.points);
        EXPECT_TRUE(dialog->face == t.face);
        EXPECT_EQ(dialog->charset, t.charset);
        EXPECT_EQ(dialog->weight, 0);
        const DialogUnits measured = MeasuredUnits(dialog->pointSize, dialog->face);
        const DialogUnits expected = SimSunUnits(dialog->pointSize);
        EXPECT_EQ(measured.x, expected.x);
        EXPECT_EQ(measured.y, expected.y);
    }
    // 9 points of SimSun: a 6 x 12 cell, 1.5 pixels a unit each way.
    EXPECT_EQ(SimSunUnits(9).x, 6);
    EXPECT_EQ(SimSunUnits(9).y, 12);
}
