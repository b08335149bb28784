#include "installer/ui/pages.h"

#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/ui/app.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"
#include "installer/ui/progress_dialogs.h"
#include "installer/setup/install_sequence.h"
#include "installer/setup/setup_info.h"
#include "resources/resource.h"

#include <shlobj.h>

#include <algorithm>


namespace {
const char* Product() { return theSetupInfo.m_strProductName.c_str(); }

}  // namespace

CPage0::CPage0() : CWizardPage(IDD_PAGE_WELCOME) {}

std::vector<CWizardPage::Line> CPage0::Lines(int) const
{
    return {{25, Format("欢迎进入  %s  安装向导", Product())},
            {45, Format("本向导将引导您完成  %s  安装到您的计算机内。", Product())},
            {80, "在开始安装程序前，我们建议您先关闭其他所有应用程序，因为程序安装的过程中"},
            {100, "有可能需要更新指定的系统文件。"},
            {135, "我们提倡绿色安装，所以程序安装完毕不需要重新启动您的计算机。"},
            {155, "单击[下一步]继续，[取消]退出。"}};
}

CPage1::CPage1() : CWizardPage(IDD_PAGE_LICENSE) {}

BOOL CPage1::OnInitDialog()
{
    m_editLicense.Bind(IDC_LICENSE_TEXT, m_hWnd);
    return TRUE;
}

void CPage1::LoadLicense(const std::string& path)
{
    CFile file;
    const uint64_t length = file.Open(path, CFile::modeRead | CFile::shareDenyNone) ? file.GetLength() : 0;
    // A licence is text; one that cannot be held at once is not a licence,
    // and one whose read fails is not shown in part.
    const bool fits = file.IsOpen() && length <= (16u << 20);
    std::string text(fits ? static_cast<size_t>(length) : 0, '\0');
    if (!fits || !ReadFully(file, text.data(), static_cast<uint32_t>(text.size()))) {
        AfxMessageBox(Format("无法读取许可协议文件：%s", path.c_str()), MB_OK | MB_ICONERROR);
        return;
    }
    SetItemText(IDC_LICENSE_TEXT, text);
    SendMessageW(m_editLicense.GetSafeHwnd(), EM_SETREADONLY, TRUE, 0);
}

bool CPage1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SIZE && m_editLicense.GetSafeHwnd()) {
        const int W = LOWORD(lParam), H = HIWORD(lParam);
        SetWindowPos(m_editLicense.GetSafeHwnd(), nullptr, 20, 43, W - 40, H - 75, SWP_NOZORDER);
        return false;
    }
    if ((message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) &&
        reinterpret_cast<HWND>(lParam) == m_editLicense.GetSafeHwnd()) {
        result = reinterpret_cast<LRESULT>(m_editLicense.CtlColor(reinterpret_cast<HDC>(wParam)));
        return true;
    }
    return CWizardPage::OnMessage(message, wParam, lParam, result);
}

std::vector<CWizardPage::Line> CPage1::Lines(int H) const
{
    return {{25, Format("安装 %s 之前，请先阅读授权条款。", Product())},
            {H - 25, "如果您接受协议中的条款，单击[同意]继续安装，[取消]退出。"}};
}

CPage2::CPage2() : CWizardPage(IDD_PAGE_FOLDER) {}

BOOL CPage2::OnInitDialog()
{
    m_editFolder.Bind(IDC_FOLDER_EDIT, m_hWnd);
    SendMessageW(m_editFolder.GetSafeHwnd(), EM_SETREADONLY, TRUE, 0);
    SetItemText(IDC_FOLDER_EDIT, theSetupInfo.m_strInstallDir);
    if (theSetupInfo.m_bFolderSel == 0)
        EnableWindow(Item(IDC_FOLDER_BROWSE), FALSE);
    return TRUE;
}

void CPage2::OnCommand(int id, int code)
{
    if (id == IDC_FOLDER_BROWSE && code == BN_CLICKED)
        OnBrowse();
    else
        CWizardPage::OnCommand(id, code);
}

bool CPage2::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if ((message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) &&
        reinterpret_cast<HWND>(lParam) == m_editFolder.GetSafeHwnd()) {
        result = reinterpret_cast<LRESULT>(m_editFolder.CtlColor(reinterpret_cast<HDC>(wParam)));
        return true;
    }
    return CWizardPage::OnMessage(message, wParam, lParam, result);
}

void CPage2::OnBrowse()
{
    const std::wstring title = Widen("请选择目录");
    BROWSEINFOW info = {};
    info.hwndOwner = m_hWnd;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    const unique_com_memory<ITEMIDLIST*> chosen(SHBrowseForFolderW(&info));
    std::vector<wchar_t> path(kLongestFolder + 1, L'\0');
    if (!chosen || !SHGetPathFromIDListEx(chosen.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
        return;
    const auto folder = NarrowToGbk(path.data());
    if (!folder) {
        RefuseFolderName(path.data());
        return;
    }
    theSetupInfo.m_strInstallDir = Format("%s\\%s", folder->c_str(), theSetupInfo.m_strFolder.c_str());
    SetItemText(IDC_FOLDER_EDIT, theSetupInfo.m_strInstallDir);
}

bool CPage2::CommitFolder()
{
    std::vector<wchar_t> typed(kLongestFolder + 1, L'\0');
    const int length = GetDlgItemTextW(m_hWnd, IDC_FOLDER_EDIT, typed.data(), static_cast<int>(typed.size()));
    // The record holds the folder as GBK: a name it cannot hold could be
    // installed into but never removed again.
    const auto gbk = NarrowToGbk(std::wstring_view(typed.data(), static_cast<size_t>(std::max(length, 0))));
    if (!gbk) {
        RefuseFolderName(typed.data());
        return false;
    }
    const char* text = gbk->c_str();
    const char* problem = nullptr;
    switch (theSetupInfo.CommitInstallFolder(*gbk)) {
    case CSetupInfo::FolderCommit::Committed:
        SetItemText(IDC_FOLDER_EDIT, theSetupInfo.m_strInstallDir);
        return true;
    case CSetupInfo::FolderCommit::Unusable:
        problem = "无法安装到该目录：%s\n请选择一个本地磁盘上的目录（不能是磁盘的根目录），"
                  "目录名中不能含有 \\ / : * ? \" < > | 等字符。";
        break;
    case CSetupInfo::FolderCommit::NotCreated:
        problem = "无法创建安装目录：%s\n请选择其他目录。";
        break;
    }
    MessageBoxW(GetAncestor(m_hWnd, GA_ROOT), Widen(Format(problem, text)).c_str(),
                Widen(Format("%s 安装", Product())).c_str(), MB_OK | MB_ICONWARNING);
    return false;
}

void CPage2::RefuseFolderName(const std::wstring& folder) const
{
    // Shown as the user gave it: the name cannot be written in GBK.
    const std::wstring message = Widen("无法安装到该目录：") + folder +
                                 Widen("\n目录名中含有安装程序无法记录的字符，请选择其他目录或更改目录名。");
    MessageBoxW(GetAncestor(m_hWnd, GA_ROOT), message.c_str(), Widen(Format("%s 安装", Product())).c_str(),
                MB_OK | MB_ICONWARNING);
}

std::vector<CWizardPage::Line> CPage2::Lines(int H) const
{
    const auto kilobytes = static_cast<unsigned long>(static_cast<uint64_t>(theSetupInfo.m_nDataSize / 1024) & 0xFFFFFFFF);
    return {{25, Format("程序将安装 %s 到下面的目录，如果您想安装在不同的目录，单击[浏览]。", Product())},
            {45, "选择其他目录。单击[下一步]继续。"},
            {H - 45, Format("程序需要的空间：%lu KB。", kilobytes)}};
}

CPage3::CPage3() : CWizardPage(IDD_PAGE_OPTIONS) {}

BOOL CPage3::OnInitDialog()
{
    const struct {
        CCheckBox& box;
        int id;
        const char* label;
    } boxes[] = {{m_chkStartMenu, IDC_OPTION_STARTMENU, "添加到系统菜单内"},
                 {m_chkDesktop, IDC_OPTION_DESKTOP, "添加桌面快捷方式"},
                 {m_chkRunAfter, IDC_OPTION_RUNAFTER, "关闭后启动程序"}};
    for (const auto& b : boxes) {
        b.box.Bind(b.id, m_hWnd);
        b.box.SetText(b.label);
        b.box.SetCheck(&b.box == &m_chkRunAfter && theSetupInfo.m_bNoRun ? 0 : 1);
    }
    return TRUE;
}

bool CPage3::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_DRAWITEM) {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        for (CCheckBox* box : {&m_chkStartMenu, &m_chkDesktop, &m_chkRunAfter}) {
            if (item.hwndItem == box->GetSafeHwnd())
                box->DrawItem(item);
        }
        result = TRUE;
        return true;
    }
    return CWizardPage::OnMessage(message, wParam, lParam, result);
}

BOOL CPage3::RunInstall()
{
    const InstallChoices choices{m_chkStartMenu.m_bChecked != 0, m_chkDesktop.m_bChecked != 0,
                                 m_chkRunAfter.m_bChecked != 0};
    // The frame owns the progress dialogs, so it is disabled while they run.
    HWND frame = GetAncestor(m_hWnd, GA_ROOT);
    const bool completed = RunInstallSequence(theSetupInfo, choices, GetModuleFolder(), [frame](const std::string& package) {
        CUpdatedlg dialog(package);
        if (dialog.DoModal(frame) != IDCANCEL)
            return PackageResult::Installed;
        return dialog.Cancelled() ? PackageResult::Cancelled : PackageResult::Failed;
    });
    ShowWindow(m_hWnd, SW_HIDE);
    return completed;
}

std::vector<CWizardPage::Line> CPage3::Lines(int) const
{
    return {{25, Format("点击[安装]向导将安装 %s 到您的计算机。", Product())},
            {45, Format("安装位置  %s 。", theSetupInfo.m_strInstallDir.c_str())},
            {65, "最后请选择附加操作："}};
}

CPage4::CPage4() : CWizardPage(IDD_PAGE_WELCOME) {}

std::vector<CWizardPage::Line> CPage4::Lines(int) const
{
    const char* text = theSetupInfo.m_nOutcome == kOutcomeCompleted ? "向导已完成 %s 安装,请点击[结束]。"
                       : theSetupInfo.m_nOutcome == kOutcomeFailed ? "发生错误，向导无法将 %s 安装到您的计算机内。"
                                                                   : "您已取消安装  %s，请点击[结束]向导。";
    return {{45, Format(text, Product())}};
}
