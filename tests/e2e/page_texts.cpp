#include "page_texts.h"

#include <cstdio>

namespace e2e {

namespace {
std::string Fill(const char* format, const std::string& value)
{
    char text[1024];
    std::snprintf(text, sizeof text, format, value.c_str());
    return text;
}

std::vector<PaintedText> At(int x, std::initializer_list<std::pair<int, std::string>> lines)
{
    std::vector<PaintedText> texts;
    for (const auto& [y, text] : lines)
        texts.push_back(PaintedText{x, y, text, 12});
    return texts;
}
}  // namespace

std::string TodayText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];
    std::snprintf(text, sizeof text, "%d年%d月%d日", now.wYear, now.wMonth, now.wDay);
    return text;
}

std::vector<PaintedText> HeaderTexts(const std::string& product)
{
    return {PaintedText{30, 20, Fill("欢迎进入 %s 安装程序", product), 14}, PaintedText{265, 40, TodayText(), 14}};
}

std::vector<PaintedText> InstallerPageTexts(int page, const InstallerValues& v, int H)
{
    const std::string& p = v.product;
    switch (page) {
    case 0:
        return At(20, {{25, Fill("欢迎进入  %s  安装向导", p)},
                       {45, Fill("本向导将引导您完成  %s  安装到您的计算机内。", p)},
                       {80, "在开始安装程序前，我们建议您先关闭其他所有应用程序，因为程序安装的过程中"},
                       {100, "有可能需要更新指定的系统文件。"},
                       {135, "我们提倡绿色安装，所以程序安装完毕不需要重新启动您的计算机。"},
                       {155, "单击[下一步]继续，[取消]退出。"}});
    case 1:
        return At(20, {{25, Fill("安装 %s 之前，请先阅读授权条款。", p)},
                       {H - 25, "如果您接受协议中的条款，单击[同意]继续安装，[取消]退出。"}});
    case 2:
        return At(20, {{25, Fill("程序将安装 %s 到下面的目录，如果您想安装在不同的目录，单击[浏览]。", p)},
                       {45, "选择其他目录。单击[下一步]继续。"},
                       {H - 45, Fill("程序需要的空间：%s KB。", v.neededKB.empty() ? "4294967295" : v.neededKB)}});
    case 3:
        return At(20, {{25, Fill("点击[安装]向导将安装 %s 到您的计算机。", p)},
                       {45, Fill("安装位置  %s 。", v.installDir)},
                       {65, "最后请选择附加操作："}});
    default:
        return At(20, {{45, Fill(v.outcome == 2   ? "向导已完成 %s 安装,请点击[结束]。"
                                 : v.outcome == 1 ? "发生错误，向导无法将 %s 安装到您的计算机内。"
                                                  : "您已取消安装  %s，请点击[结束]向导。",
                                 p)}});
    }
}

std::vector<std::string> OptionLabels() { return {"添加到系统菜单内", "添加桌面快捷方式", "关闭后启动程序"}; }

std::vector<PaintedText> CancelQuestionTexts()
{
    return At(35, {{10, "安装还没有完成。如果您现在关闭安装"},
                   {25, "程序，软件将不会安装到你的计算机内。"},
                   {50, "您也可以选择稍后安装。"},
                   {75, "要继续安装，请单击“继续”按钮。要退"},
                   {90, "出安装程序，请单击“退出安装”按钮。"}});
}

std::vector<PaintedText> UninstallerPageTexts(int page, const std::string& product)
{
    if (page == 0)
        return At(20, {{25, Fill("这次向导将从您的计算机内卸载 %s，单击[下一步]继续。", product)}, {65, "卸载目录："}});
    return At(20, {{45, Fill("向导已完成 %s 卸载,请点击[结束]。", product)}});
}

int ClientHeight(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return client.bottom;
}

HWND ShownPage(HWND frame)
{
    HWND host = FindWindowExA(frame, nullptr, "SysTabControl32", nullptr);
    for (HWND page = host ? GetWindow(host, GW_CHILD) : nullptr; page; page = GetWindow(page, GW_HWNDNEXT))
        if (IsWindowVisible(page))
            return page;
    return nullptr;
}

}  // namespace e2e
