#include "installer/ui/wizard.h"

#include "common/shell.h"
#include "common/ui/wizard_chrome.h"
#include "framework/strings.h"
#include "installer/setup/install_sequence.h"
#include "installer/setup/setup_info.h"
#include "resources/resource.h"

namespace {
const WizardControlIds kFrameControls = {IDC_FRAME_BITMAP, IDC_FRAME_TOPLINE, IDC_FRAME_BRAND, IDC_FRAME_BOTTOMLINE,
                                         IDC_FRAME_BACK,   IDC_FRAME_NEXT,    IDC_FRAME_CANCEL};
enum { kWelcome, kLicense, kFolder, kOptions, kFinish };
}  // namespace

COutDlg::COutDlg() : CDialog(IDD_CANCEL_CONFIRM) {}

BOOL COutDlg::OnInitDialog()
{
    SetCaption(Format("%s 安装", theSetupInfo.m_strProductName.c_str()));
    // Centred over the frame that owns it.
    RECT owner, self;
    GetWindowRect(GetWindow(m_hWnd, GW_OWNER), &owner);
    GetWindowRect(m_hWnd, &self);
    const int w = self.right - self.left, h = self.bottom - self.top;
    SetWindowPos(m_hWnd, nullptr, (owner.left + owner.right - w) / 2, (owner.top + owner.bottom - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

void COutDlg::OnCommand(int id, int code)
{
    if (id == IDC_CONFIRM_CONTINUE && code == BN_CLICKED)
        EndDialog(kContinue);
    else if (id == IDC_CONFIRM_QUIT && code == BN_CLICKED)
        EndDialog(kQuit);
    else
        CDialog::OnCommand(id, code);
}

bool COutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    // Two of the breaks fall inside a word; the lines are drawn as they stand.
    if (!PaintPageMessage(m_hWnd, message, wParam, 35, [](int) {
            return std::vector<PageLine>{{10, "安装还没有完成。如果您现在关闭安装"},
                                         {25, "程序，软件将不会安装到你的计算机内。"},
                                         {50, "您也可以选择稍后安装。"},
                                         {75, "要继续安装，请单击“继续”按钮。要退"},
                                         {90, "出安装程序，请单击“退出安装”按钮。"}};
        }))
        return false;
    result = 0;
    return true;
}

CInstallDlg::CInstallDlg(int finishMode) : CWizardFrame(IDD_WIZARD, IDI_INSTALLER), m_bFinishMode(finishMode) {}

BOOL CInstallDlg::OnInitDialog()
{
    InitFrame(theSetupInfo.m_strProductName, kFrameControls,
              {{&m_page0, IDD_PAGE_WELCOME},
               {&m_page1, IDD_PAGE_LICENSE},
               {&m_page2, IDD_PAGE_FOLDER},
               {&m_page3, IDD_PAGE_OPTIONS},
               {&m_page4, IDD_PAGE_WELCOME}});

    SetNextLabel("下一步");
    if (m_bFinishMode) {
        m_tabPages.SelectPage(kFinish);
        SetNextLabel("结束");
        EnableWindow(Item(IDC_FRAME_CANCEL), FALSE);
    } else {
        m_tabPages.SelectPage(kWelcome);
    }
    return TRUE;
}

void CInstallDlg::SetNextLabel(const char* label) const { SetItemText(IDC_FRAME_NEXT, label); }

void CInstallDlg::OnCommand(int id, int code)
{
    // While the installation runs the frame is disabled as the owner of its
    // progress dialogs, but a click or command can still be sent to it: it
    // must neither start the sequence again nor, through the cancel
    // question, start the finish run that removes the running copy's folder.
    if (m_bInstalling)
        return;
    if (id == IDC_FRAME_NEXT && code == BN_CLICKED)
        OnNext();
    else if (id == IDC_FRAME_BACK && code == BN_CLICKED)
        OnBack();
    else if (id == IDC_FRAME_CANCEL && code == BN_CLICKED)
        OnCancel();
    else
        CWizardFrame::OnCommand(id, code);
}

void CInstallDlg::OnNext()
{
    switch (m_tabPages.GetCurrentPage()) {
    case kWelcome:
        m_tabPages.SelectPage(kLicense);
        ShowItem(IDC_FRAME_BACK, true);
        SetNextLabel("同意");
        m_page1.LoadLicense(GetModuleFolder() + "license.txt");
        break;
    case kLicense:
        m_tabPages.SelectPage(kFolder);
        SetNextLabel("下一步");
        break;
    case kFolder:
        if (!m_page2.CommitFolder())
            break;
        SetNextLabel("安装");
        m_tabPages.SelectPage(kOptions);
        break;
    case kOptions:
        m_bInstalling = true;
        m_page3.RunInstall();
        EndDialog(IDOK);
        break;
    case kFinish:
        if (theSetupInfo.m_nOutcome == kOutcomeCompleted && theSetupInfo.m_bRunAfter != 0 &&
            theSetupInfo.m_log.Check("finish", "starting the program",
                                     LaunchProgram(theSetupInfo.m_strInstallDir + theSetupInfo.m_strRunProgram)))
            theSetupInfo.m_log.Write("finish", "started " + theSetupInfo.m_strInstallDir + theSetupInfo.m_strRunProgram);
        theSetupInfo.m_log.Write("finish", RemoveTemporaryFolder(theSetupInfo.m_strTempDir)
                                               ? "temporary folder " + theSetupInfo.m_strTempDir + " removed"
                                               : "temporary folder " + theSetupInfo.m_strTempDir + " stays (not ours, or held)");
        EndDialog(IDOK);
        break;
    }
}

void CInstallDlg::OnBack()
{
    switch (m_tabPages.GetCurrentPage()) {
    case kLicense:
        m_tabPages.SelectPage(kWelcome);
        ShowItem(IDC_FRAME_BACK, false);
        SetNextLabel("下一步");
        break;
    case kFolder:
        m_tabPages.SelectPage(kLicense);
        SetNextLabel("同意");
        break;
    case kOptions:
        m_tabPages.SelectPage(kFolder);
        SetNextLabel("下一步");
        break;
    }
}

void CInstallDlg::OnCancel()
{
    if (m_bInstalling)
        return;
    COutDlg confirm;
    if (confirm.DoModal(m_hWnd) != COutDlg::kQuit)
        return;
    ShowWindow(m_hWnd, SW_HIDE);
    const std::string outcome = CancelledOutcome(theSetupInfo, GetModuleFolder());
    theSetupInfo.m_log.Write("setup", "cancelled by the user before the installation");
    theSetupInfo.m_log.Check("setup", "starting the finish run", LaunchProgram(theSetupInfo.m_strSourceExe, &outcome));
    EndDialog(IDCANCEL);
}
