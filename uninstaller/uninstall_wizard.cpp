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
}  // namespace

CUninstallPage0::CUninstallPage0(const CUninstallInfo& info) : CWizardPage(IDD_UNINSTALL_WELCOME), m_info(info) {}

BOOL CUninstallPage0::OnInitDialog()
{
    SendMessageW(Item(IDC_UNINSTALL_FOLDER), EM_SETREADONLY, TRUE, 0);
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
    : CWizardFrame(IDD_WIZARD, IDI_INSTALLER), m_info(info), m_page0(info), m_page1(info)
{
}

BOOL CUninstallDlg::OnInitDialog()
{
    InitFrame(m_info.m_strProductName, kFrameControls,
              {{&m_page0, IDD_UNINSTALL_WELCOME}, {&m_page1, IDD_UNINSTALL_FINISH}});
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
        CWizardFrame::OnCommand(id, code);
}

void CUninstallDlg::OnNext()
{
    switch (m_tabPages.GetCurrentPage()) {
    case 0:
        // The removal runs once, on the way to the finish page.
        m_bComplete = RemoveInstallation(m_info);
        m_bRemoved = true;
        m_tabPages.SelectPage(1);
        EnableWindow(Item(IDC_FRAME_CANCEL), FALSE);
        SetItemText(IDC_FRAME_NEXT, "完成");
        break;
    case 1:
        OnOK();
        break;
    }
}
