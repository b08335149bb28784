#include "uninstaller/uninstall_wizard.h"

#include "common/ui/wizard_chrome.h"
#include "framework/strings.h"
#include "resources/uninstaller_resource.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_info.h"

namespace {
// No Back button in this frame: 0 is no control.
const WizardControlIds kFrameControls = {IDC_FRAME_BITMAP, IDC_FRAME_TOPLINE, IDC_FRAME_BRAND, IDC_FRAME_BOTTOMLINE,
                                         0,                IDC_FRAME_NEXT,    IDC_FRAME_CANCEL};
constexpr int kPageHostId = 1033;
}  // namespace

CUninstallPage0::CUninstallPage0(const CUninstallInfo& info) : CWizardPage(IDD_UNINSTALL_WELCOME), m_info(info) {}

BOOL CUninstallPage0::OnInitDialog()
{
    SendMessageA(Item(IDC_UNINSTALL_FOLDER), EM_SETREADONLY, TRUE, 0);
    SetItemText(IDC_UNINSTALL_FOLDER, m_info.m_strInstallDir);
    return TRUE;
}

std::vector<CWizardPage::Line> CUninstallPage0::Lines(int) const
{
    return {{25, Format("这次向导将从您的计算机内卸载 %s，单击[下一步]继续。", m_info.m_strProductName.c_str())},
            {65, "卸载目录："}};
}

CUninstallPage1::CUninstallPage1(const CUninstallInfo& info) : CWizardPage(IDD_UNINSTALL_FINISH), m_info(info) {}

std::vector<CWizardPage::Line> CUninstallPage1::Lines(int) const
{
    return {{45, Format("向导已完成 %s 卸载,请点击[结束]。", m_info.m_strProductName.c_str())}};
}

CUninstallDlg::CUninstallDlg(const CUninstallInfo& info)
    : CDialog(IDD_WIZARD),
      m_info(info),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_INSTALLER))),
      m_page0(info),
      m_page1(info),
      m_strDate(TodayText())
{
}

BOOL CUninstallDlg::OnInitDialog()
{
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetCaption(Format("%s 安装", m_info.m_strProductName.c_str()));
    const RECT client = PlaceWizardChrome(m_hWnd, kFrameControls);
    m_tabPages.Create(m_hWnd, client, kPageHostId);
    m_tabPages.AddPage("0", &m_page0, IDD_UNINSTALL_WELCOME);
    m_tabPages.AddPage("1", &m_page1, IDD_UNINSTALL_FINISH);
    const RECT host = PageHostRect(client);
    SetWindowPos(m_tabPages.GetSafeHwnd(), nullptr, host.left, host.top, host.right - host.left,
                 host.bottom - host.top, SWP_NOZORDER);
    m_tabPages.ShowFirstPage();
    m_tabPages.ClipTabStrip();
    SetItemText(IDC_FRAME_NEXT, "下一步");
    return TRUE;
}

void CUninstallDlg::OnCommand(int id, int code)
{
    if (id == IDC_FRAME_NEXT && code == BN_CLICKED)
        OnNext();
    else if (id == IDC_FRAME_CANCEL && code == BN_CLICKED)
        OnCancel();
    else
        CDialog::OnCommand(id, code);
}

void CUninstallDlg::OnNext()
{
    switch (m_tabPages.GetCurrentPage()) {
    case 0:
        // The removal runs once, on the way to the finish page.
        RemoveInstallation(m_info);
        m_tabPages.SelectPage(1);
        EnableWindow(Item(IDC_FRAME_CANCEL), FALSE);
        SetItemText(IDC_FRAME_NEXT, "完成");
        break;
    case 1:
        OnOK();
        break;
    }
}

bool CUninstallDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message == WM_QUERYDRAGICON) {
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    }
    if (message != WM_PAINT)
        return false;
    PaintWizardFrame(m_hWnd, m_hIcon, Format("欢迎进入 %s 安装程序", m_info.m_strProductName.c_str()), m_strDate);
    result = 0;
    return true;
}
