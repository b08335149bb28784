// What the installer's windows paint, read back from a recording of their
// painting (an enhanced metafile keeps every font request with its text):
// each text in its place, in the font its window is meant to ask for.
#include "common/ui/wizard_chrome.h"
#include "installer/setup/setup_info.h"
#include "installer/ui/wizard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {
struct Drawn {
    int x, y;
    std::wstring text;
    LOGFONTW font;
};

struct Recording {
    std::map<DWORD, LOGFONTW> fonts;
    LOGFONTW current = {};
    std::vector<Drawn> texts;
};

int CALLBACK Record(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM param)
{
    auto& r = *reinterpret_cast<Recording*>(param);
    switch (record->iType) {
    case EMR_EXTCREATEFONTINDIRECTW: {
        const auto* create = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
        r.fonts[create->ihFont] = create->elfw.elfLogFont;
        break;
    }
    case EMR_SELECTOBJECT: {
        const auto found = r.fonts.find(reinterpret_cast<const EMRSELECTOBJECT*>(record)->ihObject);
        if (found != r.fonts.end())
            r.current = found->second;
        break;
    }
    case EMR_EXTTEXTOUTW: {
        const auto* out = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) + out->emrtext.offString);
        r.texts.push_back(Drawn{static_cast<int>(out->emrtext.ptlReference.x), static_cast<int>(out->emrtext.ptlReference.y),
                                std::wstring(chars, out->emrtext.nChars), r.current});
        break;
    }
    }
    return 1;
}

std::vector<Drawn> Painted(const std::function<void(HDC)>& paint)
{
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    paint(dc);
    HENHMETAFILE recording = CloseEnhMetaFile(dc);
    Recording r;
    EnumEnhMetaFile(nullptr, recording, Record, &r, nullptr);
    DeleteEnhMetaFile(recording);
    return r.texts;
}

std::vector<Drawn> PrintedWindow(HWND window)
{
    return Painted([window](HDC dc) { SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); });
}

std::wstring Wide(const char* gbk)
{
    wchar_t text[512];
    return std::wstring(text, MultiByteToWideChar(936, 0, gbk, -1, text, 512) - 1);
}

// The font a painted text asks for, as its window's description gives it.
struct Font {
    int height;  // negative: the character height
    int width;
    int weight;
    int charset;
    int quality;
    int pitch;
};
const Font kPageFont = {-12, 0, 100, DEFAULT_CHARSET, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE};
const Font kHeaderFont = {-14, 0, 100, DEFAULT_CHARSET, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE};
const Font kCheckBoxFont = {-12, 6, FW_NORMAL, ANSI_CHARSET, NONANTIALIASED_QUALITY, VARIABLE_PITCH};

struct Line {
    int x, y;
    const char* text;
};

void ExpectTexts(const std::vector<Drawn>& drawn, const std::vector<Line>& lines, const Font& font, const char* where)
{
    ASSERT_EQ(drawn.size(), lines.size()) << where;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Drawn& d = drawn[i];
        SCOPED_TRACE(std::string(where) + " line " + std::to_string(i));
        EXPECT_EQ(d.x, lines[i].x);
        EXPECT_EQ(d.y, lines[i].y);
        EXPECT_EQ(d.text, Wide(lines[i].text));
        EXPECT_EQ(std::wstring(d.font.lfFaceName), Wide("宋体"));
        EXPECT_EQ(d.font.lfHeight, font.height);
        EXPECT_EQ(d.font.lfWidth, font.width);
        EXPECT_EQ(d.font.lfWeight, font.weight);
        EXPECT_EQ(d.font.lfCharSet, font.charset);
        EXPECT_EQ(d.font.lfQuality, font.quality);
        EXPECT_EQ(d.font.lfPitchAndFamily, font.pitch);
        EXPECT_FALSE(d.font.lfItalic || d.font.lfUnderline || d.font.lfStrikeOut);
    }
}

// A hidden window for the pages and the question to live in.
struct Host {
    Host()
        : window(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 500, 375, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 nullptr))
    {
    }
    ~Host() { DestroyWindow(window); }
    HWND window;
};
}  // namespace

TEST(Painting, EveryTextIsDrawnInItsPlaceInTheFontItAsksFor)
{
    theSetupInfo.m_strProductName = "演示";
    theSetupInfo.m_strInstallDir = "C:\\演示\\";
    theSetupInfo.m_nDataSize = 5 * 1024;
    theSetupInfo.m_nOutcome = kOutcomeCompleted;
    CPage0 welcome;
    CPage1 licence;
    CPage2 folder;
    CPage3 options;
    CPage4 finish;
    COutDlg question;
    // Declared after the windows' objects, so that it is destroyed first, with its windows.
    Host host;

    // The frame's header: 14 pixels high.
    const RECT client = {0, 0, 494, 350};
    ExpectTexts(Painted([&](HDC dc) { PaintWizardHeader(dc, client, "欢迎进入 演示 安装程序", "2024年1月5日"); }),
                {{30, 20, "欢迎进入 演示 安装程序"}, {265, 40, "2024年1月5日"}}, kHeaderFont, "header");

    // The pages: 12 pixels high, at x = 20; the last lines of pages 1 and 2 by the page height.
    for (CDialog* page : std::initializer_list<CDialog*>{&welcome, &licence, &folder, &options, &finish}) {
        ASSERT_TRUE(page->Create(host.window));
        SetWindowPos(page->GetSafeHwnd(), nullptr, 0, 0, 490, 242, SWP_NOZORDER);
    }
    ExpectTexts(PrintedWindow(welcome.GetSafeHwnd()),
                {{20, 25, "欢迎进入  演示  安装向导"},
                 {20, 45, "本向导将引导您完成  演示  安装到您的计算机内。"},
                 {20, 80, "在开始安装程序前，我们建议您先关闭其他所有应用程序，因为程序安装的过程中"},
                 {20, 100, "有可能需要更新指定的系统文件。"},
                 {20, 135, "我们提倡绿色安装，所以程序安装完毕不需要重新启动您的计算机。"},
                 {20, 155, "单击[下一步]继续，[取消]退出。"}},
                kPageFont, "welcome page");
    ExpectTexts(PrintedWindow(licence.GetSafeHwnd()),
                {{20, 25, "安装 演示 之前，请先阅读授权条款。"}, {20, 242 - 25, "如果您接受协议中的条款，单击[同意]继续安装，[取消]退出。"}},
                kPageFont, "licence page");
    ExpectTexts(PrintedWindow(folder.GetSafeHwnd()),
                {{20, 25, "程序将安装 演示 到下面的目录，如果您想安装在不同的目录，单击[浏览]。"},
                 {20, 45, "选择其他目录。单击[下一步]继续。"},
                 {20, 242 - 45, "程序需要的空间：5 KB。"}},
                kPageFont, "folder page");
    ExpectTexts(PrintedWindow(options.GetSafeHwnd()),
                {{20, 25, "点击[安装]向导将安装 演示 到您的计算机。"}, {20, 45, "安装位置  C:\\演示\\ 。"}, {20, 65, "最后请选择附加操作："}},
                kPageFont, "options page");
    ExpectTexts(PrintedWindow(finish.GetSafeHwnd()), {{20, 45, "向导已完成 演示 安装,请点击[结束]。"}}, kPageFont,
                "finish page");

    // A check box draws its own label: 12 pixels, 6 wide, normal weight,
    // Western character set, not smoothed, variable pitch, at x = 15.
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = options.m_chkStartMenu.GetSafeHwnd();
    item.rcItem = RECT{0, 0, 211, 12};
    const std::vector<Drawn> label = Painted([&](HDC dc) {
        item.hDC = dc;
        options.m_chkStartMenu.DrawItem(item);
    });
    ASSERT_EQ(label.size(), 1u);
    ExpectTexts(label, {{15, label[0].y, "添加到系统菜单内"}}, kCheckBoxFont, "check box");

    // The cancel question: five lines at x = 35.
    ASSERT_TRUE(question.Create(host.window));
    ExpectTexts(PrintedWindow(question.GetSafeHwnd()),
                {{35, 10, "安装还没有完成。如果您现在关闭安装"},
                 {35, 25, "程序，软件将不会安装到你的计算机内。"},
                 {35, 50, "您也可以选择稍后安装。"},
                 {35, 75, "要继续安装，请单击“继续”按钮。要退"},
                 {35, 90, "出安装程序，请单击“退出安装”按钮。"}},
                kPageFont, "cancel question");
}
