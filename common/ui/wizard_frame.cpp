#include "common/ui/wizard_frame.h"

#include "framework/strings.h"

namespace {
// The host keeps the item names, not copies of them.
const char* const kPageNames[CPageTabCtrl::kMaxPages] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                                         "8", "9", "10", "11", "12", "13", "14", "15"};
// The page host's control id; the template's brand label has the same one.
constexpr int kPageHostId = 1033;
}  // namespace

CWizardFrame::CWizardFrame(int templateId, int iconId)
    : CDialog(templateId),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId))),
      m_strDate(TodayText())
{
}

void CWizardFrame::InitFrame(const std::string& productName, const WizardControlIds& ids,
                             std::initializer_list<Page> pages)
{
    m_strProductName = productName;
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetCaption(Format("%s 安装", productName.c_str()));
    const RECT client = PlaceWizardChrome(m_hWnd, ids);
    m_tabPages.Create(m_hWnd, client, kPageHostId);
    int index = 0;
    for (const Page& page : pages)
        m_tabPages.AddPage(kPageNames[index++ % CPageTabCtrl::kMaxPages], page.page, page.templateId);
    const RECT host = PageHostRect(client);
    SetWindowPos(m_tabPages.GetSafeHwnd(), nullptr, host.left, host.top, host.right - host.left,
                 host.bottom - host.top, SWP_NOZORDER);
    m_tabPages.ShowFirstPage();
    m_tabPages.ClipTabStrip();
}

bool CWizardFrame::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message == WM_QUERYDRAGICON) {
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    }
    const std::string welcome = Format("欢迎进入 %s 安装程序", m_strProductName.c_str());
    if (message == WM_PRINTCLIENT) {
        RECT client;
        GetClientRect(m_hWnd, &client);
        PaintWizardHeader(reinterpret_cast<HDC>(wParam), client, welcome, m_strDate);
    } else if (message == WM_PAINT) {
        PaintWizardFrame(m_hWnd, m_hIcon, welcome, m_strDate);
    } else {
        return false;
    }
    result = 0;
    return true;
}
